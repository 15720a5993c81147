#include "platform/dds_header.h"

#include <cstring>

namespace platform {

namespace {

DWORD Get(const uint8_t* p, size_t offset) {
    return DWORD(p[offset]) | DWORD(p[offset + 1]) << 8 | DWORD(p[offset + 2]) << 16 | DWORD(p[offset + 3]) << 24;
}

void Put(uint8_t* p, size_t offset, DWORD v) {
    for (int i = 0; i < 4; ++i) p[offset + size_t(i)] = uint8_t(v >> (8 * i));
}

}  // namespace

bool ReadDdsHeader(const uint8_t* b, size_t size, DDSURFACEDESC2* desc) {
    if (!b || !desc || size < kDdsHeaderBytes) return false;
    if (Get(b, 0) != kDdsHeaderBytes || Get(b, 72) != sizeof(DDPIXELFORMAT)) return false;
    std::memset(desc, 0, sizeof *desc);
    desc->dwSize = Get(b, 0);
    desc->dwFlags = Get(b, 4);
    desc->dwHeight = Get(b, 8);
    desc->dwWidth = Get(b, 12);
    desc->dwLinearSize = Get(b, 16);
    desc->dwBackBufferCount = Get(b, 20);
    desc->dwMipMapCount = Get(b, 24);
    desc->dwAlphaBitDepth = Get(b, 28);
    desc->dwReserved = Get(b, 32);
    desc->lpSurface = nullptr;  // offset 36: a 32-bit slot, meaningless in a file
    DDCOLORKEY* keys[4] = {&desc->ddckCKDestOverlay, &desc->ddckCKDestBlt, &desc->ddckCKSrcOverlay,
                           &desc->ddckCKSrcBlt};
    for (int i = 0; i < 4; ++i) {
        keys[i]->dwColorSpaceLowValue = Get(b, 40 + 8 * size_t(i));
        keys[i]->dwColorSpaceHighValue = Get(b, 44 + 8 * size_t(i));
    }
    DDPIXELFORMAT& pf = desc->ddpfPixelFormat;
    pf.dwSize = Get(b, 72);
    pf.dwFlags = Get(b, 76);
    pf.dwFourCC = Get(b, 80);
    pf.dwRGBBitCount = Get(b, 84);
    pf.dwRBitMask = Get(b, 88);
    pf.dwGBitMask = Get(b, 92);
    pf.dwBBitMask = Get(b, 96);
    pf.dwRGBAlphaBitMask = Get(b, 100);
    desc->ddsCaps.dwCaps = Get(b, 104);
    desc->ddsCaps.dwCaps2 = Get(b, 108);
    desc->ddsCaps.dwCaps3 = Get(b, 112);
    desc->ddsCaps.dwCaps4 = Get(b, 116);
    desc->dwTextureStage = Get(b, 120);
    return true;
}

void WriteDdsHeader(const DDSURFACEDESC2& d, uint8_t out[kDdsHeaderBytes]) {
    std::memset(out, 0, kDdsHeaderBytes);
    Put(out, 0, DWORD(kDdsHeaderBytes));
    Put(out, 4, d.dwFlags);
    Put(out, 8, d.dwHeight);
    Put(out, 12, d.dwWidth);
    Put(out, 16, d.dwLinearSize);
    Put(out, 20, d.dwBackBufferCount);
    Put(out, 24, d.dwMipMapCount);
    Put(out, 28, d.dwAlphaBitDepth);
    Put(out, 32, d.dwReserved);
    const DDCOLORKEY* keys[4] = {&d.ddckCKDestOverlay, &d.ddckCKDestBlt, &d.ddckCKSrcOverlay, &d.ddckCKSrcBlt};
    for (int i = 0; i < 4; ++i) {
        Put(out, 40 + 8 * size_t(i), keys[i]->dwColorSpaceLowValue);
        Put(out, 44 + 8 * size_t(i), keys[i]->dwColorSpaceHighValue);
    }
    const DDPIXELFORMAT& pf = d.ddpfPixelFormat;
    Put(out, 72, DWORD(sizeof(DDPIXELFORMAT)));
    Put(out, 76, pf.dwFlags);
    Put(out, 80, pf.dwFourCC);
    Put(out, 84, pf.dwRGBBitCount);
    Put(out, 88, pf.dwRBitMask);
    Put(out, 92, pf.dwGBitMask);
    Put(out, 96, pf.dwBBitMask);
    Put(out, 100, pf.dwRGBAlphaBitMask);
    Put(out, 104, d.ddsCaps.dwCaps);
    Put(out, 108, d.ddsCaps.dwCaps2);
    Put(out, 112, d.ddsCaps.dwCaps3);
    Put(out, 116, d.ddsCaps.dwCaps4);
    Put(out, 120, d.dwTextureStage);
}

}  // namespace platform
