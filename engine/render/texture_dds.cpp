// DDS header checks, the device-format choice and the two-surface read: file
// levels into system memory, then one blit per level onto the device texture.
#include "engine/render/texture_dds.h"

#include <bit>
#include <cstdio>
#include <memory>
#include <utility>

#include "engine/files/zk_file.h"
#include "platform/ref_ptr.h"
#include "platform/report.h"

namespace ZK3D {

namespace {

constexpr DWORD kChainCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;  // 0x401008

int Bits(DWORD mask) { return std::popcount(mask); }

// Levels of a full chain for the size: 1 + floor(log2(max side)).
DWORD FullChain(DWORD width, DWORD height) {
    DWORD side = width > height ? width : height;
    DWORD levels = 1;
    while (side > 1) {
        side >>= 1;
        ++levels;
    }
    return levels;
}

// The levels the platform makes for a description: a chain only when the caps
// ask for mip-maps.
DWORD LevelsOf(const DdsFileHeader& h) {
    return (h.caps[0] & DDSCAPS_MIPMAP) && h.mipMapCount > 1 ? h.mipMapCount : 1;
}

using SurfaceRef = platform::RefPtr<IDirectDrawSurface7>;

// Moves level on to the next level of its chain; false when there is none (the
// call's result in *result), with level left where it was.
bool StepLevel(SurfaceRef& level, HRESULT* result) {
    DDSCAPS2 caps{kChainCaps, 0, 0, 0};
    SurfaceRef next;
    *result = level->GetAttachedSurface(&caps, next.put());
    if (FAILED(*result) || !next) return false;
    level = std::move(next);
    return true;
}

// Reads one locked level's bytes from the file: the linear size straight in, or
// the rows at the surface's pitch.
const char* ReadLevel(zkFile& file, const DDSURFACEDESC2& level) {
    auto* memory = static_cast<uint8_t*>(level.lpSurface);
    const uint64_t left = file.AtEnd() ? 0 : file.Size() - file.Tell();
    if (!memory) return "a level without memory";
    if (level.dwFlags & DDSD_LINEARSIZE) {
        if (level.dwLinearSize > left) return "its data ends inside a level";
        file.Read(memory, level.dwLinearSize, 1);
        return nullptr;
    }
    const uint64_t row = static_cast<uint64_t>(level.ddpfPixelFormat.dwRGBBitCount / 8) * level.dwWidth;
    if (level.lPitch < 0 || row > static_cast<uint64_t>(level.lPitch)) return "a level whose rows do not fit";
    if (row * level.dwHeight > left) return "its data ends inside a level";
    for (DWORD y = 0; y < level.dwHeight; ++y)
        file.Read(memory + static_cast<ptrdiff_t>(level.lPitch) * y, static_cast<uint32_t>(row), 1);
    return nullptr;
}

HRESULT Refuse(const char* fileName, const char* problem) {
    LogMessage("[Tex] DDS file \"%s\" refused : %s", fileName, problem);
    return E_UNEXPECTED;
}

}  // namespace

DDSURFACEDESC2 DdsDescription(const DdsFileHeader& h) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = h.flags;
    d.dwHeight = h.height;
    d.dwWidth = h.width;
    d.dwLinearSize = h.pitchOrLinearSize;
    d.dwBackBufferCount = h.backBufferCount;
    d.dwMipMapCount = h.mipMapCount;
    d.dwAlphaBitDepth = h.alphaBitDepth;
    d.dwReserved = h.reserved;
    d.lpSurface = nullptr;
    d.ddckCKDestOverlay = {h.colorKeys[0], h.colorKeys[1]};
    d.ddckCKDestBlt = {h.colorKeys[2], h.colorKeys[3]};
    d.ddckCKSrcOverlay = {h.colorKeys[4], h.colorKeys[5]};
    d.ddckCKSrcBlt = {h.colorKeys[6], h.colorKeys[7]};
    d.ddpfPixelFormat = {h.pfSize,      h.pfFlags,    h.pfFourCC,   h.pfRGBBitCount,
                         h.pfRBitMask,  h.pfGBitMask, h.pfBBitMask, h.pfRGBAlphaBitMask};
    d.ddsCaps = {h.caps[0], h.caps[1], h.caps[2], h.caps[3]};
    d.dwTextureStage = h.textureStage;
    return d;
}

