// The scene scripts on the recording device: which camera each chooses at which
// moment and under which held keys, the cavern's borrowing of the forest, when a
// script finishes, and the loader thread handing a scene over.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/demo.h"
#include "demo/loader_thread.h"
#include "demo/script_factory.h"
#include "engine/scene/camera.h"
#include "engine/scene/scene_loader.h"
#include "platform/window.h"
#include "tests/support/log_capture.h"
#include "tests/support/scene_rig.h"
#include "tools/zks/zks_mesh_builder.h"
#include "tools/zks/zks_writer.h"

namespace fs = std::filesystem;
using testing_support::SceneRig;

namespace {

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ClearKeyOverrides();
        config_ = fs::temp_directory_path() / ("scripts_" + std::to_string(::getpid()) + ".ini");
    }
    void TearDown() override {
        platform::ClearKeyOverrides();
        fs::remove(config_);
    }
    void Config(const std::string& text) { std::ofstream(config_) << text; }
    // Makes the script for index on the rig's scene, gives it cameras, loads and starts it at music time 0.
    std::unique_ptr<SceneScript> Start(int index, std::initializer_list<const char*> cameras) {
        for (const char* c : cameras) rig_.AddCamera(c, nullptr);
        rig_.scene->animationDescriptor = {0, 3000, 30};  // 100 s
        demo_.overrideMusicTime(0);
        auto script = createScript(index, config_.c_str(), rig_.scene);
        script->load();
        script->start();
        return script;
    }
    // The name of the camera the scene is viewed through after a frame at music time t.
    std::string CameraAt(SceneScript& script, float t) {
        demo_.overrideMusicTime(t);
        script.frame();
        return rig_.scene->currentCamera ? rig_.scene->currentCamera->name() : "(none)";
    }

    testing_support::LogCapture log_;
    SceneRig rig_;
    Demo demo_;
    fs::path config_;
};

}  // namespace

TEST_F(ScriptTest, LakeCutsThroughItsElevenCamerasAndKeysOverrideThem) {
    Config("[Lake]\npresent_seq1=2\npresent_seq2=4\nmetaball_left_start=6\nmetaball_left_reverse=8\n"
           "metaball_right_start=10\nmetaball_right_reverse=12\nmetaball_front_start=14\n"
           "metaball_front_reverse=16\nending_seq1=18\nending_seq2=20\nending_seq3=22\n");
    auto lake = Start(3, {"MainCam", "FarStrafeCam", "RotCam", "RotCamML01", "RotCamML02", "RotCamMR01",
                          "RotCamMR02", "StrafeCamFF01", "StrafeCamFF02", "LowRotCam", "RotCamMeta01"});
    EXPECT_EQ(CameraAt(*lake, 1), "MainCam");
    EXPECT_EQ(CameraAt(*lake, 5), "RotCam");
    EXPECT_EQ(CameraAt(*lake, 19), "RotCam");  // between "ending_seq1" and "ending_seq2"
    EXPECT_EQ(CameraAt(*lake, 21), "FarStrafeCam");
    EXPECT_EQ(CameraAt(*lake, 30), "MainCam");
    platform::SetKeyOverride(platform::VK_INSERT, true);
    EXPECT_EQ(CameraAt(*lake, 5), "RotCamMeta01");
    platform::SetKeyOverride(platform::VK_UP, true);
    EXPECT_EQ(CameraAt(*lake, 5), "MainCam");  // the up arrow comes first in the lake's key order
    platform::ClearKeyOverrides();
    EXPECT_EQ(CameraAt(*lake, 9), "RotCamML02");  // the table again once the keys are released
}

TEST_F(ScriptTest, TempleStartsOnMainCamAndCyclesThree) {
    Config("[Temple]\nchangecam_seq1=5\nchangecam_seq2=10\nchangecam_seq3=15\nchangecam_seq4=20\n"
           "changecam_seq5=25\nchangecam_seq6=30\n");
    auto temple = Start(4, {"LowCam", "UpCam", "MainCam"});
    EXPECT_STREQ(rig_.scene->currentCamera->name(), "MainCam");
    EXPECT_EQ(CameraAt(*temple, 12), "UpCam");
    EXPECT_EQ(CameraAt(*temple, 22), "LowCam");
    EXPECT_EQ(CameraAt(*temple, 30), "MainCam");
}

TEST_F(ScriptTest, ComputerSwitchesAtItsMomentAndTRexKeepsAKeyChoice) {
    Config("[Computer]\nmaincam_start=6\n[T-Rex]\nmaincam_start=6\n");
    auto computer = Start(7, {"IntroCam01", "MainCam"});
    EXPECT_EQ(CameraAt(*computer, 5.9f), "IntroCam01");
    EXPECT_EQ(CameraAt(*computer, 6), "MainCam");
    platform::SetKeyOverride(platform::VK_DOWN, true);
    EXPECT_EQ(CameraAt(*computer, 8), "IntroCam01");
    platform::ClearKeyOverrides();
    EXPECT_EQ(CameraAt(*computer, 8), "MainCam");

    auto trex = createScript(8, config_.c_str(), rig_.scene);
    trex->load();
    rig_.scene->currentCamera = static_cast<ZK3D::Camera*>(ZK3D::FindNode(rig_.scene->cameras, "IntroCam01"));
    trex->start();
    EXPECT_EQ(CameraAt(*trex, 30), "IntroCam01");  // no table: the scene keeps its camera
    platform::SetKeyOverride(platform::VK_UP, true);
    EXPECT_EQ(CameraAt(*trex, 2), "MainCam");
    platform::ClearKeyOverrides();
    EXPECT_EQ(CameraAt(*trex, 30), "MainCam");  // stays after the key is released
}

