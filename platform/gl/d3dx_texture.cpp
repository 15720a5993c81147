// The utility library's texture creation: D3DXCreateTexture and
// D3DXCreateTextureFromFile on the GL device.
//
// Sizes are kept unless the device's caps say otherwise (powers of two on a
// D3DPTEXTURECAPS_POW2 device, square on a SQUAREONLY one, never past its
// largest side); formats become one the device lists. Images are read with
// stb_image (BMP, PNG, TGA, GIF, PSD, HDR, PIC, PNM, JPEG) or as DDS by the
// platform, stretched to the surface with the filter when the size changed and
// converted; mip levels are reduced from the level above with the same filter.
// Safe from the scene-loader thread: it creates and locks surfaces, nothing more.
//
// Broken input never crashes: an unknown format gives
// D3DXERR_UNSUPPORTEDFILEFORMAT, a recognised but damaged file
// D3DXERR_INVALIDFILEFORMAT, a missing or unreadable file
// D3DXERR_INVALIDPARAMETER.
#include <stb_image.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3dx.h"
#include "platform/gl/dds_image.h"
#include "platform/gl/gl_device.h"
#include "platform/gl/gl_resources.h"

namespace platform::gl {

namespace {

constexpr DWORD kDefaultTextureSide = 256;
constexpr long kMaxFileBytes = 256L << 20;
constexpr uint64_t kMaxImagePixels = uint64_t(1) << 26;

// What texture sizing needs from the device's caps.
struct SizeRules {
    bool pow2 = false, square = false;
    DWORD maxWidth = 0, maxHeight = 0;  // 0: no limit reported
};

SizeRules RulesOf(IDirect3DDevice7* device) {
    D3DDEVICEDESC7 caps{};
    SizeRules rules;
    if (FAILED(device->GetCaps(&caps))) return rules;
    rules.pow2 = caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_POW2;
    rules.square = caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY;
    rules.maxWidth = caps.dwMaxTextureWidth;
    rules.maxHeight = caps.dwMaxTextureHeight;
    return rules;
}

DWORD RoundUpPow2(DWORD v) {
    DWORD p = 1;
    while (p < v && p < (DWORD(1) << 31)) p <<= 1;
    return p;
}

DWORD RoundDownPow2(DWORD v) {
    DWORD p = 1;
    while (p <= v / 2) p <<= 1;
    return p;
}

// A side the device takes: the request, rounded up on power-of-two devices and
// kept within the largest side (itself rounded down there).
DWORD FitSide(DWORD side, const SizeRules& rules, DWORD max) {
    side = std::max<DWORD>(side, 1);
    if (rules.pow2) side = RoundUpPow2(side);
    if (max > 0) side = std::min(side, rules.pow2 ? RoundDownPow2(max) : max);
    return side;
}

// The device format for a requested utility-library format; opaque is set for
// the formats whose alpha must read as 1.
Format DeviceFormat(D3DX_SURFACEFORMAT request, bool imageHasAlpha, bool* opaque) {
    *opaque = false;
    switch (request) {
        case D3DX_SF_R8G8B8:
        case D3DX_SF_X8R8G8B8:
        case D3DX_SF_L8: return Format::X8R8G8B8;
        case D3DX_SF_A8R8G8B8:
        case D3DX_SF_A8L8:
        case D3DX_SF_A8:
        case D3DX_SF_PALETTE4:
        case D3DX_SF_PALETTE8: return Format::A8R8G8B8;
        case D3DX_SF_R5G6B5: return Format::R5G6B5;
        case D3DX_SF_R5G5B5: return Format::X1R5G5B5;
        case D3DX_SF_A1R5G5B5: return Format::A1R5G5B5;
        case D3DX_SF_X4R4G4B4: *opaque = true; return Format::A4R4G4B4;
        case D3DX_SF_A4R4G4B4: return Format::A4R4G4B4;
        case D3DX_SF_DXT1: return Format::DXT1;
        case D3DX_SF_DXT3: return Format::DXT3;
        case D3DX_SF_DXT5: return Format::DXT5;
        default: return imageHasAlpha ? Format::A8R8G8B8 : Format::X8R8G8B8;
    }
}

D3DX_SURFACEFORMAT UtilityFormat(Format f) {
    switch (f) {
        case Format::X1R5G5B5: return D3DX_SF_R5G5B5;
        case Format::A1R5G5B5: return D3DX_SF_A1R5G5B5;
        case Format::A4R4G4B4: return D3DX_SF_A4R4G4B4;
        case Format::R5G6B5: return D3DX_SF_R5G6B5;
        case Format::X8R8G8B8: return D3DX_SF_X8R8G8B8;
        case Format::DXT1: return D3DX_SF_DXT1;
        case Format::DXT3: return D3DX_SF_DXT3;
        case Format::DXT5: return D3DX_SF_DXT5;
        default: return D3DX_SF_A8R8G8B8;
    }
}

struct TexturePlan {
    DWORD width, height;
    Format format;
    bool opaque;
    int levels;
};

// Applies the defaults and the device's rules to the caller's requests and
// writes the result back to them.
TexturePlan Plan(const SizeRules& rules, DWORD* flags, DWORD* width, DWORD* height, D3DX_SURFACEFORMAT* format,
                 DWORD* mipCount, DWORD imageWidth, DWORD imageHeight, bool imageHasAlpha) {
    TexturePlan p{};
    DWORD w = width ? *width : 0, h = height ? *height : 0;
    if (w == 0 || w == D3DX_DEFAULT) w = imageWidth;
    if (h == 0 || h == D3DX_DEFAULT) h = imageHeight;
    if (rules.square) w = h = std::max(w, h);
    p.width = FitSide(w, rules, rules.maxWidth);
    p.height = FitSide(h, rules, rules.maxHeight);
    if (rules.square) p.width = p.height = std::min(p.width, p.height);
    p.format = DeviceFormat(format ? *format : D3DX_SF_UNKNOWN, imageHasAlpha, &p.opaque);
    const int full = FullMipCount(int(p.width), int(p.height));
    p.levels = (flags && (*flags & D3DX_TEXTURE_NOMIPMAP)) ? 1 : full;
    if (mipCount && *mipCount > 0) p.levels = std::min(p.levels, int(*mipCount));
    if (width) *width = p.width;
    if (height) *height = p.height;
    if (format) *format = UtilityFormat(p.format);
    if (mipCount) *mipCount = DWORD(p.levels);
    return p;
}

HRESULT MakeSurface(Device* device, const TexturePlan& p, Surface** out) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = p.width;
    desc.dwHeight = p.height;
    desc.ddpfPixelFormat = PixelFormatOf(p.format);
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    if (p.levels > 1) {
        desc.dwFlags |= DDSD_MIPMAPCOUNT;
        desc.dwMipMapCount = DWORD(p.levels);
        desc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    }
    HRESULT result;
    *out = Surface::Create(device->Hub(), desc, &result);
    return *out ? D3D_OK : (FAILED(result) ? result : D3DXERR_NOMEMORY);
}

// Writes raw bytes or ARGB pixels into one level through Lock / Unlock.
HRESULT WriteLevel(IDirectDrawSurface7* level, const std::vector<uint32_t>* argb, const std::vector<uint8_t>* raw) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    HRESULT hr = level->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr);
    if (FAILED(hr)) return hr;
    const Format format = FormatOf(desc.ddpfPixelFormat);
    if (raw)
        std::memcpy(desc.lpSurface, raw->data(), std::min(raw->size(), size_t(desc.dwLinearSize)));
    else
        EncodeLevel(format, argb->data(), int(desc.dwWidth), int(desc.dwHeight), static_cast<uint8_t*>(desc.lpSurface),
                    size_t(desc.lPitch));
    return level->Unlock(nullptr);
}

