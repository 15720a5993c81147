// The baked data set as files: small enough to ship, textures of kinds and
// sizes the engine takes, every file a scene, flare or particle description
// names present, and the same bytes as the baker makes now (so a bake is
// reproducible and the build's copy is current).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/bake/demo_config.h"
#include "tools/bake/scenes.h"
#include "tools/bake/show_plan.h"
#include "tools/bake/soundtrack.h"
#include "tools/zks/zks_reader.h"
#include "tools/zks/zks_writer.h"

namespace fs = std::filesystem;

namespace {

const fs::path kDemo = VELMOOR_SHOW_DIR;

std::vector<uint8_t> Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool PowerOfTwo(uint32_t v) { return v > 0 && (v & (v - 1)) == 0; }

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

struct JpegInfo {
    bool baseline = false;
    int width = 0, height = 0, components = 0;
};

// Walks the markers to the first start-of-frame.
JpegInfo ReadJpegHeader(const std::vector<uint8_t>& b) {
    JpegInfo info;
    size_t i = 2;
    if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8) return info;
    while (i + 9 < b.size()) {
        if (b[i] != 0xFF) return info;
        const uint8_t marker = b[i + 1];
        const size_t length = size_t(b[i + 2]) << 8 | b[i + 3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            info.baseline = marker == 0xC0;
            info.height = b[i + 5] << 8 | b[i + 6];
            info.width = b[i + 7] << 8 | b[i + 8];
            info.components = b[i + 9];
            return info;
        }
        i += 2 + length;
    }
    return info;
}

class BakedFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kDemo / "vlm.ini")) GTEST_SKIP() << "no baked demo in " << kDemo;
    }
    std::vector<fs::path> DataFiles() const {
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(kDemo / "data"))
            if (e.is_regular_file()) files.push_back(e.path());
        return files;
    }
};

TEST_F(BakedFiles, TheDataSetIsUnder25Megabytes) {
    uintmax_t total = fs::file_size(kDemo / "vlm.ini");
    for (const fs::path& f : DataFiles()) total += fs::file_size(f);
    EXPECT_LT(total, 25u * 1000 * 1000);
    EXPECT_GT(total, 1u * 1000 * 1000);  // a real show, not a placeholder
}

TEST_F(BakedFiles, TexturesAreKindsAndSizesTheEngineTakes) {
    int jpegs = 0, dds = 0;
    std::set<std::string> formats;
    for (const fs::path& f : DataFiles()) {
        const std::vector<uint8_t> b = Bytes(f);
        if (f.extension() == ".jpg") {
            ++jpegs;
            const JpegInfo info = ReadJpegHeader(b);
            EXPECT_TRUE(info.baseline) << f;
            EXPECT_EQ(info.components, 3) << f << ": the engine's JPEG reader takes RGB only";
            EXPECT_TRUE(PowerOfTwo(uint32_t(info.width)) && PowerOfTwo(uint32_t(info.height)))
                << f << " is " << info.width << " x " << info.height << ": the device would resize it";
        } else if (f.extension() == ".dds") {
            ++dds;
            ASSERT_GE(b.size(), 128u) << f;
            EXPECT_EQ(std::memcmp(b.data(), "DDS ", 4), 0) << f;
            const uint32_t height = Le32(b, 12), width = Le32(b, 16);
            EXPECT_TRUE(PowerOfTwo(width) && PowerOfTwo(height)) << f;
            const uint32_t flags = Le32(b, 80), fourCC = Le32(b, 84), bits = Le32(b, 88), alphaMask = Le32(b, 104);
            std::string format;
            if (flags & 0x4) format.assign(reinterpret_cast<const char*>(&b[84]), 4);
            else if (bits == 32 && alphaMask == 0xFF000000u) format = "A8R8G8B8";
            else if (bits == 16 && alphaMask == 0xF000u) format = "A4R4G4B4";
            EXPECT_TRUE(format == "DXT1" || format == "DXT3" || format == "DXT5" || format == "A8R8G8B8" ||
                        format == "A4R4G4B4")
                << f << " has a pixel format the demo does not use (fourCC " << fourCC << ")";
            formats.insert(format);
        }
    }
    EXPECT_GT(jpegs, 20);
    EXPECT_GT(dds, 10);
    // Every kind of texture the engine reads is exercised by the show.
    EXPECT_EQ(formats, (std::set<std::string>{"DXT1", "DXT3", "DXT5", "A8R8G8B8", "A4R4G4B4"}));
}

