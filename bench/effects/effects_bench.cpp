// Cost of the effects on the recording device with its log switched off, so what
// is measured is the effects' own work plus a little bookkeeping per device call:
// - a particle system of about 10 000 live particles (two emitters of 2500 a
//   second living 2 seconds, three operators: force, attractor, deflector),
//   advanced by 1/60 s and drawn each iteration; also the update step alone;
// - one 256-character line of text (one batch) and one animated reveal of it.
// Medians of 9 repetitions are what to compare; the rate counters are per
// second (particles or characters handled).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/effects/particle_system.h"
#include "engine/effects/zk_font.h"
#include "engine/effects/zk_overlay.h"
#include "engine/effects/zk_text_effect.h"
#include "engine/files/zk_file.h"
#include "platform/report.h"
#include "tests/support/scene_rig.h"

using namespace ZK3D;

namespace {

constexpr float kFrame = 1.0f / 60;

const char kSystem[] =
    "PS Bench spark.png 1 0.2 1 0.8 0.5 0.2 0.1 0 ZB\n"
    "VE Jet jet 30 2500 4 0 2\n"
    "SE Puff cloud 0 2500 1 0 2\n"
    "FO Gravity down 0 1 0\n"
    "AO Pull ball 1 0.5 0\n"
    "DO Floor floor 0 0.8 1\n";

template <class G>
G* AddGizmo(Scene* scene, const char* name, int32_t shape) {
    Gizmo* g = CreateGizmo(name, shape).release();
    AddNode(g, &scene->gizmos);
    return static_cast<G*>(g);
}

struct ParticleBench {
    ParticleBench() {
        LogSetCallback(nullptr, 1, 2, 3);
        rig.platform.log().enabled = false;
        Scene* scene = rig.scene;
        AddGizmo<VectorGizmo>(scene, "jet", Gizmo::kVector)->world = {{0, 0, 0}, {0, 1, 0}};
        AddGizmo<VectorGizmo>(scene, "down", Gizmo::kVector)->world = {{0, 0, 0}, {0, -9.8f, 0}};
        AddGizmo<SphereGizmo>(scene, "cloud", Gizmo::kSphere)->world = {{5, 2, 0}, 2};
        AddGizmo<SphereGizmo>(scene, "ball", Gizmo::kSphere)->world = {{0, 3, 0}, 4};
        auto* floor = AddGizmo<PlaneGizmo>(scene, "floor", Gizmo::kPlane);
        floor->world.size[0] = floor->world.size[1] = 20;
        floor->world.origin = {0, -2, 0};
        floor->world.axis[0] = {1, 0, 0};
        floor->world.axis[1] = {0, 0, 1};
        floor->world.axis[2] = {0, 1, 0};
        zkMemoryFile file(reinterpret_cast<const uint8_t*>(kSystem), sizeof kSystem - 1);
        system = LoadParticleSystems(scene, &file);
        system->compile();
        rig.context->SetViewMatrix(MatrixLookAt({0, 2, -20}, {0, 2, 0}, {0, 1, 0}));
        rig.context->SetProjectionMatrix(MatrixPerspective(1.0f, 0.75f, 1, 100));
        // Run to the steady state: as many births as deaths each frame.
        while (time < 3) Step();
    }
    void Step() {
        time += kFrame;
        system->SetTime(time);
        system->render();
    }
    testing_support::SceneRig rig;
    ParticleSystem* system = nullptr;
    float time = 0;
};

void BM_ParticlesUpdateAndDraw(benchmark::State& state) {
    ParticleBench bench;
    double particles = 0;
    for (auto _ : state) {
        bench.Step();
        particles += bench.system->particleCount;
    }
    state.counters["live"] = bench.system->particleCount;
    state.counters["particles"] = benchmark::Counter(particles, benchmark::Counter::kIsRate);
}

void BM_ParticlesUpdateOnly(benchmark::State& state) {
    ParticleBench bench;
    double particles = 0;
    for (auto _ : state) {
        bench.time += kFrame;
        bench.system->SetTime(bench.time);
        bench.system->Update();
        particles += bench.system->particleCount;
    }
    state.counters["live"] = bench.system->particleCount;
    state.counters["particles"] = benchmark::Counter(particles, benchmark::Counter::kIsRate);
}

struct TextBench {
    TextBench() {
        LogSetCallback(nullptr, 1, 2, 3);
        rig.platform.log().enabled = false;
        dir = std::filesystem::temp_directory_path() / ("zk_effects_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::string bytes(5124, '\0');
        const float height = 24;
        std::memcpy(&bytes[0], &height, 4);
        for (int c = 0; c < 256; ++c) {
            const float glyph[4] = {(c % 16) / 16.0f, (c / 16) / 16.0f, (c % 16 + 1) / 16.0f, (c / 16 + 1) / 16.0f};
            const float width = 8 + static_cast<float>(c % 7);
            std::memcpy(&bytes[4 + 16 * c], glyph, 16);
            std::memcpy(&bytes[4100 + 4 * c], &width, 4);
        }
        const std::string vft = (dir / "bench.vft").string();
        std::ofstream(vft, std::ios::binary) << bytes;
        font = zkCreateFont("Font", vft.c_str(), "bench.dds", 256);
        for (int i = 0; i < 256; ++i) line += static_cast<char>('A' + i % 26);
    }
    ~TextBench() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    testing_support::SceneRig rig;
    std::filesystem::path dir;
    std::unique_ptr<zkFont> font;
    std::string line;
};

void BM_Text256Characters(benchmark::State& state) {
    TextBench bench;
    auto text = zkCreateText(bench.font.get(), 10, 10, bench.line.c_str(), 1, 1, 1, 1);
    for (auto _ : state) text->Draw();
    state.counters["characters"] =
        benchmark::Counter(256.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_TextEffectReveal(benchmark::State& state) {
    TextBench bench;
    // 19 letters: while they arrive, each draws 12 echoes and itself (247 quads).
    auto effect = zkCreateTextEffect(bench.font.get(), 20, 400, bench.line.substr(0, 19).c_str(), 1, 1, 1, 1, 12, 1,
                                     0, 3);
    effect->SetAlpha(0.99f);
    for (auto _ : state) effect->Draw();
}

BENCHMARK(BM_ParticlesUpdateAndDraw)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_ParticlesUpdateOnly)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_Text256Characters)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_TextEffectReveal)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
