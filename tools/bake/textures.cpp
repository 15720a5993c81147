// The demo's textures. Each entry is a file name, a format and a function of
// texture coordinates built from the tools' noise and patterns; most surfaces
// tile (noise with a period), sprites fade to transparent black at their edges.
#include "tools/bake/textures.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <string>

#include "tools/bake/text_painter.h"
#include "tools/image/dds_writer.h"
#include "tools/image/jpeg_writer.h"
#include "tools/image/noise.h"
#include "tools/image/patterns.h"

namespace bake::tex {
namespace {

using image::ColorF;
using image::Image;
constexpr float kPi = std::numbers::pi_v<float>;

// The fonts pictures with lettering are drawn with.
struct Fonts {
    TextPainter small, large;
};

enum class Kind { Jpeg, Dxt1, Dxt3, Dxt5, Argb8, Argb4 };

struct Entry {
    const char* file;
    Kind kind;
    Image (*make)(const Fonts&);
};

ColorF C(float r, float g, float b, float a = 1) { return {r, g, b, a}; }
ColorF Scale(ColorF c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }
ColorF Add(ColorF a, ColorF b) { return {a.r + b.r, a.g + b.g, a.b + b.b, a.a}; }
float Sat(float x) { return image::Clamp01(x); }

// Tileable fractal noise, 0–1: `cells` lattice cells across the texture.
float Tile(float u, float v, int cells, uint32_t seed, int octaves = 5, float gain = 0.5f) {
    return image::Fbm(image::NoiseKind::Gradient, u * float(cells), v * float(cells), seed, {octaves, 2, gain}, cells);
}
float TileRidged(float u, float v, int cells, uint32_t seed, int octaves = 5) {
    return image::RidgedFbm(u * float(cells), v * float(cells), seed, {octaves, 2, 0.5f}, cells);
}
// Contrast around the middle.
float Contrast(float x, float k) { return Sat((x - 0.5f) * k + 0.5f); }

// A sprite: white colour scaled by coverage, coverage as alpha (additive and
// alpha blending both look right).
ColorF Sprite(float a, ColorF tint = C(1, 1, 1)) {
    a = Sat(a);
    return C(tint.r * a, tint.g * a, tint.b * a, a);
}

// ------------------------------------------------------------------ effects

Image MakeGlow(const Fonts&) {
    return image::Generate(64, 64, [](float u, float v) { return Sprite(image::Glow(u, v, 2.2f)); });
}

Image MakeRing(const Fonts&) {
    return image::Generate(128, 128, [](float u, float v) {
        const float r = image::Ring(u, v, 0.40f, 0.06f) + 0.12f * image::Glow(u, v, 1.0f);
        return Sprite(r);
    });
}

Image MakeStreak(const Fonts&) {
    return image::Generate(128, 128, [](float u, float v) {
        const float x = std::fabs(u - 0.5f) * 2, y = std::fabs(v - 0.5f) * 2;
        const float line = std::exp(-y * 28.0f) * std::pow(std::max(0.0f, 1 - x), 1.5f);
        return Sprite(line + 0.5f * image::Glow(u, v, 6));
    });
}

Image MakeHalo(const Fonts&) {
    return image::Generate(128, 128, [](float u, float v) {
        const float r = std::hypot(u - 0.5f, v - 0.5f) * 2;
        const float disc = 1 - image::Smoothstep(0.80f, 0.95f, r);
        const float rim = std::exp(-std::pow((r - 0.85f) / 0.08f, 2.0f));
        return Sprite(0.25f * disc + 0.55f * rim);
    });
}

Image MakeSpark(const Fonts&) {
    return image::Generate(32, 32, [](float u, float v) {
        const float x = std::fabs(u - 0.5f) * 2, y = std::fabs(v - 0.5f) * 2;
        const float star = std::exp(-x * 14) * std::exp(-y * 2.5f) + std::exp(-y * 14) * std::exp(-x * 2.5f);
        return Sprite(star * 0.8f + image::Glow(u, v, 3));
    });
}

Image MakeSmoke(const Fonts&) {
    return image::Generate(64, 64, [](float u, float v) {
        const float n = Tile(u, v, 4, 71, 4);
        const float a = image::Glow(u, v, 1.4f) * (0.35f + 0.9f * n);
        return C(0.85f, 0.85f, 0.9f, Sat(a * 0.8f));
    });
}

Image MakeFire(const Fonts&) {
    return image::Generate(64, 64, [](float u, float v) {
        const float n = Tile(u, v, 4, 93, 4);
        const float g = image::Glow(u, v, 1.6f) * (0.5f + 0.8f * n);
        const ColorF hot = image::Mix(C(1.0f, 0.35f, 0.05f), C(1.0f, 0.9f, 0.55f), Sat(g * 1.4f));
        return Sprite(g * 1.3f, hot);
    });
}

Image MakeDrop(const Fonts&) {
    return image::Generate(32, 32, [](float u, float v) {
        const float x = (u - 0.5f) * 2, y = (v - 0.5f) * 1.4f;
        const float d = std::exp(-(x * x + y * y) * 6);
        return Sprite(d, C(0.8f, 0.9f, 1.0f));
    });
}

// A sphere map: u, v from the camera-space normal's x and y.
Image SphereMap(int size, const std::function<ColorF(float nx, float ny, float nz)>& shade) {
    return image::Generate(size, size, [&](float u, float v) {
        float nx = u * 2 - 1, ny = v * 2 - 1;
        const float r = std::hypot(nx, ny);
        if (r > 1) {
            nx /= r;
            ny /= r;
        }
        const float nz = std::sqrt(std::max(0.0f, 1 - nx * nx - ny * ny));
        return shade(nx, ny, nz);
    });
}

Image MakeEnvSky(const Fonts&) {
    // The lake's surroundings: sky and clouds above, a band of snowy mountains
    // at the horizon, dark water below.
    return SphereMap(256, [](float nx, float ny, float nz) {
        const float up = ny;
        const float az = std::atan2(nx, nz);
        const float range = 0.06f + 0.16f * image::Fbm(image::NoiseKind::Gradient, az * 3 + 9, 1, 12, {4, 2, 0.5f});
        ColorF c;
        if (up > range) {
            c = image::Mix(C(0.72f, 0.8f, 0.9f), C(0.16f, 0.36f, 0.76f), std::pow(Sat((up - range) * 1.4f), 0.6f));
            const float cloud = image::Fbm(image::NoiseKind::Gradient, nx * 4 + 7, nz * 4, 11, {4, 2, 0.5f});
            c = image::Mix(c, C(0.97f, 0.97f, 0.98f), Sat((cloud - 0.5f) * 3) * 0.7f);
        } else if (up > 0) {
            const float snow = image::Smoothstep(range * 0.6f, range * 0.8f, up);
            c = image::Mix(C(0.2f, 0.26f, 0.24f), C(0.85f, 0.88f, 0.92f), snow);
        } else {
            const float glint = image::Fbm(image::NoiseKind::Value, nx * 30, nz * 30, 14, {2, 2, 0.5f});
            c = image::Mix(C(0.1f, 0.22f, 0.28f), C(0.03f, 0.08f, 0.12f), std::pow(-up, 0.6f));
            c = Add(c, Scale(C(0.4f, 0.45f, 0.5f), Sat((glint - 0.7f) * 4) * (1 + up)));
        }
        // The sun, up and to the left.
        const float sun = std::exp(-(std::pow(nx + 0.35f, 2.0f) + std::pow(ny - 0.55f, 2.0f)) * 60);
        return Add(c, Scale(C(1, 0.95f, 0.8f), sun));
    });
}

Image MakeEnvLake(const Fonts& fonts) {
    // The sky as the rippled water reflects it: dimmer, with the sun's glitter.
    Image img = MakeEnvSky(fonts);
    for (image::Rgba& p : img.pixels()) {
        const float k = (p.r + p.g + p.b) > 700 ? 0.9f : 0.5f;
        p = image::ToRgba(Scale(image::ToColorF(p), k));
    }
    return img;
}

Image MakeEnvHaze(const Fonts&) {
    // The jungle's river: a hazy green sky, dark banks of trees at the horizon.
    return SphereMap(256, [](float nx, float ny, float nz) {
        const float trees = 0.12f + 0.1f * image::Fbm(image::NoiseKind::Gradient, nx * 6 + 3, nz * 2, 13, {4, 2, 0.5f});
        // Half bright: the jungle is drawn at double brightness.
        if (ny < trees) return image::Mix(C(0.03f, 0.05f, 0.03f), C(0.06f, 0.09f, 0.05f), Sat(ny + 0.5f));
        return Scale(image::Mix(C(0.42f, 0.5f, 0.4f), C(0.3f, 0.38f, 0.36f), Sat(ny)), 0.4f);
    });
}

Image MakeEnvWarm(const Fonts&) {
    return SphereMap(256, [](float nx, float ny, float) {
        const float n = image::Fbm(image::NoiseKind::Gradient, nx * 3 + 2, ny * 3, 19, {4, 2, 0.5f});
        ColorF c = image::Mix(C(0.08f, 0.03f, 0.02f), C(0.9f, 0.45f, 0.12f), Sat(ny * 0.6f + 0.5f) * n * 1.3f);
        const float flame = std::exp(-(std::pow(nx - 0.3f, 2.0f) + std::pow(ny - 0.3f, 2.0f)) * 20);
        return Add(c, Scale(C(1, 0.8f, 0.4f), flame));
    });
}

Image MakeAtmosphere(const Fonts&) {
    // Bright only where normals turn away from the viewer: a rim around a sphere.
    return SphereMap(256, [](float nx, float ny, float nz) {
        const float rim = std::pow(1 - nz, 3.0f);
        const float lit = Sat(0.55f + 0.5f * (nx * 0.7f + ny * 0.5f));
        return Scale(C(0.35f, 0.6f, 1.0f), rim * (0.3f + lit));
    });
}

Image MakeDetail(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float n = Tile(u, v, 8, 5, 5);
        const float g = 0.62f + 0.38f * Contrast(n, 1.8f);
        return C(g, g, g);
    });
}

