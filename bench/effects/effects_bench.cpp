// Cost of the effects, on two devices:
// - the recording device with its log switched off: the effects' own CPU work
//   plus a little bookkeeping per device call;
// - the OpenGL device on Mesa's software rasteriser (llvmpipe), offscreen at
//   640 x 480: whole frames (clear, draw, finish), skipped where no EGL context
//   can be made.
// What is measured: a particle system of about 10 000 live particles (two
// emitters of 2500 a second living 2 seconds, three operators: force, attractor,
// deflector) advanced by 1/60 s and drawn each iteration, and the update step
// alone; one 256-character line of text (one batch) and one animated reveal.
// Medians of 9 repetitions are what to compare; the rate counters are per
// second (particles or characters handled); the GL ones count wall-clock time,
// since the rasteriser works on threads of its own.
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
#include "engine/render/mode_selection.h"
#include "engine/render/texture.h"
#include "platform/report.h"
#include "engine/scene/world.h"
#include "tests/support/recording_device.h"

using namespace ZK3D;

namespace {

constexpr float kFrame = 1.0f / 60;

const char kSystem[] =
    "PS Bench spark.png 0.3 0.05 1 0.8 0.5 0.2 0.1 0 ZB\n"
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

// A context, world and scene on the recording device or on the GL device.
struct Stage {
    explicit Stage(bool gl) {
        LogSetCallback(nullptr, 1, 2, 3);
        ResetModeSelection();
        if (gl) {
            SelectMode(640, 480, 32, 0);
            SetSoftwareRasterizer();
            context = Context::Create(nullptr);
        } else {
            recording = std::make_unique<testing_support::RecordingPlatform>();
            recording->log().enabled = false;
            context = recording->CreateContext();
        }
        if (!context) return;
        world = CreateWorld(context.get());
        scene = CreateScene(world.get(), "Bench");
    }
    ~Stage() {
        world.reset();
        context.reset();
        ResetModeSelection();
    }
    // A white 8 x 8 texture of the world, made in device memory.
    Texture* White(const char* name) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
        desc.dwWidth = desc.dwHeight = 8;
        desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
        desc.ddpfPixelFormat = {32, DDPF_RGB | DDPF_ALPHAPIXELS, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u};
        IDirectDrawSurface7* surface = nullptr;
        context->ddraw()->CreateSurface(&desc, &surface, nullptr);
        DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        if (surface && surface->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) == DD_OK) {
            for (int y = 0; y < 8; ++y) std::memset(static_cast<uint8_t*>(locked.lpSurface) + y * locked.lPitch, 0xFF, 32);
            surface->Unlock(nullptr);
        }
        Texture* texture = GetTexture(name);
        texture->AdoptSurface(surface);
        return texture;
    }
    // Frames on the GL device are cleared first and finished (Present waits for
    // the rasteriser offscreen) so that each iteration pays for its pixels.
    void BeginFrame() {
        if (recording) return;
        context->Clear();
        context->device()->BeginScene();
    }
    void EndFrame() {
        if (recording) return;
        context->device()->EndScene();
        context->Present();
    }

    std::unique_ptr<testing_support::RecordingPlatform> recording;
    std::unique_ptr<Context> context;
    std::unique_ptr<World> world;
    Scene* scene = nullptr;
};

struct ParticleBench {
    explicit ParticleBench(bool gl) : stage(gl) {
        if (!stage.context) return;
        Scene* scene = stage.scene;
        stage.White("spark.png");
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
        stage.context->SetViewMatrix(MatrixLookAt({0, 2, -20}, {0, 2, 0}, {0, 1, 0}));
        stage.context->SetProjectionMatrix(MatrixPerspective(1.0f, 0.75f, 1, 100));
        // Run to the steady state: as many births as deaths each frame.
        while (time < 3) Step();
    }
    void Step() {
        time += kFrame;
        system->SetTime(time);
        stage.BeginFrame();
        system->render();
        stage.EndFrame();
    }
    Stage stage;
    ParticleSystem* system = nullptr;
    float time = 0;
};

void ParticlesUpdateAndDraw(benchmark::State& state, bool gl) {
    ParticleBench bench(gl);
    if (!bench.system) {
        state.SkipWithError("no EGL context could be made here");
        return;
    }
    double particles = 0;
    for (auto _ : state) {
        bench.Step();
        particles += bench.system->particleCount;
    }
    state.counters["live"] = bench.system->particleCount;
    state.counters["particles"] = benchmark::Counter(particles, benchmark::Counter::kIsRate);
}

void BM_ParticlesUpdateAndDraw(benchmark::State& state) { ParticlesUpdateAndDraw(state, false); }
void BM_ParticlesUpdateAndDrawGL(benchmark::State& state) { ParticlesUpdateAndDraw(state, true); }

void BM_ParticlesUpdateOnly(benchmark::State& state) {
    ParticleBench bench(false);
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
    explicit TextBench(bool gl) : stage(gl) {
        if (!stage.context) return;
        stage.White("bench.dds");
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
    Stage stage;
    std::filesystem::path dir;
    std::unique_ptr<zkFont> font;
    std::string line;
};

void Text256Characters(benchmark::State& state, bool gl) {
    TextBench bench(gl);
    if (!bench.font) {
        state.SkipWithError("no EGL context could be made here");
        return;
    }
    auto text = zkCreateText(bench.font.get(), 10, 10, bench.line.c_str(), 1, 1, 1, 1);
    for (auto _ : state) {
        bench.stage.BeginFrame();
        text->Draw();
        bench.stage.EndFrame();
    }
    state.counters["characters"] =
        benchmark::Counter(256.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Text256Characters(benchmark::State& state) { Text256Characters(state, false); }
void BM_Text256CharactersGL(benchmark::State& state) { Text256Characters(state, true); }

void BM_TextEffectReveal(benchmark::State& state) {
    TextBench bench(false);
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
BENCHMARK(BM_ParticlesUpdateAndDrawGL)->UseRealTime()->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_Text256CharactersGL)->UseRealTime()->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
