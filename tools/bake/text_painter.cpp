// Text into images: a coverage mask is drawn glyph by glyph, blurred into a
// glow, and both are laid over the image with the "over" operator.
#include "tools/bake/text_painter.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace bake {
namespace {

// Straight-alpha "over".
void Over(image::Rgba& dst, image::ColorF c, float a) {
    a = image::Clamp01(a);
    if (a <= 0) return;
    const image::ColorF d = image::ToColorF(dst);
    const float outA = a + d.a * (1 - a);
    auto mix = [&](float s, float t) { return outA > 0 ? (s * a + t * d.a * (1 - a)) / outA : 0.0f; };
    dst = image::ToRgba({mix(c.r, d.r), mix(c.g, d.g), mix(c.b, d.b), outA});
}

// Two passes of a box blur of the given radius, horizontal then vertical.
std::vector<float> Blur(const std::vector<float>& src, int w, int h, int radius) {
    std::vector<float> a = src, b(src.size());
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                float s = 0;
                for (int k = -radius; k <= radius; ++k) s += a[size_t(y) * size_t(w) + size_t(std::clamp(x + k, 0, w - 1))];
                b[size_t(y) * size_t(w) + size_t(x)] = s / float(2 * radius + 1);
            }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                float s = 0;
                for (int k = -radius; k <= radius; ++k) s += b[size_t(std::clamp(y + k, 0, h - 1)) * size_t(w) + size_t(x)];
                a[size_t(y) * size_t(w) + size_t(x)] = s / float(2 * radius + 1);
            }
    }
    return a;
}

}  // namespace

bool TextPainter::Build(int pixelSize, TextPainter& out, std::string* error) {
    font::FontOptions options;
    options.pixelSize = pixelSize;
    return font::BuildFont(options, out.font_, error);
}

float TextPainter::Width(const std::string& text, float scale) const {
    float w = 0;
    for (unsigned char c : text) w += font_.metrics.widths[c];
    return w * scale;
}

float TextPainter::Coverage(float u, float v) const {
    const image::Image& page = font_.page;
    const float x = u * float(page.width()) - 0.5f, y = v * float(page.height()) - 0.5f;
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const float fx = x - float(x0), fy = y - float(y0);
    auto at = [&](int px, int py) {
        px = std::clamp(px, 0, page.width() - 1);
        py = std::clamp(py, 0, page.height() - 1);
        return float(page.at(px, py).a) / 255.0f;
    };
    return (at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) +
           (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy;
}

void TextPainter::DrawLeft(image::Image& dst, const std::string& text, float x, float y, float scale,
                           image::ColorF colour, image::ColorF glowColour, int glowRadius) const {
    const int w = dst.width(), h = dst.height();
    std::vector<float> mask(size_t(w) * size_t(h), 0.0f);
    const float cellH = font_.metrics.height * scale, top = y - cellH / 2;
    float pen = x;
    for (unsigned char c : text) {
        const float cellW = font_.metrics.widths[c] * scale;
        const font::GlyphRect& g = font_.metrics.glyphs[c];
        const int x0 = std::max(0, int(std::floor(pen))), x1 = std::min(w, int(std::ceil(pen + cellW)));
        const int y0 = std::max(0, int(std::floor(top))), y1 = std::min(h, int(std::ceil(top + cellH)));
        for (int py = y0; py < y1; ++py)
            for (int px = x0; px < x1; ++px) {
                const float fu = (float(px) + 0.5f - pen) / cellW, fv = (float(py) + 0.5f - top) / cellH;
                if (fu < 0 || fu > 1 || fv < 0 || fv > 1) continue;
                const float cov = Coverage(g.uLeft + (g.uRight - g.uLeft) * fu, g.vTop + (g.vBottom - g.vTop) * fv);
                float& m = mask[size_t(py) * size_t(w) + size_t(px)];
                m = std::max(m, cov);
            }
        pen += cellW;
    }
    if (glowRadius > 0) {
        const std::vector<float> glow = Blur(mask, w, h, glowRadius);
        for (int py = 0; py < h; ++py)
            for (int px = 0; px < w; ++px)
                Over(dst.at(px, py), glowColour, glow[size_t(py) * size_t(w) + size_t(px)] * 1.6f);
    }
    for (int py = 0; py < h; ++py)
        for (int px = 0; px < w; ++px) Over(dst.at(px, py), colour, mask[size_t(py) * size_t(w) + size_t(px)]);
}

void TextPainter::DrawCentered(image::Image& dst, const std::string& text, float x, float y, float scale,
                               image::ColorF colour, image::ColorF glowColour, int glowRadius) const {
    DrawLeft(dst, text, x - Width(text, scale) / 2, y, scale, colour, glowColour, glowRadius);
}

}  // namespace bake