Image MakeLogo(const Fonts& fonts) {
    const TextPainter& big = fonts.large;
    // Lettering and glow only, on transparent black: over the forest the logo
    // is drawn in the fog's colour, so anything but its shape would show as a
    // plain block.
    Image img(512, 512, {0, 0, 0, 0});
    big.DrawCentered(img, "VELMOOR", 256, 240, 0.8f, C(1, 1, 1), /*glow=*/C(0.35f, 0.6f, 1.0f), 6);
    fonts.small.DrawCentered(img, "a real-time journey", 256, 300, 0.7f, C(0.8f, 0.9f, 1.0f),
                                      C(0.2f, 0.4f, 0.8f), 2);
    return img;
}

Image MakeLoadingStrip(const Fonts& fonts) {
    Image img(256, 32, {0, 0, 0, 0});
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 256; ++x) {
            const float u = (float(x) + 0.5f) / 256, v = (float(y) + 0.5f) / 32;
            const float edge = std::min(std::min(u, 1 - u) * 12, 1.0f) * (1 - std::pow(std::fabs(v * 2 - 1), 6.0f));
            img.at(x, y) = image::ToRgba(C(0.03f, 0.05f, 0.12f, 0.75f * edge));
        }
    fonts.small.DrawCentered(img, "VELMOOR  LOADING", 128, 16, 0.62f, C(0.85f, 0.95f, 1.0f),
                                      C(0.2f, 0.5f, 1.0f), 2);
    return img;
}

// ------------------------------------------------------------------ loading

