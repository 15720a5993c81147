// Pack reading: name matching, both directory forms, the current pack and the
// lookup through it, and packs that are broken, truncated or corrupted. Every pack
// is made by the pack builder in the test; broken ones are made by patching a
// built pack's bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "engine/files/pack.h"
#include "engine/files/zk_file.h"
#include "tests/support/log_capture.h"
#include "tools/zkpack/pack_writer.h"

using namespace ZK3D;
namespace fs = std::filesystem;
using testing_support::LogCapture;
using zkpack::Storage;

namespace {

std::vector<uint8_t> Text(const std::string& s) { return {s.begin(), s.end()}; }

std::string Repetitive(size_t n, int seed) {
    std::string s;
    while (s.size() < n) s += "vertex " + std::to_string((s.size() * 13 + size_t(seed)) % 97) + " 0.5 1.0\n";
    s.resize(n);
    return s;
}

uint32_t WordAt(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
void SetWord(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// The entry contents every standard test pack holds.
struct Sample {
    std::string name;
    std::string bytes;
    Storage storage;
};

const std::vector<Sample>& Samples() {
    static const std::vector<Sample> samples = {
        {"DATA\\CAVERN.LFD", Repetitive(3000, 1), Storage::Compressed},
        {"DATA\\LAKE.PFD", "lake particles\r\nsecond line\nlast", Storage::Stored},
        {"EMPTY.BIN", "", Storage::Compressed},
        {"TEXTURES\\ROCK.DDS", Repetitive(20000, 2), Storage::Auto},
        {"README.TXT", "stored as it is", Storage::Stored},
    };
    return samples;
}

class PackTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // Memory-backed where there is one: the corruption tests write thousands
        // of small packs.
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        dir_ = base /
               (std::string("zkpack_reader_") + info->name() + "_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        zkSetPack(nullptr);
        fs::remove_all(dir_);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::string WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = Path(name);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   std::streamsize(bytes.size()));
        return path;
    }

    static std::vector<uint8_t> BuildPack(const std::vector<Sample>& samples, bool scrambled) {
        zkpack::PackWriter writer;
        std::string error;
        for (const Sample& s : samples)
            EXPECT_TRUE(writer.Add(s.name, Text(s.bytes), s.storage, error)) << error;
        return writer.Build(scrambled);
    }

    std::string WritePack(const std::string& name, const std::vector<Sample>& samples,
                          bool scrambled = false) {
        return WriteBytes(name, BuildPack(samples, scrambled));
    }

    fs::path dir_;
};

std::string ReadAll(zkFile& f) {
    std::string s(f.Size(), '\0');
    f.Seek(0, 0);
    f.Read(s.data(), 1, f.Size());
    return s;
}

// Opens every entry of a directory through a pack; what opens must read whole.
void OpenEveryEntry(const std::string& path) {
    zkPack pack;
    const zkPackDirectory* dir = pack.Open(path.c_str());
    if (!dir) return;
    for (int32_t i = 0; i < dir->count; ++i) {
        auto f = pack.OpenEntry(i);
        if (!f) continue;
        EXPECT_EQ(f->Size(), dir->sizes[size_t(i)]);
        std::vector<uint8_t> bytes(f->Size() + 1);
        f->Read(bytes.data(), 1, f->Size());
    }
}

}  // namespace

TEST(PackNames, MatchFromTheEndAtBackslashBoundaries) {
    EXPECT_TRUE(NameMatches("DATA\\CAVERN.LFD", "cavern.lfd"));
    EXPECT_TRUE(NameMatches("DATA\\CAVERN.LFD", "CAVERN.LFD"));
    EXPECT_TRUE(NameMatches("DATA\\CAVERN.LFD", "data\\cavern.lfd"));
    EXPECT_TRUE(NameMatches("DATA\\CAVERN.LFD", "demo\\data\\Cavern.Lfd"));
    EXPECT_FALSE(NameMatches("DATA\\CAVERN.LFD", "avern.lfd"));
    EXPECT_FALSE(NameMatches("DATA\\CAVERN.LFD", "data/cavern.lfd"));
    EXPECT_FALSE(NameMatches("DATA\\CAVERN.LFD", "cavern.lfx"));
    // A stored name matches any query that ends with it.
    EXPECT_TRUE(NameMatches("CAVERN.LFD", "data/cavern.lfd"));
    EXPECT_TRUE(NameMatches("CAVERN.LFD", "data/xcavern.lfd"));  // no boundary asked for
    // Stored letters are not folded, so a lower-case stored name never matches.
    EXPECT_FALSE(NameMatches("cavern.lfd", "cavern.lfd"));
    EXPECT_TRUE(NameMatches("", "anything"));
    EXPECT_TRUE(NameMatches("DATA/X.PFD", "data/x.pfd"));
    EXPECT_FALSE(NameMatches("X.PFD", ""));
}

