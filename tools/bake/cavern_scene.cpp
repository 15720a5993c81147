// The cavern and the forest of its interludes.
//
// Cavern: a winding rock tunnel swept along a curve, cut into sections each
// guarded by a culling sphere; stalactites and stalagmites; glowing crystal
// clusters lit by coloured point lights (two of them the lens-flare sources
// "lens1" and "lens3"); shafts of light falling from openings in the roof
// (the material "LightMat", drawn additively by the script); a fire pit
// throwing sparks (data/cavern.pfd). One camera flies the tunnel.
//
// Forest: a sunny clearing of conifers and birches on rolling grass with
// flowers (sorted, alpha-blended) and beams of sunlight; "ForwardCam" walks
// in during the first interlude, "StrafeCam" slides sideways past the trunks
// during the second.
#include <cmath>
#include <string>

#include "tools/bake/flora.h"
#include "tools/bake/scenes.h"
#include "tools/bake/textures.h"
#include "tools/image/noise.h"

namespace bake {
namespace {

// ------------------------------------------------------------------ cavern

constexpr float kTunnelLength = 260;

Vec3 TunnelCentre(float s) {
    const float x = kTunnelLength * s;
    return {x, 22 * std::sin(x / 38) + 8 * std::sin(x / 15), 5 * std::sin(x / 47)};
}

Vec3 TunnelTangent(float s) { return zks::Normalize(TunnelCentre(s + 0.002f) - TunnelCentre(s - 0.002f)); }

// Wall distance from the centre line at s, angle a (0 = +side, π/2 = up).
float TunnelRadius(float s, float a) {
    const float n = image::Fbm(image::NoiseKind::Gradient, s * 40, a * 1.3f, 77, {4, 2, 0.5f}, 0);
    return 8.5f + 6.0f * (n - 0.5f) + 1.5f * std::sin(s * 30);
}

// A point on the wall: the floor is flattened 4.5 units below the centre line.
Vec3 WallPoint(float s, float a) {
    const Vec3 c = TunnelCentre(s), t = TunnelTangent(s);
    const Vec3 side = zks::Normalize(zks::Cross({0, 0, 1}, t));
    const Vec3 up = zks::Cross(t, side);
    Vec3 p = c + (side * std::cos(a) + up * std::sin(a)) * TunnelRadius(s, a);
    p.z = std::fmax(p.z, c.z - 4.5f);
    return p;
}

// Rings [j0, j1] of the tunnel as one mesh, inward facing, relative to `origin`.
zks::Mesh TunnelSection(int j0, int j1, int rings, int around, Vec3 origin) {
    zks::Mesh m;
    m.texCoordSets = 3;  // texture, detail and a generated set for the bump stage
    for (int j = j0; j <= j1; ++j) {
        const float s = float(j) / float(rings);
        for (int i = 0; i <= around; ++i) {
            const float a = 2 * kPi * float(i % around) / float(around) - kPi / 2;
            m.vertices.push_back({WallPoint(s, a) - origin, {0, 0, 1}, 3 * float(i) / float(around), s * kTunnelLength / 10});
        }
    }
    const int stride = around + 1;
    for (int j = 0; j < j1 - j0; ++j)
        for (int i = 0; i < around; ++i) {
            const auto a = uint16_t(j * stride + i), b = uint16_t(a + 1), c = uint16_t(a + stride + 1),
                       d = uint16_t(a + stride);
            // Wound to face the centre line.
            m.faces.push_back({a, c, b});
            m.faces.push_back({a, d, c});
        }
    SmoothNormals(m);
    return m;
}

zks::Mesh CrystalCluster(Rng& rng, float size) {
    zks::Mesh m;
    const int count = 5 + int(rng.Range(0, 4));
    for (int i = 0; i < count; ++i) {
        const float h = size * rng.Range(0.6f, 1.4f), r = size * rng.Range(0.08f, 0.16f);
        zks::Mesh prism = Cylinder(r, h, 6, false);
        Move(prism, {0, 0, h / 2});
        zks::Mesh tip = Cone(r, r * 2.5f, 6, false);
        Move(tip, {0, 0, h + r * 1.25f});
        zks::AppendMesh(prism, tip);
        Facet(prism);
        const float tilt = rng.Range(0.0f, 0.7f), heading = rng.Range(0, 2 * kPi);
        Add(m, prism, {rng.Range(-0.3f, 0.3f) * size, rng.Range(-0.3f, 0.3f) * size, 0},
            zks::Compose(AboutX(tilt), Yaw(heading)));
    }
    return m;
}

}  // namespace

SceneFiles MakeCavernScene(const ShowPlan& plan) {
    SceneBuilder b("Cavern", plan.fps, float(plan.AnimationSeconds(kCavern)));
    const zks::Color dark = Rgb(0.05f, 0.035f, 0.03f);
    b.SetColors(dark, Rgb(0.42f, 0.36f, 0.3f));
    b.SetFog(zks::FogMode::Exponential, dark, 0, 0.012f);

    zks::Material rock = MakeMaterial("cv_rock", Rgb(0.95f, 0.9f, 0.85f));
    rock.texture = Tex(tex::kCavernRock);
    rock.detail = Tex(tex::kDetail);
    rock.bump = Tex(tex::kCavernBump);
    b.AddMaterial(rock);
    zks::Material spikes = MakeMaterial("cv_spikes", Rgb(0.85f, 0.8f, 0.72f));
    spikes.texture = Tex(tex::kRock);
    b.AddMaterial(spikes);
    zks::Material crystal = MakeMaterial("cv_crystal", Rgb(0.6f, 0.7f, 0.9f));
    crystal.texture = Tex(tex::kCavernCrystal);
    crystal.environment = Tex(tex::kEnvWarm);
    crystal.emissive = Rgb(0.15f, 0.25f, 0.45f);
    b.AddMaterial(crystal);
    // Light shafts; the cavern script makes this material additive, sorted and
    // depth-read-only, the file already asks for the same.
    zks::Material shaft = GlowMaterial("LightMat", Rgb(1, 0.95f, 0.85f), rf::Transparent(rf::kBlendAdd));
    shaft.texture = Tex(tex::kCavernShaft);
    b.AddMaterial(shaft);
    zks::Material embers = GlowMaterial("cv_embers", Rgb(1, 0.6f, 0.3f), rf::kDefault);
    embers.texture = Tex(tex::kFire);
    b.AddMaterial(embers);

    // The tunnel in sections.
    const int rings = 150, around = 26, sections = 6;
    for (int k = 0; k < sections; ++k) {
        const int j0 = rings * k / sections, j1 = rings * (k + 1) / sections;
        const float sMid = (float(j0) + float(j1)) / 2 / float(rings);
        const Vec3 centre = TunnelCentre(sMid);
        const std::string cull = "cv_Cull" + std::to_string(k);
        b.AddCullSphere(cull, centre, kTunnelLength / float(sections) * 0.7f + 18);
        b.AddMesh("cv_Tunnel" + std::to_string(k), TunnelSection(j0, j1, rings, around, centre), "cv_rock", cull);

        // Stalactites from the roof, stalagmites from the floor.
        Rng rng(500 + uint32_t(k));
        zks::Mesh spikesMesh;
        for (int i = 0; i < 14; ++i) {
            const float s = rng.Range(float(j0), float(j1)) / float(rings);
            const bool roof = i % 2 == 0;
            const float a = (roof ? kPi / 2 : -kPi / 2) + rng.Range(-0.7f, 0.7f);
            const Vec3 p = WallPoint(s, a) - centre;
            const float h = rng.Range(1.5f, 4.5f), r = h * rng.Range(0.15f, 0.25f);
            zks::Mesh cone = Cone(r, h, 7, false);
            zks::ScaleUV(cone, 1, 2);
            if (roof) Add(spikesMesh, cone, p + Vec3{0, 0, -h / 2 + 0.4f}, AboutX(kPi));
            else Add(spikesMesh, cone, p + Vec3{0, 0, h / 2 - 0.3f});
        }
        b.AddMesh("cv_Spikes" + std::to_string(k), spikesMesh, "cv_spikes", cull);
    }

    // Crystal clusters with their lights; two carry the flare sources.
    const float clusterAt[5] = {0.16f, 0.33f, 0.5f, 0.68f, 0.86f};
    const float clusterSide[5] = {-0.4f, kPi + 0.4f, -0.3f, kPi + 0.3f, -0.35f};
    const zks::Color lightColour[5] = {Rgb(0.45f, 0.75f, 1.0f), Rgb(0.75f, 0.6f, 1.0f), Rgb(0.4f, 0.95f, 0.85f),
                                       Rgb(0.55f, 0.7f, 1.0f), Rgb(0.8f, 0.65f, 1.0f)};
    Rng crystalRng(77);
    for (int i = 0; i < 5; ++i) {
        const Vec3 wall = WallPoint(clusterAt[i], clusterSide[i]);
        const Vec3 c = TunnelCentre(clusterAt[i]);
        const Vec3 base{wall.x, wall.y, c.z - 4.5f};
        b.AddMesh("cv_Crystals" + std::to_string(i), CrystalCluster(crystalRng, 3.2f), "cv_crystal", "",
                  zks::Translation(base + (c - base) * 0.15f));
        const Vec3 glow = base + (c - base) * 0.3f + Vec3{0, 0, 3};
        b.AddLight(PointLight("cv_Light" + std::to_string(i), lightColour[i], 55, 0.2f, 0.025f, 0.002f), glow);
        if (i == 1) b.AddPoint("lens1", glow);
        if (i == 3) b.AddPoint("lens3", glow);
    }

    // The fire pit: stones around glowing embers, a warm light, the sparks' sources.
    const float pitS = 0.58f;
    const Vec3 pitCentre = TunnelCentre(pitS);
    const Vec3 pit{pitCentre.x, pitCentre.y, pitCentre.z - 4.5f};
    {
        Rng rng(31);
        zks::Mesh stones;
        for (int i = 0; i < 9; ++i) {
            const float a = 2 * kPi * float(i) / 9;
            Add(stones, Boulder(rng, 0.7f, 8), {2.0f * std::cos(a), 2.0f * std::sin(a), 0.2f});
        }
        b.AddMesh("cv_PitStones", stones, "cv_spikes", "", zks::Translation(pit));
        zks::Mesh coals = Sphere(1.7f, 12, 6);
        Scale(coals, {1, 1, 0.25f});
        b.AddMesh("cv_Coals", coals, "cv_embers", "", zks::Translation(pit));
        b.AddLight(PointLight("cv_Fire", Rgb(1.0f, 0.55f, 0.2f), 50, 0.15f, 0.03f, 0.003f), pit + Vec3{0, 0, 2.5f});
        b.AddGizmo("cv_EmberBall", zks::SphereShape{{}, 1.6f}, zks::Translation(pit + Vec3{0, 0, 0.6f}));
        b.AddGizmo("cv_Draft", zks::VectorShape{{}, {0, 0, 1.6f}}, zks::Translation(pit));
        b.AddGizmo("cv_Swirl", zks::SphereShape{{}, 7}, zks::Translation(pit + Vec3{0, 0, 4}));
    }

    // Shafts of light from the roof: two crossed quads each.
    const float shaftAt[3] = {0.25f, 0.45f, 0.76f};
    for (int i = 0; i < 3; ++i) {
        const Vec3 c = TunnelCentre(shaftAt[i]);
        zks::Mesh beam;
        for (int q = 0; q < 2; ++q) {
            zks::Mesh quad = Billboard(5.5f, 13);
            Move(quad, {0, 0, -13});
            Add(beam, quad, {}, Yaw(float(q) * kPi / 2 + 0.4f));
        }
        // Top of the beam at the roof, leaning a little.
        b.AddMesh("cv_Shaft" + std::to_string(i), beam, "LightMat", "",
                  zks::TRS(c + Vec3{0, 0, 8.5f}, AboutY(0.15f), {1, 1, 1}));
        if (i == 1) {
            b.AddGizmo("cv_MoteBox", zks::BoxShape{{2.0f, 2.0f, 5.0f}, {}, {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}}},
                       zks::Translation(c + Vec3{0, 0, -1}));
        }
    }

