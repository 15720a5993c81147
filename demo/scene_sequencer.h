// The loading phase: plays the loading scene with its logo strip while one
// background thread after another reads the demo's scene files, creating each
// scene's script as soon as its file is read. When every script exists and the
// loading animation has played to its end, loading has finished.
//
// The animation advances in steps, one per scene whose loading has begun, so its
// progress follows the loading; it is timed by the tick count (virtual under a
// fixed clock). With waitForLoads set (fixed clocks: capture and benchmarks) the
// main thread waits for each load before it goes on, so runs are reproducible.
#pragma once

#include <cstdint>
#include <memory>

#include "demo/demo_host.h"
#include "demo/loader_thread.h"
#include "demo/loading_sequence.h"
#include "demo/scene_index.h"
#include "demo/screen_quad.h"

namespace ZK3D {
class Scene;
}

class SceneSequencer final : public LoadingSequence {
public:
    void beginLoading(DemoHost& demo) override;
    void loadingStep(DemoHost& demo) override;
    void release(DemoHost& demo) override;

    // Starts the background load of scene `index`; false (with loadStatus failed)
    // when its file name is blank or no thread could be started.
    bool startSceneLoad(DemoHost& demo, int index);
    // The next target frame of the loading animation (the current one when the
    // "step_scene%d" list has no larger value).
    int nextLoadStep(const DemoHost& demo) const;

    void setWaitForLoads(bool wait) { waitForLoads_ = wait; }

    // The state of the loading phase.
    std::unique_ptr<LoaderThread> loader;
    int loadedCount = 0;
    int loadStep = 0;
    uint32_t lastTick = 0;
    float overlayFade = 0;
    ZK3D::Scene* loadingScene = nullptr;
    std::unique_ptr<ScreenQuad> loadingOverlay;

private:
    void finishLoading(DemoHost& demo);
    bool waitForLoads_ = false;
};
