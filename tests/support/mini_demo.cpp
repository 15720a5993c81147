#include "tests/support/mini_demo.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tools/font/font_builder.h"
#include "tools/image/dds_writer.h"
#include "tools/image/image.h"
#include "tools/music/audio_file.h"
#include "tools/zks/zks_mesh_builder.h"
#include "tools/zks/zks_writer.h"

namespace testing_support {

namespace fs = std::filesystem;

namespace {

// The objects each scene's script looks up.
struct SceneRecipe {
    const char* file;
    std::vector<const char*> cameras;
    std::vector<const char*> pointGizmos;  // flare sources
    std::vector<const char*> materials;    // looked up by name
    bool emitter = false;                  // a vector gizmo "Emitter" for the .pfd
};

const SceneRecipe kScenes[] = {
    {"jungle.zks", {"IntroCam1", "IntroCam2", "MainCam"}, {}, {}},
    {"cavern.zks", {"MainCam"}, {"lens1", "lens3"}, {"LightMat"}, true},
    {"forest.zks", {"ForwardCam", "StrafeCam"}, {}, {}},
    {"lake.zks",
     {"MainCam", "FarStrafeCam", "RotCam", "RotCamML01", "RotCamML02", "RotCamMR01", "RotCamMR02", "StrafeCamFF01",
      "StrafeCamFF02", "LowRotCam", "RotCamMeta01"},
     {"lens1"},
     {},
     true},
    {"temple.zks", {"MainCam", "LowCam", "UpCam"}, {}, {}, true},
    {"space.zks", {"MainCam"}, {"lens01"}, {}, true},
    {"earth.zks", {"MainCam"}, {}, {"Space_Clouds"}},
    {"computer.zks", {"IntroCam01", "MainCam"}, {}, {}},
    {"trex.zks", {"IntroCam01", "MainCam"}, {}, {}},
    {"greetings.zks", {"IntroCam01", "MainCam"}, {}, {}},
};

zks::Node PlaceNode(const std::string& name, const std::string& parent, zks::Vec3 at) {
    zks::Node n;
    n.name = name;
    n.parent = parent;
    n.transform.translation = at;
    return n;
}

// A scene of `seconds` at `fps`: a lit, textured floor and box, its cameras
// circling the box, its gizmos and materials. The engine's world is z-up (a
// camera without roll has (0, 0, 1) as its up vector).
zks::Scene MakeScene(const std::string& name, const SceneRecipe& recipe, int index, float seconds, int fps) {
    zks::Scene s;
    s.kind = zks::SceneKind::Animated;
    s.name = name;
    s.background = zks::Rgb(0.1f * float(index % 3), 0.05f, 0.2f);
    s.ambient = zks::Rgb(0.3f, 0.3f, 0.3f);
    s.animation.framesPerSecond = fps;
    s.animation.lastFrame = int(seconds * float(fps));
    s.fog = {zks::FogMode::Linear, zks::Rgb(0.2f, 0.2f, 0.3f), 10, 60};

    const std::string floorMaterial = name + "_floor";
    zks::Material floor;
    floor.name = floorMaterial;
    floor.texture = zks::TextureRef{"mini_checker", "data/checker.dds"};
    floor.diffuse = zks::Rgb(0.8f, 0.8f, 0.8f);
    s.materials.push_back(floor);
    for (const char* m : recipe.materials) {
        zks::Material named;
        named.name = m;
        named.diffuse = zks::Rgb(1, 0.6f, 0.2f);
        named.emissive = zks::Rgb(0.5f, 0.3f, 0.1f);
        s.materials.push_back(named);
    }

    zks::Mesh ground = zks::GridMesh(40, 40, 4, 4);
    zks::TransformMesh(ground, {1, 1, 1}, {0.7071068f, 0, 0, 0.7071068f}, {});  // the y-up grid lies in z = 0
    ground.name = "Ground";
    ground.material = floorMaterial;
    s.meshes.push_back(ground);
    zks::Mesh box = zks::BoxMesh({4, 4, 4});
    box.name = "Box";
    box.material = recipe.materials.empty() ? floorMaterial : recipe.materials.front();
    s.meshes.push_back(box);

    zks::Light sun;
    sun.name = "Sun";
    sun.type = zks::LightType::Directional;
    sun.direction = {-0.3f, 0.4f, -1};
    s.lights.push_back(sun);

    zks::Gizmo target;
    target.name = "Target";
    target.shape = zks::PointShape{};
    s.gizmos.push_back(target);
    for (const char* g : recipe.pointGizmos) {
        zks::Gizmo p;
        p.name = g;
        p.shape = zks::PointShape{};
        s.gizmos.push_back(p);
    }
    if (recipe.emitter) {
        zks::Gizmo e;
        e.name = "Emitter";
        e.shape = zks::VectorShape{{0, 0, 0}, {0, 0, 1}};
        s.gizmos.push_back(e);
    }

    s.nodes.push_back(PlaceNode("Root", "", {}));
    s.nodes.push_back(PlaceNode("Ground", "Root", {}));
    s.nodes.push_back(PlaceNode("Box", "Root", {0, 0, 2}));
    s.nodes.push_back(PlaceNode("Sun", "Root", {0, 0, 20}));
    s.nodes.push_back(PlaceNode("Target", "Root", {0, 0, 2}));
    float z = 4;
    for (const char* g : recipe.pointGizmos) s.nodes.push_back(PlaceNode(g, "Root", {3, 3, z++}));
    if (recipe.emitter) s.nodes.push_back(PlaceNode("Emitter", "Root", {0, 0, 4}));
    const float last = float(s.animation.lastFrame);
    for (size_t c = 0; c < recipe.cameras.size(); ++c) {
        zks::Camera cam;
        cam.name = recipe.cameras[c];
        cam.target = "Target";
        cam.farPlane = 200;
        s.cameras.push_back(cam);
        const float a = 0.6f * float(c);
        zks::Node n = PlaceNode(recipe.cameras[c], "Root", {});
        n.controller = zks::Controller::LookAt;
        zks::KeyTrack track;
        track.valueType = zks::ValueType::Position;
        track.keys = {zks::PositionKey(0, {14 * std::cos(a), 14 * std::sin(a), 6}),
                      zks::PositionKey(last, {14 * std::cos(a + 1), 14 * std::sin(a + 1), 8})};
        n.position = track;
        s.nodes.push_back(n);
    }
    return s;
}

bool WriteText(const fs::path& path, const std::string& text, std::string* error) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

bool WriteTexture(const fs::path& path, int size, image::Rgba a, image::Rgba b, std::string* error) {
    image::Image img(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = (float(x) + 0.5f) / float(size) - 0.5f, dy = (float(y) + 0.5f) / float(size) - 0.5f;
            const float glow = std::max(0.0f, 1.0f - 2.0f * std::sqrt(dx * dx + dy * dy));
            img.at(x, y) = ((x / 8 + y / 8) % 2) ? a : b;
            img.at(x, y).a = uint8_t(255 * glow);
        }
    return image::SaveDds(img, {image::DdsFormat::A8R8G8B8, false}, path.string(), error);
}

}  // namespace

float MiniDemoShowSeconds(const MiniDemoOptions& options) {
    // Ten scenes, the forest's own turn taking no time, plus the cavern's two interludes.
    return 9 * options.sceneSeconds + 2 * 0.25f * options.sceneSeconds;
}

bool WriteMiniDemo(const std::string& directory, const MiniDemoOptions& options, std::string* error) {
    const fs::path dir(directory), data = dir / "data";
    std::error_code ec;
    fs::create_directories(data, ec);
    if (ec) {
        *error = "cannot make " + data.string();
        return false;
    }

    // Scenes.
    zks::Scene loading = MakeScene("Loading", {"loading.zks", {"MainCam"}, {}, {}}, 0, 0.5f, 30);
    if (!zks::SaveScene(loading, (data / "loading.zks").string(), error)) return false;
    for (int i = 0; i < 10; ++i) {
        const SceneRecipe& recipe = kScenes[i];
        if (i == options.missingScene) continue;
        zks::Scene s = MakeScene(recipe.file, recipe, i, options.sceneSeconds, options.framesPerSecond);
        if (!zks::SaveScene(s, (data / recipe.file).string(), error)) return false;
    }

    // Textures, font, effect descriptions.
    if (!WriteTexture(data / "checker.dds", 64, {230, 230, 230, 255}, {60, 90, 60, 255}, error) ||
        !WriteTexture(data / "glow.dds", 32, {255, 240, 200, 255}, {255, 200, 120, 255}, error) ||
        !WriteTexture(data / "logodemo.dds", 64, {255, 255, 255, 255}, {200, 60, 60, 255}, error) ||
        !WriteTexture(data / "loadbar.dds", 64, {120, 180, 255, 255}, {255, 255, 255, 255}, error))
        return false;
    font::FontOptions fontOptions;
    fontOptions.pixelSize = 12;
    font::BuiltFont builtFont;
    if (!font::BuildFont(fontOptions, builtFont, error) ||
        !font::SaveFont(builtFont, (data / "bankgothic.vft").string(), (data / "bankgothic.dds").string(),
                        font::PageFormat::A8R8G8B8, error))
        return false;
    const std::string flare = "# element texture, size, place, colour\ndata/glow.dds 120 0 1 1 1\n"
                              "data/glow.dds 40 50 0.5 0.7 1\n\ndata/glow.dds 60 100 1 0.5 0.2\n";
    const std::string particles = "PS Sparks data/glow.dds 0.5 0.1 1 0.8 0.4 1 0.2 0 SA\n"
                                  "VE Jet Emitter 30 40 5 -2 1\n"
                                  "FO Wind Emitter 1 0.5 0\n";
    if (!WriteText(data / "cavern.lfd", flare, error) || !WriteText(data / "lake.lfd", flare, error)) return false;
    for (const char* pfd : {"cavern.pfd", "lake.pfd", "temple.pfd", "space.pfd"})
        if (!WriteText(data / pfd, particles, error)) return false;

    // Music: a plain tone a little longer than the show.
    std::string musicLine;
    if (options.music) {
        music::Pcm pcm;
        pcm.sampleRate = options.musicRate;
        pcm.channels = options.musicChannels;
        const size_t frames = size_t((MiniDemoShowSeconds(options) + 3) * float(pcm.sampleRate));
        for (size_t f = 0; f < frames; ++f)
            pcm.samples.insert(pcm.samples.end(), size_t(pcm.channels),
                               int16_t(3000 * std::sin(double(f) * 2 * M_PI * 220 / pcm.sampleRate)));
        if (!music::SaveMp3(pcm, options.musicKbps, (data / "music.mp3").string(), error)) return false;
        musicLine = "filename=data/music.mp3\n";
    }

    // Configuration.
    const float T = options.sceneSeconds;
    char cavern[512];
    std::snprintf(cavern, sizeof cavern,
                  "[Cavern]\nopenningduration=0.1\nclosingduration=0.1\n"
                  "transition_forest1=%g\nduration_forest1=%g\ntransition_forest2=%g\nduration_forest2=%g\n"
                  "preopenning_forest1=0.1\nopenning_forest1=0.1\nclosing_forest1=0.1\npostclosing_forest1=0.1\n"
                  "preopenning_forest2=0.1\nopenning_forest2=0.1\nclosing_forest2=0.1\npostclosing_forest2=0.1\n",
                  0.3 * T, 0.25 * T, 0.6 * T, 0.25 * T);
    std::string ini = "[General]\nfullscreen=0\nsoftware=0\n\n[Music]\n" + musicLine +
                      "\n[Loading]\nscene=data/loading.zks\nlayer=data/loadbar.dds\nnumscenes=" +
                      std::to_string(options.numScenes) + "\n";
    for (int i = 0; i < 10; ++i) ini += "step_scene" + std::to_string(i) + "=" + std::to_string(i + 1) + "\n";
    ini += "step_scene10=100\n\n[Scenes]\n";
    for (int i = 0; i < 10; ++i) {
        const std::string value = i == options.blankScene ? "" : std::string("data/") + kScenes[i].file;
        ini += "scene" + std::to_string(i) + "_zksfile=" + value + "\n";
    }
    char timings[256];
    std::snprintf(timings, sizeof timings,
                  "transition_introcam1=%g\ntransition_introcam2=%g\ntransition_introcam3=%g\n"
                  "transition_introcam4=%g\n",
                  0.2 * T, 0.4 * T, 0.6 * T, 0.8 * T);
    std::string cuts;
    for (int i = 1; i <= 4; ++i)
        cuts += "openning_introcam" + std::to_string(i) + "=0.05\nclosing_introcam" + std::to_string(i) + "=0.05\n";
    ini += std::string("\n[Jungle]\nopenningduration=0.1\nclosingduration=0.1\n") + timings + cuts +
           "syncfx_runaway=0.1 0.4\nsyncfx_runawaylength=0.1\n\n" + cavern +
           "\n[Lake]\nopenningduration=0.1\nclosingduration=0.1\nsyncfx_metaball=0.2\nsyncfx_metaballlength=0.1\n"
           "\n[Temple]\nopenningduration=0.1\nclosingduration=0.1\nsyncfx_flash=0.2 0.5\nsyncfx_flashlength=0.1\n"
           "\n[Space]\nopenningduration=0.1\nclosingduration=0.1\ncredits_appear01=0.1\ncredits_appear_duration01=0.2\ncredits_duration01=0.3\n"
           "credits_text_up01=Code\ncredits_text_down01=The Team\n"
           "credits_up_left=40\ncredits_up_up=300\ncredits_down_left=60\ncredits_down_up=340\n"
           "\n[Earth]\nopenningduration=0.1\nclosingduration=0.1\nsyncfx_flash=0.3\nsyncfx_flashlength=0.2\n"
           "\n[Computer]\nopenningduration=0.1\nclosingduration=0.1\nmaincam_start=0.5\n"
           "\n[T-Rex]\nopenningduration=0.1\nclosingduration=0.1\n"
           "\n[Greetings]\nopenningduration=0.1\nclosingduration=0.1\n"
           "greetings_text1=Hello\ngreetings_text2=to everyone\ngreetings_text3=who builds\n";
    return WriteText(dir / "vlm.ini", ini, error);
}

}  // namespace testing_support
