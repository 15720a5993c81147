// Space and the earth.
//
// Space: a star field around a ringed gas giant with a moon on its orbit, a
// red rocky planet, a belt of tumbling asteroids and a distant sun (the flare
// source "lens01"); glittering star dust hangs in a nebula, born and fading
// without drifting (data/space.pfd: the vortex keeps it in place). One camera
// drifts past the giant while the credits play.
//
// Earth: the blue planet under a moving cloud layer (the material
// "Space_Clouds", added to the surface) and a glowing rim of atmosphere, the
// moon passing; the camera closes in while the script's blur beats with the
// music.
#include <cmath>
#include <string>

#include "tools/bake/flora.h"
#include "tools/bake/scenes.h"
#include "tools/bake/textures.h"

namespace bake {
namespace {

zks::Mesh StarSphere(float radius) {
    zks::Mesh m = Sphere(radius, 32, 16);
    zks::FlipFaces(m);
    zks::ScaleUV(m, 2, 1);
    return m;
}

// A sphere whose u wraps around z and v runs from the north pole (0) down.
zks::Mesh Globe(float radius, int slices = 40, int stacks = 20) {
    zks::Mesh m = Sphere(radius, slices, stacks);
    return m;
}

}  // namespace

SceneFiles MakeSpaceScene(const ShowPlan& plan) {
    SceneBuilder b("Space", plan.fps, float(plan.AnimationSeconds(kSpace)));
    b.SetColors(Rgb(0, 0, 0), Rgb(0.08f, 0.08f, 0.1f));

    zks::Material stars = GlowMaterial("sp_stars", Rgb(1, 1, 1), rf::kDefault | rf::kCullNone);
    stars.texture = Tex(tex::kStars);
    b.AddMaterial(stars);
    zks::Material giant = MakeMaterial("sp_giant", Rgb(1, 1, 1));
    giant.texture = Tex(tex::kGasGiant);
    b.AddMaterial(giant);
    zks::Material ring = MakeMaterial("sp_ring", Rgb(0.6f, 0.6f, 0.6f), rf::Transparent(rf::kBlendAlpha));
    ring.emissive = Rgb(0.45f, 0.42f, 0.38f);
    ring.texture = Tex(tex::kPlanetRing);
    b.AddMaterial(ring);
    zks::Material rocky = MakeMaterial("sp_rocky", Rgb(1, 1, 1));
    rocky.texture = Tex(tex::kRockyPlanet);
    b.AddMaterial(rocky);
    zks::Material moon = MakeMaterial("sp_moon", Rgb(1, 1, 1));
    moon.texture = Tex(tex::kMoon);
    b.AddMaterial(moon);
    zks::Material asteroid = MakeMaterial("sp_asteroid", Rgb(0.8f, 0.75f, 0.7f));
    asteroid.texture = Tex(tex::kRock);
    b.AddMaterial(asteroid);
    // The sun draws without writing depth, so the flare at its centre is not hidden by it.
    zks::Material sun = GlowMaterial("sp_sun", Rgb(1, 1, 1), rf::kDefault | rf::kDepthReadOnly);
    sun.texture = Tex(tex::kSunSurface);
    b.AddMaterial(sun);

    const Vec3 sunAt{-420, 260, 90};
    b.AddLight(DirectionalLight("sp_Sunlight", zks::Normalize(Vec3{0, 0, 0} - sunAt), Rgb(1.0f, 0.95f, 0.85f)), sunAt);
    b.AddMesh("sp_Stars", StarSphere(900), "sp_stars");
    b.AddMesh("sp_Sun", Globe(24, 24, 12), "sp_sun", "", zks::Translation(sunAt));
    b.AddPoint("lens01", sunAt);

    const float last = float(b.lastFrame());
    // The gas giant, tilted, turning, with its ring and a moon on its orbit.
    const Vec3 giantAt{0, 60, 0};
    const Quat tilt = AboutX(0.45f);
    b.AddGroup("sp_GiantSystem", "", zks::TRS(giantAt, tilt));
    zks::Node& body = b.AddMesh("sp_Giant", Globe(30, 48, 24), "sp_giant", "sp_GiantSystem");
    body.rotation = RotationTrack({{0, Yaw(0)}, {last / 2, Yaw(1.2f)}, {last, Yaw(2.4f)}}, zks::Interpolation::Linear);
    b.AddMesh("sp_Ring", FlatQuad(140, 140), "sp_ring", "sp_GiantSystem");
    b.AddGroup("sp_MoonOrbit", "sp_GiantSystem");
    b.NodeOf("sp_MoonOrbit").rotation =
        RotationTrack({{0, Yaw(-0.6f)}, {last / 2, Yaw(0.4f)}, {last, Yaw(1.4f)}}, zks::Interpolation::Linear);
    b.AddMesh("sp_Moon", Globe(5, 24, 12), "sp_moon", "sp_MoonOrbit", zks::Translation({95, 0, 4}));

    // A red planet nearer the camera's path.
    zks::Node& red = b.AddMesh("sp_RedPlanet", Globe(9, 32, 16), "sp_rocky", "", zks::Translation({-70, -40, -18}));
    red.rotation = RotationTrack({{0, AboutX(0.3f)}, {last, zks::Compose(Yaw(2.0f), AboutX(0.3f))}}, zks::Interpolation::Linear);

    // The asteroid belt: one mesh of rocks turning slowly around the giant.
    {
        Rng rng(808);
        zks::Mesh belt;
        for (int i = 0; i < 90; ++i) {
            const float a = rng.Range(0, 2 * kPi), r = rng.Range(58, 72);
            Add(belt, Boulder(rng, rng.Range(0.5f, 1.8f), 8), {r * std::cos(a), r * std::sin(a), rng.Range(-2.0f, 2.0f)},
                zks::Compose(AboutX(rng.Range(0, 6)), Yaw(rng.Range(0, 6))));
        }
        zks::Node& n = b.AddMesh("sp_Belt", belt, "sp_asteroid", "sp_GiantSystem");
        n.rotation = RotationTrack({{0, Yaw(0)}, {last, Yaw(0.5f)}}, zks::Interpolation::Linear);
    }

    // Star dust in a nebula off to the side, and a box of it along the path.
    b.AddGizmo("sp_Nebula", zks::SphereShape{{}, 40}, zks::Translation({-60, 120, 20}));
    b.AddGizmo("sp_DustBox", zks::BoxShape{{60, 20, 20}, {}, {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}}},
               zks::Translation({0, -30, 0}));
    b.AddGizmo("sp_Still", zks::VectorShape{{}, {0, 0, 1}}, zks::Translation(giantAt));

