// Writes images as DDS files: the "DDS " magic, the 124-byte surface
// description in its 32-bit file layout, then each mip level, largest first.
//
// Formats: uncompressed A8R8G8B8, X8R8G8B8, A4R4G4B4, R5G6B5, A1R5G5B5 (rows
// tightly packed, pitch = width × bytes per pixel, DDSD_PITCH set) and the
// block-compressed DXT1, DXT3, DXT5 (through stb_dxt, high-quality mode;
// DDSD_LINEARSIZE = bytes of the top level). With mipmaps the file holds the full
// chain down to 1 × 1 with DDSD_MIPMAPCOUNT and caps TEXTURE | MIPMAP | COMPLEX;
// without, one level and caps TEXTURE.
//
// Not written: cube maps, volume textures, the extended (DX10) header,
// palettes, luminance or bump formats; the engine's reader takes none of them.
//
// Gotchas: DXT1 is written opaque (stb_dxt has no 1-bit alpha); use DXT3 or DXT5
// for alpha. Block formats pad partial edge blocks by repeating the last row and
// column. Sizes need not be powers of two: the GL device takes any size (only a
// device that reports the power-of-two restriction would want them rounded).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/image/image.h"

namespace image {

enum class DdsFormat { A8R8G8B8, X8R8G8B8, A4R4G4B4, R5G6B5, A1R5G5B5, DXT1, DXT3, DXT5 };

struct DdsOptions {
    DdsFormat format = DdsFormat::A8R8G8B8;
    bool mipmaps = false;
};

// Byte size of one level of width × height in the format.
size_t DdsLevelSize(DdsFormat format, int width, int height);
// Number of levels of a full chain: 1 + floor(log2(max(width, height))).
int MipLevelCount(int width, int height);

// The whole file. Fails (out untouched) on an empty image.
bool EncodeDds(const Image& image, DdsOptions options, std::vector<uint8_t>& out, std::string* error = nullptr);

// A file from levels the caller made (for example mips with a sharper filter).
// Each level must be max(1, previous / 2) in each direction; more than one level
// writes the mip-map flags and caps.
bool EncodeDdsLevels(const std::vector<Image>& levels, DdsFormat format, std::vector<uint8_t>& out,
                     std::string* error = nullptr);

bool SaveDds(const Image& image, DdsOptions options, const std::string& path, std::string* error = nullptr);

// Parses a format name as the tools' command lines take it ("dxt1", "a8r8g8b8",
// any case). False for an unknown name.
bool ParseDdsFormat(const std::string& name, DdsFormat& format);

}  // namespace image
