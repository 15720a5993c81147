// Loading benchmarks: a written scene file of 200 000 triangles, 500 tree nodes
// and 300 animated tracks read by LoadScene (ms per load and MB/s of file), and
// 1024 x 1024 textures loaded from JPEG and from DDS (DXT1 and A8R8G8B8).
//
// The scene loads into a world on the recording device with its log off, so
// what is measured is the reader and the mesh, material and tree construction;
// each loaded scene is removed again outside the timing. Textures load through
// the OpenGL device (offscreen EGL) along the whole path a texture takes; the
// DDS reader is also timed alone. Files are written to a temporary directory at
// start-up. Run with --benchmark_repetitions=5
// --benchmark_report_aggregates_only=true for medians.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/render/context.h"
#include "engine/render/material.h"
#include "engine/render/mesh.h"
#include "engine/render/mode_selection.h"
#include "engine/render/texture.h"
#include "engine/render/texture_dds.h"
#include "engine/render/texture_loader.h"
#include "engine/scene/scene_loader.h"
#include "engine/scene/world.h"
#include "tests/support/recording_device.h"
#include "tools/image/dds_writer.h"
#include "tools/image/jpeg_writer.h"
#include "tools/image/noise.h"
#include "tools/zks/zks_mesh_builder.h"
#include "tools/zks/zks_writer.h"

namespace fs = std::filesystem;
using namespace ZK3D;

namespace {

const fs::path& WorkDir() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("loader_bench_" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// 100 grid meshes of 2000 triangles, 500 nodes (100 placing the meshes, 400
// groups), 300 of them with a 20-key position track (computed tangents).
std::string BigScene() {
    static const std::string path = [] {
        zks::Scene s;
        s.kind = zks::SceneKind::Animated;
        s.name = "Big";
        s.animation = {0, 600, 30};
        zks::Material m;
        m.name = "Ground";
        s.materials.push_back(m);
        s.nodes.push_back({});
        s.nodes.back().name = "Root";
        for (int i = 0; i < 100; ++i) {
            zks::Mesh mesh = zks::GridMesh(10, 10, 40, 25);
            mesh.name = "Mesh" + std::to_string(i);
            mesh.material = "Ground";
            s.meshes.push_back(std::move(mesh));
        }
        // Root, 20 groups under it, 379 groups and the 100 meshes under those.
        std::vector<std::pair<std::string, std::string>> tree;
        for (int i = 0; i < 399; ++i)
            tree.emplace_back("Group" + std::to_string(i), i < 20 ? "Root" : "Group" + std::to_string(i % 20));
        for (int i = 0; i < 100; ++i) tree.emplace_back("Mesh" + std::to_string(i), "Group" + std::to_string(i % 20));
        int tracks = 0;
        for (auto& [name, parent] : tree) {
            zks::Node n;
            n.name = name;
            n.parent = parent;
            if (tracks++ < 300) {
                n.controller = zks::Controller::PRS;
                zks::KeyTrack t;
                t.interpolation = zks::Interpolation::HermiteAuto;
                for (int k = 0; k < 20; ++k)
                    t.keys.push_back(zks::PositionKey(30.0f * k, {std::sin(0.3f * k), 0, std::cos(0.3f * k)}));
                n.position = t;
            }
            s.nodes.push_back(std::move(n));
        }
        const std::string p = (WorkDir() / "big.zks").string();
        std::string error;
        if (!zks::SaveScene(s, p, &error)) std::fprintf(stderr, "loader_bench: %s\n", error.c_str());
        return p;
    }();
    return path;
}

void BM_LoadScene(benchmark::State& state) {
    const std::string path = BigScene();
    testing_support::RecordingPlatform platform;
    platform.log().enabled = false;
    std::unique_ptr<Context> context = platform.CreateContext();
    std::unique_ptr<World> world = CreateWorld(context.get());
    int triangles = 0;
    for (auto _ : state) {
        Scene* scene = LoadScene(world.get(), path.c_str());
        state.PauseTiming();
        if (!scene) {
            state.SkipWithError("the scene did not load");
            break;
        }
        triangles = 0;
        for (Node* n = scene->meshes; n; n = n->next) triangles += static_cast<Mesh*>(n)->faceCount();
        RemoveScene(world.get(), scene);
        FreeNodeList(&world->materials);
        state.ResumeTiming();
    }
    const auto bytes = static_cast<int64_t>(fs::file_size(path));
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["triangles"] = triangles;
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_LoadScene)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- textures

image::Image Picture() {
    return image::Generate(1024, 1024, [](float u, float v) {
        const float n = image::Fbm(image::NoiseKind::Gradient, u * 8, v * 8, 1, {}, 6);
        return image::ColorF{n, 0.5f * (u + n), v, 1};
    });
}

std::string TextureFile(const std::string& name) {
    const std::string p = (WorkDir() / name).string();
    if (fs::exists(p)) return p;
    const image::Image img = Picture();
    std::string error;
    bool ok = false;
    if (name == "big.jpg")
        ok = image::SaveJpeg(img, {}, p, &error);
    else
        ok = image::SaveDds(img, {.format = name == "dxt1.dds" ? image::DdsFormat::DXT1 : image::DdsFormat::A8R8G8B8},
                            p, &error);
    if (!ok) std::fprintf(stderr, "loader_bench: %s\n", error.c_str());
    return p;
}

// One offscreen GL context for all texture benchmarks.
Context* GLContext() {
    static std::unique_ptr<Context> context = [] {
        ResetModeSelection();
        SelectMode(640, 480, 32, 0);
        return Context::Create(nullptr);
    }();
    return context.get();
}

void LoadTexture(benchmark::State& state, const std::string& name) {
    const std::string path = TextureFile(name);
    Context* context = GLContext();
    if (!context) {
        state.SkipWithError("no EGL context: textures cannot be created");
        return;
    }
    for (auto _ : state) {
        IDirectDrawSurface7* surface = nullptr;
        LoadTextureImage(context, "T", path.c_str(), &surface);
        if (!surface) {
            state.SkipWithError("the texture did not load");
            break;
        }
        surface->Release();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(path)));
}

void BM_LoadJpeg(benchmark::State& state) { LoadTexture(state, "big.jpg"); }
void BM_LoadDdsDxt1(benchmark::State& state) { LoadTexture(state, "dxt1.dds"); }
void BM_LoadDdsA8R8G8B8(benchmark::State& state) { LoadTexture(state, "argb.dds"); }
BENCHMARK(BM_LoadJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDdsDxt1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDdsA8R8G8B8)->Unit(benchmark::kMillisecond);

// The engine's DDS reader alone, without the utility library's load before it.
void ReadDdsOnly(benchmark::State& state, const std::string& name) {
    const std::string path = TextureFile(name);
    Context* context = GLContext();
    if (!context) {
        state.SkipWithError("no EGL context: textures cannot be created");
        return;
    }
    for (auto _ : state) {
        TextureImage image;
        ReadDdsTexture(context->ddraw(), context->textureFormats(), path.c_str(), &image);
        if (!image.surface) {
            state.SkipWithError("the texture did not load");
            break;
        }
        image.surface->Release();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(path)));
}
void BM_ReadDdsDxt1(benchmark::State& state) { ReadDdsOnly(state, "dxt1.dds"); }
void BM_ReadDdsA8R8G8B8(benchmark::State& state) { ReadDdsOnly(state, "argb.dds"); }
BENCHMARK(BM_ReadDdsDxt1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDdsA8R8G8B8)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(WorkDir(), ignored);
    return 0;
}