TEST_F(PackTest, TheFirstMatchingEntryWinsAndAnEmptyNameMatchesEverything) {
    const std::vector<Sample> samples = {
        {"DATA\\CAVERN.LFD", "first", Storage::Stored},
        {"CAVERN.LFD", "second", Storage::Stored},
        {"", "catch-all", Storage::Stored},
        {"LATE.TXT", "shadowed", Storage::Stored},
    };
    auto dir = ReadDirectory(WritePack("order.zkp", samples).c_str());
    ASSERT_TRUE(dir);
    EXPECT_EQ(FindEntry(*dir, "data\\cavern.lfd"), 0);
    EXPECT_EQ(FindEntry(*dir, "other\\cavern.lfd"), 1);
    EXPECT_EQ(FindEntry(*dir, "late.txt"), 2);
    EXPECT_EQ(FindEntry(*dir, "nothing.at.all"), 2);
    EXPECT_EQ(FindEntry(*dir, nullptr), -1);
}

TEST_F(PackTest, PlainAndScrambledPacksGiveIdenticalDirectories) {
    const std::vector<uint8_t> plainBytes = BuildPack(Samples(), false);
    const std::vector<uint8_t> scrambledBytes = BuildPack(Samples(), true);
    ASSERT_EQ(plainBytes.size(), scrambledBytes.size());
    EXPECT_EQ(std::memcmp(scrambledBytes.data(), "ZKP?", 4), 0);
    // Scrambling hides the names and values but leaves the entry data alone.
    const std::string scrambledText(scrambledBytes.begin(), scrambledBytes.end());
    EXPECT_EQ(scrambledText.find("CAVERN"), std::string::npos);
    EXPECT_NE(scrambledText.find("stored as it is"), std::string::npos);

    auto plain = ReadDirectory(WriteBytes("plain.zkp", plainBytes).c_str());
    auto scrambled = ReadDirectory(WriteBytes("scrambled.zkp", scrambledBytes).c_str());
    ASSERT_TRUE(plain);
    ASSERT_TRUE(scrambled);
    EXPECT_EQ(plain->count, int32_t(Samples().size()));
    EXPECT_EQ(plain->count, scrambled->count);
    EXPECT_EQ(plain->names, scrambled->names);
    EXPECT_EQ(plain->compressed, scrambled->compressed);
    EXPECT_EQ(plain->offsets, scrambled->offsets);
    EXPECT_EQ(plain->sizes, scrambled->sizes);
    EXPECT_EQ(plain->packedSizes, scrambled->packedSizes);
    EXPECT_EQ(plain->names[0], "DATA\\CAVERN.LFD");
    EXPECT_EQ(plain->sizes[0], 3000u);
    EXPECT_NE(plain->compressed[0], 0u);
    EXPECT_EQ(plain->compressed[1], 0u);
}

