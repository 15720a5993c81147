// JPEG encoding through libjpeg's memory destination.
//
// libjpeg reports fatal errors through error_exit, which must not return; it
// jumps back into Compress. Compress holds only trivially destructible locals
// so the jump skips no destructor, and no C++ exception crosses libjpeg.
#include "tools/image/jpeg_writer.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace image {
namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void SilentMessage(j_common_ptr) {}

// Compresses tightly packed RGB rows into a buffer that libjpeg allocates with
// malloc (the caller frees it, also after a failure).
bool Compress(const uint8_t* rgb, int width, int height, JpegOptions options, unsigned char** buffer,
              unsigned long* size, char* message) {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = SilentMessage;
    if (setjmp(err.jump)) {
        std::strcpy(message, err.message);
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, buffer, size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, std::clamp(options.quality, 1, 100), TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.optimize_coding = TRUE;
    if (!options.subsampleChroma)
        for (int c = 0; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(rgb + size_t(cinfo.next_scanline) * size_t(width) * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

}  // namespace

bool EncodeJpeg(const Image& image, JpegOptions options, std::vector<uint8_t>& out, std::string* error) {
    if (image.empty()) return Fail(error, "empty image");
    if (image.width() > 65500 || image.height() > 65500) return Fail(error, "image too large for JPEG");
    std::vector<uint8_t> rgb;
    rgb.reserve(image.pixels().size() * 3);
    for (const Rgba& p : image.pixels()) rgb.insert(rgb.end(), {p.r, p.g, p.b});

    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    char message[JMSG_LENGTH_MAX] = {};
    const bool ok = Compress(rgb.data(), image.width(), image.height(), options, &buffer, &size, message);
    std::unique_ptr<unsigned char, void (*)(void*)> owned(buffer, &std::free);
    if (!ok) return Fail(error, std::string("libjpeg: ") + message);
    out.insert(out.end(), buffer, buffer + size);
    return true;
}

bool SaveJpeg(const Image& image, JpegOptions options, const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!EncodeJpeg(image, options, bytes, error)) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) return Fail(error, "cannot create \"" + path + "\"");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() || std::fclose(file.release()) != 0)
        return Fail(error, "cannot write \"" + path + "\"");
    return true;
}

}  // namespace image
