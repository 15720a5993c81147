// The computer: a beige home computer on a wooden desk against the wall: a
// CRT monitor whose screen glows with a boot log, a keyboard with lettered
// keys, a mouse that moves, a stack of floppy disks, a mug and a desk lamp
// whose spotlight pools on the desk. "IntroCam01" glides low over the keys;
// "MainCam" takes the whole desk in and closes on the screen.
#include <cmath>
#include <string>

#include "tools/bake/scenes.h"
#include "tools/bake/textures.h"

namespace bake {
namespace {

constexpr float kDeskTop = 7.5f;

// A key cap: a box whose top shows cell (cell % 8, cell / 8) of the key sheet.
zks::Mesh Key(float w, float d, int cell) {
    zks::Mesh k = Box({w, d, 0.45f});
    const float u0 = float(cell % 8) / 8, v0 = float(cell / 8) / 8;
    for (zks::Vertex& v : k.vertices) {
        if (v.normal.z > 0.9f) {
            v.u = u0 + (v.position.x / w + 0.5f) / 8;
            v.v = v0 + (0.5f - v.position.y / d) / 8;
        } else {
            // Sides: the cap's plain border.
            v.u = u0 + 0.01f;
            v.v = v0 + 0.01f;
        }
    }
    return k;
}

}  // namespace

SceneFiles MakeComputerScene(const ShowPlan& plan) {
    SceneBuilder b("Computer", plan.fps, float(plan.AnimationSeconds(kComputer)));
    const zks::Color room = Rgb(0.04f, 0.04f, 0.06f);
    b.SetColors(room, Rgb(0.22f, 0.22f, 0.26f));
    b.SetFog(zks::FogMode::Linear, room, 30, 90);

    zks::Material wood = MakeMaterial("cp_wood", Rgb(1, 0.95f, 0.9f), rf::kDefault | rf::kSpecular);
    wood.texture = Tex(tex::kWood);
    wood.specular = Rgb(0.3f, 0.25f, 0.2f);
    wood.power = 25;
    b.AddMaterial(wood);
    zks::Material wall = MakeMaterial("cp_wall", Rgb(0.9f, 0.9f, 0.95f));
    wall.texture = Tex(tex::kWall);
    b.AddMaterial(wall);
    zks::Material plastic = MakeMaterial("cp_plastic", Rgb(1, 1, 1), rf::kDefault | rf::kSpecular);
    plastic.texture = Tex(tex::kPlastic);
    plastic.specular = Rgb(0.4f, 0.4f, 0.4f);
    plastic.power = 30;
    b.AddMaterial(plastic);
    zks::Material keys = MakeMaterial("cp_keys", Rgb(1, 1, 1));
    keys.texture = Tex(tex::kKeys);
    b.AddMaterial(keys);
    zks::Material screen = GlowMaterial("cp_screen", Rgb(1, 1, 1), rf::kDefault);
    screen.texture = Tex(tex::kScreen);
    b.AddMaterial(screen);
    zks::Material dark = MakeMaterial("cp_dark", Rgb(0.12f, 0.12f, 0.14f), rf::kDefault | rf::kSpecular);
    dark.specular = Rgb(0.5f, 0.5f, 0.5f);
    dark.power = 40;
    b.AddMaterial(dark);
    zks::Material mug = MakeMaterial("cp_mug", Rgb(0.7f, 0.12f, 0.1f), rf::kDefault | rf::kSpecular);
    mug.specular = Rgb(0.6f, 0.6f, 0.6f);
    mug.power = 50;
    b.AddMaterial(mug);
    zks::Material bulb = GlowMaterial("cp_bulb", Rgb(1, 0.95f, 0.8f), rf::kDefault);
    b.AddMaterial(bulb);

    // Room: floor, back wall, desk.
    b.AddMesh("cp_Floor", FlatQuad(80, 80, 8), "cp_wood");
    {
        zks::Mesh w = FlatQuad(80, 40, 4);
        Turn(w, AboutX(kPi / 2));  // faces −y
        b.AddMesh("cp_Wall", w, "cp_wall", "", zks::Translation({0, 14, 20}));
    }
    {
        zks::Mesh desk;
        Add(desk, Box({36, 16, 1}), {0, 4, kDeskTop - 0.5f});
        for (int sx = -1; sx <= 1; sx += 2)
            for (int sy = -1; sy <= 1; sy += 2) Add(desk, Box({1, 1, kDeskTop - 1}), {float(sx) * 17, 4 + float(sy) * 7, (kDeskTop - 1) / 2});
        zks::ScaleUV(desk, 2, 1);
        b.AddMesh("cp_Desk", desk, "cp_wood");
    }

    // The computer: case, monitor with its glowing screen.
    const float top = kDeskTop;
    {
        zks::Mesh body;
        Add(body, Box({14, 11, 3}), {0, 7, top + 1.5f});                 // system case
        Add(body, Box({10, 9, 8.5f}), {0, 7.5f, top + 3 + 4.25f});       // monitor box
        Add(body, Box({11.5f, 1.2f, 9.6f}), {0, 2.6f, top + 3 + 4.4f});  // bezel
        Add(body, Box({3, 3, 0.6f}), {0, 7.5f, top + 3 - 0.3f + 0.6f});
        b.AddMesh("cp_Computer", body, "cp_plastic");
        zks::Mesh slots;
        Add(slots, Box({4, 0.2f, 0.5f}), {3, 1.45f, top + 1.6f});
        Add(slots, Box({0.6f, 0.2f, 0.6f}), {-5, 1.45f, top + 1.5f});
        b.AddMesh("cp_Slots", slots, "cp_dark");
        zks::Mesh glass = FlatQuad(9, 7);
        Turn(glass, AboutX(kPi / 2));  // faces −y
        b.AddMesh("cp_Screen", glass, "cp_screen", "", zks::Translation({0, 1.95f, top + 3 + 4.4f}));
    }
    // The keyboard.
    {
        zks::Mesh base;
        Add(base, Box({16, 6, 0.8f}), {0, 0, 0.4f});
        b.AddMesh("cp_KeyboardBase", base, "cp_plastic", "", zks::TRS({0, -6, top}, AboutX(0.06f)));
        zks::Mesh caps;
        const int rowKeys[4] = {10, 10, 9, 7};
        int cell = 0;
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < rowKeys[r]; ++k)
                Add(caps, Key(1.25f, 1.1f, cell++), {-6.9f + 0.35f * float(r) + 1.4f * float(k), 2.0f - 1.3f * float(r), 1.0f});
        Add(caps, Key(7.5f, 1.1f, 63), {0, 2.0f - 1.3f * 4, 1.0f});  // space bar
        b.AddMesh("cp_Keys", caps, "cp_keys", "cp_KeyboardBase");
    }
    const float last = float(b.lastFrame());
    // The mouse, moving a little.
    {
        zks::Mesh mouse = Sphere(1, 14, 8);
        for (zks::Vertex& v : mouse.vertices) v.position.z = std::fmax(v.position.z, 0.0f);
        SmoothNormals(mouse);
        Scale(mouse, {0.9f, 1.4f, 0.7f});
        zks::Node& n = b.AddMesh("cp_Mouse", mouse, "cp_plastic", "", zks::Translation({12, -5, top}));
        n.position = PositionTrack({{0, {12, -5, top}},
                                    {last * 0.3f, {13, -3.5f, top}},
                                    {last * 0.55f, {11.5f, -4, top}},
                                    {last * 0.8f, {12.5f, -6, top}},
                                    {last, {12, -5, top}}},
                                   zks::Interpolation::HermiteAuto);
        n.rotation = RotationTrack({{0, Yaw(0)}, {last * 0.5f, Yaw(0.3f)}, {last, Yaw(-0.1f)}});
    }
    // Floppy disks and a mug.
    {
        zks::Mesh disks;
        for (int i = 0; i < 4; ++i) Add(disks, Box({3.5f, 3.5f, 0.3f}), {-13, -4, top + 0.15f + 0.32f * float(i)}, Yaw(0.15f * float(i) - 0.2f));
        b.AddMesh("cp_Disks", disks, "cp_dark");
        zks::Mesh cup = Cylinder(1.1f, 2.6f, 18, true);
        Add(cup, Torus(0.7f, 0.18f, 16, 6), {1.2f, 0, 0}, AboutX(kPi / 2));
        b.AddMesh("cp_Mug", cup, "cp_mug", "", zks::Translation({-11, 4, top + 1.3f}));
    }
    // The desk lamp and its spotlight.
    const Vec3 lampHead{13, 8, top + 11};
    {
        zks::Mesh lamp;
        Add(lamp, Cylinder(1.6f, 0.5f, 16, true), {13, 10, top + 0.25f});
        Add(lamp, Cylinder(0.2f, 7, 8, false), {13, 10, top + 3.7f}, AboutX(-0.25f));
        Add(lamp, Cylinder(0.2f, 5, 8, false), {13, 8.9f, top + 8.9f}, AboutX(0.9f));
        zks::Mesh shade = Cone(1.8f, 2.4f, 16, false);
        zks::FlipFaces(shade);
        zks::Mesh shadeOut = Cone(1.8f, 2.4f, 16, false);
        zks::AppendMesh(shade, shadeOut);
        Add(lamp, shade, lampHead, AboutX(kPi * 0.8f));
        b.AddMesh("cp_Lamp", lamp, "cp_dark");
        b.AddMesh("cp_Bulb", Sphere(0.6f, 10, 6), "cp_bulb", "", zks::Translation(lampHead + Vec3{0, -0.5f, -0.8f}));
    }
    zks::Light spot = SpotLight("cp_LampLight", Rgb(1.0f, 0.92f, 0.75f), {}, 60, 0.6f, 1.3f);
    spot.attenuation0 = 1;
    spot.target = "cp_LampPool";
    b.AddPoint("cp_LampPool", {4, -2, top});
    b.AddLight(spot, lampHead);
    b.AddLight(PointLight("cp_ScreenGlow", Rgb(0.25f, 0.45f, 0.8f), 25, 0.5f, 0.08f, 0.0f), {0, -4, top + 7});
    b.AddLight(DirectionalLight("cp_Window", {0.6f, 0.3f, -0.5f}, Rgb(0.3f, 0.32f, 0.4f)), {-30, -20, 30});

    // Cameras.
    b.AddCameraPath("IntroCam01",
                    PositionTrack({{0, {-9, -11, top + 2.2f}}, {last * 0.3f, {0, -10, top + 2.0f}}, {last * 0.6f, {9, -10, top + 2.6f}},
                                   {last, {14, -14, top + 5}}}),
                    PositionTrack({{0, {-3, -5, top + 1}}, {last * 0.3f, {4, -5, top + 1}}, {last * 0.6f, {6, 0, top + 4}},
                                   {last, {0, 5, top + 7}}}),
                    0.75f, 0.2f, 200);
    zks::Node& main = b.AddCameraPath(
        "MainCam",
        PositionTrack({{0, {-30, -40, 26}}, {last * 0.6f, {-18, -32, 20}}, {last * 0.8f, {-6, -22, 15}}, {last, {0, -7, top + 7.5f}}}),
        PositionTrack({{0, {0, 4, top + 3}}, {last * 0.7f, {0, 4, top + 5}}, {last, {0, 2, top + 7.4f}}}), 0.8f, 0.2f, 200);
    main.fovTrack = FovTrack({{0, 0.8f}, {last * 0.75f, 0.8f}, {last, 1.1f}});
    return {b.Finish(), "", ""};
}

}  // namespace bake