Image MakeLoadTile(const Fonts&) {
    return image::Generate(128, 128, [](float u, float v) {
        const float border = std::max(std::fabs(u - 0.5f), std::fabs(v - 0.5f)) * 2;
        const float frame = image::Smoothstep(0.80f, 0.88f, border) * (1 - image::Smoothstep(0.94f, 1.0f, border));
        const float traces = image::Stripes(u * 2 + Tile(u, v, 2, 3, 2) * 0.5f, 3, 12) *
                             (1 - image::Smoothstep(0.7f, 0.8f, border)) * 0.35f;
        const float core = image::Glow(u, v, 3) * 0.8f;
        const ColorF c = Add(C(0.02f, 0.05f, 0.12f), Scale(C(0.3f, 0.8f, 1.0f), frame + traces + core));
        return C(c.r, c.g, c.b, 1);
    });
}

Image MakeLoadFloor(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float gu = std::fabs(std::fmod(u * 8, 1.0f) - 0.5f), gv = std::fabs(std::fmod(v * 8, 1.0f) - 0.5f);
        const float line = std::exp(-std::pow((0.5f - std::max(gu, gv)) * 40, 2.0f));
        const float n = Tile(u, v, 4, 8, 3) * 0.06f;
        return Add(C(0.02f + n, 0.03f + n, 0.06f + n), Scale(C(0.1f, 0.35f, 0.6f), line));
    });
}

// ------------------------------------------------------------------ jungle

Image MakeJungleGround(const Fonts&) {
    return image::Generate(512, 512, [](float u, float v) {
        const float n = Tile(u, v, 8, 21, 6);
        const float moss = Contrast(Tile(u, v, 4, 22, 5), 2.2f);
        const image::VoronoiSample leaf = image::Voronoi(u * 48, v * 48, 23, 48, 0.9f);
        const float litter = (1 - image::Smoothstep(0.2f, 0.45f, leaf.f1)) * (leaf.cellId % 3 == 0 ? 1.0f : 0.0f);
        ColorF dirt = image::Mix(C(0.20f, 0.14f, 0.08f), C(0.36f, 0.26f, 0.14f), n);
        ColorF green = image::Mix(C(0.14f, 0.26f, 0.08f), C(0.30f, 0.45f, 0.14f), n);
        ColorF c = image::Mix(dirt, green, moss);
        c = image::Mix(c, C(0.42f, 0.33f, 0.12f), litter * 0.6f);
        return c;
    });
}

Image MakeJungleBark(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float n = image::Fbm(image::NoiseKind::Gradient, u * 16, v * 2, 31, {5, 2, 0.5f}, 0);
        const float furrow = image::Stripes(u + n * 0.15f, 10, 3);
        const float k = 0.55f + 0.45f * furrow * (0.6f + 0.4f * Tile(u, v, 8, 32, 4));
        return Scale(C(0.42f, 0.31f, 0.2f), k);
    });
}

Image MakeJungleLeaf(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        // Overlapping small leaves: two layers of cells, each leaf lit across its width.
        ColorF c = C(0.06f, 0.16f, 0.04f);
        for (int layer = 0; layer < 2; ++layer) {
            const int cells = layer == 0 ? 14 : 22;
            const image::VoronoiSample s = image::Voronoi(u * float(cells), v * float(cells), 41 + uint32_t(layer), cells, 1.0f);
            const float shade = image::HashUnit(int32_t(s.cellId), 0, 42);
            const float inside = 1 - image::Smoothstep(0.25f, 0.55f, s.f1);
            const float lit = 0.55f + 0.45f * Sat((s.nearestX - u * float(cells)) * 1.5f + 0.5f);
            const ColorF leaf = Scale(image::Mix(C(0.16f, 0.36f, 0.08f), C(0.42f, 0.66f, 0.18f), shade), lit);
            c = image::Mix(c, leaf, inside * (layer == 0 ? 1.0f : 0.7f));
        }
        return Scale(c, 0.85f + 0.3f * Tile(u, v, 4, 43, 3));
    });
}

Image MakeJungleFern(const Fonts&) {
    return image::Generate(128, 128, [](float u, float v) {
        const float rib = std::exp(-std::pow((v - 0.5f) * 30, 2.0f));
        const float leaflets = image::Stripes(u * 1.0f + std::fabs(v - 0.5f) * 0.6f, 14, 2);
        const float k = 0.55f + 0.35f * leaflets + 0.3f * rib;
        return Scale(C(0.22f, 0.5f, 0.12f), k);
    });
}

Image MakeRock(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float n = Tile(u, v, 6, 51, 6);
        const float r = TileRidged(u, v, 4, 52, 5);
        const image::VoronoiSample s = image::Voronoi(u * 6, v * 6, 53, 6, 1.0f);
        const float crack = image::Smoothstep(0.0f, 0.06f, s.f2 - s.f1);
        const float k = (0.45f + 0.4f * n + 0.25f * r) * (0.55f + 0.45f * crack);
        return Scale(C(0.55f, 0.52f, 0.48f), k);
    });
}

Image MakeJungleWater(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float n = Tile(u, v, 8, 61, 4);
        const float ripple = image::Stripes(v + n * 0.3f, 12, 2);
        return image::Mix(C(0.05f, 0.16f, 0.14f), C(0.18f, 0.36f, 0.32f), 0.5f * n + 0.3f * ripple);
    });
}

// ------------------------------------------------------------------ cavern

Image MakeCavernRock(const Fonts&) {
    return image::Generate(512, 512, [](float u, float v) {
        const float warp = Tile(u, v, 4, 71, 5);
        const float layers = image::Stripes(v * 1.0f + warp * 0.35f, 9, 1.5f);
        const float grain = Tile(u, v, 16, 72, 4);
        const float r = TileRidged(u, v, 6, 73, 5);
        const ColorF a = C(0.36f, 0.28f, 0.22f), b = C(0.55f, 0.47f, 0.38f);
        ColorF c = image::Mix(a, b, 0.45f * layers + 0.35f * grain + 0.2f * r);
        return Scale(c, 0.75f + 0.35f * r);
    });
}

