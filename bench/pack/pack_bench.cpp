// Pack benchmarks: compression ratio against gzip -9, JCALG1 decode speed, the
// time to build a pack, and lookups through a current pack.
//
// The corpus is a directory tree given with --corpus=DIR (or ZKPACK_BENCH_CORPUS);
// without one it is the repository's own sources plus two generated files, a
// 1 MiB texture-like RGBA buffer and a scene-like float array, until the demo's
// content exists to run it on. Files are grouped by kind (text, image, scene,
// other) and each group is measured on its own as well as the whole.
//
// The ratio table (levels 6 and 9) is printed once before the timed runs; it does
// not depend on timing. Compression is timed at levels 1 and 6. gzip is run as a process on each file (gzip -9 -n, so its size counts its
// 18-byte header and trailer but no file name); without gzip the column is empty.
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true for
// medians.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/files/jcalg1.h"
#include "engine/files/pack.h"
#include "platform/report.h"
#include "tools/zkpack/jcalg1_encoder.h"
#include "tools/zkpack/pack_writer.h"

namespace fs = std::filesystem;

namespace {

struct CorpusFile {
    std::string name;
    std::string group;
    std::vector<uint8_t> bytes;
};

std::string GroupOf(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const char* e : {".cpp", ".h", ".txt", ".ini", ".lfd", ".pfd", ".md", ".cmake", ".vft"})
        if (ext == e) return "text";
    for (const char* e : {".dds", ".jpg", ".jpeg", ".png", ".tga", ".bmp", ".rgba"})
        if (ext == e) return "image";
    for (const char* e : {".zks", ".f32"})
        if (ext == e) return "scene";
    return "other";
}

// Smooth gradients and soft shapes with a little noise in the low bits, like an
// uncompressed photographic texture.
std::vector<uint8_t> TextureLike() {
    std::vector<uint8_t> rgba;
    rgba.reserve(512 * 512 * 4);
    std::mt19937 rng(17);
    for (int y = 0; y < 512; ++y) {
        for (int x = 0; x < 512; ++x) {
            const double r = std::hypot(x - 200.0, y - 300.0);
            const double shade = 0.5 + 0.5 * std::sin(r / 23.0) * std::cos(x / 57.0);
            rgba.push_back(uint8_t(40 + 150 * shade + rng() % 8));
            rgba.push_back(uint8_t(60 + 120 * shade * (y / 512.0) + rng() % 8));
            rgba.push_back(uint8_t(30 + 80 * (1 - shade) + rng() % 8));
            rgba.push_back(255);
        }
    }
    return rgba;
}

// A height-field mesh as a scene file holds it: position, normal and texture
// coordinates per vertex, then triangle indices.
std::vector<uint8_t> SceneLike() {
    std::vector<float> v;
    const int n = 128;
    for (int z = 0; z < n; ++z) {
        for (int x = 0; x < n; ++x) {
            const float h = 4.0f * std::sin(x * 0.11f) * std::cos(z * 0.07f);
            v.insert(v.end(), {x * 2.0f, h, z * 2.0f, 0.0f, 1.0f, 0.0f, x / float(n), z / float(n)});
        }
    }
    std::vector<uint32_t> indices;
    for (int z = 0; z + 1 < n; ++z)
        for (int x = 0; x + 1 < n; ++x) {
            const uint32_t i = uint32_t(z * n + x);
            indices.insert(indices.end(), {i, i + 1, i + uint32_t(n), i + 1, i + uint32_t(n) + 1, i + uint32_t(n)});
        }
    std::vector<uint8_t> bytes(v.size() * 4 + indices.size() * 4);
    std::memcpy(bytes.data(), v.data(), v.size() * 4);
    std::memcpy(bytes.data() + v.size() * 4, indices.data(), indices.size() * 4);
    return bytes;
}