uint64_t DdsLevelBytes(const DDPIXELFORMAT& f, DWORD width, DWORD height) {
    if (f.dwFourCC != 0) {
        uint64_t block = 0;
        if (f.dwFourCC == FOURCC_DXT1)
            block = 8;
        else if (f.dwFourCC == FOURCC_DXT2 || f.dwFourCC == FOURCC_DXT3 || f.dwFourCC == FOURCC_DXT4 ||
                 f.dwFourCC == FOURCC_DXT5)
            block = 16;
        const uint64_t bw = width > 4 ? (width + 3) / 4 : 1, bh = height > 4 ? (height + 3) / 4 : 1;
        return block * bw * bh;
    }
    return static_cast<uint64_t>(f.dwRGBBitCount / 8) * width * height;
}

const char* DdsHeaderProblem(const DdsFileHeader& h, uint64_t dataBytes) {
    if (h.size != 124) return "its header size is not 124";
    if (h.pfSize != 32) return "its pixel format size is not 32";
    if (h.width == 0 || h.height == 0 || h.width > kDdsMaxSide || h.height > kDdsMaxSide)
        return "its dimensions are out of range";
    if ((h.caps[0] & DDSCAPS_MIPMAP) && h.mipMapCount > FullChain(h.width, h.height))
        return "it has more mip-map levels than its size allows";
    // The FourCC code decides whether the pixels are compressed; the devices read
    // the flag, so a header where the two disagree would be seen two ways.
    if (((h.pfFlags & DDPF_FOURCC) != 0) != (h.pfFourCC != 0)) return "its FourCC flag and FourCC code disagree";
    if (h.pfFourCC == 0) {
        const DWORD bits = h.pfRGBBitCount;
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return "its pixels are not 8, 16, 24 or 32 bits";
    }
    DDPIXELFORMAT format{h.pfSize,     h.pfFlags,    h.pfFourCC,   h.pfRGBBitCount,
                         h.pfRBitMask, h.pfGBitMask, h.pfBBitMask, h.pfRGBAlphaBitMask};
    uint64_t need = 0;
    DWORD w = h.width, ht = h.height;
    for (DWORD i = 0; i < LevelsOf(h); ++i) {
        need += DdsLevelBytes(format, w, ht);
        w = w > 1 ? w / 2 : 1;
        ht = ht > 1 ? ht / 2 : 1;
    }
    if (need > dataBytes) return "its data is shorter than its levels need";
    return nullptr;
}

bool ChooseDdsFormat(const DDPIXELFORMAT& file, const std::vector<DDPIXELFORMAT>& formats, DDPIXELFORMAT* chosen) {
    if (file.dwFourCC == 0) {
        for (const DDPIXELFORMAT& f : formats) {
            if (f.dwFourCC == 0 && Bits(f.dwRGBAlphaBitMask) == Bits(file.dwRGBAlphaBitMask) &&
                Bits(f.dwRBitMask) == Bits(file.dwRBitMask) && Bits(f.dwGBitMask) == Bits(file.dwGBitMask) &&
                Bits(f.dwBBitMask) == Bits(file.dwBBitMask)) {
                *chosen = f;
                return true;
            }
        }
        return false;
    }
    for (const DDPIXELFORMAT& f : formats) {
        if (f.dwFourCC == file.dwFourCC) {
            *chosen = f;
            return true;
        }
    }
    // A DXT file on a device without that format: an uncompressed format with
    // the alpha depth the variant carries (premultiplied for DXT2 and DXT4).
    int wanted = 0;
    switch (file.dwFourCC) {
        case FOURCC_DXT1: wanted = 1; break;
        case FOURCC_DXT2:
        case FOURCC_DXT3: wanted = 4; break;
        case FOURCC_DXT4:
        case FOURCC_DXT5: wanted = 8; break;
        default: return false;
    }
    const bool premultiplied = file.dwFourCC == FOURCC_DXT2 || file.dwFourCC == FOURCC_DXT4;
    const DDPIXELFORMAT* most = nullptr;
    for (const DDPIXELFORMAT& f : formats) {
        if (Bits(f.dwRBitMask) < 4 || Bits(f.dwGBitMask) < 4 || Bits(f.dwBBitMask) < 4) continue;
        if (((f.dwFlags & DDPF_ALPHAPREMULT) != 0) != premultiplied) continue;
        if (Bits(f.dwRGBAlphaBitMask) == wanted) {
            *chosen = f;
            return true;
        }
        if (!most || Bits(f.dwRGBAlphaBitMask) > Bits(most->dwRGBAlphaBitMask)) most = &f;
    }
    if (!most) return false;
    *chosen = *most;
    return true;
}

