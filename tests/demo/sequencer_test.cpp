// The loading phase on the recording device, driven by the dispatcher on a fixed
// clock: how the loading animation follows the started loads, when loading ends,
// what a frame past its target draws, and what is left once it has ended.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/demo.h"
#include "demo/scene_sequencer.h"
#include "engine/scene/scene.h"
#include "tests/support/log_capture.h"
#include "tests/support/scene_rig.h"
#include "tools/zks/zks_writer.h"

namespace fs = std::filesystem;
using testing_support::SceneRig;

namespace {

// At 10 frames per second every loading step is 0.1 s: 3 frames of the loading
// scene, which runs at 30 frames per second over 16 frames.
constexpr int kLastFrame = 16;

// What one loading step left behind.
struct Step {
    float time = -1;  // the loading scene's time after the step (-1: it is gone)
    int presents = 0;
    int clears = 0;
    int status = 0;
};

class SequencerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("sequencer_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        zks::Scene loading;
        loading.kind = zks::SceneKind::Animated;
        loading.name = "Loading";
        loading.animation.lastFrame = kLastFrame;
        loading.animation.framesPerSecond = 30;
        ASSERT_TRUE(zks::SaveScene(loading, (dir_ / "loading.zks").string()));
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Steps 1 to 10 while the ten scenes load (by default none of their files
    // exists, so each script gets no scene), then lastStep.
    void Begin(int lastStep, const std::string& loadingFile = "loading.zks", const std::string& sceneFile = "none.zks") {
        std::string ini = "[Loading]\nscene=" + (dir_ / loadingFile).string() + "\nlayer=\nnumscenes=10\n";
        for (int n = 0; n < 10; ++n) ini += "step_scene" + std::to_string(n) + "=" + std::to_string(n + 1) + "\n";
        ini += "step_scene10=" + std::to_string(lastStep) + "\n[Scenes]\n";
        for (int n = 0; n < 10; ++n) ini += "scene" + std::to_string(n) + "_zksfile=" + (dir_ / sceneFile).string() + "\n";
        const fs::path path = dir_ / "vlm.ini";
        std::ofstream(path) << ini;
        std::snprintf(demo_.configPath, sizeof demo_.configPath, "%s", path.c_str());
        demo_.setClock({10});
        demo_.setLoadingSequence(&sequencer_);
        demo_.frame();  // begins the loading
        ASSERT_EQ(sequencer_.loadingScene != nullptr, loadingFile == "loading.zks");
    }
    // One frame of the dispatcher in its loading state.
    Step Frame() {
        auto& log = rig_.platform.log();
        const size_t mark = log.mark();
        demo_.frame();
        Step step;
        step.time = sequencer_.loadingScene ? sequencer_.loadingScene->time : -1;
        for (const auto& call : log.since(mark)) {
            calls.push_back(call);
            step.presents += call == "d3dx.UpdateFrame(0)";
            step.clears += call.rfind("Clear(", 0) == 0;
        }
        step.status = demo_.loadStatus;
        return step;
    }

    testing_support::LogCapture log_;
    std::vector<std::string> calls;  // every device call of the frames stepped so far
    SceneRig rig_;
    Demo demo_;
    SceneSequencer sequencer_;
    fs::path dir_;
};

}  // namespace

TEST_F(SequencerTest, TheAnimationHoldsAtEachStepAndEndsOnlyPastItsLastFrame) {
    Begin(20);
    // Each scene takes two frames (its load starts, then its script is made); the
    // animation could move 3 frames a step but waits at the scene's step.
    for (int scene = 0; scene < 10; ++scene)
        for (int frame = 0; frame < 2; ++frame) {
            const Step step = Frame();
            EXPECT_FLOAT_EQ(step.time, float(scene + 1)) << "scene " << scene << " frame " << frame;
            EXPECT_EQ(step.presents, 1);
            EXPECT_EQ(step.status, frame == 0 ? Demo::Loading : Demo::Idle);
        }
    EXPECT_EQ(demo_.scripts.size(), 10u);
    // Every script exists: the animation runs on towards step 20 at its own rate.
    // At time 16, its last frame, it has not passed it yet.
    for (float expected : {13.0f, 16.0f, 19.0f}) {
        const Step step = Frame();
        EXPECT_FLOAT_EQ(step.time, expected);
        EXPECT_EQ(step.status, Demo::Idle);
    }
    ZK3D::Scene* loading = sequencer_.loadingScene;
    ASSERT_NE(ZK3D::FindNode(rig_.world->scenes, "Loading"), nullptr);
    const Step last = Frame();
    EXPECT_EQ(last.status, Demo::LoadFinished);
    EXPECT_EQ(last.presents, 1);  // the last frame is still drawn
    EXPECT_EQ(demo_.frameState, 2);
    // The loading scene and the logo strip are gone with it.
    EXPECT_EQ(sequencer_.loadingScene, nullptr);
    EXPECT_EQ(sequencer_.loadingOverlay, nullptr);
    EXPECT_EQ(ZK3D::FindNode(rig_.world->scenes, "Loading"), nullptr);
    EXPECT_NE(ZK3D::CurrentScene(), loading);
}

TEST_F(SequencerTest, WithoutAStepPastTheLastFrameLoadingNeverEnds) {
    Begin(kLastFrame);
    for (int frame = 0; frame < 60; ++frame) Frame();
    EXPECT_EQ(demo_.scripts.size(), 10u);
    EXPECT_EQ(demo_.loadStatus, Demo::Idle);
    ASSERT_NE(sequencer_.loadingScene, nullptr);
    EXPECT_FLOAT_EQ(sequencer_.loadingScene->time, float(kLastFrame));
}

TEST_F(SequencerTest, AFramePastItsTargetDrawsNothing) {
    Begin(20);
    Frame();
    Frame();
    ASSERT_EQ(sequencer_.loadStep, 1);
    sequencer_.loadingScene->time = 2.5f;  // ahead of the step the next load sets
    const Step ahead = Frame();  // starts scene 1's load: target 2, the animation is at 2.5
    EXPECT_EQ(sequencer_.loadStep, 2);
    EXPECT_FLOAT_EQ(ahead.time, 2.5f);
    EXPECT_EQ(ahead.presents, 0);
    EXPECT_EQ(ahead.clears, 0);
    sequencer_.loadingScene->time = 2.0f;  // back at the target: drawn again, without moving on
    const Step at = Frame();
    EXPECT_FLOAT_EQ(at.time, 2.0f);
    EXPECT_EQ(at.clears, 1);
    EXPECT_EQ(at.presents, 1);
}

TEST_F(SequencerTest, WithoutALoadingSceneNoSceneIsDrawnWhileTheOthersLoad) {
    // A scene with a camera, loaded ten times; the loading scene is missing. The
    // first scene read becomes the world's current scene, but it is not the
    // loading scene: drawing it would read a scene the loader may still be filling.
    zks::Scene scene;
    scene.name = "Scene";
    zks::Camera camera;
    camera.name = "Cam";
    scene.cameras.push_back(camera);
    ASSERT_TRUE(zks::SaveScene(scene, (dir_ / "scene.zks").string()));
    Begin(20, "missing.zks", "scene.zks");
    for (int frame = 0; frame < 20; ++frame) Frame();
    ASSERT_EQ(demo_.scripts.size(), 10u);
    ASSERT_NE(ZK3D::CurrentScene(), nullptr);
    for (const std::string& call : calls) EXPECT_EQ(call.rfind("SetTransform(", 0), std::string::npos) << call;
}
