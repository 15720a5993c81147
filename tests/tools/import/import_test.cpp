// zkimport on the OpenGL device (EGL, offscreen). Real models nobody here wrote
// (Debian's assimp-testmodels) are imported, loaded by the engine and a few
// drawn; a small hand-written glTF pins down axes, keys, camera and light; the
// command line is run once. Skipped where no EGL context can be made, and the
// model tests where the package is not installed.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/node.h"
#include "engine/render/mesh.h"
#include "engine/render/mode_selection.h"
#include "engine/render/texture.h"
#include "engine/scene/camera.h"
#include "engine/scene/hierarchy_node.h"
#include "engine/scene/light.h"
#include "tests/support/log_capture.h"
#include "tools/import/importer.h"
#include "tools/zks/zks_math.h"
#include "tools/zkview/viewer.h"

using namespace ZK3D;
using testing_support::LogCapture;

namespace {

namespace fs = std::filesystem;

const fs::path kModels = "/usr/share/assimp/models";

template <typename T>
int Count(T* head) {
    int n = 0;
    for (Node* node = static_cast<Node*>(head); node; node = node->next) ++n;
    return n;
}

int CountTree(HierarchyNode* node) {
    int n = 0;
    for (; node; node = node->nextSibling()) n += 1 + CountTree(node->firstChild());
    return n;
}

// Runs in the scene's folder while alive: the engine reads image files
// relative to the current directory, as the demo does from its data folder.
class InDirectory {
public:
    explicit InDirectory(const fs::path& dir) : previous_(fs::current_path()) { fs::current_path(dir); }
    ~InDirectory() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

class ImportGL : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) /
               ("zkimport_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ResetModeSelection();
        SelectMode(640, 480, 32, 0);
        context_ = Context::Create(nullptr);
        if (!context_) GTEST_SKIP() << "no EGL context could be made here: the GL device cannot render offscreen";
    }
    void TearDown() override {
        context_.reset();
        ResetModeSelection();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    static void RequireModels() {
        if (!fs::is_directory(kModels)) GTEST_SKIP() << "assimp-testmodels is not installed";
    }

    // Imports the model into dir/name.zks with its textures beside it.
    bool ImportTo(const fs::path& model, const fs::path& dir, zkimport::Result* result, std::string* error,
                  const zkimport::Options& options = {}) {
        fs::create_directories(dir);
        return zkimport::Import(model.string(), options, result, error) &&
               zkimport::WriteResult(*result, (dir / "scene.zks").string(), dir.string(), error);
    }

    // Draws the viewer's frame and reads it back: 640 × 480 RGB.
    std::vector<unsigned char> Draw(zkview::Viewer& viewer) {
        viewer.Render();
        const std::string png = (dir_ / "frame.png").string();
        std::string error;
        EXPECT_TRUE(zkview::CaptureBackBuffer(*context_, png, &error)) << error;
        int w = 0, h = 0, n = 0;
        unsigned char* data = stbi_load(png.c_str(), &w, &h, &n, 3);
        std::vector<unsigned char> rgb;
        if (data && w == 640 && h == 480) rgb.assign(data, data + 640 * 480 * 3);
        stbi_image_free(data);
        return rgb;
    }

    fs::path dir_;
    std::unique_ptr<Context> context_;
};

// Every file of the three format folders imports into a scene the engine loads
// without an error report, with the objects the library read; or it is refused
// in one line. Every file of the invalid folder is refused. Every third model
// of some size that gets a framing camera is drawn and must show something.
TEST_F(ImportGL, TestModelsImportAndLoadOrAreRefused) {
    RequireModels();
    int imported = 0, refused = 0, drawn = 0, sized = 0;
    for (const char* folder : {"glTF2", "OBJ", "3DS", "invalid"}) {
        std::vector<fs::path> files;
        for (const auto& e : fs::recursive_directory_iterator(kModels / folder)) {
            const std::string ext = e.path().extension().string();
            const bool sidecar = ext == ".bin" || ext == ".jpg" || ext == ".png" || ext == ".mtl" || ext == ".txt";
            if (e.is_regular_file() && !sidecar) files.push_back(e.path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            SCOPED_TRACE(file.string());
            const fs::path out = dir_ / std::to_string(imported + refused);
            zkimport::Result result;
            std::string error;
            if (!ImportTo(file, out, &result, &error)) {
                ++refused;
                EXPECT_EQ(error.find('\n'), std::string::npos);
                EXPECT_NE(error.find(file.string()), std::string::npos) << error;
                continue;
            }
            ++imported;
            EXPECT_NE(std::string(folder), "invalid") << "a broken file was taken";
            InDirectory here(out);
            LogCapture log;
            zkview::Viewer viewer(*context_);
            ASSERT_TRUE(viewer.Open("scene.zks", &error)) << error;
            EXPECT_EQ(log.errors(), std::vector<std::string>{});
            const Scene& scene = *viewer.scene();
            const zks::Scene& made = result.scene;
            EXPECT_EQ(Count(scene.meshes), static_cast<int>(made.meshes.size()));
            EXPECT_GE(Count(scene.meshes), 1);
            EXPECT_EQ(Count(scene.cameras), result.source.cameras + result.addedCamera);
            EXPECT_EQ(Count(scene.lights), result.source.lights + result.addedLight);
            EXPECT_EQ(CountTree(scene.root), static_cast<int>(made.nodes.size()));
            EXPECT_GE(CountTree(scene.root), result.source.nodes + 1);  // the file's nodes under one root
            if (result.addedCamera && result.source.triangles >= 12 && ++sized % 3 == 1) {
                ++drawn;
                const std::vector<unsigned char> rgb = Draw(viewer);
                ASSERT_FALSE(rgb.empty());
                bool shows = false;
                for (size_t i = 0; i + 2 < rgb.size() && !shows; i += 3)
                    shows = std::abs(rgb[i] - 20) + std::abs(rgb[i + 1] - 23) + std::abs(rgb[i + 2] - 31) > 30;
                EXPECT_TRUE(shows) << "the picture is all background";
            }
        }
    }
    EXPECT_GE(imported, 40);
    EXPECT_GE(refused, 20);
    EXPECT_GE(drawn, 4);
}

// simple_skin.gltf turns a joint node: after the import the node turns as the
// file's keys say, at the keys' own times.
TEST_F(ImportGL, AnimatedNodeTurnsAsItsKeysSay) {
    RequireModels();
    const fs::path model = kModels / "glTF2/simple_skin/simple_skin.gltf";
    Assimp::Importer library;
    const aiScene* source = library.ReadFile(model.string(), 0);
    ASSERT_TRUE(source && source->mNumAnimations > 0);
    const aiAnimation& animation = *source->mAnimations[0];
    const aiNodeAnim* channel = nullptr;
    for (unsigned i = 0; i < animation.mNumChannels && !channel; ++i)
        if (animation.mChannels[i]->mNumRotationKeys >= 3) channel = animation.mChannels[i];
    ASSERT_NE(channel, nullptr);

    zkimport::Result result;
    std::string error;
    ASSERT_TRUE(ImportTo(model, dir_, &result, &error)) << error;
    EXPECT_EQ(result.scene.kind, zks::SceneKind::Animated);
    InDirectory here(dir_);
    zkview::Viewer viewer(*context_);
    ASSERT_TRUE(viewer.Open("scene.zks", &error)) << error;
    HierarchyNode* node = FindInTree(viewer.scene()->root, channel->mNodeName.C_Str());
    ASSERT_NE(node, nullptr);
    const double ticksPerSecond = animation.mTicksPerSecond > 0 ? animation.mTicksPerSecond : 25;
    std::vector<Quaternion> seen;
    for (unsigned k : {1u, 2u}) {
        const aiQuatKey& key = channel->mRotationKeys[k];
        viewer.SetSeconds(static_cast<float>(key.mTime / ticksPerSecond));
        viewer.Render();
        const Quaternion q = node->animation->transform.rotation;
        // The file's y-up axes turned to z up: (x, y, z) → (x, −z, y).
        const float expected[4] = {key.mValue.x, -key.mValue.z, key.mValue.y, key.mValue.w};
        const float got[4] = {q.x, q.y, q.z, q.w};
        const float sign = got[3] * expected[3] < 0 ? -1.0f : 1.0f;
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(sign * got[c], expected[c], 2e-3f) << "key " << k << ", component " << c;
        seen.push_back(q);
    }
    EXPECT_GT(std::fabs(seen[0].x - seen[1].x) + std::fabs(seen[0].y - seen[1].y) + std::fabs(seen[0].z - seen[1].z), 0.01f);
}

// The textured box, with its picture beside it and embedded in the binary
// file: the picture becomes a JPEG the device takes, and the logo's colours
// show in the middle of the front face.
TEST_F(ImportGL, TexturedModelsTextureReachesTheDevice) {
    RequireModels();
    for (const char* file : {"glTF2/BoxTextured-glTF/BoxTextured.gltf", "glTF2/BoxTextured-glTF-Binary/BoxTextured.glb"}) {
        SCOPED_TRACE(file);
        const fs::path out = dir_ / fs::path(file).extension().string().substr(1);
        zkimport::Result result;
        std::string error;
        ASSERT_TRUE(ImportTo(kModels / file, out, &result, &error)) << error;
        ASSERT_EQ(result.textures.size(), 1u);
        const std::string name = result.textures[0].name;
        EXPECT_EQ(fs::path(name).extension(), ".jpg");
        InDirectory here(out);
        zkview::Viewer viewer(*context_);
        ASSERT_TRUE(viewer.Open("scene.zks", &error)) << error;
        Texture* texture = static_cast<Texture*>(FindNode(static_cast<Node*>(viewer.world()->textures), name.c_str()));
        ASSERT_NE(texture, nullptr);
        EXPECT_NE(texture->surface(), nullptr);
        const std::vector<unsigned char> rgb = Draw(viewer);
        ASSERT_FALSE(rgb.empty());
        int coloured = 0;  // the logo is blue and green; the untextured box would be grey
        for (int y = 200; y < 280; y += 8)
            for (int x = 240; x < 320; x += 8) {
                const unsigned char* p = &rgb[3 * (y * 640 + x)];
                coloured += std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) > 60;
            }
        EXPECT_GT(coloured, 20);
    }
}

// A hand-written glTF: a triangle node moved by two keys, a camera looking down
// the file's −z, a point light. Checks the axes, the frames, the camera's name,
// target and field of view, the light, the scale, and a mesh split at 65,535 vertices.
TEST_F(ImportGL, AxesKeysCameraLightScaleAndSplitting) {
    std::vector<float> data = {0, 0, 0, 1, 0, 0, 0, 1, 0,  // triangle
                               0, 2,                        // key times, seconds
                               1, 2, 3, 1, 2, 7};           // key translations
    {
        std::ofstream bin(dir_ / "tri.bin", std::ios::binary);
        bin.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size() * 4));
    }
    std::ofstream(dir_ / "tri.gltf") << R"({
  "asset": {"version": "2.0"},
  "extensionsUsed": ["KHR_lights_punctual"],
  "extensions": {"KHR_lights_punctual": {"lights": [{"type": "point", "color": [1, 0.5, 0.25], "intensity": 1, "name": "Lamp"}]}},
  "scene": 0, "scenes": [{"nodes": [0, 1, 2]}],
  "nodes": [
    {"name": "Tri", "mesh": 0, "translation": [1, 2, 3]},
    {"name": "Cam", "camera": 0, "translation": [0, 0, 10]},
    {"name": "Lamp", "translation": [0, 5, 0], "extensions": {"KHR_lights_punctual": {"light": 0}}}],
  "cameras": [{"type": "perspective", "perspective": {"yfov": 0.5, "aspectRatio": 1.3333333, "znear": 0.5, "zfar": 200}}],
  "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}],
  "animations": [{"channels": [{"sampler": 0, "target": {"node": 0, "path": "translation"}}],
                  "samplers": [{"input": 1, "output": 2, "interpolation": "LINEAR"}]}],
  "buffers": [{"uri": "tri.bin", "byteLength": 68}],
  "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36}, {"buffer": 0, "byteOffset": 36, "byteLength": 8},
                  {"buffer": 0, "byteOffset": 44, "byteLength": 24}],
  "accessors": [
    {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3", "min": [0, 0, 0], "max": [1, 1, 0]},
    {"bufferView": 1, "componentType": 5126, "count": 2, "type": "SCALAR", "min": [0], "max": [2]},
    {"bufferView": 2, "componentType": 5126, "count": 2, "type": "VEC3"}]
})";
    zkimport::Options options;
    options.scale = 2;
    options.cameraNames.push_back({"Cam", "MainCam"});
    zkimport::Result result;
    std::string error;
    ASSERT_TRUE(zkimport::Import((dir_ / "tri.gltf").string(), options, &result, &error)) << error;
    const zks::Scene& s = result.scene;
    EXPECT_FALSE(result.addedCamera);
    EXPECT_FALSE(result.addedLight);
    ASSERT_EQ(s.kind, zks::SceneKind::Animated);
    EXPECT_EQ(s.animation.framesPerSecond, 30);
    EXPECT_EQ(s.animation.lastFrame, 60);

    auto node = [&](const std::string& name) -> const zks::Node* {
        for (const zks::Node& n : s.nodes)
            if (n.name == name) return &n;
        return nullptr;
    };
    auto near = [](zks::Vec3 a, zks::Vec3 b) { return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z) < 1e-3f; };
    // (x, y, z) → (x, −z, y), lengths doubled.
    const zks::Node* tri = node("Tri");
    ASSERT_TRUE(tri && tri->position);
    ASSERT_EQ(tri->position->keys.size(), 2u);
    EXPECT_FLOAT_EQ(tri->position->keys[1].time, 60);
    EXPECT_TRUE(near({tri->position->keys[0].value[0], tri->position->keys[0].value[1], tri->position->keys[0].value[2]}, {2, -6, 4}));
    EXPECT_TRUE(near({tri->position->keys[1].value[0], tri->position->keys[1].value[1], tri->position->keys[1].value[2]}, {2, -14, 4}));
    ASSERT_EQ(s.meshes.size(), 1u);
    EXPECT_TRUE(near(s.meshes[0].vertices[2].position, {0, 0, 2}));
    EXPECT_TRUE(near(s.meshes[0].vertices[0].normal, {0, -1, 0}));  // generated, facing the file's +z

    ASSERT_EQ(s.cameras.size(), 1u);
    EXPECT_EQ(s.cameras[0].name, "MainCam");
    EXPECT_NEAR(s.cameras[0].fov, 0.5f, 1e-3f);
    EXPECT_NEAR(s.cameras[0].nearPlane, 1.0f, 1e-4f);
    EXPECT_NEAR(s.cameras[0].farPlane, 400.0f, 1e-2f);
    const zks::Node* eye = node("MainCam");
    const zks::Node* target = node(s.cameras[0].target);
    ASSERT_TRUE(eye && target);
    EXPECT_TRUE(near(eye->transform.translation, {0, -20, 0}));
    const zks::Vec3 look = target->transform.translation - eye->transform.translation;
    EXPECT_GT(look.y, 0);  // down the file's −z is along the engine's +y
    EXPECT_NEAR(look.x, 0, 1e-3f);
    EXPECT_NEAR(look.z, 0, 1e-3f);
    EXPECT_NEAR(eye->roll, 0, 1e-4f);

    ASSERT_EQ(s.lights.size(), 1u);
    EXPECT_EQ(s.lights[0].type, zks::LightType::Point);
    EXPECT_TRUE(near(s.lights[0].position, {0, 0, 10}));
    EXPECT_NEAR(s.lights[0].diffuse.g, 0.5f, 1e-3f);

    // 23,334 separate triangles: 70,002 vertices, more than one mesh can index.
    {
        std::ofstream obj(dir_ / "many.obj");
        for (int t = 0; t < 23334; ++t) obj << "v " << t << " 0 0\nv " << t << " 1 0\nv " << t << " 0 1\n";
        for (int t = 0; t < 23334; ++t) obj << "f " << 3 * t + 1 << ' ' << 3 * t + 2 << ' ' << 3 * t + 3 << '\n';
    }
    ASSERT_TRUE(zkimport::Import((dir_ / "many.obj").string(), {}, &result, &error)) << error;
    size_t vertices = 0, faces = 0;
    for (const zks::Mesh& m : result.scene.meshes) {
        EXPECT_LE(m.vertices.size(), 65535u);
        vertices += m.vertices.size();
        faces += m.faces.size();
    }
    EXPECT_EQ(result.scene.meshes.size(), 2u);
    EXPECT_EQ(vertices, 70002u);
    EXPECT_EQ(faces, 23334u);
}

