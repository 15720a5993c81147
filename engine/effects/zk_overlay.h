// Screen elements drawn over the frame with the bitmap font: the abstract
// zkOverlay that scene scripts drive (alpha or progress, text, position and the
// animation parameters), and zkText, a plain line of text at a fixed position.
//
// Not here: the animated text (zk_text_effect.h) and the font itself.
// Gotcha: zkText draws every character white and opaque; only the page's alpha
// shapes the glyphs, so its colour (and SetAlpha) does not change what is drawn.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/effects/zk_font.h"
#include "engine/core/render_flags.h"
#include "engine/core/math.h"

namespace ZK3D {

class zkOverlay {
public:
    virtual ~zkOverlay() = default;
    virtual void SetAlpha(float value) = 0;
    virtual void SetText(const char* text) { (void)text; }
    virtual void SetPosition(float x, float y) { (void)x, (void)y; }
    virtual void SetStyle(int32_t n) { (void)n; }
    virtual void SetTrail(int32_t n) { (void)n; }
    virtual void SetAmplitude(float value) { (void)value; }
    virtual void SetOrder(int32_t n) { (void)n; }
    virtual void Draw() = 0;
};

class zkText final : public zkOverlay {
public:
    // Copies text (none stays none); flags come from the context's base word with
    // depth test and lighting off, blending by source alpha and no culling.
    zkText(zkFontBase* font, float x, float y, const char* text, const Color& colour);
    ~zkText() override;

    // Stores value as the colour's alpha.
    void SetAlpha(float value) override { colour.a = value; }
    // Replaces the text with a copy of it.
    void SetText(const char* text) override;
    // Draws the text as one batch, left to right from the position.
    void Draw() override;

    const char* text() const { return text_.get(); }

    zkFontBase* font = nullptr;  // not owned
    Vector2 position;            // top-left of the first character, pixels
    Color colour;
    RenderFlags flags = kDefaultRenderFlags;

private:
    std::unique_ptr<char[]> text_;
};

// The base word of an overlay: the context's word (the default one without a
// context) with depth test and lighting off, blending on with source alpha /
// inverse source alpha, and no culling.
RenderFlags OverlayFlags();

std::unique_ptr<zkText> zkCreateText(zkFontBase* font, float x, float y, const char* text, float r, float g, float b,
                                     float a);

}  // namespace ZK3D
