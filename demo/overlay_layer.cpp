#include "demo/overlay_layer.h"

#include "engine/render/context.h"
#include "engine/scene/world.h"
#include "platform/assert.h"

using namespace ZK3D;

OverlayLayer::OverlayLayer(uint32_t blendMode) {
    const Context* context = CurrentContext();
    RenderFlags f = context ? context->CurrentFlags() : kDefaultRenderFlags;
    f = flags::WithBit(f, flags::kDepthTest, false);
    f = flags::WithBit(f, flags::kLighting, false);
    f = flags::WithCull(f, flags::kCullNone);
    f = flags::WithBit(f, flags::kAlphaBlend, true);
    flags_ = flags::WithBlend(f, blendMode);
}

void OverlayLayer::draw() {
    Context* context = CurrentContext();
    ZK_ASSERT(context, "an overlay is drawn with no current world or render context");
    if (!context || !context->device()) return;
    IDirect3DDevice7* device = context->device();
    device->SetTexture(0, nullptr);
    context->SetFog(false, nullptr);
    context->SetColorStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG2);
    context->SetAlphaStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG2);
    context->ResetStage(1);
    context->ApplyFlags(flags_);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, vertex_, 4, D3DDP_WAIT);
}

void OverlayLayer::setRect(float left, float top, float right, float bottom) {
    const Color c = baseColor();
    const D3DCOLOR base = packColor(c.r, c.g, c.b, c.a);
    vertex_[0] = {left, top, 0, 1, base, 0, 0, 0};
    vertex_[1] = {right, top, 0, 1, base, 0, 1, 0};
    vertex_[2] = {left, bottom, 0, 1, base, 0, 0, 1};
    vertex_[3] = {right, bottom, 0, 1, base, 0, 1, 1};
}

void OverlayLayer::setColor(D3DCOLOR color) {
    for (ScreenVertex& v : vertex_) v.diffuse = color;
}

FadeLayer::FadeLayer() : OverlayLayer(flags::kBlendTransparent) {}
void FadeLayer::setLevel(float a) { setColor(packColor(0, 0, 0, a)); }

FlashLayer::FlashLayer() : OverlayLayer(flags::kBlendAdditive) {}
void FlashLayer::setLevel(float a) { setColor(packColor(a, a, a, 0)); }
