// Replays a fuzz target's kept inputs as an ordinary test: every file of its
// seed corpus and every input that once made it crash, run through the target's
// entry point. A crash or sanitizer report fails the test; the last "replaying"
// line of its output names the input.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/rig.h"

// An input that makes the code under test ask for gigabytes fails its test
// instead of exhausting the machine. The sanitizers reserve far more address
// space than they use, so under them their own allocation limit does it.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=2048"; }
#else
[[maybe_unused]] const bool g_capped = [] {
    const rlimit limit{rlim_t{4} << 30, rlim_t{4} << 30};
    return ::setrlimit(RLIMIT_AS, &limit) == 0;
}();
#endif

namespace {

namespace fs = std::filesystem;

int ReplayFolder(const fs::path& folder) {
    std::vector<fs::path> files;
    if (fs::is_directory(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& path : files) {
        std::ifstream in(path, std::ios::binary);
        // A buffer of exactly the file's size, so a read past its end is caught.
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        auto data = std::make_unique<uint8_t[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), data.get());
        std::fprintf(stderr, "replaying %s\n", path.string().c_str());
        LLVMFuzzerTestOneInput(data.get(), bytes.size());
    }
    return static_cast<int>(files.size());
}

#define REPLAY_TEST(suite, name) TEST(suite, name)

REPLAY_TEST(FUZZ_SUITE, SeedCorpus) { EXPECT_GT(ReplayFolder(FUZZ_CORPUS), 0) << "no seeds in " << FUZZ_CORPUS; }

REPLAY_TEST(FUZZ_SUITE, Regressions) { ReplayFolder(FUZZ_REGRESSIONS); }

}  // namespace
