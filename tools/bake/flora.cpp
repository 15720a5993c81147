// Plant and rock shapes from cylinders, cones, displaced spheres and strips.
#include "tools/bake/flora.h"

#include <cmath>

#include "tools/image/noise.h"

namespace bake {

zks::Mesh Frond(float heading, float length, float width, float rise, float droop, int segments) {
    zks::Mesh m;
    const Vec3 dir{std::cos(heading), std::sin(heading), 0};
    const Vec3 side{-dir.y, dir.x, 0};
    for (int i = 0; i <= segments; ++i) {
        const float s = float(i) / float(segments);
        const Vec3 centre = dir * (length * s) + Vec3{0, 0, rise * s - droop * s * s};
        // Widest a third of the way along, pointed at the tip.
        const float w = width * std::sin(kPi * std::pow(s, 0.7f)) * 0.5f;
        // Slightly V-shaped across, so the leaf catches light from both sides.
        const Vec3 lift{0, 0, w * 0.25f};
        const Vec3 up = zks::Normalize(zks::Cross(side, dir + Vec3{0, 0, (rise - 2 * droop * s) / length}));
        m.vertices.push_back({centre - side * w + lift, up, s, 0});
        m.vertices.push_back({centre + side * w + lift, up, s, 1});
    }
    for (int i = 0; i < segments; ++i) {
        const auto a = uint16_t(2 * i), b = uint16_t(a + 1), c = uint16_t(a + 2), d = uint16_t(a + 3);
        m.faces.push_back({a, c, d});
        m.faces.push_back({a, d, b});
    }
    return m;
}

PlantMeshes Palm(Rng& rng, float height) {
    PlantMeshes p;
    // A trunk of stacked, leaning segments.
    const int segments = 6;
    const float lean = rng.Range(-0.35f, 0.35f), leanHeading = rng.Range(0, 2 * kPi);
    Vec3 at{0, 0, 0};
    for (int i = 0; i < segments; ++i) {
        const float s = float(i) / float(segments);
        const float len = height / float(segments);
        const float radius = 0.45f * (1 - 0.4f * s);
        const Vec3 dir = zks::Normalize(
            Vec3{std::cos(leanHeading) * lean * (0.3f + s), std::sin(leanHeading) * lean * (0.3f + s), 1});
        zks::Mesh seg = Cylinder(radius, len * 1.08f, 8, false);
        Move(seg, {0, 0, len / 2});
        // Turn +z towards dir.
        const Vec3 axis = zks::Cross({0, 0, 1}, dir);
        const float angle = std::acos(std::fmin(1.0f, dir.z));
        const Quat q = zks::Length(axis) > 1e-5f ? zks::AxisAngle(axis, angle) : Quat{};
        zks::ScaleUV(seg, 1, 0.5f);
        Add(p.wood, seg, at, q);
        at = at + dir * len;
    }
    const int fronds = 7 + int(rng.Range(0, 3));
    for (int i = 0; i < fronds; ++i) {
        const float heading = 2 * kPi * float(i) / float(fronds) + rng.Range(-0.2f, 0.2f);
        Add(p.foliage, Frond(heading, height * 0.55f, 1.6f, height * 0.12f, height * 0.32f, 8), at);
    }
    return p;
}

PlantMeshes Broadleaf(Rng& rng, float height) {
    PlantMeshes p;
    zks::Mesh trunk = Cone(height * 0.06f, height * 1.3f, 10, false);
    zks::ScaleUV(trunk, 2, 3);
    Add(p.wood, trunk, {0, 0, height * 0.65f});
    // A flared base, like buttress roots.
    zks::Mesh flare = Cone(height * 0.16f, height * 0.3f, 10, false);
    zks::ScaleUV(flare, 2, 1);
    Add(p.wood, flare, {0, 0, height * 0.15f - 0.2f});
    // A crown of lumpy leaf clumps.
    const int clumps = 4 + int(rng.Range(0, 3));
    const uint32_t seed = rng.Next();
    for (int i = 0; i < clumps; ++i) {
        const float a = 2 * kPi * float(i) / float(clumps) + rng.Range(-0.3f, 0.3f);
        const float r = i == 0 ? 0 : height * rng.Range(0.12f, 0.26f);
        const float size = height * rng.Range(0.2f, 0.3f);
        zks::Mesh clump = Sphere(1, 12, 7);
        const uint32_t s = seed + uint32_t(i);
        Displace(clump, [&](Vec3 v) {
            return 0.35f * (image::GradientNoise(v.x * 2.5f + 3, v.y * 2.5f + v.z * 1.7f, s) - 0.5f) * 2;
        });
        zks::ScaleUV(clump, 3, 2);
        Add(p.foliage, clump, {std::cos(a) * r, std::sin(a) * r, height * rng.Range(0.95f, 1.15f)}, Yaw(a),
            {size, size, size * 0.62f});
    }
    return p;
}

PlantMeshes Conifer(Rng& rng, float height) {
    PlantMeshes p;
    zks::Mesh trunk = Cylinder(height * 0.035f, height * 0.5f, 8, false);
    zks::ScaleUV(trunk, 1, 2);
    Add(p.wood, trunk, {0, 0, height * 0.25f});
    const int tiers = 4;
    for (int i = 0; i < tiers; ++i) {
        const float s = float(i) / float(tiers);
        const float r = height * 0.26f * (1 - 0.75f * s) * rng.Range(0.9f, 1.1f);
        const float h = height * 0.36f;
        zks::Mesh tier = Cone(r, h, 12, true);
        Add(p.foliage, tier, {0, 0, height * (0.2f + 0.19f * float(i)) + h / 2}, Yaw(rng.Range(0, kPi)));
    }
    return p;
}

PlantMeshes Birch(Rng& rng, float height) {
    PlantMeshes p;
    zks::Mesh trunk = Cylinder(height * 0.025f, height, 8, false);
    zks::ScaleUV(trunk, 1, 3);
    Add(p.wood, trunk, {0, 0, height / 2});
    const uint32_t seed = rng.Next();
    for (int i = 0; i < 3; ++i) {
        zks::Mesh clump = Sphere(1, 10, 6);
        const uint32_t s = seed + uint32_t(i);
        Displace(clump, [&](Vec3 v) { return 0.3f * (image::GradientNoise(v.x * 3 + 1, v.y * 3 + v.z * 2, s) - 0.5f) * 2; });
        const float size = height * rng.Range(0.14f, 0.2f);
        const float a = rng.Range(0, 2 * kPi);
        Add(p.foliage, clump, {std::cos(a) * size * 0.5f, std::sin(a) * size * 0.5f, height * (0.7f + 0.12f * float(i))},
            {}, {size, size, size * 1.3f});
    }
    return p;
}

zks::Mesh Fern(Rng& rng, float size) {
    zks::Mesh m;
    const int fronds = 6 + int(rng.Range(0, 4));
    const float start = rng.Range(0, 2 * kPi);
    for (int i = 0; i < fronds; ++i) {
        const float heading = start + 2 * kPi * float(i) / float(fronds) + rng.Range(-0.25f, 0.25f);
        const float len = size * rng.Range(0.8f, 1.2f);
        Add(m, Frond(heading, len, len * 0.35f, len * 0.9f, len * 1.0f, 6));
    }
    return m;
}

zks::Mesh Boulder(Rng& rng, float radius, int detail) {
    zks::Mesh m = Sphere(1, detail, detail / 2 + 1);
    const uint32_t seed = rng.Next();
    Displace(m, [&](Vec3 v) {
        return 0.28f * (image::Fbm(image::NoiseKind::Gradient, v.x * 1.7f + 5, v.y * 1.7f + v.z * 1.3f, seed, {3, 2, 0.5f}) -
                        0.5f) * 2;
    });
    for (zks::Vertex& v : m.vertices)
        if (v.position.z < -0.3f) v.position.z = -0.3f - (v.position.z + 0.3f) * 0.2f;
    SmoothNormals(m);
    Scale(m, {radius, radius * rng.Range(0.8f, 1.2f), radius * rng.Range(0.6f, 0.9f)});
    return m;
}

}  // namespace bake