TEST_F(ScriptTest, JungleCutsBetweenItsIntroCameras) {
    Config("[Jungle]\ntransition_introcam1=4\ntransition_introcam2=8\ntransition_introcam3=12\n"
           "transition_introcam4=16\n");
    auto jungle = Start(0, {"IntroCam1", "IntroCam2", "MainCam"});
    EXPECT_EQ(CameraAt(*jungle, 3.9f), "IntroCam1");
    EXPECT_EQ(CameraAt(*jungle, 4), "IntroCam2");
    EXPECT_EQ(CameraAt(*jungle, 10), "MainCam");
    EXPECT_EQ(CameraAt(*jungle, 14), "IntroCam1");
    platform::SetKeyOverride(platform::VK_LEFT, true);
    EXPECT_EQ(CameraAt(*jungle, 20), "IntroCam1");
    platform::ClearKeyOverrides();
    EXPECT_EQ(CameraAt(*jungle, 20), "MainCam");
}

TEST_F(ScriptTest, AScriptFinishesInTheFirstFramePastItsScene) {
    Config("");
    auto computer = Start(7, {"MainCam"});
    rig_.scene->animationDescriptor = {0, 60, 30};  // 2 s
    demo_.overrideMusicTime(2.0f);
    computer->frame();
    EXPECT_EQ(computer->state(), SceneScript::Running);
    EXPECT_FLOAT_EQ(computer->duration(), 2.0f);
    demo_.overrideMusicTime(2.05f);
    computer->frame();
    EXPECT_EQ(computer->state(), SceneScript::Finished);
}

TEST_F(ScriptTest, TheCavernBorrowsTheForestAndShowsItInItsInterludes) {
    Config("[Cavern]\ntransition_forest1=10\nduration_forest1=5\ntransition_forest2=20\nduration_forest2=6\n");
    ZK3D::Scene* forest = ZK3D::CreateScene(rig_.world.get(), "Forest");
    forest->animationDescriptor = {0, 3000, 30};
    auto* forward = new ZK3D::Camera("ForwardCam");
    auto* strafe = new ZK3D::Camera("StrafeCam");
    ZK3D::AddNode(forward, &forest->cameras);
    ZK3D::AddNode(strafe, &forest->cameras);
    demo_.scripts.push_back(nullptr);
    demo_.scripts.push_back(nullptr);
    demo_.scripts.push_back(createScript(2, config_.c_str(), forest));
    auto cavern = Start(1, {"MainCam"});
    EXPECT_FLOAT_EQ(cavern->duration(), 100.0f + 5 + 6);

    demo_.overrideMusicTime(12);
    cavern->frame();
    EXPECT_EQ(ZK3D::CurrentScene(), forest);
    EXPECT_FLOAT_EQ(forest->time, 2 * 30);
    EXPECT_EQ(forest->currentCamera, forward);

    demo_.overrideMusicTime(18);
    cavern->frame();
    EXPECT_EQ(ZK3D::CurrentScene(), rig_.scene);
    EXPECT_FLOAT_EQ(rig_.scene->time, 13 * 30);

    demo_.overrideMusicTime(27);
    cavern->frame();
    EXPECT_FLOAT_EQ(forest->time, 7 * 30);
    EXPECT_EQ(forest->currentCamera, strafe);

    demo_.overrideMusicTime(40);
    cavern->frame();
    EXPECT_FLOAT_EQ(rig_.scene->time, 29 * 30);
    EXPECT_EQ(cavern->state(), SceneScript::Running);
}

TEST_F(ScriptTest, WithoutAForestTheCavernPlaysStraightThrough) {
    Config("[Cavern]\ntransition_forest1=10\nduration_forest1=5\ntransition_forest2=20\nduration_forest2=6\n");
    auto cavern = Start(1, {"MainCam"});
    EXPECT_FLOAT_EQ(cavern->duration(), 100.0f);
    demo_.overrideMusicTime(12);
    cavern->frame();
    EXPECT_EQ(ZK3D::CurrentScene(), rig_.scene);
    EXPECT_FLOAT_EQ(rig_.scene->time, 12 * 30);
}

TEST(LoaderThread, PublishesItsSceneBeforeItSaysFinished) {
    testing_support::LogCapture log;
    SceneRig rig;
    // A scene big enough to take a while to read.
    zks::Scene big;
    big.name = "Big";
    for (int i = 0; i < 40; ++i) {
        zks::Mesh m = zks::SphereMesh(1, 64, 32);
        m.name = "Ball" + std::to_string(i);
        big.meshes.push_back(m);
    }
    const fs::path path = fs::temp_directory_path() / ("big_" + std::to_string(::getpid()) + ".zks");
    ASSERT_TRUE(zks::SaveScene(big, path.string()));

    LoaderThread loader(rig.world.get(), path.c_str());
    EXPECT_EQ(loader.state(), Thread::Created);
    EXPECT_EQ(loader.scene(), nullptr);
    ASSERT_TRUE(loader.start());
    int polls = 0;
    while (loader.state() != Thread::Finished) {
        ++polls;  // the main thread keeps going while the file is read
        std::this_thread::yield();
    }
    ASSERT_NE(loader.scene(), nullptr);
    EXPECT_STREQ(loader.scene()->name(), "Big");
    EXPECT_EQ(ZK3D::FindNode(loader.scene()->meshes, "Ball39") != nullptr, true);
    EXPECT_GT(polls, 0);
    fs::remove(path);

    LoaderThread missing(rig.world.get(), "/nonexistent/scene.zks");
    ASSERT_TRUE(missing.start());
    while (missing.state() != Thread::Finished) std::this_thread::yield();
    EXPECT_EQ(missing.scene(), nullptr);
}
