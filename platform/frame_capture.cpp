#include "platform/frame_capture.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

namespace platform {

bool ReadBackBuffer(ID3DXContext* context, std::vector<uint8_t>* rgb, int* width, int* height) {
    if (!context) return false;
    IDirectDrawSurface7* back = context->GetBackBuffer(0);
    if (!back) return false;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    bool ok = back->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) == DD_OK;
    if (ok) {
        const int w = int(desc.dwWidth), h = int(desc.dwHeight);
        rgb->resize(size_t(w) * size_t(h) * 3);
        for (int y = 0; y < h; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(desc.lpSurface) +
                                                                size_t(y) * size_t(desc.lPitch));
            uint8_t* out = rgb->data() + size_t(y) * size_t(w) * 3;
            for (int x = 0; x < w; ++x) {
                const uint32_t p = row[x];  // X8R8G8B8
                out[3 * x] = uint8_t(p >> 16);
                out[3 * x + 1] = uint8_t(p >> 8);
                out[3 * x + 2] = uint8_t(p);
            }
        }
        *width = w;
        *height = h;
        back->Unlock(nullptr);
    }
    back->Release();
    return ok;
}

bool WritePng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height) {
    if (width <= 0 || height <= 0 || rgb.size() < size_t(width) * size_t(height) * 3) return false;
    return stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}

bool ReadImageRgb(const std::string& path, std::vector<uint8_t>* rgb, int* width, int* height) {
    int w = 0, h = 0, channels = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &w, &h, &channels, 3);
    if (!pixels) return false;
    rgb->assign(pixels, pixels + size_t(w) * size_t(h) * 3);
    stbi_image_free(pixels);
    *width = w;
    *height = h;
    return true;
}

}  // namespace platform
