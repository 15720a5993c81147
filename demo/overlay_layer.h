// Full-screen overlays drawn over a finished scene: fades through black and
// white flashes. Both draw a quad coloured by its vertices alone.
#pragma once

#include "demo/screen_quad.h"
#include "engine/core/math.h"

class OverlayLayer {
public:
    virtual ~OverlayLayer() = default;

    // Draws the quad with the layer's word (the caller brackets it with
    // BeginScene / EndScene): no texture, fog off, colour and alpha from the vertices.
    virtual void draw();
    // Places the quad and gives every corner the base colour.
    virtual void setRect(float left, float top, float right, float bottom);
    // Sets the four vertex colours from the level a.
    virtual void setLevel(float a) = 0;
    virtual void setLevelAndDraw(float a) {
        setLevel(a);
        draw();
    }
    virtual ZK3D::Color baseColor() const = 0;

    ZK3D::RenderFlags flags() const { return flags_; }
    const ScreenVertex* vertices() const { return vertex_; }

protected:
    explicit OverlayLayer(uint32_t blendMode);
    void setColor(D3DCOLOR color);

private:
    ZK3D::RenderFlags flags_;
    ScreenVertex vertex_[4] = {};
};

// Darkens the image towards black by the level (alpha blending).
class FadeLayer final : public OverlayLayer {
public:
    FadeLayer();
    void setLevel(float a) override;
    ZK3D::Color baseColor() const override { return {0, 0, 0, 0}; }
};

// Adds white of the level's intensity (additive blending).
class FlashLayer final : public OverlayLayer {
public:
    FlashLayer();
    void setLevel(float a) override;
    ZK3D::Color baseColor() const override { return {1, 1, 1, 1}; }
};
