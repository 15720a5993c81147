// RGBA8 image, conversions and mip-map reduction.
#include "tools/image/image.h"

#include <algorithm>
#include <cmath>

namespace image {

Image::Image(int width, int height, Rgba fill) {
    if (width < 1 || height < 1 || width > kMaxImageSize || height > kMaxImageSize) return;
    width_ = width;
    height_ = height;
    pixels_.assign(size_t(width) * size_t(height), fill);
}

float Clamp01(float x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }
float Mix(float a, float b, float t) { return a + (b - a) * t; }

ColorF Mix(ColorF a, ColorF b, float t) {
    return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t), Mix(a.a, b.a, t)};
}

float Smoothstep(float edge0, float edge1, float x) {
    if (edge0 == edge1) return x < edge0 ? 0.0f : 1.0f;
    const float t = Clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

Rgba ToRgba(ColorF c) {
    // NaN fails every comparison in Clamp01 and would reach the cast; make it 0.
    auto byte = [](float v) { return uint8_t(std::lround(Clamp01(std::isnan(v) ? 0.0f : v) * 255.0f)); };
    return {byte(c.r), byte(c.g), byte(c.b), byte(c.a)};
}

ColorF ToColorF(Rgba c) {
    return {float(c.r) / 255.0f, float(c.g) / 255.0f, float(c.b) / 255.0f, float(c.a) / 255.0f};
}

Image Generate(int width, int height, const std::function<ColorF(float u, float v)>& shader) {
    Image img(width, height);
    for (int y = 0; y < img.height(); ++y) {
        const float v = (float(y) + 0.5f) / float(height);
        for (int x = 0; x < img.width(); ++x)
            img.at(x, y) = ToRgba(shader((float(x) + 0.5f) / float(width), v));
    }
    return img;
}

Image Downsample(const Image& src) {
    if (src.empty()) return {};
    const int w = std::max(1, src.width() / 2), h = std::max(1, src.height() / 2);
    Image dst(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Source block, clamped for sizes of 1.
            const int x0 = std::min(2 * x, src.width() - 1), x1 = std::min(2 * x + 1, src.width() - 1);
            const int y0 = std::min(2 * y, src.height() - 1), y1 = std::min(2 * y + 1, src.height() - 1);
            const Rgba* p[4] = {&src.at(x0, y0), &src.at(x1, y0), &src.at(x0, y1), &src.at(x1, y1)};
            uint32_t a = 0, r = 0, g = 0, b = 0, pr = 0, pg = 0, pb = 0;
            for (const Rgba* q : p) {
                a += q->a;
                r += q->r;
                g += q->g;
                b += q->b;
                pr += uint32_t(q->r) * q->a;
                pg += uint32_t(q->g) * q->a;
                pb += uint32_t(q->b) * q->a;
            }
            Rgba out;
            if (a > 0) {
                out = {uint8_t((pr + a / 2) / a), uint8_t((pg + a / 2) / a), uint8_t((pb + a / 2) / a), 0};
            } else {
                out = {uint8_t((r + 2) / 4), uint8_t((g + 2) / 4), uint8_t((b + 2) / 4), 0};
            }
            out.a = uint8_t((a + 2) / 4);
            dst.at(x, y) = out;
        }
    return dst;
}

std::vector<Image> MipChain(const Image& top) {
    std::vector<Image> levels;
    if (top.empty()) return levels;
    levels.push_back(top);
    while (levels.back().width() > 1 || levels.back().height() > 1)
        levels.push_back(Downsample(levels.back()));
    return levels;
}

}  // namespace image