TEST_F(PackTest, LookupsGoThroughTheCurrentPack) {
    LogCapture log;
    const std::string path = WritePack("current.zkp", Samples(), true);
    ASSERT_TRUE(zkSetPack(path.c_str()));
    EXPECT_TRUE(log.has("[ZKP] Opens Pack File \"" + path + "\""));
    ASSERT_TRUE(zkCurrentPack());

    // Not on disk: DiskFirst falls back to the pack; a compressed entry is expanded
    // into a memory file of its unpacked size.
    EXPECT_FALSE(zkOpenFile("data/cavern.lfd", DiskFirst));  // '/' is no boundary
    auto cavern = zkOpenFile("DATA\\cavern.lfd", DiskFirst);
    ASSERT_TRUE(cavern);
    EXPECT_EQ(cavern->Kind(), zkMemoryFileKind);
    EXPECT_EQ(ReadAll(*cavern), Samples()[0].bytes);
    EXPECT_TRUE(log.has("[ZKF] \"DATA\\cavern.lfd\" File found in pack"));

    // A stored entry is read in place from a stream of its own.
    auto lake = zkOpenFile("lake.pfd", DiskFirst);
    ASSERT_TRUE(lake);
    EXPECT_EQ(lake->Kind(), zkDiskFileKind);
    EXPECT_NE(lake->Handle(), nullptr);
    char line[64];
    EXPECT_EQ(lake->ReadLine(line, sizeof line), 14u);
    EXPECT_STREQ(line, "lake particles");
    lake->ReadLine(line, sizeof line);
    EXPECT_EQ(lake->ReadLine(line, sizeof line), 4u);
    EXPECT_STREQ(line, "last");
    EXPECT_TRUE(lake->AtEnd());

    // A compressed entry of size 0 is an empty memory file.
    auto empty = zkOpenFile("empty.bin", DiskFirst);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Kind(), zkMemoryFileKind);
    EXPECT_EQ(empty->Size(), 0u);
    EXPECT_TRUE(empty->AtEnd());

    // InMemory turns a stored entry into a memory file of the same bytes.
    auto readme = zkOpenFile("readme.txt", InMemory);
    ASSERT_TRUE(readme);
    EXPECT_EQ(readme->Kind(), zkMemoryFileKind);
    EXPECT_EQ(ReadAll(*readme), "stored as it is");
    EXPECT_TRUE(log.has("[ZKF] \"readme.txt\" File found on HD loaded in memory"));

    EXPECT_FALSE(zkOpenFile("missing.txt", DiskFirst));
    EXPECT_TRUE(log.errors().empty());

    // Without a current pack the same names are not found.
    EXPECT_EQ(zkSetPack(nullptr), nullptr);
    EXPECT_EQ(zkCurrentPack(), nullptr);
    EXPECT_FALSE(zkOpenFile("readme.txt", DiskFirst));
}

TEST_F(PackTest, PackFirstPrefersThePackAndDiskFirstTheDisk) {
    const std::string onDisk = Path("readme.txt");
    std::ofstream(onDisk) << "from disk";
    ASSERT_TRUE(zkSetPack(WritePack("both.zkp", Samples()).c_str()));
    auto disk = zkOpenFile(onDisk.c_str(), DiskFirst);
    ASSERT_TRUE(disk);
    EXPECT_EQ(ReadAll(*disk), "from disk");
    auto packed = zkOpenFile(onDisk.c_str(), PackFirst);
    ASSERT_TRUE(packed);
    EXPECT_EQ(ReadAll(*packed), "stored as it is");
    // File objects do not depend on the pack once made.
    zkSetPack(nullptr);
    EXPECT_EQ(ReadAll(*packed), "stored as it is");
}

TEST_F(PackTest, FindSelectsTheEntryTheReadersWorkOn) {
    zkPack pack;
    ASSERT_TRUE(pack.Open(WritePack("find.zkp", Samples()).c_str()));
    ASSERT_TRUE(pack.Find("rock.dds"));
    EXPECT_EQ(pack.Current(), 3);
    EXPECT_EQ(pack.EntryKind(), 1);
    uint32_t size = 0;
    auto buffer = pack.ReadCompressed(size);
    ASSERT_TRUE(buffer);
    ASSERT_EQ(size, 20000u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.get()), size), Samples()[3].bytes);
    EXPECT_EQ(buffer[size + kPackBufferSlack - 1], 0);

    ASSERT_TRUE(pack.Find("readme.txt"));
    EXPECT_EQ(pack.EntryKind(), 2);
    uint32_t offset = 0;
    std::FILE* stream = pack.OpenStored(offset, size);
    ASSERT_TRUE(stream);
    char text[15];
    EXPECT_EQ(std::fread(text, 1, 15, stream), 15u);
    std::fclose(stream);
    EXPECT_EQ(size, 15u);
    EXPECT_EQ(offset, pack.Directory()->offsets[4]);
    EXPECT_EQ(std::string(text, 15), "stored as it is");

    EXPECT_FALSE(pack.Find("none.txt"));
    EXPECT_EQ(pack.Current(), -1);
    EXPECT_EQ(pack.EntryKind(), 0);
    EXPECT_FALSE(pack.ReadCompressed(size));
    EXPECT_FALSE(pack.OpenStored(offset, size));
}

TEST_F(PackTest, AMissingOrForeignPackStaysCurrentWithoutADirectory) {
    LogCapture log;
    std::ofstream(Path("notapack.bin")) << "PK\x03\x04 something else entirely";
    for (const std::string& path : {Path("missing.zkp"), Path("notapack.bin"), std::string()}) {
        log.clear();
        EXPECT_EQ(zkSetPack(path.c_str()), nullptr);
        EXPECT_TRUE(log.has("[ZKP] Error : No Pack File !")) << path;
        ASSERT_TRUE(zkCurrentPack());
        EXPECT_FALSE(zkCurrentPack()->Find("anything"));
        EXPECT_FALSE(zkOpenFile("anything", PackFirst));
    }
    // Releasing some other pack leaves the current one alone; nothing releases it.
    zkPack other;
    zkReleasePack(&other);
    EXPECT_TRUE(zkCurrentPack());
    zkReleasePack(zkCurrentPack());
    EXPECT_FALSE(zkCurrentPack());
}