    // The camera flies the tunnel; it sees the fire pit and both flare lights.
    {
        const float last = float(b.lastFrame());
        std::vector<PosKey> eye, look;
        std::vector<ScalarKey> roll;
        for (int i = 0; i <= 30; ++i) {
            const float u = float(i) / 30, s = 0.03f + 0.85f * u;
            const float sway = 1.2f * std::sin(u * 9);
            const Vec3 side = zks::Normalize(zks::Cross({0, 0, 1}, TunnelTangent(s)));
            eye.push_back({u * last, TunnelCentre(s) + side * sway + Vec3{0, 0, 0.3f + 0.8f * std::sin(u * 13)}});
            look.push_back({u * last, TunnelCentre(s + 0.05f) + Vec3{0, 0, -1.2f}});
            roll.push_back({u * last, 0.12f * std::sin(u * 7)});
        }
        zks::Node& cam = b.AddCameraPath("cv_Cam", PositionTrack(eye), PositionTrack(look), 1.05f, 0.3f, 400);
        cam.rollTrack = RollTrack(roll);
    }

    SceneFiles out{b.Finish(), "data/cavern.pfd", ""};
    out.particles =
        "# Sparks from the fire pit, motes in a light shaft, a draft and a swirl\n"
        "PS cv_Sparks data/fx_spark.dds 0.45 0.08  1 0.8 0.45  0.9 0.25 0.05  ZBSA\n"
        "SE cv_Embers cv_EmberBall 0 40 1.2 0.4 3.2\n"
        "BE cv_Motes cv_MoteBox 0 12 0 0 5.5\n"
        "FO cv_Rise cv_Draft 1 1.0 0\n"
        "TO cv_Flutter cv_Swirl 1 2.5 0\n";
    return out;
}

