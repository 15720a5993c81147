// The dinosaur: a low-poly, faceted tyrannosaur built as a tree of body parts
// (torso, neck, head and jaw, three tail segments, legs with shins and feet,
// small arms) walks across a desert at dusk, a volcano smoking on the
// horizon; it stops, turns to the camera and roars while the title appears,
// then strides off. "MainCam" (the scene's first camera, which the script
// keeps) follows it; "IntroCam01" watches from low in front.
#include <algorithm>
#include <cmath>
#include <string>

#include "tools/bake/flora.h"
#include "tools/bake/scenes.h"
#include "tools/bake/textures.h"
#include "tools/image/noise.h"

namespace bake {
namespace {

float Dunes(float x, float y) {
    return 3 * (image::Fbm(image::NoiseKind::Gradient, x / 50 + 2, y / 50 + 9, 55, {4, 2, 0.5f}) - 0.5f) * 2 +
           0.00004f * (x * x + y * y);
}

// A faceted, squashed sphere: the dinosaur's building block.
zks::Mesh Lump(Vec3 size, int slices = 8, int stacks = 5) {
    zks::Mesh m = Sphere(1, slices, stacks);
    Scale(m, size);
    Facet(m);
    return m;
}

// A tapered box-like limb from the origin down to z = −length.
zks::Mesh Limb(float length, float top, float bottom) {
    zks::Mesh m = Cylinder(1, length, 6, true);
    for (zks::Vertex& v : m.vertices) {
        const float t = (v.position.z + length / 2) / length;  // 0 at the bottom
        const float r = bottom + (top - bottom) * t;
        v.position.x *= r;
        v.position.y *= r * 1.2f;
    }
    Move(m, {0, 0, -length / 2});
    Facet(m);
    return m;
}

}  // namespace

SceneFiles MakeTRexScene(const ShowPlan& plan) {
    SceneBuilder b("TRex", plan.fps, float(plan.AnimationSeconds(kTRex)));
    // A bright, warm haze near the horizon. The script writes the title over the
    // scene with its fog still on, and text drawn in fog takes the fog's
    // colour, so this colour is also the title's: it has to read as light.
    const zks::Color dusk = Rgb(1.0f, 0.84f, 0.66f);
    b.SetColors(dusk, Rgb(0.36f, 0.3f, 0.32f));
    b.SetFog(zks::FogMode::Linear, dusk, 120, 900);

    zks::Material skin = MakeMaterial("tr_skin", Rgb(1, 1, 1), rf::kDefault | rf::kSpecular);
    skin.texture = Tex(tex::kDinoSkin);
    skin.specular = Rgb(0.25f, 0.25f, 0.2f);
    skin.power = 15;
    b.AddMaterial(skin);
    zks::Material teeth = MakeMaterial("tr_teeth", Rgb(0.95f, 0.9f, 0.8f));
    b.AddMaterial(teeth);
    zks::Material eye = GlowMaterial("tr_eye", Rgb(1.0f, 0.75f, 0.1f), rf::kDefault);
    b.AddMaterial(eye);
    zks::Material sand = MakeMaterial("tr_sand", Rgb(1, 0.95f, 0.9f));
    sand.texture = Tex(tex::kSand);
    sand.detail = Tex(tex::kDetail);
    b.AddMaterial(sand);
    zks::Material rock = MakeMaterial("tr_rock", Rgb(0.75f, 0.6f, 0.55f));
    rock.texture = Tex(tex::kRock);
    b.AddMaterial(rock);
    zks::Material sky = GlowMaterial("tr_sky", Rgb(1, 1, 1), rf::kDefault | rf::kCullNone);
    sky.texture = Tex(tex::kDuskSky);
    b.AddMaterial(sky);
    zks::Material lava = GlowMaterial("tr_lava", Rgb(1, 0.45f, 0.1f), rf::kDefault);
    lava.texture = Tex(tex::kFire);
    b.AddMaterial(lava);
    zks::Material palm = MakeMaterial("tr_palm", Rgb(0.6f, 0.65f, 0.5f), rf::kDefault | rf::kCullNone);
    palm.texture = Tex(tex::kJungleFern);
    b.AddMaterial(palm);
    zks::Material bark = MakeMaterial("tr_bark", Rgb(0.8f, 0.7f, 0.6f));
    bark.texture = Tex(tex::kJungleBark);
    b.AddMaterial(bark);

    b.AddLight(DirectionalLight("tr_Sun", {0.7f, 0.3f, -0.35f}, Rgb(1.0f, 0.7f, 0.45f)), {-100, -40, 50});
    b.AddLight(DirectionalLight("tr_SkyLight", {-0.3f, -0.6f, -0.6f}, Rgb(0.3f, 0.3f, 0.45f)), {0, 0, 100});

    // Sky dome, dunes, rocks, a few palms, the volcano.
    {
        zks::Mesh dome = Sphere(520, 32, 16);
        for (zks::Vertex& v : dome.vertices)
            v.v = std::clamp(0.5f - std::asin(std::clamp(v.position.z / 520, -1.0f, 1.0f)) / kPi, 0.0f, 1.0f);
        zks::FlipFaces(dome);
        b.AddMesh("tr_Sky", dome, "tr_sky");
    }
    b.AddMesh("tr_Dunes", Terrain(700, 700, 70, 70, Dunes, 50), "tr_sand");
    {
        Rng rng(2000);
        zks::Mesh rocks;
        PlantMeshes palms;
        for (int i = 0; i < 40; ++i) {
            const float x = rng.Range(-200, 200), y = rng.Range(-200, 200);
            if (std::fabs(y) < 12 && std::fabs(x) < 120) continue;  // the dinosaur's path
            Add(rocks, Boulder(rng, rng.Range(1.5f, 6), 10), {x, y, Dunes(x, y)}, Yaw(rng.Range(0, 6)));
        }
        for (int i = 0; i < 14; ++i) {
            const float x = rng.Range(-90, 90), y = (i % 2 ? 1.0f : -1.0f) * rng.Range(20, 70);
            PlantMeshes p = Palm(rng, rng.Range(9, 14));
            Add(palms.wood, p.wood, {x, y, Dunes(x, y)});
            Add(palms.foliage, p.foliage, {x, y, Dunes(x, y)});
        }
        b.AddMesh("tr_Rocks", rocks, "tr_rock");
        b.AddMesh("tr_PalmTrunks", palms.wood, "tr_bark");
        b.AddMesh("tr_PalmLeaves", palms.foliage, "tr_palm");
        // The volcano: a cone cut off at its crater, lava glowing inside.
        auto volcanoHeight = [](float x, float y) {
            const float r = std::sqrt(x * x + y * y);
            const float cone = 80 * (1 - r / 120) + 4 * (image::GradientNoise(x / 18, y / 18, 9) - 0.5f) * 2;
            const float rim = 80 * (1 - 16.0f / 120);
            return r < 16 ? rim - (16 - r) * 0.6f : std::fmax(-2.0f, cone);
        };
        b.AddMesh("tr_Volcano", Terrain(250, 250, 50, 50, volcanoHeight, 6), "tr_rock", "", zks::Translation({120, 330, 0}));
        zks::Mesh glow = FlatQuad(24, 24);
        b.AddMesh("tr_Crater", glow, "tr_lava", "", zks::Translation({120, 330, 80 * (1 - 16.0f / 120) - 4}));
    }

    // The dinosaur. Its root walks along +x; parts hang off it.
    const float fps = float(plan.fps), last = float(b.lastFrame());
    const float stopAt = 12 * fps, turnAt = 13 * fps, roarAt = 14 * fps, resumeAt = 21 * fps;
    const float stride = 0.9f * fps;  // frames per step
    b.AddGroup("tr_Dino");
    {
        zks::Node& dino = b.NodeOf("tr_Dino");
        std::vector<PosKey> walk;
        auto ground = [](float x) { return Vec3{x, 0, Dunes(x, 0) + 7.2f}; };
        walk.push_back({0, ground(-60)});
        walk.push_back({stopAt, ground(-12)});
        walk.push_back({resumeAt, ground(-10)});
        walk.push_back({last, ground(28)});
        dino.position = PositionTrack(walk, zks::Interpolation::Linear);
        // Faces +x while walking, turns towards the camera (−y) to roar, then back.
        dino.rotation = RotationTrack({{0, Yaw(0)}, {stopAt, Yaw(0)}, {turnAt, Yaw(-0.9f)}, {resumeAt - fps, Yaw(-0.9f)},
                                       {resumeAt, Yaw(0)}, {last, Yaw(0)}},
                                      zks::Interpolation::HermiteAuto);
    }
    b.AddMesh("tr_Torso", Lump({4.8f, 2.5f, 3.0f}, 10, 6), "tr_skin", "tr_Dino", zks::Rotation(AboutY(-0.25f)));
    // Walk cycle keys: the body bobs, legs swing, tail sways; still while roaring.
    auto cycle = [&](float amplitude, float phase, auto&& value) {
        std::vector<RotKey> keys;
        for (float f = 0; f <= last + stride; f += stride / 2) {
            const bool walking = f < stopAt || f > resumeAt;
            const float s = walking ? std::sin(kPi * f / stride + phase) : 0.0f;
            keys.push_back({f, value(amplitude * s)});
        }
        return keys;
    };
    {
        b.AddGroup("tr_NeckJoint", "tr_Dino", zks::Translation({3.4f, 0, 1.2f}));
        zks::Node& neck = b.AddMesh("tr_Neck", Limb(3.0f, 1.6f, 1.1f), "tr_skin", "tr_NeckJoint",
                                    zks::Rotation(AboutY(-2.3f)));
        (void)neck;
        b.AddGroup("tr_HeadJoint", "tr_NeckJoint", zks::Translation({2.2f, 0, 1.4f}));
        zks::Node& headJoint = b.NodeOf("tr_HeadJoint");
        // Nods while walking, rears back and roars.
        std::vector<RotKey> head = cycle(0.08f, 0.5f, [](float a) { return AboutY(a); });
        head.erase(std::remove_if(head.begin(), head.end(), [&](const RotKey& k) { return k.frame > stopAt && k.frame < resumeAt; }),
                   head.end());
        head.push_back({roarAt - 0.5f * fps, AboutY(0.35f)});
        head.push_back({roarAt, AboutY(-0.25f)});
        head.push_back({roarAt + 3 * fps, AboutY(-0.3f)});
        head.push_back({roarAt + 4 * fps, AboutY(0)});
        std::sort(head.begin(), head.end(), [](const RotKey& a, const RotKey& c) { return a.frame < c.frame; });
        headJoint.rotation = RotationTrack(head, zks::Interpolation::Linear);
        b.AddMesh("tr_Head", Lump({2.6f, 1.25f, 1.15f}, 8, 5), "tr_skin", "tr_HeadJoint", zks::Translation({1.6f, 0, 0.3f}));
        zks::Mesh teethMesh;
        for (int i = 0; i < 6; ++i)
            for (int side = -1; side <= 1; side += 2) {
                zks::Mesh tooth = Cone(0.12f, 0.4f, 4, false);
                Add(teethMesh, tooth, {0.6f + 0.45f * float(i), float(side) * 0.75f, -0.25f}, AboutX(kPi));
            }
        b.AddMesh("tr_Teeth", teethMesh, "tr_teeth", "tr_HeadJoint");
        zks::Mesh eyes;
        Add(eyes, Sphere(0.18f, 6, 4), {1.2f, 0.78f, 0.55f});
        Add(eyes, Sphere(0.18f, 6, 4), {1.2f, -0.78f, 0.55f});
        b.AddMesh("tr_Eyes", eyes, "tr_eye", "tr_HeadJoint");
        b.AddGroup("tr_JawJoint", "tr_HeadJoint", zks::Translation({0.2f, 0, -0.35f}));
        b.NodeOf("tr_JawJoint").rotation =
            RotationTrack({{0, AboutY(0.05f)}, {roarAt - 0.3f * fps, AboutY(0.05f)}, {roarAt, AboutY(0.6f)},
                           {roarAt + 3 * fps, AboutY(0.55f)}, {roarAt + 3.6f * fps, AboutY(0.05f)}, {last, AboutY(0.05f)}},
                          zks::Interpolation::Linear);
        b.AddMesh("tr_Jaw", Lump({1.9f, 0.9f, 0.35f}, 8, 4), "tr_skin", "tr_JawJoint", zks::Translation({1.5f, 0, -0.1f}));
    }
    {
        // Tail: three tapering segments, each swaying a little later than the one before.
        std::string parent = "tr_Dino";
        Vec3 at{-3.8f, 0, 0.6f};
        const float lengths[3] = {4.2f, 3.8f, 3.6f}, radii[4] = {1.9f, 1.25f, 0.7f, 0.12f};
        for (int i = 0; i < 3; ++i) {
            const std::string joint = "tr_TailJoint" + std::to_string(i);
            b.AddGroup(joint, parent, zks::Translation(at));
            b.NodeOf(joint).rotation =
                RotationTrack(cycle(0.12f + 0.05f * float(i), -0.8f * float(i), [](float a) { return Yaw(a); }),
                              zks::Interpolation::HermiteAuto);
            // Limb() hangs down −z; turned to point back along −x, drooping a little.
            b.AddMesh("tr_Tail" + std::to_string(i), Limb(lengths[i] + 0.4f, radii[i], radii[i + 1]), "tr_skin", joint,
                      zks::Rotation(AboutY(kPi / 2 - 0.1f)));
            parent = joint;
            at = {-lengths[i], 0, -0.35f};
        }
    }
    for (int side = -1; side <= 1; side += 2) {
        // Legs: thigh swings, shin bends back, foot stays flat.
        const std::string s = side < 0 ? "L" : "R";
        const float phase = side < 0 ? 0.0f : kPi;
        b.AddGroup("tr_Hip" + s, "tr_Dino", zks::Translation({-0.6f, float(side) * 1.7f, -0.6f}));
        b.NodeOf("tr_Hip" + s).rotation = RotationTrack(cycle(0.45f, phase, [](float a) { return AboutY(-a); }));
        b.AddMesh("tr_Thigh" + s, Limb(3.4f, 1.1f, 0.6f), "tr_skin", "tr_Hip" + s);
        b.AddGroup("tr_Knee" + s, "tr_Hip" + s, zks::Translation({0, 0, -3.3f}));
        b.NodeOf("tr_Knee" + s).rotation =
            RotationTrack(cycle(0.3f, phase + 1.2f, [](float a) { return AboutY(0.35f + std::fabs(a)); }));
        b.AddMesh("tr_Shin" + s, Limb(3.2f, 0.6f, 0.35f), "tr_skin", "tr_Knee" + s);
        b.AddMesh("tr_Foot" + s, Lump({1.1f, 0.5f, 0.25f}, 6, 3), "tr_skin", "tr_Knee" + s,
                  zks::TRS({0.6f, 0, -3.2f}, AboutY(-0.35f)));
        // Small arms.
        b.AddMesh("tr_Arm" + s, Limb(1.6f, 0.3f, 0.18f), "tr_skin", "tr_Dino",
                  zks::TRS({2.6f, float(side) * 1.4f, -0.4f}, AboutY(-0.8f)));
    }

    // Cameras: MainCam first, so it is the scene's camera.
    {
        auto at = [&](float x, float y, float z) { return Vec3{x, y, Dunes(x, y) + z}; };
        zks::Node& main = b.AddCameraPath(
            "MainCam",
            PositionTrack({{0, at(-40, -34, 6)},
                           {stopAt * 0.5f, at(-42, -20, 3)},
                           {stopAt, at(-12, -26, 4)},
                           {roarAt, at(-4, -19, 5)},
                           {resumeAt, at(-2, -22, 8)},
                           {last, at(-30, -40, 14)}}),
            PositionTrack({{0, at(-58, 0, 8)},
                           {stopAt * 0.5f, at(-35, 0, 8)},
                           {stopAt, at(-12, 0, 9)},
                           {roarAt, at(-7, -2, 11)},
                           {resumeAt, at(-8, 0, 9)},
                           {last, at(28, 0, 8)}}),
            0.9f, 0.5f, 1200);
        main.fovTrack = FovTrack({{0, 0.9f}, {roarAt - fps, 0.9f}, {roarAt, 1.15f}, {resumeAt, 0.9f}}, zks::Interpolation::Linear);
        b.AddCameraPath("IntroCam01",
                        PositionTrack({{0, at(30, -6, 1.5f)}, {last, at(34, -10, 1.5f)}}, zks::Interpolation::Linear),
                        PositionTrack({{0, at(-50, 0, 8)}, {stopAt, at(-12, 0, 8)}, {resumeAt, at(-10, 0, 8)}, {last, at(28, 0, 8)}},
                                      zks::Interpolation::Linear),
                        0.7f, 0.5f, 1200);
    }
    return {b.Finish(), "", ""};
}

}  // namespace bake