// Fills every level of the chain: the image stretched into the top level, each
// next level reduced from the one above. A DDS whose blocks already fit (same
// DXT format and size) is copied as it is, level by level while it has levels.
HRESULT FillChain(Surface* top, const TexturePlan& p, std::vector<uint32_t> image, DWORD imageWidth,
                  DWORD imageHeight, bool linear, const DdsImage* dds) {
    if (p.opaque)
        for (uint32_t& c : image) c |= 0xFF000000u;
    std::vector<uint32_t> level;
    if (imageWidth == p.width && imageHeight == p.height) {
        level = std::move(image);
    } else {
        level.resize(size_t(p.width) * size_t(p.height));
        ScaleArgb(image.data(), int(imageWidth), int(imageHeight), level.data(), int(p.width), int(p.height), linear);
    }
    const bool rawCopy = dds && dds->format == p.format && IsCompressed(p.format) && DWORD(dds->width) == p.width &&
                         DWORD(dds->height) == p.height;
    IDirectDrawSurface7* surface = top;
    surface->AddRef();
    int w = int(p.width), h = int(p.height);
    HRESULT hr = D3D_OK;
    for (int i = 0; i < p.levels && surface; ++i) {
        if (i > 0) {
            level = ReduceArgb(level.data(), w, h, linear);
            w = std::max(1, w / 2);
            h = std::max(1, h / 2);
        }
        const bool copy = rawCopy && size_t(i) < dds->levels.size();
        hr = WriteLevel(surface, copy ? nullptr : &level, copy ? &dds->levels[size_t(i)].bytes : nullptr);
        if (FAILED(hr)) break;
        DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX, 0, 0, 0};
        IDirectDrawSurface7* next = nullptr;
        surface->GetAttachedSurface(&caps, &next);
        surface->Release();
        surface = next;
    }
    if (surface) surface->Release();
    return hr;
}

