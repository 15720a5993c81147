// Writes images as baseline JPEG (three components, RGB in, YCbCr in the file)
// through libjpeg, the kind of file the engine's JPEG texture reader accepts.
//
// Alpha is dropped; greyscale and progressive files are never written (the
// engine's reader refuses the first and gains nothing from the second). The integer DCT is used so the bytes do not depend on the
// machine's SIMD paths; Huffman tables are optimised (still baseline).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/image/image.h"

namespace image {

struct JpegOptions {
    int quality = 90;             // 1–100
    bool subsampleChroma = true;  // 4:2:0; false keeps full colour resolution (4:4:4)
};

bool EncodeJpeg(const Image& image, JpegOptions options, std::vector<uint8_t>& out, std::string* error = nullptr);
bool SaveJpeg(const Image& image, JpegOptions options, const std::string& path, std::string* error = nullptr);

}  // namespace image
