#include "demo/scene_sequencer.h"

#include <cstdio>
#include <vector>

#include "demo/script_factory.h"
#include "demo/timing.h"
#include "engine/render/context.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_loader.h"
#include "engine/scene/world.h"
#include "platform/report.h"
#include "platform/strings.h"

using namespace ZK3D;

void SceneSequencer::beginLoading(DemoHost& demo) {
    demo.config.setPath(demo.configPath);
    char sceneName[IniFile::kValueBufferSize], layerName[IniFile::kValueBufferSize];
    demo.config.getString("Loading", "scene", sceneName, "");
    demo.config.getString("Loading", "layer", layerName, "");
    demo.config.getInt("Loading", "numscenes", demo.sceneCount, 0);

    loadingScene = LoadScene(CurrentWorld(), sceneName);
    if (loadingScene) {
        SetCurrentScene(loadingScene);
        CompileWorld(CurrentWorld());
    }
    loadingOverlay = std::make_unique<ScreenQuad>(GetTexture(layerName), 192.0f, 368.0f, 448.0f, 400.0f);

    // Under a fixed clock each load is waited for, so the run does not depend on
    // how fast the loader thread happens to be.
    waitForLoads_ = waitForLoads_ || demo.fixedClock();
    loadStep = 0;
    overlayFade = 0;
    loadedCount = 0;
    lastTick = demo.tickCount();
    loader.reset();

    // The dispatcher plays scripts 0 to 9 by index: any other count cannot play.
    if (demo.sceneCount != kDemoSceneCount) {
        LogError("[Load] \"numscenes\" is %d : the demo plays exactly %d scenes", demo.sceneCount, kDemoSceneCount);
        demo.loadStatus = DemoHost::LoadFailed;
    }
}

bool SceneSequencer::startSceneLoad(DemoHost& demo, int index) {
    loader.reset();  // joins the previous, finished job
    char key[32], fileName[IniFile::kValueBufferSize];
    std::snprintf(key, sizeof key, "scene%d_zksfile", index);
    demo.config.getString("Scenes", key, fileName, "");
    if (IsBlank(fileName)) {
        demo.loadStatus = DemoHost::LoadFailed;
        return false;
    }
    loader = std::make_unique<LoaderThread>(CurrentWorld(), fileName);
    if (!loader->start()) {
        LogError("[Load] Cannot start the loading of \"%s\"", fileName);
        loader.reset();
        demo.loadStatus = DemoHost::LoadFailed;
        return false;
    }
    return true;
}

int SceneSequencer::nextLoadStep(const DemoHost& demo) const {
    // The "step_scene%d" keys, up to the first missing (0) one, are the list of steps.
    std::vector<int> steps;
    for (int n = 0;; ++n) {
        char key[32];
        std::snprintf(key, sizeof key, "step_scene%d", n);
        int step = 0;
        demo.config.getInt("Loading", key, step, 0);
        if (step == 0) break;
        steps.push_back(step);
    }
    return timing::NextLoadStep(steps, loadStep);
}

void SceneSequencer::loadingStep(DemoHost& demo) {
    if (demo.loadStatus == DemoHost::LoadFailed) return;
    const uint32_t now = demo.tickCount();
    const float dt = float(timing::TickDelta(now, lastTick)) / 1000.0f;
    lastTick = now;

    if (loadedCount < demo.sceneCount) {
        if (demo.loadStatus == DemoHost::Idle) {
            if (startSceneLoad(demo, loadedCount)) {
                demo.loadStatus = DemoHost::Loading;
                loadStep = nextLoadStep(demo);
            }
        } else if (demo.loadStatus == DemoHost::Loading && loader) {
            if (waitForLoads_) loader->wait();
            if (loader->state() == Thread::Finished) {
                Scene* scene = loader->scene();
                std::unique_ptr<SceneScript> script = createScript(loadedCount, demo.configPath, scene);
                if (script) script->load();
                demo.scripts.push_back(std::move(script));
                demo.loadStatus = DemoHost::Idle;
                ++loadedCount;
            }
        }
    } else {
        loadStep = nextLoadStep(demo);
        if (Context* context = CurrentContext()) context->SetClearColor({0.01f, 0.01f, 0.01f, 0});
        // Without a loading scene there is no animation to wait for.
        if (!loadingScene || float(loadingScene->animationDescriptor.lastFrame) < loadingScene->time)
            demo.loadStatus = DemoHost::LoadFinished;
    }
    if (demo.loadStatus == DemoHost::LoadFailed) return;

    Context* context = CurrentContext();
    const auto advance =
        loadingScene ? timing::LoadingAdvance(float(loadStep), loadingScene->time,
                                              float(loadingScene->animationDescriptor.framesPerSecond), dt)
                     : std::optional<float>(0.0f);
    if (advance && context) {
        if (loadingScene) loadingScene->time += *advance;
        context->Clear();
        overlayFade += dt;
        if (overlayFade < 1) loadingOverlay->setAlpha(overlayFade);
        if (loadingScene) {
            if (const auto wipe = timing::LoadingWipe(loadingScene->TimeLeft())) loadingOverlay->setWipe(*wipe);
        }
        // The loading scene itself, not the world's current scene: without a
        // loading scene, the first scene of the world may be the one still being read.
        if (loadingScene) loadingScene->render(nullptr);
        loadingOverlay->draw();
        context->Present();
    }
    if (demo.loadStatus == DemoHost::LoadFinished) finishLoading(demo);
}

void SceneSequencer::finishLoading(DemoHost&) {
    loadingOverlay.reset();
    if (loadingScene) {
        RemoveScene(CurrentWorld(), loadingScene);
        loadingScene = nullptr;
    }
    CompileWorld(CurrentWorld());
}

void SceneSequencer::release(DemoHost&) {
    loader.reset();
    loadingOverlay.reset();
    // The loading scene belongs to the world, which releases it with the others.
    loadingScene = nullptr;
}
