// The loading animation: ten glowing tiles rise one by one out of a dark grid
// floor into a ring, one per scene loaded (the loading steps stop the
// animation after each tile until the next scene is on its way); when all ten
// are up, the ring spins up and the core at its centre swells while the camera
// swoops in.
#include <cmath>
#include <string>

#include "tools/bake/scenes.h"
#include "tools/bake/textures.h"

namespace bake {

SceneFiles MakeLoadingScene(const LoadingPlan& loading) {
    SceneBuilder b("Loading", loading.fps, float(loading.lastFrame) / float(loading.fps));
    // No fog: the loading strip is drawn over the scene with the scene's fog
    // still on, and fogged it would take the fog's colour. The floor fades out
    // with the core's light instead.
    b.SetColors(Rgb(0.01f, 0.015f, 0.03f), Rgb(0.06f, 0.06f, 0.08f));

    zks::Material floor = MakeMaterial("ld_floor", Rgb(2.2f, 2.2f, 2.2f));
    floor.ambient = Rgb(0, 0, 0);
    floor.texture = Tex(tex::kLoadFloor);
    b.AddMaterial(floor);
    zks::Material tile = MakeMaterial("ld_tile", Rgb(0.9f, 0.95f, 1.0f));
    tile.texture = Tex(tex::kLoadTile);
    tile.emissive = Rgb(0.35f, 0.4f, 0.45f);
    b.AddMaterial(tile);
    zks::Material core = GlowMaterial("ld_core", Rgb(0.1f, 0.3f, 0.5f), rf::Transparent(rf::kBlendAdd));
    core.environment = Tex(tex::kAtmosphere);
    b.AddMaterial(core);

    // Sideways, a little upwards: it lights the tiles' sides but not the floor.
    b.AddLight(DirectionalLight("ld_Key", {-0.5f, 0.8f, 0.05f}, Rgb(0.6f, 0.65f, 0.8f)), {0, 0, 20});
    b.AddLight(PointLight("ld_Core", Rgb(0.6f, 0.9f, 1.0f), 90, 0.25f, 0.04f, 0.012f), {0, 0, 2});

    b.AddMesh("ld_Floor", Terrain(140, 140, 56, 56, {}, 17.5f), "ld_floor");

    const float step = float(loading.stepFrames);
    const float finale = step * 10;
    const float last = float(loading.lastFrame);
    b.AddGroup("ld_Ring");
    zks::Node& ring = b.NodeOf("ld_Ring");
    ring.rotation = RotationTrack({{0, Yaw(0)}, {finale, Yaw(0.6f)}, {last, Yaw(0.6f + 2 * kPi)}},
                                  zks::Interpolation::Linear);
    for (int k = 0; k < 10; ++k) {
        const float a = 2 * kPi * float(k) / 10;
        const Vec3 slot{6 * std::cos(a), 6 * std::sin(a), 1.6f};
        const float f0 = step * float(k), f1 = step * float(k + 1);
        zks::Node& n = b.AddMesh("ld_Tile" + std::to_string(k), Box({1.6f, 1.6f, 1.6f}), "ld_tile", "ld_Ring");
        // Rises with an overshoot (Hermite with its own tangents), then bobs.
        n.position = HermitePositionTrack({{0, slot - Vec3{0, 0, 5}},
                                           {f0, slot - Vec3{0, 0, 5}},
                                           {f0 + step * 0.7f, slot + Vec3{0, 0, 0.5f}},
                                           {f1, slot},
                                           {last, slot + Vec3{0, 0, 0.8f}}},
                                          0.6f);
        n.rotation = RotationTrack({{0, Yaw(a)}, {f0, Yaw(a)}, {f1, Yaw(a + kPi / 2)}, {last, Yaw(a + 2 * kPi)}},
                                   zks::Interpolation::Linear);
    }
    zks::Node& c = b.AddMesh("ld_CoreMesh", Sphere(1, 20, 12), "ld_core", "", zks::Translation({0, 0, 2}));
    c.scale = ScaleTrack({{0, {0.3f, 0.3f, 0.3f}}, {finale, {1.2f, 1.2f, 1.2f}}, {last, {2.2f, 2.2f, 2.2f}}});

    zks::Node& cam = b.AddCameraPath(
        "ld_Cam", PositionTrack({{0, {16, -10, 9}}, {finale * 0.5f, {4, -17, 8}}, {finale, {-12, -12, 6}}, {last, {-5, -4, 4}}}),
        PositionTrack({{0, {0, 0, 1}}, {finale, {0, 0, 1.5f}}, {last, {0, 0, 2}}}), 0.9f);
    cam.rollTrack = RollTrack({{0, 0.0f}, {finale, 0.1f}, {last, -0.3f}});
    return {b.Finish(), "", ""};
}

}  // namespace bake
