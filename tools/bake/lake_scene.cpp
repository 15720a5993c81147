// The lake: a mountain lake under a summer sky, rippled water reflecting the
// sky (environment-mapped), and above it three floating sculptures of merged
// metaballs in liquid chrome that bob, turn and squash to the beat; a fountain
// in the middle sprays droplets that fall back and bounce off the water
// (data/lake.pfd); the sun ("lens1") flares. Eleven cameras: an establishing
// shot, far and near orbits, orbits around the left and right sculptures and
// strafes past the front one.
#include <cmath>
#include <string>

#include "tools/bake/metaballs.h"
#include "tools/bake/scenes.h"
#include "tools/bake/textures.h"
#include "tools/image/noise.h"

namespace bake {
namespace {

const Vec3 kLeft{-26, 12, 11}, kRight{26, 12, 11}, kFront{0, -18, 9}, kFountain{0, 30, 0};
const Vec3 kSun{-260, 230, 120};

float MountainHeight(float angle, float t) {
    // t: 0 at the shore, 1 at the back of the range.
    const float ridge = image::Fbm(image::NoiseKind::Gradient, angle * 5, 5, 88, {5, 2, 0.5f}, 0);
    const float peak = 25 + 170 * std::pow(ridge, 1.6f);
    return peak * std::pow(std::sin(kPi * std::min(1.0f, t * 1.3f) * 0.5f), 1.4f) *
           (0.85f + 0.3f * image::Fbm(image::NoiseKind::Gradient, angle * 12, t * 4, 89, {4, 2, 0.5f}, 0));
}

zks::Mesh Mountains() {
    zks::Mesh m;
    const int around = 96, across = 14;
    const float inner = 190, outer = 400;
    for (int j = 0; j <= across; ++j) {
        const float t = float(j) / float(across);
        for (int i = 0; i <= around; ++i) {
            const float a = 2 * kPi * float(i % around) / float(around);
            const float r = inner + (outer - inner) * t;
            const float h = MountainHeight(a, t) - 2;
            m.vertices.push_back({{r * std::cos(a), r * std::sin(a), h}, {0, 0, 1}, 6 * float(i) / float(around),
                                  std::clamp(1 - h / 150.0f, 0.02f, 0.98f)});
        }
    }
    const int stride = around + 1;
    for (int j = 0; j < across; ++j)
        for (int i = 0; i < around; ++i) {
            const auto a = uint16_t(j * stride + i), b = uint16_t(a + 1), c = uint16_t(a + stride + 1),
                       d = uint16_t(a + stride);
            // Counter-clockwise seen from above (i runs counter-clockwise, j outwards).
            m.faces.push_back({a, c, b});
            m.faces.push_back({a, d, c});
        }
    SmoothNormals(m);
    return m;
}

// The water: a grid whose normals ripple, so the reflected sky shimmers.
zks::Mesh Water() {
    zks::Mesh m = Terrain(700, 700, 70, 70, {}, 40);
    m.texCoordSets = 3;
    for (zks::Vertex& v : m.vertices) {
        const float x = v.position.x, y = v.position.y;
        const float nx = (image::GradientNoise(x / 9, y / 9, 3) - 0.5f) * 0.5f;
        const float ny = (image::GradientNoise(x / 9 + 40, y / 9, 4) - 0.5f) * 0.5f;
        v.normal = zks::Normalize(Vec3{nx, ny, 1});
    }
    return m;
}

zks::Mesh SkyDome(float radius) {
    zks::Mesh m = Sphere(radius, 32, 16);
    for (zks::Vertex& v : m.vertices) {
        // v of the dome texture: 0 at the zenith, 0.5 at the horizon.
        v.v = std::clamp(0.5f - std::asin(std::clamp(v.position.z / radius, -1.0f, 1.0f)) / kPi, 0.0f, 1.0f);
    }
    zks::FlipFaces(m);
    return m;
}

}  // namespace

SceneFiles MakeLakeScene(const ShowPlan& plan) {
    SceneBuilder b("Lake", plan.fps, float(plan.AnimationSeconds(kLake)));
    const zks::Color horizon = Rgb(0.74f, 0.8f, 0.88f);
    b.SetColors(horizon, Rgb(0.45f, 0.45f, 0.5f));
    b.SetFog(zks::FogMode::Linear, horizon, 150, 700);

    zks::Material water = MakeMaterial("lk_water", Rgb(0.3f, 0.34f, 0.36f));
    water.texture = Tex(tex::kLakeWater);
    water.environment = Tex(tex::kEnvLake);
    water.bump = Tex(tex::kLakeRipple);
    b.AddMaterial(water);
    zks::Material rock = MakeMaterial("lk_mountain", Rgb(0.95f, 0.95f, 0.95f));
    rock.texture = Tex(tex::kLakeMountain);
    rock.detail = Tex(tex::kDetail);
    b.AddMaterial(rock);
    b.AddMaterial([] {
        zks::Material sky = GlowMaterial("lk_sky", Rgb(1, 1, 1), rf::kDefault | rf::kCullNone);
        sky.texture = Tex(tex::kLakeSky);
        return sky;
    }());
    zks::Material chrome = MakeMaterial("lk_chrome", Rgb(0.18f, 0.2f, 0.24f), rf::kDefault | rf::kSpecular);
    chrome.environment = Tex(tex::kEnvSky);
    chrome.specular = Rgb(1, 1, 1);
    chrome.power = 40;
    b.AddMaterial(chrome);
    zks::Material basin = MakeMaterial("lk_basin", Rgb(0.85f, 0.85f, 0.8f));
    basin.texture = Tex(tex::kRock);
    b.AddMaterial(basin);

    b.AddLight(DirectionalLight("lk_Sun", zks::Normalize(-kSun), Rgb(1.0f, 0.95f, 0.85f)), kSun);
    b.AddLight(DirectionalLight("lk_SkyFill", {0.3f, -0.5f, -0.6f}, Rgb(0.3f, 0.35f, 0.45f)), {0, 0, 100});

    b.AddMesh("lk_Dome", SkyDome(560), "lk_sky");
    b.AddMesh("lk_Water", Water(), "lk_water");
    b.AddMesh("lk_Mountains", Mountains(), "lk_mountain");

    // The sculptures: merged metaballs, squashing along a leaning axis on the beat.
    const float last = float(b.lastFrame());
    const float beat = float(plan.BeatSeconds()) * float(plan.fps);
    struct Sculpture {
        const char* name;
        Vec3 at;
        std::vector<Metaball> balls;
        float spin;
    };
    const Sculpture sculptures[] = {
        {"lk_MetaLeft", kLeft,
         {{{-3.5f, 0, 0}, 2.2f}, {{3.2f, 0.5f, 1}, 1.8f}, {{0, 1.5f, 3.8f}, 1.5f}, {{0.5f, -1.5f, -3.2f}, 1.4f}, {{0, 0, 0}, 1.2f}},
         1.0f},
        {"lk_MetaRight", kRight,
         {{{0, 0, -3.4f}, 2.0f}, {{0, 0, 3.4f}, 2.0f}, {{3.6f, 0, 0}, 1.5f}, {{-3.6f, 1, 0.5f}, 1.5f}, {{0, -3.5f, 0}, 1.3f}, {{0, 0, 0}, 1.4f}},
         -0.8f},
        {"lk_MetaFront", kFront, {{{-2.9f, -1, 0}, 1.9f}, {{2.9f, 1, 0.5f}, 1.9f}, {{0, 0, 3.6f}, 1.4f}, {{0, 0, 0.5f}, 1.2f}}, 1.4f},
    };
    for (size_t i = 0; i < 3; ++i) {
        const Sculpture& s = sculptures[i];
        zks::Node& n = b.AddMesh(s.name, MetaballMesh(s.balls, 34), "lk_chrome", "", zks::Translation(s.at));
        // Bobbing: Hermite with its own tangents.
        std::vector<PosKey> bob;
        for (int k = 0; k <= 8; ++k)
            bob.push_back({last * float(k) / 8, s.at + Vec3{0, 0, 1.4f * std::sin(float(k) * 1.7f + float(i))}});
        n.position = HermitePositionTrack(bob);
        // A slow turn, slerped.
        std::vector<RotKey> turn;
        for (int k = 0; k <= 12; ++k)
            turn.push_back({last * float(k) / 12, zks::Compose(AboutX(0.3f * std::sin(float(k))), Yaw(s.spin * float(k) * 0.55f))});
        n.rotation = RotationTrack(turn, zks::Interpolation::Linear);
        // Squash and stretch on every other beat along a leaning axis.
        std::vector<PosKey> squash;
        for (float f = 0; f <= last + beat; f += beat) {
            const bool hit = int(std::lround(f / beat)) % 2 == 0;
            squash.push_back({f, hit ? Vec3{1.18f, 1.18f, 0.78f} : Vec3{0.95f, 0.95f, 1.08f}});
        }
        n.scale = ScaleTrack(squash, zks::Interpolation::HermiteAuto);
        n.transform.scaleAxes = AboutY(0.5f + 0.3f * float(i));
    }

    // The fountain: a stone basin with a chrome ball; its jet and the water's
    // surface drive the particles.
    {
        zks::Mesh ring = Torus(4, 0.9f, 24, 8);
        b.AddMesh("lk_Basin", ring, "lk_basin", "", zks::Translation(kFountain + Vec3{0, 0, 0.2f}));
        zks::Node& ball = b.AddMesh("lk_FountainBall", MetaballMesh({{{0, 0, 0}, 1.6f}, {{0, 0, 1.8f}, 1.0f}}, 16),
                                    "lk_chrome", "", zks::Translation(kFountain + Vec3{0, 0, 0.6f}));
        ball.rotation = RotationTrack({{0, Yaw(0)}, {last / 2, Yaw(kPi)}, {last, Yaw(2 * kPi)}}, zks::Interpolation::Bezier);
        b.AddGizmo("lk_Jet", zks::VectorShape{{}, {0, 0, 1}}, zks::Translation(kFountain + Vec3{0, 0, 3.5f}));
        b.AddGizmo("lk_Gravity", zks::VectorShape{{}, {0, 0, -9}}, zks::Translation(kFountain));
        b.AddGizmo("lk_Surface",
                   zks::PlaneShape{{18, 18}, {}, {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}}},
                   zks::Translation(kFountain + Vec3{0, 0, 0.1f}));
        b.AddGizmo("lk_MistPlane",
                   zks::PlaneShape{{10, 10}, {}, {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}}},
                   zks::Translation(kFountain + Vec3{0, 0, 0.4f}));
    }
    b.AddPoint("lens1", kSun);

    // Cameras.
    auto orbit = [&](const std::string& name, Vec3 centre, float radius, float z, float a0, float a1, float fov) {
        zks::Node& t = b.AddPoint(name + "Target", centre);
        (void)t;
        b.AddCamera(name, name + "Target", PositionTrack(Orbit(centre, radius, centre.z + z, a0, a1, 0, last, 16)), fov);
    };
    {
        // MainCam: glides in over the water towards the sculptures, rises away at the end.
        const float s = last / float(plan.bars[kLake]);  // frames per bar
        b.AddCameraPath("MainCam",
                        PositionTrack({{0, {10, -150, 32}}, {2 * s, {4, -100, 22}}, {18 * s, {0, -90, 20}}, {last, {-20, -150, 60}}}),
                        PositionTrack({{0, {0, 10, 10}}, {2 * s, {0, 10, 10}}, {18 * s, {0, 10, 12}}, {last, {-40, 80, 30}}}), 0.85f);
    }
    b.AddCameraPath("FarStrafeCam",
                    PositionTrack({{0, {-120, -95, 14}}, {last, {120, -95, 14}}}, zks::Interpolation::Linear),
                    PositionTrack({{0, {-60, 20, 12}}, {last, {60, 20, 12}}}, zks::Interpolation::Linear), 0.7f);
    orbit("RotCam", {0, 5, 8}, 70, 18, -2.2f, -2.2f + 2 * kPi, 0.85f);
    orbit("RotCamML01", kLeft, 15, 2, 0.0f, 2.5f, 0.9f);
    orbit("RotCamML02", kLeft, 11, -4, 3.5f, 1.0f, 1.0f);
    orbit("RotCamMR01", kRight, 15, 3, 2.5f, 5.0f, 0.9f);
    orbit("RotCamMR02", kRight, 10, -5, 5.5f, 3.0f, 1.0f);
    orbit("LowRotCam", {0, 5, 4}, 40, -2.5f, 1.0f, 1.0f + 2 * kPi, 0.95f);
    orbit("RotCamMeta01", kFront, 9, 1, 0.0f, 4 * kPi, 1.0f);
    // Strafes past the front sculpture, the second one low over the water.
    b.AddCameraPath("StrafeCamFF01",
                    PositionTrack({{0, {-40, -34, 11}}, {last, {40, -34, 11}}}, zks::Interpolation::Linear),
                    PositionTrack({{0, kFront + Vec3{-8, 0, 0}}, {last, kFront + Vec3{8, 0, 0}}}, zks::Interpolation::Linear),
                    0.8f);
    b.AddCameraPath("StrafeCamFF02",
                    PositionTrack({{0, {30, -28, 2.5f}}, {last, {-30, -28, 2.5f}}}, zks::Interpolation::Linear),
                    PositionTrack({{0, kFront + Vec3{5, 0, 2}}, {last, kFront + Vec3{-5, 0, 2}}}, zks::Interpolation::Linear),
                    0.9f);

    SceneFiles out{b.Finish(), "data/lake.pfd", ""};
    out.particles =
        "# The fountain: a jet, falling back under a force, bouncing off the water; mist over the basin\n"
        "PS lk_Spray data/fx_drop.dds 0.35 0.15  0.85 0.95 1  0.4 0.6 0.8  SA\n"
        "VE lk_Jet lk_Jet 16 90 11 0 3.2\n"
        "QE lk_Mist lk_MistPlane 70 14 0.6 0.2 2.5\n"
        "FO lk_Fall lk_Gravity 1 1 0\n"
        "DO lk_Bounce lk_Surface 1 0.45 1\n";
    return out;
}

}  // namespace bake
