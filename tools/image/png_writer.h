// Writes images as 8-bit RGBA PNG through stb_image_write, for textures the
// engine loads through the platform's generic image loader and for previews.
// Always four channels of 8 bits: no palettes, no 16-bit samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/image/image.h"

namespace image {

bool EncodePng(const Image& image, std::vector<uint8_t>& out, std::string* error = nullptr);
bool SavePng(const Image& image, const std::string& path, std::string* error = nullptr);

}  // namespace image