HRESULT ReadDdsTexture(IDirectDraw7* ddraw, const std::vector<DDPIXELFORMAT>& formats, const char* fileName,
                       TextureImage* image) {
    *image = TextureImage{};
    if (!ddraw || !fileName) return E_UNEXPECTED;
    std::unique_ptr<zkFile> file = zkOpenFile(fileName, DiskFirst);
    if (!file) return E_UNEXPECTED;
    DWORD magic = 0;
    if (file->Read(&magic, sizeof magic, 1) != 1 || magic != kDdsMagic) return Refuse(fileName, "no \"DDS \" magic");
    DdsFileHeader header{};
    if (file->Read(&header, sizeof header, 1) != 1) return Refuse(fileName, "its header is cut short");
    if (const char* problem = DdsHeaderProblem(header, file->Size() - file->Tell())) return Refuse(fileName, problem);

    DDSURFACEDESC2 desc = DdsDescription(header);
    image->width = desc.dwWidth;
    image->height = desc.dwHeight;
    image->mipCount = desc.dwMipMapCount;
    // The device format is known before anything is read: a file no listed
    // format fits is refused without making surfaces for it.
    DDPIXELFORMAT deviceFormat{};
    if (!ChooseDdsFormat(desc.ddpfPixelFormat, formats, &deviceFormat)) {
        LogMessage("[Tex] DDS file \"%s\" refused : no texture format of the device fits its pixels", fileName);
        return DDERR_INVALIDPIXELFORMAT;
    }

    desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    desc.dwFlags &= ~(DDSD_PITCH | DDSD_LINEARSIZE);
    SurfaceRef system;
    HRESULT hr = ddraw->CreateSurface(&desc, system.put(), nullptr);
    if (FAILED(hr) || !system) return ReportDDResult(FAILED(hr) ? hr : E_UNEXPECTED);

    SurfaceRef level = system;
    for (;;) {
        DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        hr = level->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr);
        if (FAILED(hr)) return ReportDDResult(hr);
        const char* problem = ReadLevel(*file, locked);
        ReportDDResult(level->Unlock(nullptr));
        if (problem) return Refuse(fileName, problem);
        HRESULT stepped = S_OK;
        if (!StepLevel(level, &stepped)) break;
    }
    file.reset();

    desc.ddpfPixelFormat = deviceFormat;
    desc.ddsCaps = {DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM, 0, 0, 0};
    hr = ddraw->CreateSurface(&desc, &image->surface, nullptr);
    if (FAILED(hr) || !image->surface) {
        image->surface = nullptr;
        return ReportDDResult(FAILED(hr) ? hr : E_UNEXPECTED);
    }

    SurfaceRef source = system;
    image->surface->AddRef();
    SurfaceRef target(image->surface);
    for (;;) {
        hr = target->Blt(nullptr, source.get(), nullptr, DDBLT_WAIT, nullptr);
        if (FAILED(hr)) return hr;
        HRESULT stepped = S_OK;
        if (!StepLevel(source, &stepped)) return S_OK;
        if (!StepLevel(target, &stepped)) return FAILED(stepped) ? stepped : E_UNEXPECTED;
    }
}

}  // namespace ZK3D