// ------------------------------------------------------------------ forest

namespace {

float Meadow(float x, float y) {
    return 5 * (image::Fbm(image::NoiseKind::Gradient, x / 60 + 3, y / 60 + 8, 17, {4, 2, 0.5f}) - 0.5f) +
           0.0006f * (x * x + y * y) * 0.2f;
}

}  // namespace

SceneFiles MakeForestScene(const ShowPlan& plan) {
    SceneBuilder b("Forest", plan.fps, float(plan.AnimationSeconds(kForest)));
    // A light mist: the logo drawn over the second interlude takes its colour.
    const zks::Color mist = Rgb(0.78f, 0.84f, 0.9f);
    b.SetColors(mist, Rgb(0.45f, 0.48f, 0.5f));
    b.SetFog(zks::FogMode::Exponential2, mist, 0, 0.011f);

    zks::Material grass = MakeMaterial("fr_grass", Rgb(0.9f, 0.95f, 0.85f));
    grass.texture = Tex(tex::kForestGrass);
    grass.detail = Tex(tex::kDetail);
    b.AddMaterial(grass);
    zks::Material bark = MakeMaterial("fr_bark", Rgb(0.9f, 0.85f, 0.8f));
    bark.texture = Tex(tex::kForestBark);
    b.AddMaterial(bark);
    zks::Material needles = MakeMaterial("fr_needles", Rgb(0.9f, 1.0f, 0.9f));
    needles.texture = Tex(tex::kForestNeedles);
    b.AddMaterial(needles);
    zks::Material birch = MakeMaterial("fr_birch", Rgb(1, 1, 1));
    birch.texture = Tex(tex::kForestBirch);
    b.AddMaterial(birch);
    zks::Material birchLeaf = MakeMaterial("fr_birchleaf", Rgb(1.0f, 1.1f, 0.8f), rf::kDefault | rf::kCullNone);
    birchLeaf.texture = Tex(tex::kJungleLeaf);
    b.AddMaterial(birchLeaf);
    zks::Material flower = MakeMaterial("fr_flower", Rgb(1, 1, 1), rf::Transparent(rf::kBlendAlpha));
    flower.texture = Tex(tex::kForestFlower);
    b.AddMaterial(flower);
    zks::Material beam = GlowMaterial("fr_beam", Rgb(1, 1, 1), rf::Transparent(rf::kBlendAlpha));
    beam.texture = Tex(tex::kSunBeam);
    b.AddMaterial(beam);

    b.AddLight(DirectionalLight("fr_Sun", {0.45f, 0.35f, -0.8f}, Rgb(1.0f, 0.95f, 0.8f)), {0, 0, 50});
    b.AddLight(DirectionalLight("fr_Sky", {-0.4f, -0.2f, -0.5f}, Rgb(0.25f, 0.3f, 0.4f)), {0, 0, 50});

    b.AddMesh("fr_Ground", Terrain(260, 260, 80, 80, Meadow, 20), "fr_grass");

    // Trees, kept off the paths the cameras take (the lines y = 2 and x = -4),
    // in two meshes of each kind (west and east) to stay within 16-bit indices.
    Rng rng(4242);
    PlantMeshes conifers[2], birches[2];
    zks::Mesh flowers;
    for (int i = 0; i < 300; ++i) {
        const float x = rng.Range(-120, 120), y = rng.Range(-120, 120);
        const float clear = std::fmin(std::fabs(y - 2), std::fabs(x + 4));
        if (clear < 3.5f) continue;
        const Vec3 at{x, y, Meadow(x, y) - 0.2f};
        const Quat turn = Yaw(rng.Range(0, 2 * kPi));
        const int half = x < 0 ? 0 : 1;
        if (rng.Unit() < 0.7f) {
            PlantMeshes t = Conifer(rng, rng.Range(14, 28));
            Add(conifers[half].wood, t.wood, at, turn);
            Add(conifers[half].foliage, t.foliage, at, turn);
        } else {
            PlantMeshes t = Birch(rng, rng.Range(10, 17));
            Add(birches[half].wood, t.wood, at, turn);
            Add(birches[half].foliage, t.foliage, at, turn);
        }
    }
    for (int i = 0; i < 260; ++i) {
        const float x = rng.Range(-45, 45), y = rng.Range(-35, 35);
        zks::Mesh f = FlatQuad(0.9f, 0.9f);
        Add(flowers, f, {x, y, Meadow(x, y) + 0.25f}, zks::Compose(AboutX(rng.Range(-0.3f, 0.3f)), Yaw(rng.Range(0, 6))));
    }
    for (int half = 0; half < 2; ++half) {
        const std::string h = half ? "East" : "West";
        b.AddMesh("fr_Trunks" + h, conifers[half].wood, "fr_bark");
        b.AddMesh("fr_Needles" + h, conifers[half].foliage, "fr_needles");
        b.AddMesh("fr_BirchTrunks" + h, birches[half].wood, "fr_birch");
        b.AddMesh("fr_BirchLeaves" + h, birches[half].foliage, "fr_birchleaf");
    }
    b.AddMesh("fr_Flowers", flowers, "fr_flower");

    // Sun beams slanting down between the trees.
    zks::Mesh beams;
    for (int i = 0; i < 5; ++i) {
        const float x = -40 + 17 * float(i), y = (i % 2 ? 9.0f : -8.0f);
        zks::Mesh quad = Billboard(7, 30);
        Move(quad, {0, 0, -30});
        Add(beams, quad, {x, y, Meadow(x, y) + 26}, zks::Compose(AboutY(-0.45f), Yaw(0.3f + 0.2f * float(i))));
    }
    b.AddMesh("fr_Beams", beams, "fr_beam");

    const float last = float(b.lastFrame());
    const float firstEnd = last * float(plan.forest1Bars) / float(plan.forest1Bars + plan.forest2Bars);
    auto onGround = [](float x, float y, float h) { return Vec3{x, y, Meadow(x, y) + h}; };
    // ForwardCam walks down the path during the first interlude.
    b.AddCameraPath("ForwardCam",
                    PositionTrack({{0, onGround(-70, 2, 2.2f)}, {firstEnd * 0.5f, onGround(-52, 2.5f, 2.4f)},
                                   {firstEnd, onGround(-34, 2, 2.2f)}, {last, onGround(10, 2, 2.2f)}}),
                    PositionTrack({{0, onGround(-40, 0, 5)}, {firstEnd, onGround(-4, 4, 7)}, {last, onGround(40, 2, 4)}}),
                    0.95f);
    // StrafeCam slides sideways along the trees in the second.
    b.AddCameraPath("StrafeCam",
                    PositionTrack({{0, onGround(-4, -60, 3)}, {firstEnd, onGround(-4, -45, 3)}, {last, onGround(-4, 35, 4)}},
                                  zks::Interpolation::Linear),
                    PositionTrack({{0, onGround(30, -60, 6)}, {firstEnd, onGround(30, -45, 6)}, {last, onGround(30, 35, 8)}},
                                  zks::Interpolation::Linear),
                    0.9f);
    return {b.Finish(), "", ""};
}

