// The greetings backdrop: a tunnel of spinning neon rings over a glowing grid,
// the camera flying through it, banking; bright, because the greetings script
// lays a dark veil over it and writes its lines on top. "MainCam" comes first
// (the script keeps the scene's camera); "IntroCam01" looks back along the
// tunnel.
#include <cmath>
#include <string>

#include "tools/bake/scenes.h"
#include "tools/bake/textures.h"

namespace bake {

SceneFiles MakeGreetingsScene(const ShowPlan& plan) {
    SceneBuilder b("Greetings", plan.fps, float(plan.AnimationSeconds(kGreetings)));
    const zks::Color deep = Rgb(0.04f, 0.0f, 0.08f);
    b.SetColors(deep, Rgb(0.2f, 0.2f, 0.25f));
    b.SetFog(zks::FogMode::Linear, deep, 60, 220);

    zks::Material neon = GlowMaterial("gr_neon", Rgb(1, 1, 1), rf::kDefault);
    neon.texture = Tex(tex::kNeon);
    b.AddMaterial(neon);
    zks::Material grid = GlowMaterial("gr_grid", Rgb(1, 1, 1), rf::kDefault);
    grid.texture = Tex(tex::kGrid);
    b.AddMaterial(grid);
    zks::Material cube = MakeMaterial("gr_cube", Rgb(0.8f, 0.85f, 1.0f), rf::kDefault | rf::kSpecular);
    cube.environment = Tex(tex::kEnvSky);
    cube.specular = Rgb(1, 1, 1);
    cube.power = 30;
    b.AddMaterial(cube);

    b.AddLight(DirectionalLight("gr_Key", {0.3f, 0.5f, -0.8f}, Rgb(0.9f, 0.7f, 1.0f)), {0, 0, 50});
    b.AddLight(DirectionalLight("gr_Rim", {-0.5f, -0.4f, 0.3f}, Rgb(0.2f, 0.6f, 0.9f)), {0, 0, 50});

    const float last = float(b.lastFrame());
    const float length = 600;
    b.AddMesh("gr_Floor", FlatQuad(80, length + 200, 12), "gr_grid", "", zks::Translation({0, length / 2, -14}));
    // Rings along +y, each turning at its own pace.
    const int rings = 48;
    for (int i = 0; i < rings; ++i) {
        const float y = length * float(i) / float(rings);
        zks::Mesh ring = Torus(11 + 2 * std::sin(float(i) * 0.7f), 0.6f, 36, 8);
        Turn(ring, AboutX(kPi / 2));  // around y
        zks::Node& n = b.AddMesh("gr_Ring" + std::to_string(i), ring, "gr_neon", "", zks::Translation({0, y, 0}));
        const float spin = (i % 2 ? 1.0f : -1.0f) * (0.5f + 0.1f * float(i % 5));
        n.rotation = RotationTrack({{0, AboutY(0)}, {last / 2, AboutY(spin * 3)}, {last, AboutY(spin * 6)}}, zks::Interpolation::Linear);
        n.scale = ScaleTrack({{0, {1, 1, 1}}, {last * 0.5f, {1.15f, 1, 0.85f}}, {last, {1, 1, 1}}});
        n.transform.scaleAxes = AboutY(float(i) * 0.4f);
    }
    // Mirror cubes tumbling in the tunnel.
    Rng rng(31337);
    for (int i = 0; i < 14; ++i) {
        const float y = rng.Range(40, length - 40), a = rng.Range(0, 2 * kPi), r = rng.Range(4, 8);
        zks::Node& n = b.AddMesh("gr_Cube" + std::to_string(i), Box({1.6f, 1.6f, 1.6f}), "gr_cube", "",
                                 zks::Translation({r * std::cos(a), y, r * std::sin(a)}));
        n.rotation = RotationTrack({{0, zks::Compose(AboutX(float(i)), Yaw(0))},
                                    {last / 2, zks::Compose(AboutX(float(i) + 3), Yaw(2))},
                                    {last, zks::Compose(AboutX(float(i) + 6), Yaw(4))}},
                                   zks::Interpolation::Linear);
    }

    // MainCam flies down the tunnel, banking; IntroCam01 looks back.
    std::vector<PosKey> eye, look;
    std::vector<ScalarKey> roll;
    for (int i = 0; i <= 20; ++i) {
        const float u = float(i) / 20;
        const float y = 10 + (length - 80) * u;
        eye.push_back({u * last, {3 * std::sin(u * 11), y, 2 * std::cos(u * 7)}});
        look.push_back({u * last, {2 * std::sin(u * 11 + 1), y + 30, 1.5f * std::cos(u * 7 + 1)}});
        roll.push_back({u * last, 0.6f * std::sin(u * 5)});
    }
    zks::Node& main = b.AddCameraPath("MainCam", PositionTrack(eye), PositionTrack(look), 1.0f, 0.5f, 400);
    main.rollTrack = RollTrack(roll);
    b.AddCameraPath("IntroCam01", PositionTrack({{0, {0, length - 20, 3}}, {last, {0, 60, 3}}}, zks::Interpolation::Linear),
                    PositionTrack({{0, {0, length - 60, 0}}, {last, {0, 20, 0}}}, zks::Interpolation::Linear), 1.0f, 0.5f, 400);
    return {b.Finish(), "", ""};
}

}  // namespace bake