Image MakeCavernCrystal(const Fonts&) {
    return image::Generate(128, 128, [](float u, float v) {
        const image::VoronoiSample s = image::Voronoi(u * 5, v * 5, 81, 5, 1.0f);
        const float facet = image::HashUnit(int32_t(s.cellId), 1, 82);
        const ColorF c = image::Mix(C(0.3f, 0.7f, 1.0f), C(0.75f, 0.45f, 1.0f), facet);
        return Scale(c, 0.6f + 0.4f * image::Smoothstep(0.0f, 0.2f, s.f2 - s.f1) + 0.2f * facet);
    });
}

Image MakeCavernShaft(const Fonts&) {
    return image::Generate(128, 128, [](float u, float v) {
        const float across = std::pow(std::sin(kPi * u), 1.5f);
        const float along = std::pow(1 - v, 1.2f) * image::Smoothstep(0.0f, 0.1f, v);
        const float streaks = 0.6f + 0.4f * image::Fbm(image::NoiseKind::Gradient, u * 12, v * 1.5f, 84, {3, 2, 0.5f}, 0);
        return Sprite(across * along * streaks * 0.9f, C(1.0f, 0.85f, 0.55f));
    });
}

Image MakeCavernBump(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const image::VoronoiSample s = image::Voronoi(u * 12, v * 12, 91, 12, 0.8f);
        const float bump = 1 - image::Smoothstep(0.1f, 0.7f, s.f1);
        const float g = 0.65f + 0.35f * bump;
        return C(g, g * 0.97f, g * 0.93f);
    });
}

// ------------------------------------------------------------------ forest

Image MakeForestGrass(const Fonts&) {
    return image::Generate(512, 512, [](float u, float v) {
        const float blades = image::Fbm(image::NoiseKind::Value, u * 256, v * 64, 101, {3, 2, 0.5f}, 0);
        const float patch = Contrast(Tile(u, v, 4, 102, 5), 2.5f);
        const float n = Tile(u, v, 16, 103, 4);
        ColorF grass = image::Mix(C(0.18f, 0.34f, 0.10f), C(0.42f, 0.58f, 0.20f), 0.6f * blades + 0.4f * n);
        ColorF dirt = image::Mix(C(0.30f, 0.24f, 0.15f), C(0.42f, 0.34f, 0.22f), n);
        return image::Mix(dirt, grass, 0.25f + 0.75f * patch);
    });
}

Image MakeForestBark(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float n = image::Fbm(image::NoiseKind::Gradient, u * 24, v * 3, 111, {5, 2, 0.5f}, 0);
        const float ridges = image::Stripes(u + n * 0.2f, 14, 4);
        return Scale(C(0.32f, 0.22f, 0.15f), 0.45f + 0.55f * ridges * (0.7f + 0.3f * n));
    });
}

Image MakeForestNeedles(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float needles = image::Fbm(image::NoiseKind::Value, u * 128, v * 128, 121, {2, 2, 0.5f}, 0);
        const float clumps = Tile(u, v, 6, 122, 4);
        ColorF c = image::Mix(C(0.05f, 0.16f, 0.08f), C(0.16f, 0.36f, 0.16f), 0.6f * needles + 0.4f * clumps);
        return c;
    });
}

Image MakeSunBeam(const Fonts&) {
    // A faint shaft of sunlight, alpha-blended (additive drawing would add the fog).
    return image::Generate(64, 128, [](float u, float v) {
        const float across = std::pow(std::sin(kPi * u), 2.0f);
        const float along = std::pow(1 - v, 0.8f) * image::Smoothstep(0.0f, 0.15f, v);
        return C(1.0f, 0.96f, 0.82f, 0.3f * across * along);
    });
}

Image MakeForestBirch(const Fonts&) {
    return image::Generate(128, 128, [](float u, float v) {
        const float marks = image::Fbm(image::NoiseKind::Gradient, u * 6, v * 40, 131, {3, 2, 0.5f}, 0);
        const float dark = image::Smoothstep(0.62f, 0.7f, marks);
        return image::Mix(C(0.88f, 0.86f, 0.80f), C(0.12f, 0.1f, 0.1f), dark);
    });
}

Image MakeForestFlower(const Fonts&) {
    // A five-petal blossom with a hard-edged alpha (DXT3 keeps the edge crisp).
    return image::Generate(64, 64, [](float u, float v) {
        const float x = u - 0.5f, y = v - 0.5f;
        const float r = std::hypot(x, y) * 2, a = std::atan2(y, x);
        const float petal = 0.55f + 0.4f * std::fabs(std::cos(a * 2.5f));
        const float inside = r < petal ? 1.0f : 0.0f;
        const ColorF c = r < 0.22f ? C(1.0f, 0.85f, 0.2f) : image::Mix(C(1, 1, 1), C(0.9f, 0.6f, 0.85f), r);
        return C(c.r, c.g, c.b, inside);
    });
}

// ------------------------------------------------------------------ lake

Image MakeLakeWater(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float n = Tile(u, v, 8, 141, 5);
        return image::Mix(C(0.05f, 0.14f, 0.18f), C(0.14f, 0.3f, 0.34f), n);
    });
}

Image MakeLakeRipple(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float n = Tile(u, v, 8, 151, 3);
        const float w = image::Stripes(u * 0.7f + v + n * 0.6f, 16, 2);
        const float g = 0.72f + 0.28f * w;
        return C(g, g, g);
    });
}