// ------------------------------------------------------------------ flares

std::string CavernFlare() {
    return "# texture size position(%) r g b: a bright core, a ring, streak and ghosts towards the mirror point\n"
           "data/fx_glow.dds 150 0 1 0.9 0.8\n"
           "data/fx_streak.dds 420 0 0.6 0.7 1\n"
           "data/fx_ring.dds 110 0 0.5 0.6 1\n"
           "\n"
           "data/fx_halo.dds 40 35 0.4 0.8 0.5\n"
           "data/fx_glow.dds 24 55 0.7 0.5 1\n"
           "data/fx_halo.dds 70 75 0.8 0.45 0.3\n"
           "data/fx_ring.dds 130 100 0.3 0.35 0.6\n";
}

std::string LakeFlare() {
    return "# the sun over the lake\n"
           "data/fx_glow.dds 260 0 1 0.95 0.8\n"
           "data/fx_streak.dds 600 0 0.8 0.75 0.6\n"
           "data/fx_halo.dds 60 30 0.5 0.7 0.4\n"
           "data/fx_halo.dds 30 45 0.3 0.5 0.9\n"
           "data/fx_ring.dds 90 65 0.5 0.4 0.2\n"
           "data/fx_glow.dds 40 80 0.6 0.6 0.3\n"
           "data/fx_halo.dds 150 110 0.25 0.3 0.45\n";
}

}  // namespace bake
