// Each baked scene loaded as the demo loads it (LoadScene into a world on the
// OpenGL device, from the data set's directory), then looked up the way its
// script looks things up: cameras by name, flare sources and materials, the
// particle systems with every emitter's and operator's gizmo, the flares with
// their elements. Loading and compiling must report no error, and every
// texture a material names must end up on the device.
// Skipped, with the reason, where no EGL context can be made.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/effects/lens_flare.h"
#include "engine/effects/particle_emitter.h"
#include "engine/effects/particle_operator.h"
#include "engine/effects/particle_system.h"
#include "engine/files/zk_file.h"
#include "engine/render/context.h"
#include "engine/render/material.h"
#include "engine/render/mode_selection.h"
#include "engine/render/texture.h"
#include "engine/scene/camera.h"
#include "engine/core/node.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_loader.h"
#include "engine/scene/world.h"
#include "tests/support/log_capture.h"

using namespace ZK3D;
namespace fs = std::filesystem;

namespace {

struct Expected {
    const char* file;
    std::vector<const char*> cameras;
    std::vector<const char*> objects;    // FindObject: flare sources
    std::vector<const char*> materials;  // FindMaterial
    const char* particles = nullptr;     // the .pfd its script loads
    std::vector<const char*> flares = {};  // the .lfd files its script loads
};

// What the scripts look up (demo/*_script.cpp, demo/plain_scripts.cpp).
const Expected kScenes[] = {
    {"data/jungle.zks", {"IntroCam1", "IntroCam2", "MainCam"}, {}, {}},
    {"data/cavern.zks", {}, {"lens1", "lens3"}, {"LightMat"}, "data/cavern.pfd", {"data/cavern.lfd"}},
    {"data/forest.zks", {"ForwardCam", "StrafeCam"}, {}, {}},
    {"data/lake.zks",
     {"MainCam", "FarStrafeCam", "RotCam", "RotCamML01", "RotCamML02", "RotCamMR01", "RotCamMR02", "StrafeCamFF01",
      "StrafeCamFF02", "LowRotCam", "RotCamMeta01"},
     {"lens1"},
     {},
     "data/lake.pfd",
     {"data/lake.lfd"}},
    {"data/temple.zks", {"MainCam", "LowCam", "UpCam"}, {}, {}, "data/temple.pfd"},
    {"data/space.zks", {}, {"lens01"}, {}, "data/space.pfd", {"data/cavern.lfd"}},
    {"data/earth.zks", {}, {}, {"Space_Clouds"}},
    {"data/computer.zks", {"IntroCam01", "MainCam"}, {}, {}},
    {"data/trex.zks", {"IntroCam01", "MainCam"}, {}, {}},
    {"data/greetings.zks", {"IntroCam01", "MainCam"}, {}, {}},
    {"data/loading.zks", {}, {}, {}},
};

class BakedScene : public ::testing::TestWithParam<Expected> {
protected:
    void SetUp() override {
        if (!fs::exists(fs::path(VELMOOR_SHOW_DIR) / "vlm.ini")) GTEST_SKIP() << "no baked demo in " VELMOOR_SHOW_DIR;
        ResetModeSelection();
        SelectMode(640, 480, 32, 0);
        context_ = Context::Create(nullptr);
        if (!context_) GTEST_SKIP() << "no EGL context could be made here";
        // The scenes name their images relative to the data set, as the demo runs.
        previous_ = fs::current_path();
        fs::current_path(VELMOOR_SHOW_DIR);
        world_ = CreateWorld(context_.get());
    }
    void TearDown() override {
        world_.reset();
        context_.reset();
        if (!previous_.empty()) fs::current_path(previous_);
    }
    std::unique_ptr<Context> context_;
    std::unique_ptr<World> world_;
    fs::path previous_;
};

TEST_P(BakedScene, LoadsWithEverythingItsScriptLooksUp) {
    const Expected& e = GetParam();
    testing_support::LogCapture log;
    Scene* scene = LoadScene(world_.get(), e.file);
    ASSERT_NE(scene, nullptr) << e.file;
    CompileWorld(world_.get());
    SetCurrentScene(scene);

    EXPECT_GT(scene->animationDescriptor.lastFrame, 0);
    EXPECT_GT(scene->animationDescriptor.framesPerSecond, 0);
    ASSERT_NE(scene->cameras, nullptr) << "a scene needs a camera";
    for (const char* name : e.cameras) {
        Node* camera = FindNode(scene->cameras, name);
        EXPECT_NE(camera, nullptr) << name;
    }
    for (const char* name : e.objects) EXPECT_NE(scene->FindObject(name), nullptr) << name;
    for (const char* name : e.materials) EXPECT_NE(FindMaterial(name), nullptr) << name;

    // Every stage of every material has its texture on the device.
    for (Node* n = world_->materials; n; n = n->next) {
        const auto* m = static_cast<Material*>(n);
        for (int i = 0; i < m->stageCount(); ++i) {
            const TextureStage* stage = m->stage(i);
            ASSERT_NE(stage, nullptr);
            ASSERT_NE(stage->texture, nullptr) << m->name() << " stage " << i;
            EXPECT_NE(stage->texture->surface(), nullptr) << stage->textureName();
        }
    }

    if (e.particles) {
        auto file = zkOpenFile(e.particles, DiskFirst);
        ASSERT_TRUE(file) << e.particles;
        ParticleSystem* system = LoadParticleSystems(scene, file.get());
        ASSERT_NE(system, nullptr) << e.particles;
        ASSERT_NE(system->texture, nullptr);
        EXPECT_NE(system->texture->surface(), nullptr);
        EXPECT_GE(system->emitterCount, 1);
        EXPECT_GE(system->operatorCount, 1);
        for (int i = 0; i < system->emitterCount; ++i)
            EXPECT_NE(system->emitter(i)->gizmo(), nullptr) << e.particles << " emitter " << system->emitter(i)->name();
        for (int i = 0; i < system->operatorCount; ++i)
            EXPECT_NE(system->op(i)->gizmo(), nullptr) << e.particles << " operator " << system->op(i)->name();
        // The script drives only the last system of the file: it must be the only one.
        int systems = 0;
        for (Node* n = scene->specials; n; n = n->next) systems += dynamic_cast<ParticleSystem*>(n) != nullptr;
        EXPECT_EQ(systems, 1) << e.particles;
        // A few seconds of it, drawn through the scene's camera.
        system->compile();
        for (int f = 1; f <= 30; ++f) {
            scene->SetTime(float(f) * 0.1f * float(scene->animationDescriptor.framesPerSecond));
            scene->render();
            system->SetTime(float(f) * 0.1f);
            context_->device()->BeginScene();
            system->render();
            context_->device()->EndScene();
        }
        EXPECT_GT(system->particleCount, 0) << e.particles << " emits nothing";
    }
    for (const char* lfd : e.flares) {
        Node* source = scene->FindObject(e.objects.front());
        std::unique_ptr<LensFlare> flare = CreateLensFlare(lfd, source, 5);
        ASSERT_TRUE(flare);
        ASSERT_GE(flare->ElementCount(), 3) << lfd;
        for (int i = 0; i < flare->ElementCount(); ++i) {
            ASSERT_NE(flare->Element(i)->texture, nullptr) << lfd << " element " << i;
            EXPECT_NE(flare->Element(i)->texture->surface(), nullptr) << lfd << " element " << i;
        }
    }
    EXPECT_TRUE(log.errors().empty()) << log.errors().front();
}

std::string Name(const ::testing::TestParamInfo<Expected>& info) {
    return fs::path(info.param.file).stem().string();
}

INSTANTIATE_TEST_SUITE_P(EveryScene, BakedScene, ::testing::ValuesIn(kScenes), Name);

}  // namespace
