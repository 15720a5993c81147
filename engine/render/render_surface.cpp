// Render-target creation (with an optional depth buffer of its own) and the
// pixel, depth and viewport queries. Reads never leave the locked surface.
#include "engine/render/render_surface.h"

#include <bit>
#include <cstring>

#include "engine/render/context.h"
#include "platform/ref_ptr.h"
#include "platform/report.h"

namespace ZK3D {

namespace {

DWORD MemoryCaps(uint32_t flags) {
    if (flags & RenderSurface::kLocalVideoMemory) return DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    if (flags & RenderSurface::kNonLocalVideoMemory) return DDSCAPS_VIDEOMEMORY | DDSCAPS_NONLOCALVIDMEM;
    if (flags & RenderSurface::kSystemMemory) return DDSCAPS_SYSTEMMEMORY;
    return 0;
}

// Reads bytes (1 to 4) little-endian.
uint32_t ReadWord(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint32_t(p[i]) << (8 * i);
    return v;
}

// A channel through its mask, as 0..1; missing masks read as def.
float Channel(uint32_t pixel, uint32_t mask, float def) {
    if (!mask) return def;
    const int shift = std::countr_zero(mask);
    return static_cast<float>((pixel & mask) >> shift) / static_cast<float>(mask >> shift);
}

}  // namespace

RenderSurface::RenderSurface(Context& context, int width, int height, uint32_t flags)
    : width_(width), height_(height), flags_(flags), owned_(true) {
    if ((flags & kHasViewport) && context.device()) {
        context.device()->GetViewport(&viewport_);
        viewport_.dwWidth = static_cast<DWORD>(width);
        viewport_.dwHeight = static_cast<DWORD>(height);
    }

    platform::RefPtr<IDirectDrawSurface7> backBuffer(context.d3dx() ? context.d3dx()->GetBackBuffer(0) : nullptr);
    if (!backBuffer) {
        LogError("[RC] - Cannot get backbuffer");
        return;
    }
    DDSURFACEDESC2 backDesc{};
    backDesc.dwSize = sizeof backDesc;
    backBuffer->GetSurfaceDesc(&backDesc);

    const DWORD memory = MemoryCaps(flags);
    description_ = {};
    description_.dwSize = 124;
    description_.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    description_.dwWidth = static_cast<DWORD>(width);
    description_.dwHeight = static_cast<DWORD>(height);
    description_.ddsCaps.dwCaps = memory | ((flags & kRenderTarget) ? DDSCAPS_3DDEVICE : 0) |
                                  ((flags & kTexture) ? DDSCAPS_TEXTURE : 0);
    description_.ddpfPixelFormat = backDesc.ddpfPixelFormat;

    if (context.ddraw()) {
        DDSURFACEDESC2 desc = description_;
        context.ddraw()->CreateSurface(&desc, &surface_, nullptr);
    }
    if (!surface_) {
        LogError("[RC] - Surface cannot be created");
        return;
    }

    if (flags & kOwnDepth) {
        DDSCAPS2 zcaps{DDSCAPS_ZBUFFER, 0, 0, 0};
        platform::RefPtr<IDirectDrawSurface7> backDepth;
        if (SUCCEEDED(backBuffer->GetAttachedSurface(&zcaps, backDepth.put())) && backDepth) {
            DDSURFACEDESC2 depthFormat{};
            depthFormat.dwSize = sizeof depthFormat;
            backDepth->GetSurfaceDesc(&depthFormat);
            DDSURFACEDESC2 zdesc{};
            zdesc.dwSize = 124;
            zdesc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
            zdesc.dwWidth = static_cast<DWORD>(width);
            zdesc.dwHeight = static_cast<DWORD>(height);
            zdesc.ddsCaps.dwCaps = memory | DDSCAPS_ZBUFFER;
            zdesc.ddpfPixelFormat = depthFormat.ddpfPixelFormat;
            platform::RefPtr<IDirectDrawSurface7> depth;
            context.ddraw()->CreateSurface(&zdesc, depth.put(), nullptr);
            if (depth) {
                surface_->AddAttachedSurface(depth.get());
                depth.reset();  // the surface holds it now
            } else {
                LogError("[RC] - Surface cannot be created : impossible creation of Z buffer");
            }
        }
    }
}

RenderSurface::RenderSurface(IDirectDrawSurface7* surface, const D3DVIEWPORT7& viewport)
    : width_(static_cast<int>(viewport.dwWidth)),
      height_(static_cast<int>(viewport.dwHeight)),
      flags_(kHasViewport),
      owned_(false),
      surface_(surface),
      viewport_(viewport) {}

RenderSurface::~RenderSurface() { Release(); }

void RenderSurface::Release() {
    if (owned_ && surface_) surface_->Release();
    surface_ = nullptr;
    owned_ = false;
}

void RenderSurface::Attach(IDirectDrawSurface7* surface) {
    if (surface == surface_) return;
    Release();
    surface_ = surface;
}

const D3DVIEWPORT7* RenderSurface::Viewport() const { return (flags_ & kHasViewport) ? &viewport_ : nullptr; }

void RenderSurface::SetViewport(const D3DVIEWPORT7& viewport) {
    viewport_ = viewport;
    flags_ |= kHasViewport;
}

Color RenderSurface::PixelColor(int x, int y) {
    Color out;
    if (!surface_ || x < 0 || y < 0) return out;
    // Locking the one pixel lets the device read back that pixel alone.
    RECT one{x, y, x + 1, y + 1};
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(surface_->Lock(&one, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr)) || !desc.lpSurface) return out;
    const int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
    if (bytes >= 1 && bytes <= 4) {
        const uint32_t pixel = ReadWord(static_cast<const uint8_t*>(desc.lpSurface), bytes);
        const DDPIXELFORMAT& f = desc.ddpfPixelFormat;
        out = {Channel(pixel, f.dwRBitMask, 0), Channel(pixel, f.dwGBitMask, 0), Channel(pixel, f.dwBBitMask, 0),
               Channel(pixel, f.dwRGBAlphaBitMask, 1)};
    }
    surface_->Unlock(&one);
    return out;
}

float RenderSurface::DepthAt(int x, int y) {
    if (!surface_ || x < 0 || y < 0) return 0;
    DDSCAPS2 caps{DDSCAPS_ZBUFFER, 0, 0, 0};
    platform::RefPtr<IDirectDrawSurface7> depth;
    if (FAILED(surface_->GetAttachedSurface(&caps, depth.put())) || !depth) return 0;
    RECT one{x, y, x + 1, y + 1};  // outside the surface, the lock is refused
    float result = 0;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (SUCCEEDED(depth->Lock(&one, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) {
        const int bytes = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount / 8);
        const uint32_t mask = desc.ddpfPixelFormat.dwGBitMask;  // the depth bit mask
        if (desc.lpSurface && mask && bytes >= 1 && bytes <= 4) {
            const uint32_t word = ReadWord(static_cast<const uint8_t*>(desc.lpSurface), bytes);
            result = static_cast<float>(static_cast<double>(word & mask) / static_cast<double>(mask));
        }
        depth->Unlock(&one);
    }
    return result;
}

bool RenderSurface::ContainsPixel(int x, int y) const {
    const long long X = viewport_.dwX, Y = viewport_.dwY;
    return X <= x && x <= X + viewport_.dwWidth && Y <= y && y <= Y + viewport_.dwHeight;
}

}  // namespace ZK3D
