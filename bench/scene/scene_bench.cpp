// CPU cost of one scene frame (culling, animation, update and draw walks, and the
// back-to-front pass) on the recording device with its log switched off, so what
// is measured is the engine's own work plus a map update per device call.
//
// The scene: 2000 hierarchy nodes under 20 culling spheres (4 of them outside the
// view), 200 animated position or rotation tracks of 10 keys, a camera, a light
// and 1000 placed meshes of 2 triangles; optionally 5000 transparent faces more
// (50 nodes placing a 100-face mesh with a sorted material).
//
// And the same frame for each scene of the baked show (loaded from build/show
// as the demo loads it, through its first camera, at times spread over its
// animation): the engine's own cost of the real content, which must stay far
// below what the rasteriser needs for the same frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>

#include "engine/scene/scene_loader.h"

#include "platform/report.h"
#include "tests/support/scene_rig.h"

using namespace ZK3D;

namespace {

struct BenchScene {
    explicit BenchScene(bool transparent) {
        rig.platform.log().enabled = false;
        rig.AddMaterial("Solid");
        rig.AddMaterial("Glass", flags::WithBlend(kDefaultRenderFlags | flags::kSorted, flags::kBlendTransparent));
        for (int m = 0; m < 10; ++m) rig.AddMesh(("Mesh" + std::to_string(m)).c_str(), "Solid", 2);
        rig.AddMesh("Pane", "Glass", 100);
        rig.AddCamera("Cam", "Root");
        rig.AddLight("Lamp", nullptr);

        int nodes = 0, tracks = 0;
        auto place = [&](const std::string& parent, const std::string& name, Vector3 t) {
            HierarchyNode* n = rig.Place(parent.c_str(), name.c_str(), t);
            ++nodes;
            return n;
        };
        place("", "Root", {});
        place("Root", "Cam", {0, -40, 5});
        place("Root", "Lamp", {0, 0, 20});
        for (int s = 0; s < 20; ++s) {
            const std::string sphere = "Sphere" + std::to_string(s);
            rig.AddSphere(sphere.c_str(), 6, true);
            // Four spheres far behind the camera: their subtrees are culled.
            const float y = s < 16 ? static_cast<float>(s % 4) * 10 : -500;
            place("Root", sphere, {static_cast<float>(s / 4) * 10 - 20, y, 0});
            for (int k = 0; k < 98; ++k) {
                // Mesh nodes carry a mesh's name; the others are empty groups.
                const std::string name = k % 2 ? "Mesh" + std::to_string(k % 10) : "G" + std::to_string(s) + "_" + std::to_string(k);
                HierarchyNode* n = place(sphere, name, {static_cast<float>(k % 7), static_cast<float>(k % 5), 0});
                if (tracks < 200 && k % 10 == 0) {
                    ++tracks;
                    const bool rotation = tracks % 2;
                    auto track = KeyTrack::Create(10, rotation ? KeyTrack::kRotation : KeyTrack::kPosition,
                                                  rotation ? KeyTrack::kLinear : KeyTrack::kHermiteComputed);
                    for (int key = 0; key < 10; ++key) {
                        float* p = track->Key(key);
                        p[0] = static_cast<float>(key * 30);
                        if (rotation) {
                            p[3] = std::sin(0.1f * static_cast<float>(key));
                            p[4] = std::cos(0.1f * static_cast<float>(key));
                        } else {
                            p[1] = static_cast<float>(key);
                        }
                    }
                    track->ComputeTangents();
                    (rotation ? n->animation->rotationTrack : n->animation->positionTrack) = std::move(track);
                }
            }
        }
        while (nodes < 2000) place("Root", "Extra" + std::to_string(nodes), {});
        if (transparent)
            for (int p = 0; p < 50; ++p) place("Root", "Pane", {static_cast<float>(p % 10), static_cast<float>(p / 10), 1});
        CompileWorld(rig.world.get());
        rig.scene->currentCamera = rig.scene->cameras;
    }
    testing_support::SceneRig rig;
};

void Frame(benchmark::State& state, bool transparent) {
    LogSetCallback(nullptr, 1, 2, 3);
    BenchScene bench(transparent);
    float time = 0;
    bench.rig.scene->render();  // the first frame gives the camera its view for culling
    for (auto _ : state) {
        time = time >= 270 ? 0 : time + 1.5f;
        bench.rig.scene->SetTime(time);
        bench.rig.scene->render();
    }
    state.counters["sorted_faces"] = static_cast<double>(bench.rig.world->sorter.size());
}

void BM_SceneFrame(benchmark::State& state) { Frame(state, false); }
void BM_SceneFrameWithTransparentFaces(benchmark::State& state) { Frame(state, true); }

// One frame of a baked scene on the recording device.
void BM_BakedSceneFrame(benchmark::State& state, const char* file) {
    LogSetCallback(nullptr, 1, 2, 3);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::error_code error;
    std::filesystem::current_path(VELMOOR_SHOW_DIR, error);  // scenes name their images relative to it
    testing_support::SceneRig rig;
    rig.platform.log().enabled = false;
    Scene* scene = error ? nullptr : LoadScene(rig.world.get(), file);
    std::filesystem::current_path(previous, error);
    if (!scene) {
        state.SkipWithError("the baked show is missing: build the demo_data target");
        return;
    }
    CompileWorld(rig.world.get());
    SetCurrentScene(scene);
    scene->currentCamera = scene->cameras;
    const float last = static_cast<float>(std::max(scene->animationDescriptor.lastFrame, 1));
    float frame = 0;
    scene->render();
    for (auto _ : state) {
        frame = frame + last / 97 > last ? 0 : frame + last / 97;
        scene->SetTime(frame);
        scene->render();
    }
}

BENCHMARK_CAPTURE(BM_BakedSceneFrame, jungle, "data/jungle.zks")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BakedSceneFrame, cavern, "data/cavern.zks")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BakedSceneFrame, forest, "data/forest.zks")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BakedSceneFrame, lake, "data/lake.zks")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BakedSceneFrame, temple, "data/temple.zks")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BakedSceneFrame, space, "data/space.zks")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BakedSceneFrame, earth, "data/earth.zks")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BakedSceneFrame, computer, "data/computer.zks")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BakedSceneFrame, trex, "data/trex.zks")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BakedSceneFrame, greetings, "data/greetings.zks")->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_SceneFrame)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_SceneFrameWithTransparentFaces)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