void AddTree(std::vector<CorpusFile>& corpus, const fs::path& root, bool sourcesOnly) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_directory() && it->path().filename().string().rfind("build", 0) == 0) {
            it.disable_recursion_pending();
            continue;
        }
        const std::string ext = it->path().extension().string();
        if (it->is_regular_file() && (!sourcesOnly || ext == ".cpp" || ext == ".h"))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
        CorpusFile file{zkpack::StoredName(f.lexically_relative(root)), GroupOf(f), {}};
        std::string error;
        if (zkpack::ReadWholeFile(f, file.bytes, error)) corpus.push_back(std::move(file));
    }
}

std::vector<CorpusFile>& Corpus() {
    static std::vector<CorpusFile> corpus;
    return corpus;
}

// Files of one group ("all" for every file).
std::vector<const CorpusFile*> Group(const std::string& group) {
    std::vector<const CorpusFile*> out;
    for (const CorpusFile& f : Corpus())
        if (group == "all" || f.group == group) out.push_back(&f);
    return out;
}

uint64_t RawBytes(const std::vector<const CorpusFile*>& files) {
    uint64_t n = 0;
    for (const auto* f : files) n += f->bytes.size();
    return n;
}

// Size of gzip -9 output for the bytes, or 0 without gzip.
uint64_t GzipSize(const std::vector<uint8_t>& bytes, const fs::path& scratch) {
    if (std::FILE* f = std::fopen(scratch.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    const std::string command = "gzip -9 -n -c '" + scratch.string() + "' 2>/dev/null | wc -c";
    uint64_t size = 0;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        unsigned long long n = 0;
        if (std::fscanf(p, "%llu", &n) == 1) size = n;
        pclose(p);
    }
    return size;
}

void PrintRatios() {
    const fs::path scratch = fs::temp_directory_path() / ("pack_bench_" + std::to_string(::getpid()));
    std::printf("Compression of the corpus (%zu files), summed per file; ratio = packed / raw\n",
                Corpus().size());
    std::printf("%-6s %6s %12s %12s %8s %12s %8s %12s %8s %9s\n", "group", "files", "raw", "zkpack-6",
                "ratio", "zkpack-9", "ratio", "gzip -9", "ratio", "vs gzip");
    for (const std::string group : {"text", "image", "scene", "other", "all"}) {
        const auto files = Group(group);
        if (files.empty()) continue;
        uint64_t raw = 0, z6 = 0, z9 = 0, gz = 0;
        for (const auto* f : files) {
            raw += f->bytes.size();
            // A pack stores an entry as it is when compressing would not save space.
            z6 += std::min(f->bytes.size(), zkpack::CompressJCALG1(f->bytes.data(), f->bytes.size(), {.level = 6}).size());
            z9 += std::min(f->bytes.size(), zkpack::CompressJCALG1(f->bytes.data(), f->bytes.size(), {.level = 9}).size());
            gz += GzipSize(f->bytes, scratch);
        }
        const auto ratio = [raw](uint64_t n) { return raw ? double(n) / double(raw) : 0.0; };
        std::printf("%-6s %6zu %12llu %12llu %8.3f %12llu %8.3f %12llu %8.3f %8.3fx\n", group.c_str(),
                    files.size(), (unsigned long long)raw, (unsigned long long)z6, ratio(z6),
                    (unsigned long long)z9, ratio(z9), (unsigned long long)gz, ratio(gz),
                    gz ? double(z6) / double(gz) : 0.0);
    }
    std::printf("(vs gzip: zkpack-6 size / gzip -9 size)\n\n");
    std::error_code ec;
    fs::remove(scratch, ec);
}

void Compress(benchmark::State& state, std::string group, int level) {
    const auto files = Group(group);
    uint64_t packed = 0;
    for (auto _ : state) {
        packed = 0;
        for (const auto* f : files)
            packed += zkpack::CompressJCALG1(f->bytes.data(), f->bytes.size(), {.level = level}).size();
    }
    const uint64_t raw = RawBytes(files);
    state.SetBytesProcessed(int64_t(state.iterations() * raw));
    state.counters["ratio"] = raw ? double(packed) / double(raw) : 0.0;
}

void Decode(benchmark::State& state, std::string group) {
    const auto files = Group(group);
    std::vector<std::vector<uint8_t>> packed;
    size_t largest = 0;
    for (const auto* f : files) {
        packed.push_back(zkpack::CompressJCALG1(f->bytes.data(), f->bytes.size()));
        largest = std::max(largest, f->bytes.size());
    }
    std::vector<uint8_t> out(largest + ZK3D::kPackBufferSlack);
    for (auto _ : state) {
        for (size_t i = 0; i < packed.size(); ++i) {
            const int64_t n = ZK3D::DecompressJCALG1(packed[i].data(), packed[i].size(), out.data(), out.size());
            if (n != int64_t(files[i]->bytes.size())) state.SkipWithError("decode mismatch");
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * RawBytes(files)));
}

void BuildPack(benchmark::State& state) {
    const auto files = Group("all");
    size_t size = 0;
    for (auto _ : state) {
        zkpack::PackWriter writer;
        std::string error;
        for (const auto* f : files) writer.Add(f->name, f->bytes, zkpack::Storage::Auto, error);
        size = writer.Build(false).size();
    }
    state.SetBytesProcessed(int64_t(state.iterations() * RawBytes(files)));
    state.counters["pack_bytes"] = double(size);
}

// Every entry looked up by name through the current pack and read whole: the
// directory search, the file reads and the expansion together.
void OpenFromPack(benchmark::State& state) {
    const auto files = Group("all");
    const fs::path path = fs::temp_directory_path() / ("pack_bench_" + std::to_string(::getpid()) + ".zkp");
    zkpack::PackWriter writer;
    std::string error;
    for (const auto* f : files) writer.Add(f->name, f->bytes, zkpack::Storage::Auto, error);
    if (!writer.Write(path, false, error) || !ZK3D::zkSetPack(path.c_str())) {
        state.SkipWithError("cannot build the pack");
        return;
    }
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        for (const auto* f : files) {
            auto file = ZK3D::zkOpenFile(f->name.c_str(), ZK3D::PackFirst);
            if (!file) {
                state.SkipWithError("entry not found");
                break;
            }
            buffer.resize(file->Size());
            file->Read(buffer.data(), 1, file->Size());
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations() * RawBytes(files)));
    ZK3D::zkSetPack(nullptr);
    std::error_code ec;
    fs::remove(path, ec);
}

}  // namespace

