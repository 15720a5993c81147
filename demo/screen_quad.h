// Textured rectangles in screen pixels drawn over the rendered image: the logo
// strip of the loading animation and the full-screen logo of the cavern.
#pragma once

#include "engine/effects/effect_vertices.h"
#include "engine/core/render_flags.h"
#include "platform/d3d7.h"

namespace ZK3D {
class Texture;
}

using ZK3D::ScreenVertex;

// The four components clamped to 0..1 and packed into a device colour word.
D3DCOLOR packColor(float r, float g, float b, float a);

class ScreenQuad {
public:
    // The rectangle is left, top, right, bottom in pixels. The quad draws with the
    // context's current word with depth test and lighting off, blending on, cull
    // none and blend mode SRCALPHA / INVSRCALPHA. The texture is not owned.
    ScreenQuad(ZK3D::Texture* texture, float left, float top, float right, float bottom);
    virtual ~ScreenQuad() = default;

    // Draws the quad in its own BeginScene / EndScene: colour from the texture,
    // alpha texture alpha times vertex alpha.
    virtual void draw();
    // All four corners get alpha a.
    void setAlpha(float a);
    // Fades the strip out from left to right as w grows: left edge alpha 1 - 2w,
    // right edge 2 - 2w.
    void setWipe(float w);

    const ScreenVertex* vertices() const { return vertex_; }
    ZK3D::RenderFlags renderState() const { return renderState_; }

private:
    ZK3D::Texture* texture_;
    ZK3D::RenderFlags renderState_;
    ScreenVertex vertex_[4];  // strip order: top-left, top-right, bottom-left, bottom-right
};
