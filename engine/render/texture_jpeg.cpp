// JPEG decoding through libjpeg's IJG 6.x interface and the 5-6-5 conversion
// into the locked texture.
#include "engine/render/texture_jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <jpeglib.h>

#include "engine/files/zk_file.h"
#include "platform/report.h"

namespace ZK3D {

namespace {

struct JpegErrorManager {
    jpeg_error_mgr manager;  // first: the library hands back a pointer to it
    std::jmp_buf jump;
};

// What one decode needs and leaves behind. It lives outside the frame that
// calls setjmp, so nothing of it is lost or left undefined by the jump.
struct JpegJob {
    std::FILE* stream = nullptr;
    IDirect3DDevice7* device = nullptr;
    CreateTextureFunction createTexture = nullptr;
    TextureImage* image = nullptr;
    unsigned char* pixels = nullptr;  // malloc'd: height rows of rowSize bytes
    JSAMPROW* rows = nullptr;         // malloc'd
    size_t rowSize = 0;
    jpeg_decompress_struct cinfo{};
    JpegErrorManager error{};

    ~JpegJob() {
        std::free(pixels);
        std::free(rows);
    }
};

// The library's messages, formatted by the library, go through the report layer as
// plain lines: a fatal one is followed by the caller's own error.
void ReportJpegMessage(j_common_ptr cinfo) noexcept {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    LogMessage("[Load-jpeg] %s", text);
}

// libjpeg's fatal errors must not return: print, then jump back into DecodeJpeg.
[[noreturn]] void JumpOnJpegError(j_common_ptr cinfo) noexcept {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

// Every libjpeg call happens in this frame, between its setjmp and its returns.
// Its only locals are a pointer and plain integers, none changed after setjmp,
// so the jump skips no destructor and finds them as they were.
HRESULT DecodeJpeg(JpegJob* job) {
    jpeg_decompress_struct* const cinfo = &job->cinfo;
    cinfo->err = jpeg_std_error(&job->error.manager);
    job->error.manager.error_exit = JumpOnJpegError;
    job->error.manager.output_message = ReportJpegMessage;
    if (setjmp(job->error.jump)) {
        jpeg_destroy_decompress(cinfo);
        return E_UNEXPECTED;
    }

    jpeg_CreateDecompress(cinfo, JPEG_LIB_VERSION, sizeof(struct jpeg_decompress_struct));
    jpeg_stdio_src(cinfo, job->stream);
    jpeg_read_header(cinfo, TRUE);
    // Colour files are asked for as RGB; greyscale ones stay one component so the
    // check below refuses them whichever library version is linked.
    if (cinfo->jpeg_color_space != JCS_GRAYSCALE) cinfo->out_color_space = JCS_RGB;
    jpeg_start_decompress(cinfo);

    TextureImage* image = job->image;
    image->width = cinfo->output_width;
    image->height = cinfo->output_height;
    job->rowSize = static_cast<size_t>(cinfo->output_width) * static_cast<size_t>(cinfo->output_components);
    if (cinfo->output_components != 3) {
        LogError("[Load-jpeg] Unable to load other than RGB format");
        jpeg_destroy_decompress(cinfo);
        return E_UNEXPECTED;
    }

    image->format = D3DX_SF_R5G6B5;
    const HRESULT created = job->createTexture(job->device, nullptr, &image->width, &image->height, &image->format,
                                               nullptr, &image->surface, &image->mipCount);
    if (created < 0) {
        ReportD3DXResult(created);
        LogError("[Load-jpeg] Error when creating surface");
        jpeg_destroy_decompress(cinfo);
        return created;
    }
    // The utility library may round the size to one the device takes; the image
    // is not scaled to fit.
    if (image->width != cinfo->output_width || image->height != cinfo->output_height) {
        LogError("[Load-jpeg] Mapping dimensions are not the same");
        jpeg_destroy_decompress(cinfo);
        return E_UNEXPECTED;
    }

    job->pixels = static_cast<unsigned char*>(std::malloc(job->rowSize * cinfo->output_height));
    job->rows = static_cast<JSAMPROW*>(std::malloc(sizeof(JSAMPROW) * cinfo->output_height));
    if (!job->pixels || !job->rows) {
        LogError("[Load-jpeg] Not enough memory to read file");
        jpeg_destroy_decompress(cinfo);
        return E_UNEXPECTED;
    }
    for (JDIMENSION y = 0; y < cinfo->output_height; ++y) job->rows[y] = job->pixels + job->rowSize * y;
    while (cinfo->output_scanline < cinfo->output_height)
        jpeg_read_scanlines(cinfo, &job->rows[cinfo->output_scanline], 1);
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    return S_OK;
}

// R, G, B bytes of each row as 5-6-5 words into the locked top level.
HRESULT WritePixels(const JpegJob& job) {
    const TextureImage& image = *job.image;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    HRESULT hr = image.surface->Lock(nullptr, &desc, DDLOCK_WRITEONLY, nullptr);
    if (FAILED(hr)) {
        ReportDDResult(hr);
        LogError("[Load-jpeg] Cannot lock surface for writing");
        return hr;
    }
    // The surface is the one asked for; a device that gave anything else must not
    // be written past its rows.
    if (!desc.lpSurface || desc.ddpfPixelFormat.dwRGBBitCount != 16 || desc.dwWidth < image.width ||
        desc.dwHeight < image.height || desc.lPitch < static_cast<LONG>(2 * image.width)) {
        image.surface->Unlock(nullptr);
        LogError("[Load-jpeg] Mapping dimensions are not the same");
        return E_UNEXPECTED;
    }
    for (DWORD y = 0; y < image.height; ++y) {
        const unsigned char* in = job.pixels + job.rowSize * y;
        auto* out = static_cast<unsigned char*>(desc.lpSurface) + static_cast<ptrdiff_t>(desc.lPitch) * y;
        for (DWORD x = 0; x < image.width; ++x, in += 3, out += 2) {
            const uint16_t pixel =
                static_cast<uint16_t>(((in[0] << 8) & 0xF800) | ((in[1] << 3) & 0x07E0) | (in[2] >> 3));
            std::memcpy(out, &pixel, sizeof pixel);
        }
    }
    hr = image.surface->Unlock(nullptr);
    if (FAILED(hr)) {
        ReportDDResult(hr);
        LogError("[Load-jpeg] Cannot unlock surface for writing");
        return hr;
    }
    return S_OK;
}

}  // namespace

HRESULT ReadJpegTexture(IDirect3DDevice7* device, const char* fileName, TextureImage* image,
                        CreateTextureFunction createTexture) {
    *image = TextureImage{};
    std::unique_ptr<zkFile> file = fileName ? zkOpenFile(fileName, DiskFirst) : nullptr;
    if (!file || file->Kind() != zkDiskFileKind) {
        // libjpeg reads a stdio stream; a compressed pack entry has none.
        LogError("[Load-Jpeg] Unable to open %s file (not stream)", fileName ? fileName : "");
        return E_UNEXPECTED;
    }
    // A disk file seeks its stream to its data on every read, even an empty one:
    // a stored pack entry starts further into the pack than the stream's start.
    uint8_t none = 0;
    file->Seek(0, 0);
    file->Read(&none, 1, 0);

    auto job = std::make_unique<JpegJob>();
    job->stream = static_cast<std::FILE*>(file->Handle());
    job->device = device;
    job->createTexture = createTexture;
    job->image = image;
    HRESULT hr = DecodeJpeg(job.get());
    file.reset();
    if (hr == S_OK) hr = WritePixels(*job);
    if (hr != S_OK && image->surface) {
        image->surface->Release();
        image->surface = nullptr;
    }
    return hr;
}

}  // namespace ZK3D
