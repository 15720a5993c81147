// A render target: the device's own back buffer (wrapped, not owned) or a surface
// made here with an optional depth buffer of its own (owned, released with it).
//
// Besides switching targets (Context::SetRenderSurface), a surface answers two
// questions the lens-flare occlusion test asks: the depth stored at a pixel and
// whether a pixel lies in the viewport.
// Not here: choosing the target (the context does that) and drawing into it.
// Gotcha: ContainsPixel includes the far edges (x == X + width), one pixel past
// the last column; DepthAt answers 0 for any pixel outside the depth surface
// instead of reading past its rows.
#pragma once

#include <cstdint>

#include "engine/core/math.h"
#include "platform/d3d7.h"

namespace ZK3D {

class Context;

class RenderSurface {
public:
    // Bits of flags.
    static constexpr uint32_t kRenderTarget = 1u << 0;
    static constexpr uint32_t kTexture = 1u << 1;
    static constexpr uint32_t kOwnDepth = 1u << 2;
    static constexpr uint32_t kHasViewport = 1u << 3;
    static constexpr uint32_t kLocalVideoMemory = 1u << 5;
    static constexpr uint32_t kNonLocalVideoMemory = 1u << 6;
    static constexpr uint32_t kSystemMemory = 1u << 7;

    // Creates a surface of the back buffer's pixel format with the caps the flags
    // ask for (and a depth buffer when kOwnDepth is set and the back buffer has
    // one). Failures are reported and leave the object without a surface, or
    // without its depth buffer.
    RenderSurface(Context& context, int width, int height, uint32_t flags);
    // Wraps an existing surface and viewport; never releases the surface.
    RenderSurface(IDirectDrawSurface7* surface, const D3DVIEWPORT7& viewport);
    virtual ~RenderSurface();
    RenderSurface(const RenderSurface&) = delete;
    RenderSurface& operator=(const RenderSurface&) = delete;

    virtual IDirectDrawSurface7* Surface() const { return surface_; }
    // Wraps surface in place of the current one (released first when owned); not owned.
    virtual void Attach(IDirectDrawSurface7* surface);
    // The viewport, or null when the surface has none.
    virtual const D3DVIEWPORT7* Viewport() const;
    virtual void SetViewport(const D3DVIEWPORT7& viewport);
    // The colour stored at a pixel (black, alpha 0, outside the surface or when it
    // cannot be read). Channels are read through the pixel format's masks.
    virtual Color PixelColor(int x, int y);
    // The depth at a pixel in 0..1, read from the attached depth surface; 0 when
    // there is none, the pixel lies outside it or it cannot be read.
    virtual float DepthAt(int x, int y);
    // True when viewport X <= x <= X + width and Y <= y <= Y + height.
    virtual bool ContainsPixel(int x, int y) const;

    int width() const { return width_; }
    int height() const { return height_; }
    uint32_t flags() const { return flags_; }
    bool owned() const { return owned_; }
    const DDSURFACEDESC2& description() const { return description_; }

private:
    void Release();

    int width_ = 0;
    int height_ = 0;
    uint32_t flags_ = 0;
    bool owned_ = false;
    IDirectDrawSurface7* surface_ = nullptr;
    DDSURFACEDESC2 description_{};
    D3DVIEWPORT7 viewport_{};
};

}  // namespace ZK3D
