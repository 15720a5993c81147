// Reads a DDS file held in memory into its levels, for the texture loader:
// DXT1..DXT5 blocks or any masked RGB / luminance / alpha layout of 8 to 32 bits.
//
// Rejects what the device cannot hold (cube maps, volumes, the "DX10" extended
// header, palettes, other FourCCs) as Unsupported, and truncated or inconsistent
// files as Malformed, without reading past the given bytes. Levels missing at
// the end of a truncated chain are dropped; a missing top level is Malformed.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d7.h"
#include "platform/gl/pixel_format.h"

namespace platform::gl {

struct DdsImage {
    DDPIXELFORMAT pixelFormat{};
    Format format = Format::Unknown;  // the device format when the file's matches one exactly
    int width = 0, height = 0;
    struct Level {
        int width, height;
        size_t pitch;
        std::vector<uint8_t> bytes;
    };
    std::vector<Level> levels;
};

enum class DdsStatus { Ok, NotDds, Unsupported, Malformed };

DdsStatus ReadDds(const uint8_t* data, size_t size, DdsImage* image);

// A level as ARGB pixels (top row first).
std::vector<uint32_t> DecodeDdsLevel(const DdsImage& image, size_t level);

// Whether the image has an alpha channel worth keeping.
bool DdsHasAlpha(const DdsImage& image);

}  // namespace platform::gl