Image MakeLakeMountain(const Fonts&) {
    // u runs around the ring of mountains, v from the peaks (0) to the shore (1).
    return image::Generate(512, 512, [](float u, float v) {
        const float n = Tile(u, v, 16, 161, 6);
        const float r = TileRidged(u, v, 8, 162, 5);
        const float snowLine = 0.28f + 0.12f * Tile(u, v, 8, 163, 4);
        const float snow = 1 - image::Smoothstep(snowLine - 0.04f, snowLine + 0.04f, v + 0.1f * (r - 0.5f));
        const float grass = image::Smoothstep(0.86f, 0.93f, v + 0.06f * (n - 0.5f));
        ColorF rock = Scale(image::Mix(C(0.38f, 0.36f, 0.34f), C(0.55f, 0.52f, 0.5f), n), 0.7f + 0.4f * r);
        ColorF c = image::Mix(rock, image::Mix(C(0.16f, 0.3f, 0.1f), C(0.3f, 0.42f, 0.16f), n), grass);
        return image::Mix(c, C(0.95f, 0.96f, 1.0f), snow);
    });
}

Image MakeLakeSky(const Fonts&) {
    // A dome: u around, v from the zenith (0) to below the horizon (1).
    return image::Generate(512, 256, [](float u, float v) {
        const float h = Sat(v * 2);  // 0 zenith, 1 horizon
        ColorF c = image::Mix(C(0.22f, 0.42f, 0.78f), C(0.78f, 0.84f, 0.92f), std::pow(h, 2.2f));
        const float cloud = image::Fbm(image::NoiseKind::Gradient, u * 16, v * 6, 171, {5, 2, 0.5f}, 16);
        c = image::Mix(c, C(1, 1, 1), Sat((cloud - 0.52f) * 3.5f) * (1 - h * 0.6f) * (v < 0.5f ? 1.0f : 0.0f));
        return c;
    });
}

// ------------------------------------------------------------------ temple

Image MakeTempleMarble(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float warp = Tile(u, v, 4, 181, 5);
        const float vein = std::pow(1 - std::fabs(std::sin((u + v * 0.6f + warp * 1.2f) * kPi * 3)), 8.0f);
        const float n = Tile(u, v, 8, 182, 4);
        ColorF c = image::Mix(C(0.86f, 0.84f, 0.8f), C(0.96f, 0.95f, 0.92f), n);
        return image::Mix(c, C(0.45f, 0.42f, 0.4f), vein * 0.7f);
    });
}

Image MakeTempleStone(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const image::BrickSample b = image::Bricks(u, v, 8, 4, 0.06f);
        const float tint = image::HashUnit(int32_t(b.brickId), 2, 191);
        const float n = Tile(u, v, 16, 192, 4);
        ColorF brick = image::Mix(C(0.62f, 0.52f, 0.36f), C(0.78f, 0.66f, 0.46f), 0.5f * tint + 0.5f * n);
        return image::Mix(brick, C(0.3f, 0.26f, 0.2f), b.mortar);
    });
}

Image MakeTempleFloor(const Fonts&) {
    return image::Generate(512, 512, [](float u, float v) {
        const float check = image::Checker(u, v, 8, 8);
        const float gu = std::fabs(std::fmod(u * 8, 1.0f) - 0.5f), gv = std::fabs(std::fmod(v * 8, 1.0f) - 0.5f);
        const float joint = image::Smoothstep(0.46f, 0.5f, std::max(gu, gv));
        const float n = Tile(u, v, 16, 201, 4);
        const float vein = std::pow(1 - std::fabs(std::sin((u * 3 + v + Tile(u, v, 4, 202, 4) * 1.5f) * kPi * 4)), 10.0f);
        ColorF c = check > 0.5f ? C(0.85f, 0.82f, 0.76f) : C(0.35f, 0.12f, 0.1f);
        c = Scale(c, 0.85f + 0.2f * n);
        c = image::Mix(c, Scale(c, 0.6f), vein * 0.5f);
        return image::Mix(c, C(0.2f, 0.18f, 0.15f), joint);
    });
}

Image MakeTempleGold(const Fonts&) {
    return image::Generate(128, 128, [](float u, float v) {
        const float n = Tile(u, v, 8, 211, 4);
        return image::Mix(C(0.55f, 0.38f, 0.08f), C(1.0f, 0.8f, 0.35f), n);
    });
}

// ------------------------------------------------------------------ space

Image MakeStars(const Fonts&) {
    return image::Generate(1024, 512, [](float u, float v) {
        // Three layers of stars on a faint, coloured nebula.
        ColorF c = C(0, 0, 0);
        const float neb = image::Fbm(image::NoiseKind::Gradient, u * 8, v * 4, 221, {6, 2, 0.55f}, 8);
        const float neb2 = image::Fbm(image::NoiseKind::Gradient, u * 8 + 3, v * 4, 222, {5, 2, 0.5f}, 8);
        c = Add(c, Scale(C(0.25f, 0.08f, 0.3f), Sat((neb - 0.45f) * 2.5f) * 0.5f));
        c = Add(c, Scale(C(0.05f, 0.15f, 0.3f), Sat((neb2 - 0.5f) * 3) * 0.5f));
        const float scales[3] = {160, 80, 36};
        const float keep[3] = {0.82f, 0.88f, 0.93f};  // share of cells without a star
        for (int layer = 0; layer < 3; ++layer) {
            const float sx = scales[layer] * 2, sy = scales[layer];
            const image::VoronoiSample s = image::Voronoi(u * sx, v * sy, 230 + uint32_t(layer), int(sx), 0.9f);
            const float bright = image::HashUnit(int32_t(s.cellId), 7, 240);
            if (bright < keep[layer]) continue;
            const float size = 0.05f + 0.04f * float(layer);
            const float star = std::exp(-std::pow(s.f1 / size, 2.0f)) * std::pow((bright - keep[layer]) / (1 - keep[layer]), 1.5f) * 1.6f;
            const float hue = image::HashUnit(int32_t(s.cellId), 8, 241);
            c = Add(c, Scale(image::Mix(C(0.7f, 0.8f, 1), C(1, 0.85f, 0.7f), hue), star));
        }
        return c;
    });
}

