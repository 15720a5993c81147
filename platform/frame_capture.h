// Reading a finished frame back from the device and writing it as a PNG, for
// capture runs, reference images and tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3dx.h"

namespace platform {

// The context's back buffer (through Lock), as 8-bit RGB, top row first.
bool ReadBackBuffer(ID3DXContext* context, std::vector<uint8_t>* rgb, int* width, int* height);

// Writes 8-bit RGB pixels as a PNG file; false when the file cannot be written.
bool WritePng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height);

// Reads a PNG (or any image stb_image knows) as 8-bit RGB; false when it cannot.
bool ReadImageRgb(const std::string& path, std::vector<uint8_t>* rgb, int* width, int* height);

}  // namespace platform