TEST_F(PackTest, BrokenPacksAreRejectedWithTheirFault) {
    const std::vector<uint8_t> good = BuildPack(Samples(), false);
    const size_t dirOffset = WordAt(good, good.size() - 4);
    // The first entry's four fields follow its name and terminator.
    const size_t fields = dirOffset + 4 + std::strlen("DATA\\CAVERN.LFD") + 1;

    struct Case {
        const char* fault;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto patched = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> b = good;
        SetWord(b, at, value);
        return b;
    };
    cases.push_back({"too short for a directory", {'Z', 'K', 'P', 'x', 0, 0, 0, 0}});
    cases.push_back({"directory offset outside the file", patched(good.size() - 4, uint32_t(good.size()))});
    cases.push_back({"directory offset outside the file", patched(good.size() - 4, 2)});
    cases.push_back({"entry count larger than the directory", patched(dirOffset, 0x7FFFFFFF)});
    cases.push_back({"entry count larger than the directory", patched(dirOffset, 0xFFFFFFFF)});
    cases.push_back({"entry data outside the file", patched(fields + 4, uint32_t(good.size()))});
    cases.push_back({"entry data outside the file", patched(fields + 8, 0xFFFFFFF0)});
    // A stored entry is read for its unpacked size.
    const size_t lakeFields = fields + 16 + std::strlen("DATA\\LAKE.PFD") + 1;
    cases.push_back({"entry data outside the file", patched(lakeFields + 12, uint32_t(good.size()))});
    // One entry more than the directory holds runs into the directory offset.
    cases.push_back({"directory runs past the end of the file", patched(dirOffset, 6)});

    // The fault is told in detail as a plain line; opening the pack raises one error.
    for (const Case& c : cases) {
        LogCapture log;
        const std::string path = WriteBytes("broken.zkp", c.bytes);
        EXPECT_FALSE(zkSetPack(path.c_str())) << c.fault;
        EXPECT_EQ(log.level("[ZKP] Error : Broken Pack File \"" + path + "\" : " + c.fault), 3)
            << c.fault << ": " << (log.texts().size() < 2 ? "" : log.texts()[1]);
        EXPECT_EQ(log.errors(), std::vector<std::string>{"[ZKP] Error : No Pack File !"}) << c.fault;
        zkReleasePack(zkCurrentPack());
    }
}

TEST_F(PackTest, NamesMayHave1023CharactersButNoMore) {
    zkpack::PackWriter writer;
    std::string error;
    const std::string longest(1023, 'N');
    ASSERT_TRUE(writer.Add(longest, Text("x"), Storage::Stored, error));
    std::vector<uint8_t> bytes = writer.Build(false);
    auto dir = ReadDirectory(WriteBytes("long.zkp", bytes).c_str());
    ASSERT_TRUE(dir);
    EXPECT_EQ(dir->names[0], longest);

    // Its terminator overwritten, the name runs on into the entry's fields.
    const size_t dirOffset = WordAt(bytes, bytes.size() - 4);
    bytes[dirOffset + 4 + 1023] = 'N';
    LogCapture log;
    EXPECT_FALSE(ReadDirectory(WriteBytes("long.zkp", bytes).c_str()));
    EXPECT_TRUE(log.contains("entry name longer than 1023 characters"));
}

