// Capture, restore and the three layer draws. Quads are pre-transformed
// vertices (x, y, z, rhw, diffuse, specular, u, v) with z = rhw = 1.
#include "engine/render/layers.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/render/context.h"
#include "engine/render/render_world.h"
#include "platform/assert.h"
#include "platform/report.h"

namespace ZK3D {

namespace {

struct LayerVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    D3DCOLOR specular;
    float u, v;
};
static_assert(sizeof(LayerVertex) == 32);

// Specular alpha 0xFF: pre-transformed vertices take their fog factor from it,
// so a layer drawn while the scene's fog is still on is not fogged away.
constexpr D3DCOLOR kUnfogged = 0xFF000000u;

LayerVertex Vertex(float x, float y, float u, float v, D3DCOLOR diffuse) {
    return {x, y, 1.0f, 1.0f, diffuse, kUnfogged, u, v};
}

// The whole of a render target, as a clear rectangle.
D3DRECT WholeSurface(const RenderSurface* surface, const Context& context) {
    if (surface && surface->width() > 0 && surface->height() > 0) return {0, 0, surface->width(), surface->height()};
    return {0, 0, context.width(), context.height()};
}

// A four-vertex strip: top-left, top-right, bottom-left, bottom-right.
void Strip(LayerVertex* out, const float* rect, float u0, float u1, D3DCOLOR diffuse) {
    out[0] = Vertex(rect[0], rect[1], u0, 0, diffuse);
    out[1] = Vertex(rect[2], rect[1], u1, 0, diffuse);
    out[2] = Vertex(rect[0], rect[3], u0, 1, diffuse);
    out[3] = Vertex(rect[2], rect[3], u1, 1, diffuse);
}

// Two triangles (top-left, top-right, bottom-right), (top-left, bottom-left,
// bottom-right) with the texture inset by s on every side.
void InsetQuad(LayerVertex* out, const float* rect, float s, D3DCOLOR diffuse) {
    const float l = rect[0], t = rect[1], r = rect[2], b = rect[3];
    const float lo = s, hi = 1.0f - s;
    out[0] = Vertex(l, t, lo, lo, diffuse);
    out[1] = Vertex(r, t, hi, lo, diffuse);
    out[2] = Vertex(r, b, hi, hi, diffuse);
    out[3] = Vertex(l, t, lo, lo, diffuse);
    out[4] = Vertex(l, b, lo, hi, diffuse);
    out[5] = Vertex(r, b, hi, hi, diffuse);
}

constexpr DWORD kLayerFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;  // 0x1C4

}  // namespace

// ---------------------------------------------------------------- shared capture

void zkCaptureLayer::InitCapture(uint32_t blendMode) {
    Context* context = CurrentContext();
    if (!context) return;
    capture_ = std::make_unique<RenderSurface>(*context, kCaptureSize, kCaptureSize, kCaptureFlags);
    RenderFlags f = kDefaultRenderFlags;
    f = flags::WithBit(f, flags::kDepthTest, false);
    f = flags::WithBit(f, flags::kAlphaBlend, true);
    f = flags::WithBit(f, flags::kLighting, false);
    f = flags::WithCull(f, flags::kCullNone);
    flags_ = flags::WithBlend(f, blendMode);
}

bool zkCaptureLayer::CanCapture() const { return capture_ && capture_->Surface() && CurrentContext(); }

void zkCaptureLayer::Begin() {
    ZK_ASSERT(!capturing_, "a layer begins capturing again before its last capture ended");
    if (!CanCapture()) return;
    Context& context = *CurrentContext();
    previous_ = context.CurrentSurface();
    context.SetRenderSurface(capture_.get());
    const D3DRECT whole = WholeSurface(capture_.get(), context);
    context.Clear(&whole);
    capturing_ = true;
}

void zkCaptureLayer::End() {
    if (!capturing_) return;
    capturing_ = false;
    if (Context* context = CurrentContext()) context->SetRenderSurface(previous_);
}

void zkCaptureLayer::SetRect(float left, float top, float right, float bottom) {
    rect_[0] = left;
    rect_[1] = top;
    rect_[2] = right;
    rect_[3] = bottom;
}

void zkCaptureLayer::SetUpDraw(Context& context) {
    IDirect3DDevice7* device = context.device();
    device->BeginScene();
    device->SetTexture(0, capture_->Surface());
    context.SetColorStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
    context.SetAlphaStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG2);
    context.ResetStage(1);
    context.ApplyFlags(flags_);
}

// ---------------------------------------------------------------- motion blur

void zkMotionBlurLayer::Init() { InitCapture(flags::kBlendTransparent); }
void zkMotionBlurLayer::SetFactor(float f) { alpha_ = 1.0f - f; }