Image MakeGasGiant(const Fonts&) {
    return image::Generate(512, 256, [](float u, float v) {
        const float warp = image::Fbm(image::NoiseKind::Gradient, u * 8, v * 8, 251, {5, 2, 0.5f}, 8);
        const float bands = image::Fbm(image::NoiseKind::Gradient, 0.5f, v * 18 + warp * 1.5f, 252, {4, 2, 0.5f}, 0);
        const image::ColorRamp ramp({{0.0f, C(0.45f, 0.28f, 0.16f)},
                                     {0.35f, C(0.85f, 0.62f, 0.38f)},
                                     {0.55f, C(0.95f, 0.88f, 0.72f)},
                                     {0.75f, C(0.7f, 0.45f, 0.25f)},
                                     {1.0f, C(0.92f, 0.8f, 0.62f)}});
        ColorF c = ramp.At(Sat(bands * 1.3f - 0.15f));
        // A great storm.
        const float storm = std::exp(-(std::pow((u - 0.3f) * 9, 2.0f) + std::pow((v - 0.62f) * 18, 2.0f)));
        return image::Mix(c, C(0.8f, 0.35f, 0.2f), storm * 0.8f);
    });
}

Image Craters(int w, int h, uint32_t seed, ColorF low, ColorF high) {
    return image::Generate(w, h, [=](float u, float v) {
        const float n = image::Fbm(image::NoiseKind::Gradient, u * 16, v * 8, seed, {6, 2, 0.5f}, 16);
        const image::VoronoiSample s = image::Voronoi(u * 24, v * 12, seed + 1, 24, 0.8f);
        const float crater = image::HashUnit(int32_t(s.cellId), 3, seed + 2) > 0.6f ? 1.0f : 0.0f;
        const float rim = crater * std::exp(-std::pow((s.f1 - 0.32f) / 0.05f, 2.0f));
        const float bowl = crater * (1 - image::Smoothstep(0.1f, 0.3f, s.f1));
        const ColorF c = image::Mix(low, high, n);
        return Scale(c, 0.8f + 0.45f * rim - 0.25f * bowl);
    });
}

Image MakeRockyPlanet(const Fonts&) { return Craters(256, 128, 261, C(0.45f, 0.22f, 0.12f), C(0.78f, 0.5f, 0.3f)); }
Image MakeMoon(const Fonts&) { return Craters(256, 128, 271, C(0.38f, 0.38f, 0.4f), C(0.72f, 0.72f, 0.72f)); }

Image MakePlanetRing(const Fonts&) {
    // Mapped on a flat square around the planet: bands between radius 0.55 and 1.
    return image::Generate(256, 256, [](float u, float v) {
        const float r = std::hypot(u - 0.5f, v - 0.5f) * 2;
        const float inRing = image::Smoothstep(0.55f, 0.58f, r) * (1 - image::Smoothstep(0.96f, 0.99f, r));
        const float bands = image::Fbm(image::NoiseKind::Value, r * 40, 0.5f, 281, {4, 2, 0.6f}, 0);
        const float gap = 1 - std::exp(-std::pow((r - 0.8f) / 0.015f, 2.0f));
        const float a = inRing * gap * (0.35f + 0.65f * bands);
        const ColorF c = image::Mix(C(0.7f, 0.6f, 0.48f), C(0.95f, 0.88f, 0.75f), bands);
        return C(c.r, c.g, c.b, a);
    });
}

Image MakeSunSurface(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const image::VoronoiSample s = image::Voronoi(u * 24, v * 24, 291, 24, 1.0f);
        const float cells = image::Smoothstep(0.0f, 0.2f, s.f2 - s.f1);
        const float n = Tile(u, v, 8, 292, 4);
        return image::Mix(C(1.0f, 0.45f, 0.08f), C(1.0f, 0.92f, 0.6f), 0.6f * cells + 0.4f * n);
    });
}

Image MakeEarth(const Fonts&) {
    return image::Generate(1024, 512, [](float u, float v) {
        const float lat = std::fabs(v - 0.5f) * 2;  // 0 equator, 1 pole
        const float land = image::Fbm(image::NoiseKind::Gradient, u * 6, v * 3, 301, {7, 2, 0.5f}, 6);
        const float detail = image::Fbm(image::NoiseKind::Gradient, u * 48, v * 24, 302, {4, 2, 0.5f}, 48);
        const float height = land + 0.08f * (detail - 0.5f);
        ColorF c;
        if (height < 0.53f) {
            c = image::Mix(C(0.02f, 0.08f, 0.28f), C(0.06f, 0.28f, 0.48f), Sat((height - 0.35f) * 5));
        } else {
            const float dry = Sat(1 - std::fabs(lat - 0.35f) * 4) * 0.8f;
            c = image::Mix(C(0.12f, 0.32f, 0.1f), C(0.62f, 0.52f, 0.3f), Sat(dry + (detail - 0.5f)));
            c = image::Mix(c, C(0.45f, 0.4f, 0.35f), Sat((height - 0.66f) * 6));
        }
        const float ice = image::Smoothstep(0.80f, 0.88f, lat + 0.05f * (detail - 0.5f));
        return image::Mix(c, C(0.92f, 0.95f, 1.0f), ice);
    });
}

Image MakeClouds(const Fonts&) {
    // White on black: the cloud layer adds itself to the earth.
    return image::Generate(1024, 512, [](float u, float v) {
        const float lat = std::fabs(v - 0.5f) * 2;
        const float warp = image::Fbm(image::NoiseKind::Gradient, u * 4, v * 2, 311, {4, 2, 0.5f}, 4);
        const float n = image::Fbm(image::NoiseKind::Gradient, u * 12 + warp * 2, v * 6 + warp, 312, {6, 2, 0.55f}, 12);
        const float bands = 0.85f + 0.3f * std::cos(lat * kPi * 3);
        const float k = Sat((n * bands - 0.42f) * 2.4f);
        return C(k, k, k);
    });
}

// ------------------------------------------------------------------ computer

Image MakePlastic(const Fonts&) {
    return image::Generate(128, 128, [](float u, float v) {
        const float n = Tile(u, v, 16, 321, 3);
        return Scale(C(0.86f, 0.82f, 0.72f), 0.92f + 0.08f * n);
    });
}