TEST_F(PackTest, ADamagedCompressedEntryReadsAsNotFound) {
    std::vector<uint8_t> bytes = BuildPack(Samples(), false);
    auto dir = ReadDirectory(WriteBytes("damaged.zkp", bytes).c_str());
    ASSERT_TRUE(dir);
    // All ones: literals of 0xFF until the words run out, with no end marker.
    std::memset(bytes.data() + dir->offsets[0], 0xFF, dir->packedSizes[0]);
    // A stream that ends before the unpacked size the directory promises.
    const size_t dirOffset = WordAt(bytes, bytes.size() - 4);
    const size_t rockSizeField = dirOffset + 4 +
                                 (std::strlen("DATA\\CAVERN.LFD") + 1 + 16) +
                                 (std::strlen("DATA\\LAKE.PFD") + 1 + 16) +
                                 (std::strlen("EMPTY.BIN") + 1 + 16) +
                                 std::strlen("TEXTURES\\ROCK.DDS") + 1 + 12;
    ASSERT_EQ(WordAt(bytes, rockSizeField), 20000u);
    SetWord(bytes, rockSizeField, 20001);

    LogCapture log;
    const std::string path = WriteBytes("damaged.zkp", bytes);
    ASSERT_TRUE(zkSetPack(path.c_str()));
    EXPECT_FALSE(zkOpenFile("cavern.lfd", PackFirst));
    EXPECT_TRUE(log.has("[ZKP] Error : Damaged entry \"DATA\\CAVERN.LFD\" in \"" + path + "\""));
    EXPECT_FALSE(zkOpenFile("rock.dds", PackFirst));
    EXPECT_TRUE(log.has("[ZKP] Error : Damaged entry \"TEXTURES\\ROCK.DDS\" in \"" + path + "\""));
    // The other entries still read.
    auto readme = zkOpenFile("readme.txt", PackFirst);
    ASSERT_TRUE(readme);
    EXPECT_EQ(ReadAll(*readme), "stored as it is");
}

TEST_F(PackTest, AnOutsizedUnpackedSizeIsRefusedAndALargeValidOneReads) {
    const std::string zeros(4 << 20, '\0');
    const std::vector<Sample> samples = {
        {"ZEROS.BIN", zeros, Storage::Compressed},
        {"SMALL.TXT", Repetitive(3000, 3), Storage::Compressed},
    };
    std::vector<uint8_t> bytes = BuildPack(samples, false);
    const size_t dirOffset = WordAt(bytes, bytes.size() - 4);
    const size_t smallSize = dirOffset + 4 + (std::strlen("ZEROS.BIN") + 1 + 16) +
                             std::strlen("SMALL.TXT") + 1 + 12;
    ASSERT_EQ(WordAt(bytes, smallSize), 3000u);
    SetWord(bytes, smallSize, 0xFFFFFF00u);

    LogCapture log;
    ASSERT_TRUE(zkSetPack(WriteBytes("outsized.zkp", bytes).c_str()));
    auto big = zkOpenFile("zeros.bin", PackFirst);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->Size(), zeros.size());
    EXPECT_EQ(ReadAll(*big), zeros);
    EXPECT_FALSE(zkOpenFile("small.txt", PackFirst));
    EXPECT_TRUE(log.contains("[ZKP] Error : Damaged entry \"SMALL.TXT\""));
}

TEST_F(PackTest, TruncatedAndCorruptedPacksFailCleanly) {
    for (bool scrambled : {false, true}) {
        LogCapture quiet;
        const std::vector<uint8_t> good = BuildPack(Samples(), scrambled);
        // Every truncation, directory or not, is either rejected or reads safely.
        for (size_t n = 0; n < good.size(); ++n) {
            const std::string path =
                WriteBytes("cut.zkp", std::vector<uint8_t>(good.begin(), good.begin() + n));
            OpenEveryEntry(path);
        }
        // Seeded random corruptions of one to four bytes, anywhere in the pack.
        std::mt19937 rng(scrambled ? 99 : 7);
        int rejected = 0;
        for (int trial = 0; trial < 1500; ++trial) {
            std::vector<uint8_t> bad = good;
            const int flips = 1 + int(rng() % 4);
            for (int f = 0; f < flips; ++f) bad[rng() % bad.size()] ^= uint8_t(1 + rng() % 255);
            const std::string path = WriteBytes("bad.zkp", bad);
            if (!ReadDirectory(path.c_str())) ++rejected;
            OpenEveryEntry(path);
        }
        EXPECT_GT(rejected, 0);
    }
}

TEST_F(PackTest, LookupsOnTwoThreadsGetTheirOwnEntries) {
    ASSERT_TRUE(zkSetPack(WritePack("threads.zkp", Samples()).c_str()));
    auto worker = [](const char* name, const std::string* expected, int* failures) {
        for (int i = 0; i < 150; ++i) {
            auto f = zkOpenFile(name, PackFirst);
            if (!f || ReadAll(*f) != *expected) ++*failures;
        }
    };
    int failuresA = 0, failuresB = 0;
    std::thread a(worker, "cavern.lfd", &Samples()[0].bytes, &failuresA);
    std::thread b(worker, "readme.txt", &Samples()[4].bytes, &failuresB);
    a.join();
    b.join();
    EXPECT_EQ(failuresA, 0);
    EXPECT_EQ(failuresB, 0);
}
