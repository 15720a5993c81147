// The surface pixel formats the GL device knows, their DirectDraw descriptions,
// level sizes and pitches, and CPU conversions between them and 32-bit ARGB
// (0xAARRGGBB, the D3DCOLOR packing): 16-bit RGB, 32-bit RGB, DXT1..DXT5 blocks
// (decode and encode), any masked RGB/luminance layout a DDS file may carry,
// scaling with a point or linear filter, and mip-level reduction.
//
// Pure CPU code: no GL here, so everything in this file is unit-tested directly.
//
// Gotchas: 5- and 6-bit channels expand by bit replication (as D3D hardware
// does), DXT interpolation truncates like the reference S3TC decoder, and DXT2 /
// DXT4 colours stay premultiplied as stored (nothing divides them back).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3d7.h"

namespace platform::gl {

enum class Format : uint8_t {
    Unknown,
    X1R5G5B5,
    A1R5G5B5,
    A4R4G4B4,
    R5G6B5,
    X8R8G8B8,
    A8R8G8B8,
    DXT1,
    DXT2,
    DXT3,
    DXT4,
    DXT5,
    Depth16,  // 16-bit depth word, mask 0xFFFF
    Depth24,  // 32-bit word holding 24 bits of depth, mask 0x00FFFFFF
};

// The texture formats in the order EnumTextureFormats lists them.
inline constexpr Format kTextureFormats[] = {
    Format::X1R5G5B5, Format::A1R5G5B5, Format::A4R4G4B4, Format::R5G6B5, Format::X8R8G8B8,
    Format::A8R8G8B8, Format::DXT1,     Format::DXT2,     Format::DXT3,   Format::DXT4,
    Format::DXT5,
};

bool IsCompressed(Format format);
bool IsDepth(Format format);
bool HasAlpha(Format format);
// Bytes per pixel of an uncompressed format, bytes per 4 x 4 block of a DXT one.
int BytesPerUnit(Format format);
// Depth mask of a depth format (0 for the others).
DWORD DepthMask(Format format);

// The DirectDraw description of a format, and the format a description names
// (Unknown when it matches none exactly).
DDPIXELFORMAT PixelFormatOf(Format format);
Format FormatOf(const DDPIXELFORMAT& pf);

// Row pitch of an uncompressed level: width x bytes per pixel rounded up to 4.
// For a DXT level: bytes of one row of blocks.
size_t LevelPitch(Format format, int width);
// Bytes of one level: pitch x height, or blocks x block bytes for DXT (a level
// smaller than 4 x 4 still takes a whole block).
size_t LevelSize(Format format, int width, int height);
// Levels of a full chain down to 1 x 1.
int FullMipCount(int width, int height);

// Decodes one whole level into ARGB pixels (width x height, top row first).
void DecodeLevel(Format format, const uint8_t* src, size_t pitch, int width, int height, uint32_t* out);
// Encodes ARGB pixels into one level of the format (pitch as LevelPitch gives for
// uncompressed formats; ignored for DXT).
void EncodeLevel(Format format, const uint32_t* src, int width, int height, uint8_t* dst, size_t pitch);

// One 4 x 4 block of texels (index 4y + x) as ARGB.
void DecodeDxtBlock(Format format, const uint8_t* block, uint32_t out[16]);

// Decodes any uncompressed RGB, alpha-only or luminance layout of 8 to 32 bits
// per pixel described by masks (as DDS files carry them). False when the
// description is not such a layout.
bool DecodeMasked(const DDPIXELFORMAT& pf, const uint8_t* src, size_t pitch, int width, int height,
                  uint32_t* out);

// Scales an ARGB image: point picks the nearest texel; linear interpolates
// between texel centres when enlarging and averages the covered texels when
// shrinking.
void ScaleArgb(const uint32_t* src, int sw, int sh, uint32_t* dst, int dw, int dh, bool linear);
// The next mip level: half size (at least 1), 2 x 2 box average or point pick.
std::vector<uint32_t> ReduceArgb(const uint32_t* src, int width, int height, bool linear);

// Channel helpers for 16-bit formats (bit replication, rounding on the way in).
uint32_t Expand565(uint16_t c);
uint16_t Pack565(uint32_t argb);

}  // namespace platform::gl
