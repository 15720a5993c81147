// Benchmarks of the baked demo content (the data set the build bakes into
// build/show): how long LoadScene takes for each scene file the show plays,
// textures included, and for all ten in playing order; and how long one frame
// of each scene takes to draw through its first camera, at times spread over
// the scene (the scene's own drawing only: no script effects or layers).
//
// Everything runs on the OpenGL device (offscreen EGL; llvmpipe where there is
// no GPU). Each load goes into a fresh world, so every texture is read again.
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// for medians.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/render/context.h"
#include "engine/render/mode_selection.h"
#include "engine/scene/scene.h"
#include "engine/scene/scene_loader.h"
#include "engine/scene/world.h"
#include "platform/report.h"

using namespace ZK3D;

namespace {

const char* const kScenes[] = {"jungle", "cavern", "forest", "lake", "temple",
                               "space",  "earth",  "computer", "trex", "greetings"};

const char* Quiet(int, int32_t, const char*, va_list*) { return ""; }

// One offscreen context for the whole run, in the demo's data directory (the
// scenes name their images relative to it).
Context* GLContext() {
    static std::unique_ptr<Context> context = [] {
        LogSetCallback(Quiet, 1, 2, 3);
        if (chdir(VELMOOR_SHOW_DIR) != 0) return std::unique_ptr<Context>();
        ResetModeSelection();
        SelectMode(640, 480, 32, 0);
        return Context::Create(nullptr);
    }();
    return context.get();
}

std::string SceneFile(int i) { return std::string("data/") + kScenes[i] + ".zks"; }

void BM_LoadScene(benchmark::State& state) {
    Context* context = GLContext();
    if (!context) {
        state.SkipWithError("no EGL context, or no baked demo in " VELMOOR_SHOW_DIR);
        return;
    }
    const std::string file = SceneFile(int(state.range(0)));
    state.SetLabel(kScenes[state.range(0)]);
    for (auto _ : state) {
        std::unique_ptr<World> world = CreateWorld(context);
        if (!LoadScene(world.get(), file.c_str())) {
            state.SkipWithError(("cannot load " + file).c_str());
            break;
        }
        CompileWorld(world.get());
        state.PauseTiming();
        world.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadScene)->DenseRange(0, 9)->Unit(benchmark::kMillisecond);

// The loading phase's work: all ten files into one world, then one compile.
void BM_LoadAllScenes(benchmark::State& state) {
    Context* context = GLContext();
    if (!context) {
        state.SkipWithError("no EGL context, or no baked demo in " VELMOOR_SHOW_DIR);
        return;
    }
    for (auto _ : state) {
        std::unique_ptr<World> world = CreateWorld(context);
        for (int i = 0; i < 10; ++i)
            if (!LoadScene(world.get(), SceneFile(i).c_str())) state.SkipWithError("a scene did not load");
        CompileWorld(world.get());
        state.PauseTiming();
        world.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadAllScenes)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_DrawScene(benchmark::State& state) {
    Context* context = GLContext();
    if (!context) {
        state.SkipWithError("no EGL context, or no baked demo in " VELMOOR_SHOW_DIR);
        return;
    }
    const std::string file = SceneFile(int(state.range(0)));
    state.SetLabel(kScenes[state.range(0)]);
    std::unique_ptr<World> world = CreateWorld(context);
    Scene* scene = LoadScene(world.get(), file.c_str());
    if (!scene) {
        state.SkipWithError(("cannot load " + file).c_str());
        return;
    }
    CompileWorld(world.get());
    SetCurrentScene(scene);
    const float last = float(scene->animationDescriptor.lastFrame);
    int frame = 0;
    for (auto _ : state) {
        // 20 points in time across the scene, visited in turn.
        scene->SetTime(last * float(frame++ % 20) / 19.0f);
        context->Clear();
        scene->render();
        context->Present();
    }
}
BENCHMARK(BM_DrawScene)->DenseRange(0, 9)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
