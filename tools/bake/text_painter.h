// Lettering painted into texture images (the logo, the loading strip, the
// computer's screen and keys) with a font built by the font builder: glyphs
// are sampled from its page with bilinear filtering at any scale and laid over
// the image, optionally on a soft glow.
//
// Not a text layout engine: one line at a time, no kerning, no wrapping.
#pragma once

#include <string>

#include "tools/font/font_builder.h"
#include "tools/image/image.h"

namespace bake {

class TextPainter {
public:
    // DejaVu Sans Bold at pixelSize; false with the reason.
    static bool Build(int pixelSize, TextPainter& out, std::string* error);

    // Width in pixels of text at scale.
    float Width(const std::string& text, float scale) const;

    // Draws text with its left edge at x and its vertical centre at y, in
    // colour, over a glow of glowColour spreading glowRadius pixels (0: none).
    void DrawLeft(image::Image& dst, const std::string& text, float x, float y, float scale, image::ColorF colour,
                  image::ColorF glowColour, int glowRadius) const;
    // The same, centred horizontally on x.
    void DrawCentered(image::Image& dst, const std::string& text, float x, float y, float scale,
                      image::ColorF colour, image::ColorF glowColour, int glowRadius) const;

private:
    float Coverage(float u, float v) const;  // page alpha, bilinear, 0–1

    font::BuiltFont font_;
};

}  // namespace bake
