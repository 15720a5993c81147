// PNG encoding through stb_image_write's callback interface.
#include "tools/image/png_writer.h"

#include <stb/stb_image_write.h>

#include <cstdio>
#include <memory>

namespace image {
namespace {

void Append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

}  // namespace

bool EncodePng(const Image& image, std::vector<uint8_t>& out, std::string* error) {
    if (image.empty()) return Fail(error, "empty image");
    static_assert(sizeof(Rgba) == 4);
    std::vector<uint8_t> bytes;
    if (!stbi_write_png_to_func(Append, &bytes, image.width(), image.height(), 4, image.pixels().data(),
                                image.width() * 4))
        return Fail(error, "PNG encoding failed");
    out.insert(out.end(), bytes.begin(), bytes.end());
    return true;
}

bool SavePng(const Image& image, const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!EncodePng(image, bytes, error)) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) return Fail(error, "cannot create \"" + path + "\"");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() || std::fclose(file.release()) != 0)
        return Fail(error, "cannot write \"" + path + "\"");
    return true;
}

}  // namespace image
