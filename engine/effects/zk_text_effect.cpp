// The four drawing styles of the animated text.
#include "engine/effects/zk_text_effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/effects/random_generator.h"
#include "engine/effects/zk_font.h"
#include "engine/render/context.h"
#include "engine/scene/world.h"
#include "platform/strings.h"

namespace ZK3D {

namespace {
constexpr Vector2 kUnit{1, 1};
}

zkTextEffect::zkTextEffect(zkFontBase* font_, float x, float y, const char* text, const Color& colour_,
                           int32_t trail_, float amplitude_, int32_t order_, int32_t style_)
    : font(font_),
      position{x, y},
      colour(colour_),
      style(style_),
      order(order_),
      flags(OverlayFlags()),
      trail(trail_),
      amplitude(amplitude_),
      text_(DuplicateString(text)) {}

zkTextEffect::~zkTextEffect() = default;

void zkTextEffect::SetText(const char* text) { text_.reset(DuplicateString(text)); }

void zkTextEffect::Add(unsigned char c, float x, float dy, Vector2 scale, float alpha, float grey) {
    font->AddChar(c, {x, position.y + dy}, scale, {grey, grey, grey, alpha}, kAlignCentre, kAlignCentre);
}

void zkTextEffect::Draw() {
    if (!font) return;
    const char* text = text_ ? text_.get() : "";
    font->Begin();
    switch (style) {
        case 2: DrawJitterTrail(text); break;
        case 3: DrawReveal(text); break;
        case 4: DrawZoomTrail(text); break;
        default: DrawGrow(text); break;
    }
    if (Context* context = CurrentContext()) {
        context->ResetStage(1);
        if (style == 2 || style == 3 || style == 4)
            context->SetStageFilters(0, D3DTFG_LINEAR, D3DTFN_LINEAR, D3DTFP_NONE);
        context->SetColorStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
        context->SetAlphaStage(0, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE);
        context->ApplyFlags(flags);
    }
    font->Flush();
}

void zkTextEffect::DrawGrow(const char* text) {
    const float s = std::min(progress, 1.0f);
    float pen = position.x;
    for (const char* t = text; *t; ++t) {
        const auto c = static_cast<unsigned char>(*t);
        const float w = font->CharWidth(c, kUnit);
        pen += w / 2;
        Add(c, pen, 0, {s, s}, s);
        pen += w / 2;
    }
}

void zkTextEffect::DrawZoomTrail(const char* text) {
    const float p = progress;
    float pen = position.x;
    for (const char* t = text; *t; ++t) {
        const auto c = static_cast<unsigned char>(*t);
        const float w = font->CharWidth(c, kUnit);
        pen += w / 2;
        Add(c, pen, 0, kUnit, p);
        for (int32_t i = 1; i <= trail; ++i) {
            const float k = static_cast<float>(trail) * p / static_cast<float>(i);
            if (k < 1) {
                const float zoom = static_cast<float>(trail) / static_cast<float>(i);
                Add(c, pen, 0, {zoom, zoom}, 1 - k);
            }
        }
        pen += w / 2;
    }
}

void zkTextEffect::DrawJitterTrail(const char* text) {
    const float p = progress;
    for (int32_t n = 0; text[n]; ++n) {
        const auto c = static_cast<unsigned char>(text[n]);
        const float w = font->CharWidth(c, kUnit);
        const float x = position.x + font->SubTextWidth(text, 0, n, kUnit) - w / 2;
        Add(c, x, 0, kUnit, p);
        if (p > 0 && p < 1) {
            for (int32_t i = 1; i <= trail; ++i) {
                const float e = (1 - 2 * Random01()) / p;
                const float f = static_cast<float>(trail) * p / static_cast<float>(i);
                if (f < 1) Add(c, x, e * amplitude, kUnit, (1 - f) * p, std::fabs(e));
            }
        }
    }
}

void zkTextEffect::DrawReveal(const char* text) {
    const float p = progress;
    const int32_t n = static_cast<int32_t>(std::strlen(text));
    const int32_t Q = (n % 2 == 0) ? n + 2 : n + 1;
    const float q = static_cast<float>(Q);
    const int32_t middle = (Q - 1) / 2;
    for (int32_t i = 0; i < Q; ++i) {
        int32_t r;
        float t0, t1;
        const float early = static_cast<float>(i) / q, late = static_cast<float>(i + 1) / q;
        switch (order) {
            case 1:
                r = i;
                t0 = 1 - early;
                t1 = 1 - late;
                break;
            case 2:  // centre outwards: 0, +1, -1, +2, ...
                r = middle + ((i % 2 == 0) ? -(i / 2) : (i + 1) / 2);
                t0 = early;
                t1 = late;
                break;
            case 3:  // 0, 0, +1, -1, +2, -2, ...
                r = middle + ((i % 2 == 0) ? (i + 1) / 2 : -(i / 2));
                t0 = 1 - early;
                t1 = 1 - late;
                break;
            default:
                r = i;
                t0 = early;
                t1 = late;
                break;
        }
        // Steps at the terminating NUL and beyond have no letter to show.
        if (r < 0 || r >= n) continue;
        if (p < t1) continue;
        const auto c = static_cast<unsigned char>(text[r]);
        const float w = font->CharWidth(c, kUnit);
        const float x = position.x + font->SubTextWidth(text, 0, r - 1, kUnit) + w / 2;
        if (p < 1) {
            const float a = std::min((p - t0) * q, 1.0f);
            const float b = std::min((p - t1) * q, 1.0f);
            for (int32_t j = 0; j < trail; ++j) {
                const float t = b + (a - b) * static_cast<float>(j) / static_cast<float>(trail);
                Add(c, x, 0, {t, 50 + (1 - 50) * t}, t / static_cast<float>(trail));
            }
        }
        const float m = std::min((p - t1) * q, 1.0f);
        Add(c, x, 0, {m, amplitude + (1 - amplitude) * m}, m);
    }
}

std::unique_ptr<zkTextEffect> zkCreateTextEffect(zkFontBase* font, float x, float y, const char* text, float r,
                                                 float g, float b, float a, int32_t trail, float amplitude,
                                                 int32_t order, int32_t style) {
    return std::make_unique<zkTextEffect>(font, x, y, text, Color{r, g, b, a}, trail, amplitude, order, style);
}

}  // namespace ZK3D
