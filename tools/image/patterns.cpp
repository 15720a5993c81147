// Procedural patterns and colour ramps.
#include "tools/image/patterns.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/image/noise.h"

namespace image {

float Checker(float u, float v, int cellsU, int cellsV) {
    const int64_t i = int64_t(std::floor(u * float(cellsU))), j = int64_t(std::floor(v * float(cellsV)));
    return ((i + j) & 1) ? 1.0f : 0.0f;
}

float Stripes(float t, float count, float sharpness) {
    const float s = 0.5f + 0.5f * std::sin(2 * std::numbers::pi_v<float> * t * count);
    if (sharpness <= 1) return s;
    return Smoothstep(0.5f - 0.5f / sharpness, 0.5f + 0.5f / sharpness, s);
}

BrickSample Bricks(float u, float v, int rows, int columns, float mortar) {
    rows = std::max(rows, 1);
    columns = std::max(columns, 1);
    const float y = v * float(rows);
    const float row = std::floor(y);
    const float shift = (int64_t(row) & 1) ? 0.5f : 0.0f;
    const float x = u * float(columns) + shift;
    const float col = std::floor(x);
    BrickSample s;
    s.brickU = x - col;
    s.brickV = y - row;
    // Joint widths in each brick's own units: the vertical joints are as wide as
    // the horizontal ones on the texture.
    const float jv = mortar * 0.5f;
    const float ju = jv * float(columns) / float(rows);
    const float edgeV = std::min(s.brickV, 1 - s.brickV);
    const float edgeU = std::min(s.brickU, 1 - s.brickU);
    const float inV = Smoothstep(jv * 0.6f, jv, edgeV);
    const float inU = Smoothstep(ju * 0.6f, ju, edgeU);
    s.mortar = 1 - inU * inV;
    // Bricks wrap around the texture so the ids match across the seam.
    const int32_t wrappedCol = int32_t(int64_t(col) % columns);
    s.brickId = Hash(wrappedCol, int32_t(row), 0xB41C5u);
    return s;
}

float RadialGradient(float u, float v, float cx, float cy, float radius) {
    if (radius <= 0) return 0;
    const float d = std::hypot(u - cx, v - cy) / radius;
    return 1 - Smoothstep(0, 1, d);
}

float Glow(float u, float v, float falloff) {
    const float r = std::hypot(u - 0.5f, v - 0.5f) * 2;
    if (r >= 1) return 0;
    return std::pow(1 - r, falloff);
}

float Ring(float u, float v, float radius, float width) {
    if (width <= 0) return 0;
    const float d = std::fabs(std::hypot(u - 0.5f, v - 0.5f) - radius) / (width * 0.5f);
    return 1 - Smoothstep(0, 1, d);
}

ColorRamp::ColorRamp(std::vector<Stop> stops) : stops_(std::move(stops)) {
    std::stable_sort(stops_.begin(), stops_.end(),
                     [](const Stop& a, const Stop& b) { return a.position < b.position; });
}

ColorF ColorRamp::At(float t) const {
    if (stops_.empty()) return {};
    if (!(t > stops_.front().position)) return stops_.front().color;
    if (t >= stops_.back().position) return stops_.back().color;
    for (size_t i = 1; i < stops_.size(); ++i) {
        const Stop &a = stops_[i - 1], &b = stops_[i];
        if (t < b.position) {
            const float span = b.position - a.position;
            return Mix(a.color, b.color, span > 0 ? (t - a.position) / span : 1.0f);
        }
    }
    return stops_.back().color;
}

}  // namespace image