void zkMotionBlurLayer::Draw() {
    if (!CanCapture()) return;
    Context& context = *CurrentContext();
    if (!context.device()) return;
    LayerVertex quad[4];
    Strip(quad, rect_, 0, 1, PackColor({1, 1, 1, alpha_}));
    SetUpDraw(context);
    context.device()->DrawPrimitive(D3DPT_TRIANGLESTRIP, kLayerFvf, quad, 4, D3DDP_WAIT);
    context.device()->EndScene();
}

// ---------------------------------------------------------------- double image

void zkDoubleImageLayer::Init() { InitCapture(flags::kBlendAdditive); }
void zkDoubleImageLayer::SetFactor(float f) { shift_ = f; }

void zkDoubleImageLayer::Draw() {
    if (!CanCapture()) return;
    Context& context = *CurrentContext();
    IDirect3DDevice7* device = context.device();
    if (!device) return;
    D3DRECT whole = WholeSurface(context.CurrentSurface(), context);
    device->Clear(1, &whole, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);

    const D3DCOLOR half = PackColor({1, 1, 1, 0.5f});
    LayerVertex p[4], q[4];
    Strip(p, rect_, shift_, 1, half);
    Strip(q, rect_, 0, 1.0f - shift_, half);
    SetUpDraw(context);
    if (shift_ == 0) {
        // Unshifted, the two copies are one picture added to itself over black:
        // one pass that doubles the texel (and the alpha) gives the same bytes
        // for a whole screen less of shading.
        const uint32_t alpha = std::min<uint32_t>(255, 2 * (half >> 24));
        for (LayerVertex& v : p) v.diffuse = (half & 0x00FFFFFFu) | alpha << 24;
        context.SetColorStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE2X);
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, kLayerFvf, p, 4, D3DDP_WAIT);
        context.SetColorStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
    } else {
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, kLayerFvf, p, 4, D3DDP_WAIT);
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, kLayerFvf, q, 4, D3DDP_WAIT);
    }
    device->EndScene();
}

// ---------------------------------------------------------------- radial blur

zkMotionRadialBlurLayer::zkMotionRadialBlurLayer(float zoom, int copies)
    : zoom_(zoom), copies_(copies < 1 ? 1 : copies), step_(zoom / static_cast<float>(copies_)) {
    LogMessage("zkMotionRadialBlurLayer : in create inter");
}

void zkMotionRadialBlurLayer::Init() {
    LogMessage("zkMotionRadialBlurLayer : in set");
    InitCapture(flags::kBlendTransparent);
    LogMessage("zkMotionRadialBlurLayer : out of set");
}

void zkMotionRadialBlurLayer::End() {
    const bool restored = capturing_;
    zkCaptureLayer::End();
    LogMessage("zkMotionRadialBlurLayer : out endscene");
    Context* context = CurrentContext();
    if (!restored || !context || !context->device()) return;
    D3DRECT whole = WholeSurface(context->CurrentSurface(), *context);
    context->device()->Clear(1, &whole, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
}

void zkMotionRadialBlurLayer::SetFactor(float f) {
    LogMessage("zkMotionRadialBlurLayer:In SetFactor");
    factor_ = f;
    inverseFactor_ = 1.0f - f;
}

int zkMotionRadialBlurLayer::CopiesToDraw() const {
    const float wanted = static_cast<float>(copies_) * factor_;
    // More than the layer has room for (factors above 1) is held to its copies;
    // a negative or undefined factor adds none.
    if (!(wanted > 0.0f)) return 0;
    if (wanted >= static_cast<float>(copies_)) return copies_;
    return static_cast<int>(wanted);
}

void zkMotionRadialBlurLayer::Draw() {
    if (!CanCapture()) return;
    Context& context = *CurrentContext();
    IDirect3DDevice7* device = context.device();
    if (!device) return;
    const int n = CopiesToDraw();
    std::vector<LayerVertex> vertices(static_cast<size_t>(copies_) * 6);

    InsetQuad(vertices.data(), rect_, 0, PackColor({1, 1, 1, 1}));
    SetUpDraw(context);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, kLayerFvf, vertices.data(), 6, D3DDP_WAIT);

    float alpha = 0.2f;
    for (int k = 0; k < n; ++k) {
        const float s = static_cast<float>(k + 1) * step_;
        InsetQuad(vertices.data() + 6 * k, rect_, s, PackColor({1, 1, 1, alpha}));
        alpha -= 0.05f;
    }
    device->DrawPrimitive(D3DPT_TRIANGLELIST, kLayerFvf, vertices.data(), static_cast<DWORD>(6 * n), D3DDP_WAIT);
    device->EndScene();
}

}  // namespace ZK3D
