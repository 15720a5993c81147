// How long zkimport takes to turn a file into a scene (reading through the
// library, conversion, texture re-encoding; not the writing), and how big the
// scene and its textures come out, for the largest models of Debian's
// assimp-testmodels and for generated OBJ grids of 100,000 and 1,000,000
// triangles (the grids split into meshes of at most 65,535 vertices).
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// for medians.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/import/importer.h"
#include "tools/zks/zks_writer.h"

namespace {

namespace fs = std::filesystem;

// A square grid of cells × cells quads (two triangles each) as an OBJ file.
fs::path Grid(int cells) {
    const fs::path path = fs::temp_directory_path() / ("import_bench_grid" + std::to_string(cells) + ".obj");
    if (fs::exists(path)) return path;
    std::ofstream out(path);
    for (int y = 0; y <= cells; ++y)
        for (int x = 0; x <= cells; ++x) out << "v " << x << ' ' << y << ' ' << ((x * 7 + y * 3) % 5) * 0.1 << '\n';
    for (int y = 0; y < cells; ++y)
        for (int x = 0; x < cells; ++x) {
            const int a = y * (cells + 1) + x + 1, b = a + 1, c = a + cells + 1, d = c + 1;
            out << "f " << a << ' ' << b << ' ' << d << "\nf " << a << ' ' << d << ' ' << c << '\n';
        }
    return path;
}

void Import(benchmark::State& state, const fs::path& path) {
    zkimport::Result result;
    std::string error;
    for (auto _ : state) {
        if (!zkimport::Import(path.string(), {}, &result, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    std::vector<uint8_t> scene;
    zks::WriteScene(result.scene, scene);
    size_t textures = 0, triangles = 0;
    for (const zkimport::TextureFile& t : result.textures) textures += t.bytes.size();
    for (const zks::Mesh& m : result.scene.meshes) triangles += m.faces.size();
    state.counters["in_bytes"] = static_cast<double>(fs::file_size(path));
    state.counters["zks_bytes"] = static_cast<double>(scene.size());
    state.counters["texture_bytes"] = static_cast<double>(textures);
    state.counters["meshes"] = static_cast<double>(result.scene.meshes.size());
    state.counters["triangles"] = static_cast<double>(triangles);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> models;
    const fs::path root = "/usr/share/assimp/models";
    for (const char* folder : {"glTF2", "OBJ", "3DS"}) {
        if (!fs::is_directory(root / folder)) continue;
        for (const auto& e : fs::recursive_directory_iterator(root / folder)) {
            const std::string ext = e.path().extension().string();
            if (e.is_regular_file() && (ext == ".glb" || ext == ".gltf" || ext == ".obj" || ext == ".3ds" || ext == ".3DS"))
                models.push_back(e.path());
        }
    }
    std::sort(models.begin(), models.end(), [](const fs::path& a, const fs::path& b) { return fs::file_size(a) > fs::file_size(b); });
    if (models.size() > 5) models.resize(5);
    models.push_back(Grid(224));  // 100,352 triangles
    models.push_back(Grid(708));  // 1,002,528 triangles
    for (const fs::path& m : models) {
        benchmark::RegisterBenchmark(("Import/" + m.parent_path().filename().string() + "/" + m.filename().string()).c_str(),
                                     [m](benchmark::State& s) { Import(s, m); })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