TEST_F(BakedFiles, EveryFileTheDataNamesIsThere) {
    std::set<std::string> named = {"data/bankgothic.vft", "data/bankgothic.dds", "data/logodemo.dds", "data/cavern.lfd",
                                   "data/lake.lfd",       "data/cavern.pfd",     "data/lake.pfd",     "data/temple.pfd",
                                   "data/space.pfd"};
    for (const auto& e : fs::directory_iterator(kDemo / "data")) {
        if (e.path().extension() != ".zks") continue;
        zks::Scene s;
        std::string error;
        ASSERT_TRUE(zks::LoadSceneFile(e.path().string(), s, &error)) << e.path() << ": " << error;
        for (const zks::Material& m : s.materials)
            for (const auto& ref : {m.texture, m.detail, m.environment, m.bump})
                if (ref) named.insert(ref->bitmap);
    }
    // Flare elements and particle systems name their textures too.
    for (const char* text : {"data/cavern.lfd", "data/lake.lfd"}) {
        std::ifstream in(kDemo / text);
        std::string line;
        int elements = 0;
        while (std::getline(in, line))
            if (!line.empty() && line[0] != '#') {
                named.insert(line.substr(0, line.find(' ')));
                ++elements;
            }
        EXPECT_GE(elements, 3) << text;
    }
    for (const char* text : {"data/cavern.pfd", "data/lake.pfd", "data/temple.pfd", "data/space.pfd"}) {
        std::ifstream in(kDemo / text);
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("PS", 0) == 0) {
                std::istringstream words(line);
                std::string ps, name, texture;
                words >> ps >> name >> texture;
                named.insert(texture);
            }
    }
    for (const std::string& file : named) EXPECT_TRUE(fs::is_regular_file(kDemo / file)) << file;
}

TEST_F(BakedFiles, TheBakedScenesAndConfigurationAreWhatTheBakerMakes) {
    const bake::ShowPlan plan;
    const bake::LoadingPlan loading;
    std::vector<std::pair<std::string, bake::SceneFiles>> scenes;
    scenes.emplace_back(bake::kLoadingSceneFile, bake::MakeLoadingScene(loading));
    bake::SceneFiles (*const makers[])(const bake::ShowPlan&) = {
        bake::MakeJungleScene, bake::MakeCavernScene, bake::MakeForestScene,   bake::MakeLakeScene, bake::MakeTempleScene,
        bake::MakeSpaceScene,  bake::MakeEarthScene,  bake::MakeComputerScene, bake::MakeTRexScene, bake::MakeGreetingsScene};
    for (int i = 0; i < bake::kScriptCount; ++i) scenes.emplace_back(bake::kSceneFiles[size_t(i)], makers[i](plan));
    for (const auto& [file, made] : scenes) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(zks::WriteScene(made.scene, bytes));
        EXPECT_TRUE(bytes == Bytes(kDemo / file)) << file << " differs from what the baker makes now";
        if (!made.particleFile.empty()) {
            const std::vector<uint8_t> text = Bytes(kDemo / made.particleFile);
            EXPECT_EQ(std::string(text.begin(), text.end()), made.particles) << made.particleFile;
        }
    }
    const std::vector<uint8_t> ini = Bytes(kDemo / "vlm.ini");
    EXPECT_EQ(std::string(ini.begin(), ini.end()), bake::MakeConfig(plan, loading, bake::ShowSong(plan)));
}

}  // namespace
