#include "demo/screen_quad.h"

#include "engine/render/context.h"
#include "engine/render/texture.h"
#include "engine/scene/world.h"
#include "platform/assert.h"

using namespace ZK3D;

D3DCOLOR packColor(float r, float g, float b, float a) { return PackColor(Color{r, g, b, a}); }

namespace {

RenderFlags OverlayFlags(uint32_t blend) {
    const Context* context = CurrentContext();
    RenderFlags f = context ? context->CurrentFlags() : kDefaultRenderFlags;
    f = flags::WithBit(f, flags::kDepthTest, false);
    f = flags::WithBit(f, flags::kAlphaBlend, true);
    f = flags::WithBit(f, flags::kLighting, false);
    f = flags::WithCull(f, flags::kCullNone);
    return flags::WithBlend(f, blend);
}

}  // namespace

ScreenQuad::ScreenQuad(Texture* texture, float left, float top, float right, float bottom)
    : texture_(texture), renderState_(OverlayFlags(flags::kBlendTransparent)) {
    const float width = right - left, height = bottom - top;
    // One texel past the edge, so the last row and column of the image reach the
    // rectangle's far edges under the device's pixel-centre rule.
    const float uRight = width != 0 ? 1.0f + 1.0f / width : 1.0f;
    const float vBottom = height != 0 ? 1.0f + 1.0f / height : 1.0f;
    const D3DCOLOR white = packColor(1, 1, 1, 1);
    vertex_[0] = {left, top, 0, 1, white, 0, 0, 0};
    vertex_[1] = {right, top, 0, 1, white, 0, uRight, 0};
    vertex_[2] = {left, bottom, 0, 1, white, 0, 0, vBottom};
    vertex_[3] = {right, bottom, 0, 1, white, 0, uRight, vBottom};
}

void ScreenQuad::draw() {
    Context* context = CurrentContext();
    ZK_ASSERT(context, "a screen quad is drawn with no current world or render context");
    if (!context || !context->device()) return;
    IDirect3DDevice7* device = context->device();
    device->BeginScene();
    Texture::Bind(0, texture_);
    context->SetColorStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1);
    context->SetAlphaStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
    context->ApplyFlags(renderState_);
    context->ResetStage(1);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, vertex_, 4, D3DDP_WAIT);
    device->EndScene();
}

void ScreenQuad::setAlpha(float a) {
    const D3DCOLOR c = packColor(1, 1, 1, a);
    for (ScreenVertex& v : vertex_) v.diffuse = c;
}

void ScreenQuad::setWipe(float w) {
    vertex_[0].diffuse = vertex_[2].diffuse = packColor(1, 1, 1, 1 - 2 * w);
    vertex_[1].diffuse = vertex_[3].diffuse = packColor(1, 1, 1, 2 - 2 * w);
}
