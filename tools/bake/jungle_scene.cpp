// The jungle: a river winding through a valley of hills covered in palms,
// broadleaf giants and ferns, in a green haze. The terrain is cut into chunks,
// each guarded by a culling sphere together with its plants. Birds cross the
// valley. Cameras: IntroCam1 glides low along the bank, IntroCam2 cranes up a
// giant tree, MainCam runs fast down the river, banking through the bends.
#include <cmath>
#include <string>

#include "tools/bake/flora.h"
#include "tools/bake/scenes.h"
#include "tools/bake/textures.h"
#include "tools/image/noise.h"

namespace bake {
namespace {

constexpr float kSize = 320;  // the terrain is kSize × kSize units
constexpr int kChunks = 4;    // per side
constexpr float kWaterLevel = -3.0f;

// The river's centre line: y as a function of x.
float RiverY(float x) { return 26 * std::sin(x / 46) + 9 * std::sin(x / 17 + 1); }

float Ground(float x, float y) {
    const float d = y - RiverY(x);
    const float valley = -7 * std::exp(-std::pow(d / 13, 2.0f));
    const float banks = 11 * (1 - std::exp(-std::pow(d / 45, 2.0f)));
    const float hills = 14 * (image::Fbm(image::NoiseKind::Gradient, x / 70 + 10, y / 70 + 10, 7, {5, 2, 0.5f}) - 0.5f);
    return valley + banks + hills * (1 - std::exp(-std::pow(d / 22, 2.0f)));
}

// A point on the river, `ahead` units further along x, at height z above the water.
Vec3 RiverPoint(float x, float z) { return {x, RiverY(x), kWaterLevel + z}; }

}  // namespace

SceneFiles MakeJungleScene(const ShowPlan& plan) {
    SceneBuilder b("Jungle", plan.fps, float(plan.AnimationSeconds(kJungle)));
    // The jungle script draws the scene through a layer that adds the picture to
    // itself (double brightness), so colours and lights here are half as bright
    // as they are meant to look.
    const zks::Color haze = Rgb(0.27f, 0.32f, 0.26f);
    b.SetColors(haze, Rgb(0.21f, 0.22f, 0.19f));
    b.SetFog(zks::FogMode::Linear, haze, 35, 190);

    // Materials.
    zks::Material ground = MakeMaterial("jg_ground", Rgb(0.9f, 0.9f, 0.85f));
    ground.texture = Tex(tex::kJungleGround);
    ground.detail = Tex(tex::kDetail);
    b.AddMaterial(ground);
    zks::Material bark = MakeMaterial("jg_bark", Rgb(0.9f, 0.85f, 0.8f));
    bark.texture = Tex(tex::kJungleBark);
    b.AddMaterial(bark);
    zks::Material leaf = MakeMaterial("jg_leaf", Rgb(0.95f, 1.0f, 0.9f), rf::kDefault | rf::kCullNone);
    leaf.texture = Tex(tex::kJungleLeaf);
    b.AddMaterial(leaf);
    zks::Material fern = MakeMaterial("jg_fern", Rgb(0.9f, 1.0f, 0.85f), rf::kDefault | rf::kCullNone);
    fern.texture = Tex(tex::kJungleFern);
    b.AddMaterial(fern);
    zks::Material rock = MakeMaterial("jg_rock", Rgb(0.8f, 0.8f, 0.75f));
    rock.texture = Tex(tex::kRock);
    b.AddMaterial(rock);
    zks::Material water = MakeMaterial("jg_water", Rgb(0.45f, 0.5f, 0.45f));
    water.texture = Tex(tex::kJungleWater);
    water.environment = Tex(tex::kEnvHaze);
    b.AddMaterial(water);
    zks::Material bird = MakeMaterial("jg_bird", Rgb(0.12f, 0.1f, 0.1f), rf::kDefault | rf::kCullNone);
    b.AddMaterial(bird);

    // Lights: a warm sun from the south-west and a cool fill from the north.
    b.AddLight(DirectionalLight("jg_Sun", {0.5f, 0.6f, -0.65f}, Rgb(0.5f, 0.46f, 0.37f)), {0, 0, 100});
    b.AddLight(DirectionalLight("jg_Sky", {-0.3f, -0.5f, -0.4f}, Rgb(0.12f, 0.16f, 0.19f)), {0, 0, 100});

    // Terrain chunks with their plants, each under a culling sphere.
    const float chunk = kSize / kChunks;
    Rng rng(1234);
    for (int cy = 0; cy < kChunks; ++cy)
        for (int cx = 0; cx < kChunks; ++cx) {
            const float ox = -kSize / 2 + chunk * (float(cx) + 0.5f), oy = -kSize / 2 + chunk * (float(cy) + 0.5f);
            const std::string id = std::to_string(cy * kChunks + cx);
            b.AddCullSphere("jg_Cull" + id, {ox, oy, 0}, chunk * 0.75f + 20);
            const std::string parent = "jg_Cull" + id;
            zks::Mesh land = Terrain(chunk, chunk, 28, 28, [&](float x, float y) { return Ground(x + ox, y + oy); },
                                     chunk / 12.5f);
            b.AddMesh("jg_Land" + id, land, "jg_ground", parent);

            PlantMeshes plants;
            zks::Mesh ferns, rocks;
            auto spot = [&](float minRiver, Vec3& at) {
                for (int tries = 0; tries < 20; ++tries) {
                    const float x = ox + rng.Range(-chunk / 2, chunk / 2), y = oy + rng.Range(-chunk / 2, chunk / 2);
                    if (std::fabs(y - RiverY(x)) < minRiver) continue;
                    at = {x - ox, y - oy, Ground(x, y) - 0.2f};
                    return true;
                }
                return false;
            };
            Vec3 at;
            for (int i = 0; i < 7; ++i)
                if (spot(16, at)) {
                    PlantMeshes t = Broadleaf(rng, rng.Range(14, 22));
                    const Quat turn = Yaw(rng.Range(0, 2 * kPi));
                    Add(plants.wood, t.wood, at, turn);
                    Add(plants.foliage, t.foliage, at, turn);
                }
            for (int i = 0; i < 7; ++i)
                if (spot(9, at)) {
                    PlantMeshes t = Palm(rng, rng.Range(8, 13));
                    const Quat turn = Yaw(rng.Range(0, 2 * kPi));
                    Add(plants.wood, t.wood, at, turn);
                    Add(plants.foliage, t.foliage, at, turn);
                }
            for (int i = 0; i < 26; ++i)
                if (spot(6, at)) Add(ferns, Fern(rng, rng.Range(1.2f, 2.4f)), at, Yaw(rng.Range(0, 2 * kPi)));
            for (int i = 0; i < 3; ++i)
                if (spot(5, at)) Add(rocks, Boulder(rng, rng.Range(1.0f, 3.0f)), at, Yaw(rng.Range(0, 2 * kPi)));
            if (!plants.wood.vertices.empty()) b.AddMesh("jg_Trunks" + id, plants.wood, "jg_bark", parent);
            if (!plants.foliage.vertices.empty()) b.AddMesh("jg_Leaves" + id, plants.foliage, "jg_leaf", parent);
            if (!ferns.vertices.empty()) b.AddMesh("jg_Ferns" + id, ferns, "jg_fern", parent);
            if (!rocks.vertices.empty()) b.AddMesh("jg_Rocks" + id, rocks, "jg_rock", parent);
        }

    // The river: a strip along the centre line.
    {
        zks::Mesh river;
        const int steps = 160;
        for (int i = 0; i <= steps; ++i) {
            const float x = -kSize / 2 + kSize * float(i) / float(steps);
            const float y = RiverY(x);
            river.vertices.push_back({{x, y - 16, kWaterLevel}, {0, 0, 1}, float(i) * 0.25f, 0});
            river.vertices.push_back({{x, y + 16, kWaterLevel}, {0, 0, 1}, float(i) * 0.25f, 2});
        }
        for (int i = 0; i < steps; ++i) {
            const auto a = uint16_t(2 * i), c = uint16_t(a + 2), d = uint16_t(a + 3), e = uint16_t(a + 1);
            river.faces.push_back({a, c, d});
            river.faces.push_back({a, d, e});
        }
        b.AddMesh("jg_River", river, "jg_water");
    }

    // Birds crossing the valley, wings beating.
    const float last = float(b.lastFrame());
    for (int i = 0; i < 5; ++i) {
        const std::string name = "jg_Bird" + std::to_string(i);
        const float x0 = -60 + 25 * float(i), z = 14 + 3 * float(i % 3);
        zks::Node& body = b.AddMesh(name, Sphere(0.35f, 8, 5), "jg_bird", "", zks::Scaling({2.2f, 0.8f, 0.6f}));
        body.position = BezierPositionTrack({{0, {x0, -70, z}},
                                             {last * 0.35f, {x0 + 30, -10, z + 4}},
                                             {last * 0.7f, {x0 + 60, 40, z - 2}},
                                             {last, {x0 + 90, 90, z + 3}}});
        body.rotation = RotationTrack({{0, Yaw(1.0f)}, {last, Yaw(0.8f)}});
        for (int side = -1; side <= 1; side += 2) {
            zks::Mesh wing;
            wing.vertices = {{{-0.3f, 0, 0}, {0, 0, 1}, 0, 0},
                             {{0.3f, 0, 0}, {0, 0, 1}, 1, 0},
                             {{-0.1f, 1.4f * float(side), 0}, {0, 0, 1}, 0.5f, 1}};
            wing.faces = {{0, 1, 2}};
            zks::Node& w = b.AddMesh(name + (side < 0 ? "WingL" : "WingR"), wing, "jg_bird", name,
                                     zks::Scaling({0.45f, 1.25f, 1.6f}));
            std::vector<RotKey> flap;
            const float period = 10 + 2 * float(i);
            for (float f = 0; f <= last + period; f += period / 2)
                flap.push_back({f, AboutX(float(side) * (std::fmod(f / (period / 2), 2.0f) < 1 ? 0.6f : -0.5f))});
            w.rotation = RotationTrack(flap, zks::Interpolation::Linear);
        }
    }

    // Cameras.
    const float fps = float(plan.fps);
    {
        // IntroCam1: low along the west bank, drifting downstream.
        std::vector<PosKey> eye, look;
        for (int i = 0; i <= 10; ++i) {
            const float f = last * float(i) / 10;
            const float x = -120 + 75 * float(i) / 10;
            eye.push_back({f, RiverPoint(x, 2.2f) + Vec3{0, -9, 0}});
            look.push_back({f, RiverPoint(x + 30, 1.5f) + Vec3{0, 4, 0}});
        }
        b.AddCameraPath("IntroCam1", PositionTrack(eye), PositionTrack(look), 0.85f);
    }
    {
        // IntroCam2: rises up the trunk of a giant, turning, looking at its crown.
        const Vec3 base{-20, RiverY(-20) + 30, Ground(-20, RiverY(-20) + 30)};
        zks::Node& t = b.AddPoint("IntroCam2Target", base + Vec3{0, 0, 20});
        t.position = PositionTrack({{0, base + Vec3{0, 0, 5}}, {last * 0.5f, base + Vec3{0, 0, 26}}, {last, base + Vec3{0, 0, 30}}});
        // The giant itself, so the crane shot always has its tree.
        Rng giant(99);
        PlantMeshes g = Broadleaf(giant, 30);
        b.AddMesh("jg_GiantTrunk", g.wood, "jg_bark", "", zks::Translation(base));
        b.AddMesh("jg_GiantCrown", g.foliage, "jg_leaf", "", zks::Translation(base));
        zks::Node& cam = b.AddCamera("IntroCam2", "IntroCam2Target",
                                     PositionTrack(Orbit(base, 11, 0, -1.4f, 0.6f, 0, last, 12)), 1.0f);
        // Orbit() holds z; lift the camera along the trunk.
        for (size_t i = 0; i < cam.position->keys.size(); ++i) cam.position->keys[i].value[2] = base.z + 2 + 26 * float(i) / 12;
        cam.rollTrack = RollTrack({{0, 0.0f}, {last * 0.5f, 0.25f}, {last, -0.1f}});
    }
    {
        // MainCam: the run down the river, low and fast, banking in the bends,
        // widening its view as the music drops.
        std::vector<PosKey> eye, look;
        std::vector<ScalarKey> roll, fov;
        const float start = 15 * fps;  // first shown at the drop
        for (int i = 0; i <= 24; ++i) {
            const float f = float(i) / 24 * last;
            const float progress = std::fmax(0.0f, (f - start * 0.6f) / (last - start * 0.6f));
            const float x = -110 + 250 * progress;
            eye.push_back({f, RiverPoint(x, 3.2f)});
            look.push_back({f, RiverPoint(x + 22, 2.0f)});
            const float bend = (RiverY(x + 12) - 2 * RiverY(x) + RiverY(x - 12)) / 12;
            roll.push_back({f, std::fmax(-0.35f, std::fmin(0.35f, bend * 1.8f))});
            fov.push_back({f, f < start ? 0.8f : 1.15f});
        }
        zks::Node& cam = b.AddCameraPath("MainCam", PositionTrack(eye), PositionTrack(look), 0.8f);
        cam.rollTrack = RollTrack(roll);
        cam.fovTrack = FovTrack(fov, zks::Interpolation::Linear);
    }

    return {b.Finish(), "", ""};
}

}  // namespace bake