int main(int argc, char** argv) {
    std::string corpus = std::getenv("ZKPACK_BENCH_CORPUS") ? std::getenv("ZKPACK_BENCH_CORPUS") : "";
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--corpus=", 9) == 0)
            corpus = argv[i] + 9;
        else
            args.push_back(argv[i]);
    }
    if (!corpus.empty()) {
        if (!fs::is_directory(corpus)) {
            std::fprintf(stderr, "pack_bench: corpus \"%s\" is not a directory\n", corpus.c_str());
            return 2;
        }
        AddTree(Corpus(), corpus, false);
    } else {
        for (const char* folder : {"app", "engine", "platform", "tools", "tests", "bench", "demo"})
            if (fs::is_directory(fs::path(VELMOOR_SOURCE_DIR) / folder))
                AddTree(Corpus(), fs::path(VELMOOR_SOURCE_DIR) / folder, true);
        Corpus().push_back({"TEXTURE.RGBA", "image", TextureLike()});
        Corpus().push_back({"SCENE.F32", "scene", SceneLike()});
    }
    if (Corpus().empty()) {
        std::fprintf(stderr, "pack_bench: the corpus holds no files\n");
        return 2;
    }

    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;
    PrintRatios();

    for (const std::string group : {"text", "image", "scene", "other", "all"}) {
        if (Group(group).empty()) continue;
        for (int level : {1, 6})
            benchmark::RegisterBenchmark(("Compress/" + group + "/level" + std::to_string(level)).c_str(),
                                         Compress, group, level)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Decode/" + group).c_str(), Decode, group)->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("BuildPack/all", BuildPack)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("OpenFromPack/all", OpenFromPack)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
