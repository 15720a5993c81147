// The pack writer: stored names made from paths, trees added in name order, the
// storage choice, refused inputs, and packs that the engine reads back whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/files/pack.h"
#include "tests/support/log_capture.h"
#include "tools/zkpack/pack_writer.h"

namespace fs = std::filesystem;
using zkpack::PackWriter;
using zkpack::Storage;

namespace {

class PackWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               (std::string("zkpack_writer_") + info->name() + "_" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "tree");
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Put(const std::string& relative, const std::string& bytes) {
        const fs::path p = dir_ / "tree" / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }

    fs::path dir_;
    testing_support::LogCapture log_;
};

std::string Noise(size_t n) {
    std::mt19937 rng(21);
    std::string s(n, '\0');
    for (char& c : s) c = char(rng());
    return s;
}

std::string Text(size_t n) {
    std::string s;
    while (s.size() < n) s += "light omni 0.8 0.7 0.6 range " + std::to_string(s.size() % 31) + "\n";
    return s;
}

// Every entry of the pack at path, read through the engine, by stored name.
std::vector<std::pair<std::string, std::string>> ReadBack(const fs::path& path) {
    std::vector<std::pair<std::string, std::string>> out;
    ZK3D::zkPack pack;
    const ZK3D::zkPackDirectory* dir = pack.Open(path.c_str());
    EXPECT_TRUE(dir);
    if (!dir) return out;
    for (int32_t i = 0; i < dir->count; ++i) {
        auto f = pack.OpenEntry(i);
        EXPECT_TRUE(f) << dir->names[size_t(i)];
        std::string bytes(f ? f->Size() : 0, '\0');
        if (f) f->Read(bytes.data(), 1, f->Size());
        out.emplace_back(dir->names[size_t(i)], bytes);
    }
    return out;
}

}  // namespace

TEST(StoredNames, AreUpperCaseWithBackslashes) {
    EXPECT_EQ(zkpack::StoredName("data/Cavern.lfd"), "DATA\\CAVERN.LFD");
    EXPECT_EQ(zkpack::StoredName("./a/b/../c.txt"), "A\\C.TXT");
    EXPECT_EQ(zkpack::StoredName("x\xC3\xA9.dds"), "X\xC3\xA9.DDS");  // only ASCII letters change
}

TEST_F(PackWriterTest, ATreeIsPackedInNameOrderAndReadsBackWhole) {
    Put("data/Cavern.lfd", Text(4000));
    Put("data/sub/Noise.bin", Noise(4096));
    Put("Top.txt", "");
    for (bool scrambled : {false, true}) {
        PackWriter writer;
        std::string error;
        ASSERT_TRUE(zkpack::AddTree(writer, dir_ / "tree", Storage::Auto, error)) << error;
        ASSERT_EQ(writer.Entries().size(), 3u);
        // Compressed only where that saves space.
        EXPECT_TRUE(writer.Entries()[0].compressed);
        EXPECT_LT(writer.Entries()[0].bytes.size(), 4000u);
        EXPECT_FALSE(writer.Entries()[1].compressed);
        EXPECT_FALSE(writer.Entries()[2].compressed);

        const fs::path pack = dir_ / "tree.zkp";
        ASSERT_TRUE(writer.Write(pack, scrambled, error)) << error;
        const auto entries = ReadBack(pack);
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(entries[0], std::make_pair(std::string("DATA\\CAVERN.LFD"), Text(4000)));
        EXPECT_EQ(entries[1], std::make_pair(std::string("DATA\\SUB\\NOISE.BIN"), Noise(4096)));
        EXPECT_EQ(entries[2], std::make_pair(std::string("TOP.TXT"), std::string()));
    }
    EXPECT_TRUE(log_.errors().empty());
}

TEST_F(PackWriterTest, StorageCanBeForcedEitherWay) {
    PackWriter writer;
    std::string error;
    const std::string noise = Noise(1000), text = Text(1000);
    ASSERT_TRUE(writer.Add("NOISE", {noise.begin(), noise.end()}, Storage::Compressed, error));
    ASSERT_TRUE(writer.Add("TEXT", {text.begin(), text.end()}, Storage::Stored, error));
    ASSERT_TRUE(writer.Add("NOTHING", {}, Storage::Compressed, error));
    EXPECT_TRUE(writer.Entries()[0].compressed);
    EXPECT_GT(writer.Entries()[0].bytes.size(), 1000u);
    EXPECT_FALSE(writer.Entries()[1].compressed);
    EXPECT_EQ(writer.Entries()[2].bytes.size(), 4u);  // the end marker alone
    ASSERT_TRUE(writer.Write(dir_ / "forced.zkp", false, error));
    const auto entries = ReadBack(dir_ / "forced.zkp");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].second, noise);
    EXPECT_EQ(entries[1].second, text);
    EXPECT_EQ(entries[2].second, "");
}

TEST_F(PackWriterTest, SingleFilesAreStoredUnderTheirFileName) {
    Put("deep/folder/Font.vft", "glyphs");
    PackWriter writer;
    std::string error;
    ASSERT_TRUE(zkpack::AddTree(writer, dir_ / "tree/deep/folder/Font.vft", Storage::Auto, error));
    ASSERT_EQ(writer.Entries().size(), 1u);
    EXPECT_EQ(writer.Entries()[0].name, "FONT.VFT");
}

TEST_F(PackWriterTest, InputsThatCannotBeStoredAreRefused) {
    PackWriter writer;
    std::string error;
    EXPECT_FALSE(zkpack::AddTree(writer, dir_ / "missing", Storage::Auto, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;

    // Two files whose stored names are the same: only the first could be found.
    Put("a.txt", "one");
    Put("A.TXT", "two");
    EXPECT_FALSE(zkpack::AddTree(writer, dir_ / "tree", Storage::Auto, error));
    EXPECT_NE(error.find("already in the pack"), std::string::npos) << error;

    EXPECT_FALSE(writer.Add(std::string(1024, 'N'), {}, Storage::Stored, error));
    EXPECT_NE(error.find("1023"), std::string::npos) << error;
    EXPECT_FALSE(writer.Add(std::string("A\0B", 3), {}, Storage::Stored, error));
    EXPECT_TRUE(writer.Add(std::string(1023, 'N'), {}, Storage::Stored, error));
}
