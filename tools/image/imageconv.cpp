// imageconv: converts an image file (PNG, JPEG, TGA, BMP, ... through
// stb_image) into a DDS, JPEG or PNG texture for the engine.
#include <stb/stb_image.h>

#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "tools/image/dds_writer.h"
#include "tools/image/image.h"
#include "tools/image/jpeg_writer.h"
#include "tools/image/png_writer.h"

namespace {

const char kUsage[] =
    "usage: imageconv [options] INPUT OUTPUT\n"
    "\n"
    "Reads INPUT (PNG, JPEG, TGA, BMP, GIF, PSD, ...) and writes OUTPUT in the\n"
    "format its extension names: .dds, .jpg / .jpeg or .png.\n"
    "\n"
    "  --format F   DDS pixel format: a8r8g8b8 (default), x8r8g8b8, a4r4g4b4,\n"
    "               r5g6b5, a1r5g5b5, dxt1, dxt3, dxt5\n"
    "  --mipmaps    DDS: write the full mip-map chain\n"
    "  --quality Q  JPEG quality 1-100 (default 90)\n"
    "  --no-subsample  JPEG: keep full chroma resolution\n";

std::string Extension(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return {};
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(uint8_t(c)));
    return ext;
}

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    image::DdsOptions dds;
    image::JpegOptions jpeg;
    const char* input = nullptr;
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--format" && i + 1 < argc) {
            if (!image::ParseDdsFormat(argv[++i], dds.format)) {
                std::fprintf(stderr, "imageconv: unknown format \"%s\"\n", argv[i]);
                return 2;
            }
        } else if (arg == "--mipmaps") {
            dds.mipmaps = true;
        } else if (arg == "--quality" && i + 1 < argc) {
            jpeg.quality = std::atoi(argv[++i]);
            if (jpeg.quality < 1 || jpeg.quality > 100) return Usage();
        } else if (arg == "--no-subsample") {
            jpeg.subsampleChroma = false;
        } else if (arg[0] == '-') {
            return Usage();
        } else if (!input) {
            input = argv[i];
        } else if (!output) {
            output = argv[i];
        } else {
            return Usage();
        }
    }
    if (!input || !output) return Usage();
    const std::string ext = Extension(output);
    if (ext != "dds" && ext != "jpg" && ext != "jpeg" && ext != "png") {
        std::fprintf(stderr, "imageconv: cannot tell the output format from \"%s\"\n", output);
        return 2;
    }

    int w = 0, h = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load(input, &w, &h, &channels, 4), &stbi_image_free);
    if (!pixels) {
        std::fprintf(stderr, "imageconv: cannot read \"%s\": %s\n", input, stbi_failure_reason());
        return 1;
    }
    image::Image img(w, h);
    std::memcpy(img.pixels().data(), pixels.get(), size_t(w) * size_t(h) * 4);

    std::string error;
    bool ok;
    if (ext == "dds") ok = image::SaveDds(img, dds, output, &error);
    else if (ext == "png") ok = image::SavePng(img, output, &error);
    else ok = image::SaveJpeg(img, jpeg, output, &error);
    if (!ok) {
        std::fprintf(stderr, "imageconv: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
