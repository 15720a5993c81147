#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/files/zk_file.h"
#include "tests/support/log_capture.h"

using namespace ZK3D;
namespace fs = std::filesystem;

namespace {

class ZkFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("zkfile_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "data");
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string write(const std::string& relative, const std::string& bytes) {
        const fs::path p = dir_ / relative;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    fs::path dir_;
};

// How many of the process's open file descriptors refer to path.
int DescriptorsOn(const fs::path& path) {
    int count = 0;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const fs::path target = fs::read_symlink(fd.path(), error);
        count += !error && fs::equivalent(target, path, error);
    }
    return count;
}

// Runs a check on the same bytes as a disk file and as a memory file.
template <class Check>
void OnBothKinds(const std::string& path, const std::string& bytes, Check check) {
    {
        SCOPED_TRACE("disk");
        auto f = zkOpenFile(path.c_str(), DiskFirst);
        ASSERT_TRUE(f);
        ASSERT_EQ(f->Kind(), zkDiskFileKind);
        check(*f);
    }
    {
        SCOPED_TRACE("memory");
        zkMemoryFile f(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
        check(f);
    }
}

}  // namespace

TEST_F(ZkFileTest, EmptyOrMissingNamesGiveNothing) {
    EXPECT_EQ(zkOpenFile(nullptr, DiskFirst), nullptr);
    EXPECT_EQ(zkOpenFile("", DiskFirst), nullptr);
    EXPECT_EQ(zkOpenFile((dir_ / "missing").c_str(), DiskFirst), nullptr);
    EXPECT_EQ(zkOpenFile((dir_ / "missing").c_str(), PackFirst), nullptr);
    EXPECT_EQ(zkOpenFile((dir_ / "missing").c_str(), InMemory), nullptr);
    const std::string path = write("x.bin", "abc");
    EXPECT_EQ(zkOpenFile(path.c_str(), 4), nullptr);
    EXPECT_EQ(zkOpenFile(path.c_str(), 0), nullptr);
}

TEST_F(ZkFileTest, DiskFirstAndPackFirstFindTheDiskFileWithoutAPack) {
    testing_support::LogCapture log;
    const std::string path = write("x.bin", "0123456789");
    for (int mode : {DiskFirst, PackFirst}) {
        auto f = zkOpenFile(path.c_str(), mode);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->Kind(), zkDiskFileKind);
        EXPECT_EQ(f->Size(), 10u);
        EXPECT_EQ(f->Tell(), 0u);
    }
    EXPECT_TRUE(log.has("[ZKF] \"" + path + "\" File found on HD"));
}

TEST_F(ZkFileTest, BackslashesSeparateFolders) {
    write("data/font.vft", "v");
    const std::string name = (dir_ / "data").string() + "\\font.vft";
    auto f = zkOpenFile(name.c_str(), DiskFirst);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Size(), 1u);
}

TEST_F(ZkFileTest, DirectoriesAreNotFiles) {
    EXPECT_EQ(zkOpenFile((dir_ / "data").c_str(), DiskFirst), nullptr);
}

TEST_F(ZkFileTest, ReadCopiesAtMostWhatIsLeft) {
    const std::string bytes = "0123456789";
    OnBothKinds(write("r.bin", bytes), bytes, [](zkFile& f) {
        char out[16];
        std::memset(out, '#', sizeof out);
        f.Seek(0, 0);
        EXPECT_EQ(f.Read(out, 4, 1), 1u);
        EXPECT_EQ(std::string(out, 4), "0123");
        // 4 elements of 4 bytes with 6 bytes left copy the 6 bytes.
        EXPECT_EQ(f.Read(out, 4, 4), 1u);
        EXPECT_EQ(std::string(out, 6), "456789");
        EXPECT_EQ(out[6], '#');
        EXPECT_EQ(f.Tell(), 10u);
        EXPECT_TRUE(f.AtEnd());
    });
}

TEST_F(ZkFileTest, SeekRulesAndReadsBeyondTheEnd) {
    const std::string bytes = "0123456789";
    OnBothKinds(write("s.bin", bytes), bytes, [](zkFile& f) {
        EXPECT_EQ(f.Seek(25, 0), 10u);  // clamped to the size
        EXPECT_EQ(f.Seek(-3, 2), 7u);
        EXPECT_EQ(f.Seek(2, 1), 9u);
        EXPECT_EQ(f.Seek(5, 1), 14u);  // relative seeks may pass the end
        char out[4] = {'#', '#', '#', '#'};
        EXPECT_EQ(f.Read(out, 1, 4), 0u);
        EXPECT_EQ(out[0], '#');  // nothing copied from beyond the data
        EXPECT_EQ(f.Tell(), 14u);
        EXPECT_EQ(f.ReadChar(), 0);
        EXPECT_TRUE(f.AtEnd());
        EXPECT_EQ(f.Seek(-1, 0), 10u);  // a huge unsigned offset clamps too
    });
}

