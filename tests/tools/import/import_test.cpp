// zkimport's scenes on the OpenGL device (EGL, offscreen): real models nobody
// here wrote (Debian's assimp-testmodels) imported, loaded by the engine and a
// few drawn, an animation and a texture followed to the device, and the command
// line. Skipped where no EGL context can be made or the package is missing.
#include <gtest/gtest.h>

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
#include "platform/render_resolution.h"
#include "tests/support/log_capture.h"
#include "tests/tools/import/test_models.h"
#include "tools/import/importer.h"
#include "tools/zks/zks_math.h"
#include "tools/zkview/viewer.h"

using namespace ZK3D;
using testing_support::LogCapture;

namespace {

namespace fs = std::filesystem;

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
        std::vector<uint32_t> argb;
        int w = 0, h = 0;
        std::vector<unsigned char> rgb;
        if (!platform::ReadRenderedFrame(context_->d3dx(), &argb, &w, &h) || w != 640 || h != 480) return rgb;
        for (uint32_t px : argb)
            rgb.insert(rgb.end(), {static_cast<unsigned char>(px >> 16), static_cast<unsigned char>(px >> 8),
                                   static_cast<unsigned char>(px)});
        return rgb;
    }

    fs::path dir_;
    std::unique_ptr<Context> context_;
};

// Every model of the three format folders that imports makes a scene the
// engine loads without an error report, with the objects the library read.
// Every third model of some size that gets a framing camera is drawn and must
// show something.
TEST_F(ImportGL, TestModelsImportAndLoadOrAreRefused) {
    if (!HaveModels()) GTEST_SKIP() << "assimp-testmodels is not installed";
    int imported = 0, drawn = 0, sized = 0;
    for (const char* folder : {"glTF2", "OBJ", "3DS"}) {
        for (const fs::path& file : ModelFiles(folder)) {
            SCOPED_TRACE(file.string());
            const fs::path out = dir_ / std::to_string(imported);
            zkimport::Result result;
            std::string error;
            if (!ImportTo(file, out, &result, &error)) continue;  // refusals: import_unit_test
            ++imported;
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
    EXPECT_GE(drawn, 4);
}

// simple_skin.gltf turns a joint node: after the import the node turns as the
// file's keys say, at the keys' own times.
TEST_F(ImportGL, AnimatedNodeTurnsAsItsKeysSay) {
    if (!HaveModels()) GTEST_SKIP() << "assimp-testmodels is not installed";
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
    if (!HaveModels()) GTEST_SKIP() << "assimp-testmodels is not installed";
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

// The command line: usage, a one-line refusal, --list writing nothing, and a
// full import with its texture in --data.
TEST_F(ImportGL, CommandLine) {
    if (!HaveModels()) GTEST_SKIP() << "assimp-testmodels is not installed";
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
