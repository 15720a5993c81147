// Lattice noise. Cells are addressed by integer coordinates (wrapped by the
// period when tiling) and hashed with the seed; the smooth fade 6t⁵ − 15t⁴ + 10t³
// keeps the derivative continuous across cells.
#include "tools/image/noise.h"

#include <algorithm>
#include <cmath>

namespace image {
namespace {

int Wrap(int32_t i, int period) {
    if (period <= 0) return i;
    const int m = i % period;
    return m < 0 ? m + period : m;
}

float Fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }

// Eight gradient directions (axes and diagonals) of length 1.
constexpr float kDiag = 0.70710678f;
constexpr float kGradients[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1},
                                    {kDiag, kDiag}, {-kDiag, kDiag}, {kDiag, -kDiag}, {-kDiag, -kDiag}};

float GradientDot(int32_t ix, int32_t iy, float dx, float dy, uint32_t seed) {
    const float* g = kGradients[Hash(ix, iy, seed) >> 29];
    return g[0] * dx + g[1] * dy;
}

// Octave o's frequency and period; a tiling period stays an integer.
void OctaveScale(const FbmParams& p, int octave, int period, float& frequency, int& octavePeriod) {
    frequency = std::pow(p.lacunarity, float(octave));
    octavePeriod = 0;
    if (period > 0) {
        octavePeriod = std::max(1, int(std::lround(float(period) * frequency)));
        frequency = float(octavePeriod) / float(period);
    }
}

}  // namespace

uint32_t Hash(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ (seed + 0x9E3779B9u) * 0xCB1AB31Fu;
    // Murmur3 finaliser.
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

float HashUnit(int32_t x, int32_t y, uint32_t seed) { return float(Hash(x, y, seed) >> 8) * (1.0f / 16777216.0f); }

float ValueNoise(float x, float y, uint32_t seed, int period) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int32_t ix = int32_t(fx), iy = int32_t(fy);
    const float tx = Fade(x - fx), ty = Fade(y - fy);
    const int x0 = Wrap(ix, period), x1 = Wrap(ix + 1, period);
    const int y0 = Wrap(iy, period), y1 = Wrap(iy + 1, period);
    const float a = HashUnit(x0, y0, seed), b = HashUnit(x1, y0, seed);
    const float c = HashUnit(x0, y1, seed), d = HashUnit(x1, y1, seed);
    return a + (b - a) * tx + (c - a) * ty + (a - b - c + d) * tx * ty;
}

float GradientNoise(float x, float y, uint32_t seed, int period) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int32_t ix = int32_t(fx), iy = int32_t(fy);
    const float dx = x - fx, dy = y - fy;
    const int x0 = Wrap(ix, period), x1 = Wrap(ix + 1, period);
    const int y0 = Wrap(iy, period), y1 = Wrap(iy + 1, period);
    const float a = GradientDot(x0, y0, dx, dy, seed);
    const float b = GradientDot(x1, y0, dx - 1, dy, seed);
    const float c = GradientDot(x0, y1, dx, dy - 1, seed);
    const float d = GradientDot(x1, y1, dx - 1, dy - 1, seed);
    const float tx = Fade(dx), ty = Fade(dy);
    const float n = a + (b - a) * tx + (c - a) * ty + (a - b - c + d) * tx * ty;
    // 2D gradient noise stays within about ±0.71 with unit gradients.
    return std::clamp(0.5f + n * 0.70710678f, 0.0f, 1.0f);
}

float Fbm(NoiseKind kind, float x, float y, uint32_t seed, FbmParams params, int period) {
    float sum = 0, norm = 0, amplitude = 1;
    for (int o = 0; o < std::max(1, params.octaves); ++o) {
        float f;
        int p;
        OctaveScale(params, o, period, f, p);
        const uint32_t s = seed + uint32_t(o) * 0x632BE5ABu;
        const float n = kind == NoiseKind::Value ? ValueNoise(x * f, y * f, s, p) : GradientNoise(x * f, y * f, s, p);
        sum += amplitude * n;
        norm += amplitude;
        amplitude *= params.gain;
    }
    return norm > 0 ? sum / norm : 0;
}

float RidgedFbm(float x, float y, uint32_t seed, FbmParams params, int period) {
    float sum = 0, norm = 0, amplitude = 1;
    for (int o = 0; o < std::max(1, params.octaves); ++o) {
        float f;
        int p;
        OctaveScale(params, o, period, f, p);
        const float n = GradientNoise(x * f, y * f, seed + uint32_t(o) * 0x632BE5ABu, p);
        const float ridge = 1 - std::fabs(2 * n - 1);
        sum += amplitude * ridge * ridge;
        norm += amplitude;
        amplitude *= params.gain;
    }
    return norm > 0 ? sum / norm : 0;
}

VoronoiSample Voronoi(float x, float y, uint32_t seed, int period, float jitter) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int32_t ix = int32_t(fx), iy = int32_t(fy);
    VoronoiSample s;
    float d1 = 1e30f, d2 = 1e30f;
    for (int oy = -1; oy <= 1; ++oy)
        for (int ox = -1; ox <= 1; ++ox) {
            const int32_t cx = ix + ox, cy = iy + oy;
            const int wx = Wrap(cx, period), wy = Wrap(cy, period);
            // The feature point belongs to the wrapped cell but is placed in
            // this (unwrapped) neighbour so distances are continuous at the seam.
            const float px = float(cx) + 0.5f + jitter * (HashUnit(wx, wy, seed) - 0.5f);
            const float py = float(cy) + 0.5f + jitter * (HashUnit(wx, wy, seed ^ 0x5BD1E995u) - 0.5f);
            const float d = std::hypot(px - x, py - y);
            if (d < d1) {
                d2 = d1;
                d1 = d;
                s.cellId = Hash(wx, wy, seed ^ 0x27D4EB2Fu);
                s.nearestX = px;
                s.nearestY = py;
            } else if (d < d2) {
                d2 = d;
            }
        }
    s.f1 = d1;
    s.f2 = d2;
    return s;
}

}  // namespace image