bool ReadWholeFile(const std::string& name, std::vector<uint8_t>* bytes) {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) return false;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(f, std::fclose);
    if (std::fseek(f, 0, SEEK_END) != 0) return false;
    const long size = std::ftell(f);
    if (size < 0 || size > kMaxFileBytes || std::fseek(f, 0, SEEK_SET) != 0) return false;
    bytes->resize(size_t(size));
    return std::fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
}

}  // namespace

}  // namespace platform::gl

using platform::gl::Device;
using platform::gl::Surface;

HRESULT D3DXCreateTexture(IDirect3DDevice7* device, DWORD* flags, DWORD* width, DWORD* height,
                          D3DX_SURFACEFORMAT* format, void* /*palette*/, IDirectDrawSurface7** texture,
                          DWORD* mipCount) {
    if (!device || !texture) return D3DXERR_NULLPOINTER;
    *texture = nullptr;
    Device* gl = platform::gl::AsDevice(device);
    if (!gl) return D3DXERR_INVALIDPARAMETER;
    const platform::gl::TexturePlan plan =
        platform::gl::Plan(platform::gl::RulesOf(device), flags, width, height, format, mipCount,
                           platform::gl::kDefaultTextureSide, platform::gl::kDefaultTextureSide, true);
    Surface* surface = nullptr;
    const HRESULT hr = platform::gl::MakeSurface(gl, plan, &surface);
    if (FAILED(hr)) return hr;
    *texture = surface;
    return D3D_OK;
}

HRESULT D3DXCreateTextureFromFile(IDirect3DDevice7* device, DWORD* flags, DWORD* width, DWORD* height,
                                  D3DX_SURFACEFORMAT* format, void* /*palette*/, IDirectDrawSurface7** texture,
                                  DWORD* mipCount, const char* fileName, D3DX_FILTERTYPE filter) {
    namespace pg = platform::gl;
    if (!device || !texture || !fileName) return D3DXERR_NULLPOINTER;
    *texture = nullptr;
    Device* gl = pg::AsDevice(device);
    if (!gl) return D3DXERR_INVALIDPARAMETER;

    // Names from data files may use '\' between directories.
    std::vector<uint8_t> bytes;
    std::string name = fileName;
    if (!pg::ReadWholeFile(name, &bytes)) {
        std::replace(name.begin(), name.end(), '\\', '/');
        if (!pg::ReadWholeFile(name, &bytes)) return D3DXERR_INVALIDPARAMETER;
    }

    std::vector<uint32_t> image;
    DWORD imageWidth = 0, imageHeight = 0;
    bool hasAlpha = false;
    pg::DdsImage dds;
    const pg::DdsStatus ddsStatus = pg::ReadDds(bytes.data(), bytes.size(), &dds);
    const bool isDds = ddsStatus == pg::DdsStatus::Ok;
    if (ddsStatus == pg::DdsStatus::Unsupported) return D3DXERR_UNSUPPORTEDFILEFORMAT;
    if (ddsStatus == pg::DdsStatus::Malformed) return D3DXERR_INVALIDFILEFORMAT;
    if (isDds) {
        image = pg::DecodeDdsLevel(dds, 0);
        imageWidth = DWORD(dds.width);
        imageHeight = DWORD(dds.height);
        hasAlpha = pg::DdsHasAlpha(dds);
    } else {
        if (bytes.empty()) return D3DXERR_UNSUPPORTEDFILEFORMAT;
        if (bytes.size() > size_t(INT32_MAX)) return D3DXERR_INVALIDFILEFORMAT;
        int w = 0, h = 0, components = 0;
        const auto* data = bytes.data();
        const int length = int(bytes.size());
        if (!stbi_info_from_memory(data, length, &w, &h, &components)) return D3DXERR_UNSUPPORTEDFILEFORMAT;
        if (w <= 0 || h <= 0 || uint64_t(w) * uint64_t(h) > pg::kMaxImagePixels) return D3DXERR_INVALIDFILEFORMAT;
        stbi_uc* pixels = stbi_load_from_memory(data, length, &w, &h, &components, 4);
        if (!pixels) return D3DXERR_INVALIDFILEFORMAT;
        image.resize(size_t(w) * size_t(h));
        for (size_t i = 0; i < image.size(); ++i) {
            const stbi_uc* p = pixels + 4 * i;
            image[i] = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        }
        stbi_image_free(pixels);
        imageWidth = DWORD(w);
        imageHeight = DWORD(h);
        hasAlpha = components == 2 || components == 4;
    }

    const pg::TexturePlan plan =
        pg::Plan(pg::RulesOf(device), flags, width, height, format, mipCount, imageWidth, imageHeight, hasAlpha);
    Surface* surface = nullptr;
    HRESULT hr = pg::MakeSurface(gl, plan, &surface);
    if (FAILED(hr)) return hr;
    hr = pg::FillChain(surface, plan, std::move(image), imageWidth, imageHeight, filter != D3DX_FT_POINT,
                       isDds ? &dds : nullptr);
    if (FAILED(hr)) {
        surface->Release();
        return hr;
    }
    *texture = surface;
    return D3D_OK;
}