TEST_F(ZkFileTest, ReadLineDropsReturnsAndKeepsTheLastLineWhole) {
    const std::string bytes = std::string("ab\r\nc\n\nlast");
    OnBothKinds(write("l.txt", bytes), bytes, [](zkFile& f) {
        char line[16];
        EXPECT_EQ(f.ReadLine(line, sizeof line), 2u);
        EXPECT_STREQ(line, "ab");
        EXPECT_EQ(f.ReadLine(line, sizeof line), 1u);
        EXPECT_STREQ(line, "c");
        EXPECT_EQ(f.ReadLine(line, sizeof line), 0u);
        EXPECT_STREQ(line, "");
        EXPECT_FALSE(f.AtEnd());
        EXPECT_EQ(f.ReadLine(line, sizeof line), 4u);
        EXPECT_STREQ(line, "last");
        EXPECT_TRUE(f.AtEnd());
    });
}

TEST_F(ZkFileTest, ReadLineSplitsAnOverlongLineAndStaysTerminated) {
    const std::string bytes = "abcdefgh\nxy";
    OnBothKinds(write("o.txt", bytes), bytes, [](zkFile& f) {
        char line[4];
        EXPECT_EQ(f.ReadLine(line, sizeof line), 3u);
        EXPECT_STREQ(line, "abc");
        EXPECT_EQ(f.ReadLine(line, sizeof line), 3u);
        EXPECT_STREQ(line, "def");
        EXPECT_EQ(f.ReadLine(line, sizeof line), 2u);
        EXPECT_STREQ(line, "gh");
        EXPECT_EQ(f.ReadLine(line, sizeof line), 2u);
        EXPECT_STREQ(line, "xy");
    });
}

TEST_F(ZkFileTest, ReadStringStopsAtTheNulAndRejectsUnterminatedTexts) {
    const std::string bytes = std::string("MainCam\0\0toolongname", 20);
    OnBothKinds(write("str.bin", bytes), bytes, [](zkFile& f) {
        char text[8];
        EXPECT_EQ(f.ReadString(text, sizeof text), 7);
        EXPECT_STREQ(text, "MainCam");
        EXPECT_EQ(f.ReadString(text, sizeof text), 0);  // the empty text
        EXPECT_STREQ(text, "");
        EXPECT_EQ(f.ReadString(text, sizeof text), -1);  // 11 characters do not fit in 8 bytes
        EXPECT_EQ(text[7], '\0');
        EXPECT_EQ(f.ReadString(text, sizeof text), -1);  // the data ends without a NUL
        EXPECT_STREQ(text, "ame");
        EXPECT_TRUE(f.AtEnd());
    });
}

TEST_F(ZkFileTest, InMemoryTurnsADiskFileIntoAMemoryFileOfTheSameBytes) {
    testing_support::LogCapture log;
    std::string bytes(3000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7);
    const std::string path = write("m.bin", bytes);
    {
        auto disk = zkOpenFile(path.c_str(), DiskFirst);
        ASSERT_TRUE(disk);
        EXPECT_EQ(DescriptorsOn(path), 1);  // a disk file keeps its stream open
    }
    auto f = zkOpenFile(path.c_str(), InMemory);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Kind(), zkMemoryFileKind);
    ASSERT_EQ(f->Size(), bytes.size());
    EXPECT_EQ(std::memcmp(f->Handle(), bytes.data(), bytes.size()), 0);
    EXPECT_TRUE(log.has("[ZKF] \"" + path + "\" File found on HD loaded in memory"));
    // The disk stream was closed once the bytes were copied.
    EXPECT_EQ(DescriptorsOn(path), 0);
    char first[2];
    EXPECT_EQ(f->Read(first, 1, 2), 2u);
    EXPECT_EQ(first[1], char(7));
}

TEST_F(ZkFileTest, DiskReadsDoNotDependOnWhereTheStreamWasLeft) {
    const std::string path = write("h.bin", "abcdef");
    auto f = zkOpenFile(path.c_str(), DiskFirst);
    ASSERT_TRUE(f);
    std::fseek(static_cast<std::FILE*>(f->Handle()), 4, SEEK_SET);
    EXPECT_EQ(f->ReadChar(), 'a');
    std::fseek(static_cast<std::FILE*>(f->Handle()), 0, SEEK_SET);
    char two[2];
    f->Read(two, 1, 2);
    EXPECT_EQ(std::string(two, 2), "bc");
}
