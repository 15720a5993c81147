// The temple: a marble temple on a stepped sandstone platform under a night
// sky, a colonnade around a golden altar where a fire burns and a golden ring
// turns, braziers flaming on the stairs (data/temple.pfd), lit by the fires
// and the moon. Cameras: "MainCam" sweeps around the front, "LowCam" climbs
// the stairs looking up at the columns, "UpCam" circles high overhead.
#include <cmath>
#include <string>

#include "tools/bake/scenes.h"
#include "tools/bake/textures.h"

namespace bake {
namespace {

constexpr float kPlatformTop = 4.5f;  // height of the temple floor

// A column: base, shaft with entasis, capital; standing on z = 0.
zks::Mesh Column(float height) {
    zks::Mesh m;
    Add(m, Box({2.2f, 2.2f, 0.5f}), {0, 0, 0.25f});
    zks::Mesh shaft = Cylinder(0.75f, height - 1.2f, 16, false);
    for (zks::Vertex& v : shaft.vertices) {
        const float t = (v.position.z + (height - 1.2f) / 2) / (height - 1.2f);
        const float k = 1.0f - 0.12f * t;
        v.position.x *= k;
        v.position.y *= k;
    }
    zks::ScaleUV(shaft, 1, 3);
    Add(m, shaft, {0, 0, 0.5f + (height - 1.2f) / 2});
    Add(m, Cylinder(0.85f, 0.25f, 16, true), {0, 0, height - 0.6f});
    Add(m, Box({2.0f, 2.0f, 0.45f}), {0, 0, height - 0.25f});
    return m;
}

// A triangular prism along x (the pediment), apex up.
zks::Mesh Pediment(float length, float width, float height) {
    zks::Mesh m;
    const float l = length / 2, w = width / 2;
    auto quad = [&](Vec3 a, Vec3 b, Vec3 c, Vec3 d) {
        const Vec3 n = zks::Normalize(zks::Cross(b - a, c - a));
        const auto base = uint16_t(m.vertices.size());
        m.vertices.push_back({a, n, 0, 1});
        m.vertices.push_back({b, n, 2, 1});
        m.vertices.push_back({c, n, 2, 0});
        m.vertices.push_back({d, n, 0, 0});
        m.faces.push_back({base, uint16_t(base + 1), uint16_t(base + 2)});
        m.faces.push_back({base, uint16_t(base + 2), uint16_t(base + 3)});
    };
    auto tri = [&](Vec3 a, Vec3 b, Vec3 c) {
        const Vec3 n = zks::Normalize(zks::Cross(b - a, c - a));
        const auto base = uint16_t(m.vertices.size());
        m.vertices.push_back({a, n, 0, 1});
        m.vertices.push_back({b, n, 1, 1});
        m.vertices.push_back({c, n, 0.5f, 0});
        m.faces.push_back({base, uint16_t(base + 1), uint16_t(base + 2)});
    };
    const Vec3 apexA{-l, 0, height}, apexB{l, 0, height};
    quad({-l, -w, 0}, {l, -w, 0}, apexB, apexA);  // front slope
    quad({l, w, 0}, {-l, w, 0}, apexA, apexB);    // back slope
    tri({l, -w, 0}, {l, w, 0}, apexB);            // east gable
    tri({-l, w, 0}, {-l, -w, 0}, apexA);          // west gable
    return m;
}

zks::Mesh Brazier() {
    zks::Mesh m;
    for (int i = 0; i < 3; ++i) {
        const float a = 2 * kPi * float(i) / 3;
        Add(m, Cylinder(0.08f, 2.2f, 6, false), {0.45f * std::cos(a), 0.45f * std::sin(a), 1.1f}, {}, {1, 1, 1});
    }
    zks::Mesh bowl = Sphere(0.9f, 14, 8);
    for (zks::Vertex& v : bowl.vertices) v.position.z = std::fmin(v.position.z, 0.0f) * 0.6f;
    SmoothNormals(bowl);
    Add(m, bowl, {0, 0, 2.3f});
    return m;
}

}  // namespace

SceneFiles MakeTempleScene(const ShowPlan& plan) {
    SceneBuilder b("Temple", plan.fps, float(plan.AnimationSeconds(kTemple)));
    const zks::Color night = Rgb(0.03f, 0.035f, 0.08f);
    b.SetColors(night, Rgb(0.26f, 0.24f, 0.3f));
    b.SetFog(zks::FogMode::Linear, night, 60, 260);

    zks::Material marble = MakeMaterial("tp_marble", Rgb(1, 0.97f, 0.92f));
    marble.texture = Tex(tex::kTempleMarble);
    b.AddMaterial(marble);
    zks::Material stone = MakeMaterial("tp_stone", Rgb(0.95f, 0.9f, 0.85f));
    stone.texture = Tex(tex::kTempleStone);
    stone.detail = Tex(tex::kDetail);
    b.AddMaterial(stone);
    zks::Material floor = MakeMaterial("tp_floor", Rgb(1, 1, 1));
    floor.texture = Tex(tex::kTempleFloor);
    b.AddMaterial(floor);
    zks::Material gold = MakeMaterial("tp_gold", Rgb(0.85f, 0.65f, 0.3f), rf::kDefault | rf::kSpecular);
    gold.texture = Tex(tex::kTempleGold);
    gold.environment = Tex(tex::kEnvWarm);
    gold.specular = Rgb(1, 0.9f, 0.6f);
    gold.power = 20;
    b.AddMaterial(gold);
    zks::Material iron = MakeMaterial("tp_iron", Rgb(0.25f, 0.22f, 0.2f), rf::kDefault | rf::kSpecular);
    iron.specular = Rgb(0.6f, 0.5f, 0.4f);
    iron.power = 12;
    b.AddMaterial(iron);
    zks::Material sky = GlowMaterial("tp_sky", Rgb(0.55f, 0.55f, 0.7f), rf::kDefault | rf::kCullNone);
    sky.texture = Tex(tex::kStars);
    b.AddMaterial(sky);
    zks::Material ground = MakeMaterial("tp_ground", Rgb(0.55f, 0.5f, 0.45f));
    ground.texture = Tex(tex::kSand);
    ground.detail = Tex(tex::kDetail);
    b.AddMaterial(ground);

    // Sky and ground.
    zks::Mesh dome = Sphere(400, 24, 12);
    zks::FlipFaces(dome);
    b.AddMesh("tp_Sky", dome, "tp_sky");
    b.AddMesh("tp_Ground", Terrain(600, 600, 30, 30, [](float x, float y) { return -0.05f - 0.00002f * (x * x + y * y); }, 40),
              "tp_ground");

    // The platform: three steps, then the floor, stairs on the front (−y).
    b.AddGroup("tp_Temple");
    const float width = 36, depth = 26;
    for (int i = 0; i < 3; ++i) {
        const float grow = float(2 - i) * 2.4f;
        zks::Mesh step = Box({width + 2 * grow, depth + 2 * grow, 1.5f});
        zks::ScaleUV(step, 4, 1);
        b.AddMesh("tp_Step" + std::to_string(i), step, "tp_stone", "tp_Temple",
                  zks::Translation({0, 0, 0.75f + 1.5f * float(i)}));
    }
    {
        zks::Mesh stairs;
        for (int i = 0; i < 9; ++i)
            Add(stairs, Box({12, 1.2f, 0.5f}), {0, -depth / 2 - 10.8f + 1.2f * float(i) + 0.6f, 0.25f * float(i + 1)}, {},
                {1, 1, float(i + 1)});
        b.AddMesh("tp_Stairs", stairs, "tp_marble", "tp_Temple");
    }
    b.AddMesh("tp_Floor", FlatQuad(width, depth, 4), "tp_floor", "tp_Temple", zks::Translation({0, 0, kPlatformTop + 0.01f}));

    // The colonnade: 7 columns on the long sides, 5 on the short ones.
    const float colH = 11;
    {
        zks::Mesh cols;
        for (int i = 0; i < 7; ++i)
            for (int side = -1; side <= 1; side += 2)
                Add(cols, Column(colH), {-15 + 5 * float(i), float(side) * 10.5f, kPlatformTop});
        for (int i = 1; i < 4; ++i)
            for (int side = -1; side <= 1; side += 2) Add(cols, Column(colH), {float(side) * 15, -10.5f + 5.25f * float(i), kPlatformTop});
        b.AddMesh("tp_Columns", cols, "tp_marble", "tp_Temple");
    }
    {
        zks::Mesh beams;
        const float top = kPlatformTop + colH;
        Add(beams, Box({33, 2.4f, 1.6f}), {0, -10.5f, top + 0.8f});
        Add(beams, Box({33, 2.4f, 1.6f}), {0, 10.5f, top + 0.8f});
        Add(beams, Box({2.4f, 23.4f, 1.6f}), {-15, 0, top + 0.8f});
        Add(beams, Box({2.4f, 23.4f, 1.6f}), {15, 0, top + 0.8f});
        for (int k = -1; k <= 1; k += 2) Add(beams, Box({34, 2.6f, 0.8f}), {0, float(k) * 10.5f, top + 2.0f});
        for (int k = -1; k <= 1; k += 2) Add(beams, Box({9, 24, 0.8f}), {float(k) * 13.0f, 0, top + 2.0f});
        zks::ScaleUV(beams, 3, 1);
        b.AddMesh("tp_Beams", beams, "tp_marble", "tp_Temple");
        // Gables at both ends; the middle lies open to the sky.
        zks::Mesh roof;
        Add(roof, Pediment(8, 25, 5), {-13.25f, 0, 0});
        Add(roof, Pediment(8, 25, 5), {13.25f, 0, 0});
        b.AddMesh("tp_Roof", roof, "tp_stone", "tp_Temple", zks::Translation({0, 0, top + 2.4f}));
    }

    // The altar with its fire and a golden ring turning above it.
    const Vec3 altar{0, 2, kPlatformTop};
    {
        zks::Mesh a;
        Add(a, Box({4, 3, 1.6f}), {0, 0, 0.8f});
        Add(a, Box({4.6f, 3.6f, 0.3f}), {0, 0, 1.75f});
        b.AddMesh("tp_Altar", a, "tp_marble", "tp_Temple", zks::Translation(altar));
        const float last = float(b.lastFrame());
        zks::Node& ring = b.AddMesh("tp_Ring", Torus(2.4f, 0.22f, 40, 10), "tp_gold", "",
                                    zks::Translation(altar + Vec3{0, 0, 6.5f}));
        ring.rotation = HermiteRotationTrack({{0, AboutX(0.4f)},
                                              {last * 0.25f, zks::Compose(AboutX(kPi / 2), Yaw(0.8f))},
                                              {last * 0.5f, zks::Compose(AboutY(kPi * 0.9f), Yaw(1.6f))},
                                              {last * 0.75f, zks::Compose(AboutX(kPi * 1.4f), Yaw(2.4f))},
                                              {last, zks::Compose(AboutX(2 * kPi + 0.4f), Yaw(3.2f))}});
        ring.position = BezierPositionTrack({{0, altar + Vec3{0, 0, 6.0f}},
                                             {last * 0.5f, altar + Vec3{0, 0, 7.5f}},
                                             {last, altar + Vec3{0, 0, 6.0f}}});
        zks::Node& orb = b.AddMesh("tp_Orb", Sphere(0.9f, 16, 10), "tp_gold", "tp_Ring");
        orb.scale = ScaleTrack({{0, {1, 1, 1}}, {last * 0.5f, {1.4f, 1.4f, 1.4f}}, {last, {1, 1, 1}}},
                               zks::Interpolation::Linear);
    }

    // Braziers along the stairs and at the corners.
    const Vec3 braziers[4] = {{-8, -depth / 2 - 5, 0}, {8, -depth / 2 - 5, 0}, {-13, -8, kPlatformTop}, {13, -8, kPlatformTop}};
    for (int i = 0; i < 4; ++i) {
        b.AddMesh("tp_Brazier" + std::to_string(i), Brazier(), "tp_iron", "", zks::Translation(braziers[i]));
        b.AddGizmo("tp_Flame" + std::to_string(i), zks::VectorShape{{}, {0, 0, 1}},
                   zks::Translation(braziers[i] + Vec3{0, 0, 2.4f}));
        b.AddLight(PointLight("tp_Fire" + std::to_string(i), Rgb(1.0f, 0.6f, 0.25f), 40, 0.3f, 0.04f, 0.006f),
                   braziers[i] + Vec3{0, 0, 3.5f});
    }
    b.AddLight(PointLight("tp_AltarFire", Rgb(1.0f, 0.7f, 0.35f), 40, 0.2f, 0.03f, 0.004f), altar + Vec3{0, 0, 3.5f});
    b.AddLight(DirectionalLight("tp_Moon", {0.4f, 0.6f, -0.5f}, Rgb(0.28f, 0.34f, 0.55f)), {0, 0, 100});
    b.AddGizmo("tp_AltarFlame", zks::SphereShape{{}, 0.9f}, zks::Translation(altar + Vec3{0, 0, 2.3f}));
    b.AddGizmo("tp_AltarPull", zks::SphereShape{{}, 3.0f}, zks::Translation(altar + Vec3{0, 0, 4.5f}));
    b.AddGizmo("tp_Updraft", zks::VectorShape{{}, {0, 0, 1}}, zks::Translation(altar));
    b.AddGizmo("tp_Air", zks::SphereShape{{}, 60.0f}, zks::Translation({0, 0, 5}));

    // Cameras.
    const float last = float(b.lastFrame());
    b.AddCameraPath("MainCam",
                    PositionTrack({{0, {-55, -70, 18}}, {last * 0.3f, {-20, -55, 12}}, {last * 0.6f, {20, -52, 10}},
                                   {last, {50, -40, 16}}}),
                    PositionTrack({{0, {0, 0, 8}}, {last * 0.5f, {0, 0, 9}}, {last, {0, 2, 10}}}), 0.9f);
    b.AddCameraPath("LowCam",
                    PositionTrack({{0, {-3, -42, 1.6f}}, {last * 0.5f, {2, -30, 4}}, {last, {-2, -20, 7}}}),
                    PositionTrack({{0, {0, -10, 14}}, {last * 0.5f, {0, 0, 15}}, {last, {0, 5, 12}}}), 1.05f);
    {
        zks::Node& up = b.AddCameraPath("UpCam", PositionTrack(Orbit({0, 0, 0}, 34, 42, -1.0f, 2.2f, 0, last, 12)),
                                        PositionTrack({{0, altar + Vec3{0, 0, 3}}}), 0.9f);
        up.rollTrack = RollTrack({{0, 0.0f}, {last, 0.3f}}, zks::Interpolation::Linear);
    }

    SceneFiles out{b.Finish(), "data/temple.pfd", ""};
    out.particles =
        "# Fire: four braziers and the altar; flames drawn towards the altar's heart, lifted and stirred\n"
        "PS tp_Flames data/fx_fire.dds 1.2 0.3  1 0.75 0.35  0.7 0.12 0.02  ZB\n"
        "VE tp_Brazier0 tp_Flame0 28 30 2.0 0.6 0.9\n"
        "VE tp_Brazier1 tp_Flame1 28 30 2.0 0.6 0.9\n"
        "VE tp_Brazier2 tp_Flame2 28 30 2.0 0.6 0.9\n"
        "VE tp_Brazier3 tp_Flame3 28 30 2.0 0.6 0.9\n"
        "SE tp_Altar tp_AltarFlame 0 70 0.8 0.6 1.3\n"
        "AO tp_Pull tp_AltarPull 1 0.8 0\n"
        "FO tp_Lift tp_Updraft 1 1.4 0\n"
        "TO tp_Flicker tp_Air 1 1.6 0\n";
    return out;
}

}  // namespace bake