    // The camera drifts past the giant, the sun behind it at the start.
    zks::Node& cam = b.AddCameraPath(
        "MainCam",
        PositionTrack({{0, {60, -130, 30}}, {last * 0.35f, {10, -110, 18}}, {last * 0.7f, {-50, -80, 8}}, {last, {-90, -30, 14}}}),
        PositionTrack({{0, {-20, 60, 10}}, {last * 0.5f, {0, 60, 0}}, {last, {20, 70, 0}}}), 0.85f, 1, 2000);
    cam.rollTrack = RollTrack({{0, -0.15f}, {last, 0.2f}}, zks::Interpolation::Linear);

    SceneFiles out{b.Finish(), "data/space.pfd", ""};
    out.particles =
        "# Star dust: sparks that appear and fade where they are born (the vortex stills them)\n"
        "PS sp_Dust data/fx_spark.dds 2.5 0.2  0.8 0.85 1  0.25 0.15 0.5  SA\n"
        "SE sp_Glitter sp_Nebula 0 60 0.5 0 2.5\n"
        "BE sp_Near sp_DustBox 0 25 0 0 3\n"
        "VO sp_Hold sp_Still 0.02 1 0\n";
    return out;
}

SceneFiles MakeEarthScene(const ShowPlan& plan) {
    SceneBuilder b("Earth", plan.fps, float(plan.AnimationSeconds(kEarth)));
    b.SetColors(Rgb(0, 0, 0), Rgb(0.06f, 0.06f, 0.08f));

    zks::Material stars = GlowMaterial("ea_stars", Rgb(0.9f, 0.9f, 1), rf::kDefault | rf::kCullNone);
    stars.texture = Tex(tex::kStars);
    b.AddMaterial(stars);
    zks::Material earth = MakeMaterial("ea_earth", Rgb(1.1f, 1.1f, 1.1f), rf::kDefault | rf::kSpecular);
    earth.texture = Tex(tex::kEarth);
    earth.specular = Rgb(0.35f, 0.35f, 0.3f);
    earth.power = 18;
    b.AddMaterial(earth);
    // Clouds: lit, added to the surface; the earth script draws them directly
    // (it clears the sorted bit), so they write no depth over the atmosphere.
    zks::Material clouds = MakeMaterial("Space_Clouds", Rgb(1, 1, 1),
                                        (rf::kDefault | rf::kAlphaBlend | rf::kBlendAdd | rf::kSorted | rf::kDepthReadOnly));
    clouds.texture = Tex(tex::kClouds);
    clouds.ambient = Rgb(0.3f, 0.3f, 0.3f);
    b.AddMaterial(clouds);
    zks::Material air = GlowMaterial("ea_air", Rgb(0, 0, 0), rf::Transparent(rf::kBlendAdd) & ~rf::kCullMask);
    air.environment = Tex(tex::kAtmosphere);
    b.AddMaterial(air);
    zks::Material moon = MakeMaterial("ea_moon", Rgb(1, 1, 1));
    moon.texture = Tex(tex::kMoon);
    b.AddMaterial(moon);

    b.AddLight(DirectionalLight("ea_Sun", zks::Normalize(Vec3{-1, 0.6f, -0.25f}), Rgb(1.0f, 0.97f, 0.9f)), {300, -180, 75});
    b.AddMesh("ea_Stars", StarSphere(900), "ea_stars");

    const float last = float(b.lastFrame());
    b.AddGroup("ea_Planet", "", zks::Rotation(AboutY(0.41f)));
    zks::Node& surface = b.AddMesh("ea_Surface", Globe(20, 64, 32), "ea_earth", "ea_Planet");
    surface.rotation = RotationTrack({{0, Yaw(0)}, {last, Yaw(0.9f)}}, zks::Interpolation::Linear);
    zks::Node& cloudLayer = b.AddMesh("ea_Clouds", Globe(20.35f, 64, 32), "Space_Clouds", "ea_Planet");
    cloudLayer.rotation = RotationTrack({{0, Yaw(0.3f)}, {last, Yaw(1.6f)}}, zks::Interpolation::Linear);
    b.AddMesh("ea_Atmosphere", Globe(21.6f, 48, 24), "ea_air", "ea_Planet");

    zks::Node& m = b.AddMesh("ea_Moon", Globe(4, 32, 16), "ea_moon", "", zks::Translation({-60, 90, 15}));
    m.position = BezierPositionTrack({{0, {-90, 120, 20}}, {last * 0.5f, {-40, 80, 14}}, {last, {20, 70, 10}}});

    zks::Node& cam = b.AddCameraPath("MainCam",
                                     PositionTrack({{0, {0, -120, 25}}, {last * 0.5f, {25, -75, 10}}, {last, {28, -46, 2}}}),
                                     PositionTrack({{0, {0, 0, 0}}, {last, {-6, 0, 4}}}), 0.8f, 1, 2000);
    cam.rollTrack = RollTrack({{0, 0.1f}, {last, -0.15f}});
    return {b.Finish(), "", ""};
}

}  // namespace bake