// The command line: usage, a one-line refusal, --list writing nothing, and a
// full import with its texture in --data.
TEST_F(ImportGL, CommandLine) {
    RequireModels();
    const std::string tool = ZKIMPORT_PATH;
    const fs::path err = dir_ / "stderr.txt";
    auto run = [&](const std::string& args) {
        const int status = std::system((tool + " " + args + " >/dev/null 2>" + err.string()).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    auto stderrLines = [&] {
        std::ifstream in(err);
        std::string line;
        int n = 0;
        while (std::getline(in, line)) ++n;
        return n;
    };
    EXPECT_EQ(run(""), 2);
    EXPECT_EQ(run("--scale -1 a b.zks"), 1);
    EXPECT_EQ(run((kModels / "invalid/malformed2.obj").string() + " " + (dir_ / "bad.zks").string()), 1);
    EXPECT_EQ(stderrLines(), 1);
    const std::string box = (kModels / "glTF2/BoxTextured-glTF/BoxTextured.gltf").string();
    EXPECT_EQ(run("--list " + box), 0);
    EXPECT_FALSE(fs::exists(dir_ / "box.zks"));
    EXPECT_EQ(run(box + " " + (dir_ / "box.zks").string() + " --data " + (dir_ / "data").string() + " --camera-name MainCam"), 0);
    EXPECT_TRUE(fs::is_regular_file(dir_ / "box.zks"));
    EXPECT_TRUE(fs::is_regular_file(dir_ / "data/CesiumLogoFlat.jpg"));
}

}  // namespace
