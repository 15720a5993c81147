// Post-process layers: between Begin and End everything drawn goes into a
// 512 x 512 texture that is also a render target; Draw then lays that texture
// over the current target as a screen-aligned quad with an effect:
//   zkMotionBlurLayer       the capture over the target with opacity 1 - factor
//                           (factor near 1 leaves a long trail of earlier frames);
//   zkDoubleImageLayer      two copies added (ONE / ONE), shifted apart by factor
//                           of the texture width, over a cleared target;
//   zkMotionRadialBlurLayer the capture, then up to `copies` zoomed-in copies of
//                           fading opacity drawn in one call.
// Layers nest: a layer begun while another captures renders into its own
// texture and, at its End, hands rendering back to the outer layer's texture.
//
// Not here: deciding when to begin, end and draw (scene scripts do), and any
// state restore after Draw: the layer's render-state word stays applied and its
// texture stays bound on stage 0 until the next object sets its own.
// Gotcha: a layer whose capture surface could not be made (reported by the
// render surface) neither redirects rendering nor draws, so a failed surface
// never shows as a blank quad over the frame.
#pragma once

#include <memory>

#include "engine/core/render_flags.h"
#include "engine/core/screen.h"
#include "engine/render/render_surface.h"

namespace ZK3D {

class Context;

class zkLayer {
public:
    virtual ~zkLayer() = default;
    // Draws the captured texture onto the current render target.
    virtual void Draw() = 0;
    // Creates the capture surface and the layer's render-state word.
    virtual void Init() = 0;
    // Redirects rendering into the capture surface and clears it.
    virtual void Begin() = 0;
    // Returns rendering to the surface that was current at Begin.
    virtual void End() = 0;
    // Where the quad is drawn, in pixels.
    virtual void SetRect(float /*left*/, float /*top*/, float /*right*/, float /*bottom*/) {}
    // The layer's effect strength.
    virtual void SetFactor(float /*f*/) {}
};

// What the three layers share: the owned capture surface, the surface to return
// to, the placement rectangle and the render-state word, and with them Begin,
// End and SetRect.
class zkCaptureLayer : public zkLayer {
public:
    static constexpr int kCaptureSize = 512;
    // Render target, texture, own depth buffer, viewport, local video memory.
    static constexpr uint32_t kCaptureFlags = RenderSurface::kRenderTarget | RenderSurface::kTexture |
                                              RenderSurface::kOwnDepth | RenderSurface::kHasViewport |
                                              RenderSurface::kLocalVideoMemory;

    // Does nothing when the capture surface could not be made.
    void Begin() override;
    // Only a layer that redirected rendering gives it back; an End without its
    // Begin leaves the current target alone.
    void End() override;
    void SetRect(float left, float top, float right, float bottom) override;

    RenderSurface* capture() const { return capture_.get(); }
    RenderSurface* previous() const { return previous_; }
    RenderFlags flags() const { return flags_; }
    const float* rect() const { return rect_; }

protected:
    // The default word with depth test and lighting off, alpha blending on, no
    // culling, and the given blend mode.
    void InitCapture(uint32_t blendMode);
    bool CanCapture() const;
    // BeginScene, the capture on stage 0 modulated by the diffuse colour with the
    // diffuse alpha, stage 1 reset, the layer's word applied.
    void SetUpDraw(Context& context);

    std::unique_ptr<RenderSurface> capture_;
    RenderSurface* previous_ = nullptr;  // not owned
    float rect_[4] = {0, 0, kScreenWidth, kScreenHeight};
    RenderFlags flags_ = kDefaultRenderFlags;
    bool capturing_ = false;
};

class zkMotionBlurLayer final : public zkCaptureLayer {
public:
    void Draw() override;
    void Init() override;
    void SetFactor(float f) override;

    float alpha() const { return alpha_; }

private:
    float alpha_ = 1;  // 1 - factor
};

class zkDoubleImageLayer final : public zkCaptureLayer {
public:
    void Draw() override;
    void Init() override;
    void SetFactor(float f) override;

    float shift() const { return shift_; }

private:
    float shift_ = 0;
};

class zkMotionRadialBlurLayer final : public zkCaptureLayer {
public:
    // copies below 1 count as 1; step = zoom / copies.
    zkMotionRadialBlurLayer(float zoom, int copies);
    void Draw() override;
    void Init() override;
    // Gives rendering back, then clears the restored target.
    void End() override;
    void SetFactor(float f) override;

    float zoom() const { return zoom_; }
    int copies() const { return copies_; }
    float factor() const { return factor_; }
    float step() const { return step_; }
    // Zoomed copies a draw adds: copies x factor truncated, within 0 ... copies.
    int CopiesToDraw() const;
    float inverseFactor() const { return inverseFactor_; }

private:
    float zoom_;
    int copies_;
    float inverseFactor_ = 1;  // 1 - factor
    float factor_ = 0;
    float step_;
};

}  // namespace ZK3D