Image MakeScreen(const Fonts& fonts) {
    Image img = image::Generate(256, 256, [](float u, float v) {
        const float scan = 0.85f + 0.15f * std::sin(v * 256 * kPi);
        const float vignette = 1 - 0.5f * std::pow(std::hypot(u - 0.5f, v - 0.5f) * 1.4f, 3.0f);
        return Scale(C(0.02f, 0.06f, 0.16f), scan * vignette * 1.5f);
    });
    const TextPainter& t = fonts.small;
    const char* lines[] = {"VELMOOR 2000", "", "> load jungle", "> load cavern", "> load lake",
                           "> run show", "  scenes: 10", "  music: on", "> _"};
    float y = 22;
    for (const char* line : lines) {
        t.DrawLeft(img, line, 14, y, 0.42f, C(0.5f, 1.0f, 0.6f), C(0.1f, 0.6f, 0.2f), 1);
        y += 25;
    }
    return img;
}

Image MakeKeys(const Fonts& fonts) {
    // An 8 × 8 grid of key caps, one character each; the keyboard's keys map one
    // cell each on their tops.
    Image img = image::Generate(256, 256, [](float u, float v) {
        const float cu = std::fmod(u * 8, 1.0f), cv = std::fmod(v * 8, 1.0f);
        const float edge = std::min(std::min(cu, 1 - cu), std::min(cv, 1 - cv));
        const float bevel = image::Smoothstep(0.0f, 0.12f, edge);
        return Scale(C(0.88f, 0.85f, 0.76f), 0.7f + 0.3f * bevel);
    });
    const char* chars = "1234567890QWERTYUIOPASDFGHJKLZXCVBNM-=[];',./\\`!@#$%^&*()_+{}:\"<>?|~ ";
    const TextPainter& t = fonts.small;
    for (int i = 0; i < 64 && chars[i]; ++i) {
        const char s[2] = {chars[i], 0};
        t.DrawCentered(img, s, float(i % 8) * 32 + 16, float(i / 8) * 32 + 15, 0.45f, C(0.25f, 0.23f, 0.2f),
                       C(0, 0, 0), 0);
    }
    return img;
}

Image MakeWood(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float warp = Tile(u, v, 4, 331, 4);
        const float rings = image::Stripes(u * 1.0f + warp * 0.25f, 12, 2.5f);
        const float grain = image::Fbm(image::NoiseKind::Value, u * 128, v * 8, 332, {3, 2, 0.5f}, 0);
        return image::Mix(C(0.36f, 0.2f, 0.1f), C(0.6f, 0.38f, 0.2f), 0.6f * rings + 0.4f * grain);
    });
}

Image MakeWall(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float n = Tile(u, v, 16, 341, 5);
        const float stripes = image::Stripes(u, 16, 1) * 0.06f;
        return Scale(C(0.58f, 0.6f, 0.66f), 0.85f + 0.15f * n + stripes);
    });
}

// ------------------------------------------------------------------ dinosaur

Image MakeDinoSkin(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const image::VoronoiSample s = image::Voronoi(u * 20, v * 20, 351, 20, 0.9f);
        const float scale = image::Smoothstep(0.0f, 0.12f, s.f2 - s.f1);
        const float stripes = image::Stripes(u + Tile(u, v, 4, 352, 3) * 0.2f, 6, 3);
        ColorF c = image::Mix(C(0.22f, 0.32f, 0.12f), C(0.42f, 0.5f, 0.2f), image::HashUnit(int32_t(s.cellId), 4, 353));
        c = image::Mix(c, C(0.16f, 0.18f, 0.08f), stripes * 0.5f);
        return Scale(c, 0.6f + 0.4f * scale);
    });
}

Image MakeSand(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float n = Tile(u, v, 8, 361, 6);
        const float dunes = image::Stripes(u * 0.3f + v + Tile(u, v, 2, 362, 3) * 0.4f, 6, 1.5f);
        return image::Mix(C(0.62f, 0.46f, 0.28f), C(0.86f, 0.7f, 0.46f), 0.6f * n + 0.4f * dunes);
    });
}

Image MakeDuskSky(const Fonts&) {
    return image::Generate(512, 256, [](float u, float v) {
        const float h = Sat(v * 2);
        const image::ColorRamp ramp({{0.0f, C(0.10f, 0.10f, 0.28f)},
                                     {0.55f, C(0.55f, 0.25f, 0.35f)},
                                     {0.85f, C(1.0f, 0.55f, 0.25f)},
                                     {1.0f, C(1.0f, 0.8f, 0.45f)}});
        ColorF c = ramp.At(h);
        const float cloud = image::Fbm(image::NoiseKind::Gradient, u * 16, v * 5, 371, {5, 2, 0.5f}, 16);
        const float k = Sat((cloud - 0.5f) * 3) * (v < 0.5f ? 1.0f : 0.0f) * (0.3f + 0.7f * h);
        return image::Mix(c, C(0.35f, 0.15f, 0.2f), k * 0.7f);
    });
}

// ------------------------------------------------------------------ greetings

Image MakeNeon(const Fonts&) {
    return image::Generate(128, 128, [](float u, float v) {
        // A rainbow along u, a bright tube across v.
        const float h = u * 6;
        const float r = Sat(std::fabs(h - 3) - 1);
        const float g = Sat(2 - std::fabs(h - 2));
        const float b = Sat(2 - std::fabs(h - 4));
        const float tube = 0.35f + 0.65f * std::pow(std::sin(kPi * v), 2.0f);
        const ColorF c = Scale(C(r, g, b), tube);
        return Add(c, Scale(C(1, 1, 1), std::pow(std::sin(kPi * v), 16.0f) * 0.6f));
    });
}

Image MakeGrid(const Fonts&) {
    return image::Generate(256, 256, [](float u, float v) {
        const float gu = std::fabs(std::fmod(u * 4, 1.0f) - 0.5f), gv = std::fabs(std::fmod(v * 4, 1.0f) - 0.5f);
        const float line = std::exp(-std::pow((0.5f - std::max(gu, gv)) * 30, 2.0f));
        return Add(C(0.05f, 0.0f, 0.1f), Scale(C(1.0f, 0.3f, 0.9f), line));
    });
}

const Entry kEntries[] = {
    {kGlow, Kind::Argb8, MakeGlow},
    {kRing, Kind::Argb8, MakeRing},
    {kStreak, Kind::Argb8, MakeStreak},
    {kHalo, Kind::Argb8, MakeHalo},
    {kSpark, Kind::Argb4, MakeSpark},
    {kSmoke, Kind::Dxt5, MakeSmoke},
    {kFire, Kind::Dxt5, MakeFire},
    {kDrop, Kind::Argb8, MakeDrop},
    {kEnvSky, Kind::Jpeg, MakeEnvSky},
    {kEnvWarm, Kind::Jpeg, MakeEnvWarm},
    {kEnvHaze, Kind::Jpeg, MakeEnvHaze},
    {kEnvLake, Kind::Jpeg, MakeEnvLake},
    {kAtmosphere, Kind::Jpeg, MakeAtmosphere},
    {kDetail, Kind::Jpeg, MakeDetail},
    {kLogo, Kind::Dxt5, MakeLogo},
    {kLoadingStrip, Kind::Argb8, MakeLoadingStrip},
    {kLoadTile, Kind::Argb4, MakeLoadTile},
    {kLoadFloor, Kind::Jpeg, MakeLoadFloor},
    {kJungleGround, Kind::Jpeg, MakeJungleGround},
    {kJungleBark, Kind::Jpeg, MakeJungleBark},
    {kJungleLeaf, Kind::Jpeg, MakeJungleLeaf},
    {kJungleFern, Kind::Jpeg, MakeJungleFern},
    {kRock, Kind::Jpeg, MakeRock},
    {kJungleWater, Kind::Jpeg, MakeJungleWater},
    {kCavernRock, Kind::Jpeg, MakeCavernRock},
    {kCavernCrystal, Kind::Jpeg, MakeCavernCrystal},
    {kCavernShaft, Kind::Dxt5, MakeCavernShaft},
    {kCavernBump, Kind::Dxt1, MakeCavernBump},
    {kForestGrass, Kind::Jpeg, MakeForestGrass},
    {kForestBark, Kind::Jpeg, MakeForestBark},
    {kForestNeedles, Kind::Jpeg, MakeForestNeedles},
    {kForestBirch, Kind::Jpeg, MakeForestBirch},
    {kSunBeam, Kind::Dxt5, MakeSunBeam},
    {kForestFlower, Kind::Dxt3, MakeForestFlower},
    {kLakeWater, Kind::Jpeg, MakeLakeWater},
    {kLakeRipple, Kind::Dxt1, MakeLakeRipple},
    {kLakeMountain, Kind::Jpeg, MakeLakeMountain},
    {kLakeSky, Kind::Jpeg, MakeLakeSky},
    {kTempleMarble, Kind::Jpeg, MakeTempleMarble},
    {kTempleStone, Kind::Jpeg, MakeTempleStone},
    {kTempleFloor, Kind::Jpeg, MakeTempleFloor},
    {kTempleGold, Kind::Jpeg, MakeTempleGold},
    {kStars, Kind::Jpeg, MakeStars},
    {kGasGiant, Kind::Jpeg, MakeGasGiant},
    {kRockyPlanet, Kind::Jpeg, MakeRockyPlanet},
    {kPlanetRing, Kind::Dxt3, MakePlanetRing},
    {kSunSurface, Kind::Jpeg, MakeSunSurface},
    {kEarth, Kind::Jpeg, MakeEarth},
    {kClouds, Kind::Jpeg, MakeClouds},
    {kMoon, Kind::Jpeg, MakeMoon},
    {kPlastic, Kind::Jpeg, MakePlastic},
    {kScreen, Kind::Jpeg, MakeScreen},
    {kKeys, Kind::Dxt1, MakeKeys},
    {kWood, Kind::Jpeg, MakeWood},
    {kWall, Kind::Jpeg, MakeWall},
    {kDinoSkin, Kind::Jpeg, MakeDinoSkin},
    {kSand, Kind::Jpeg, MakeSand},
    {kDuskSky, Kind::Jpeg, MakeDuskSky},
    {kNeon, Kind::Dxt1, MakeNeon},
    {kGrid, Kind::Jpeg, MakeGrid},
};

bool Save(const Image& img, Kind kind, const std::string& path, std::string* error) {
    switch (kind) {
        case Kind::Jpeg: return image::SaveJpeg(img, {88, true}, path, error);
        case Kind::Dxt1: return image::SaveDds(img, {image::DdsFormat::DXT1, false}, path, error);
        case Kind::Dxt3: return image::SaveDds(img, {image::DdsFormat::DXT3, false}, path, error);
        case Kind::Dxt5: return image::SaveDds(img, {image::DdsFormat::DXT5, false}, path, error);
        case Kind::Argb8: return image::SaveDds(img, {image::DdsFormat::A8R8G8B8, false}, path, error);
        case Kind::Argb4: return image::SaveDds(img, {image::DdsFormat::A4R4G4B4, false}, path, error);
    }
    return false;
}

}  // namespace

bool WriteTextures(const std::string& outDir, std::vector<std::string>* files, std::string* error) {
    Fonts fonts;
    if (!TextPainter::Build(32, fonts.small, error) || !TextPainter::Build(96, fonts.large, error)) return false;
    for (const Entry& e : kEntries) {
        const Image img = e.make(fonts);
        const std::string path = outDir + "/" + e.file;
        if (!Save(img, e.kind, path, error)) return false;
        if (files) files->push_back(e.file);
    }
    return true;
}

}  // namespace bake::tex
