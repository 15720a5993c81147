// The zkpack command: usage on bad arguments, clear errors on unreadable inputs,
// and create / list / extract round trips, run as a separate process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "tools/zkpack/pack_writer.h"

namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

class ZkpackTool : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               (std::string("zkpack_tool_") + info->name() + "_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    Result Run(const std::string& args) {
        const std::string out = (dir_ / "stdout").string(), err = (dir_ / "stderr").string();
        const std::string command =
            std::string("'") + ZKPACK_EXECUTABLE + "' " + args + " >'" + out + "' 2>'" + err + "'";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
    }

    static std::string Slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    void Put(const std::string& relative, const std::string& bytes) {
        const fs::path p = dir_ / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }

    std::string P(const std::string& relative) const { return "'" + (dir_ / relative).string() + "'"; }

    fs::path dir_;
};

}  // namespace

TEST_F(ZkpackTool, BadArgumentsPrintUsage) {
    for (const std::string& args : {std::string(""), std::string("pack"), std::string("create x.zkp"),
                                    std::string("create -l 0 x.zkp in"), std::string("list"),
                                    std::string("extract only.zkp"), std::string("create --bogus a b")}) {
        const Result r = Run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << args << ": " << r.err;
    }
    EXPECT_EQ(Run("--help").status, 0);
}

TEST_F(ZkpackTool, UnreadableInputsGiveClearErrors) {
    Result r = Run("create " + P("out.zkp") + " " + P("no_such_dir"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "out.zkp"));

    Put("plain.txt", "this is not a pack");
    r = Run("list " + P("plain.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a readable pack"), std::string::npos) << r.err;
    r = Run("extract " + P("missing.zkp") + " " + P("out"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
}

TEST_F(ZkpackTool, CreateListAndExtractRoundTrip) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += "particle emitter " + std::to_string(i % 9) + "\n";
    Put("content/data/Jungle.pfd", text);
    Put("content/data/textures/bark.dds", std::string(5000, '\x7f'));
    Put("content/vlm.ini", "[General]\nwindowed=1\n");

    Result r = Run("create -s -l 9 " + P("demo.zkp") + " " + P("content"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("3 entries"), std::string::npos) << r.out;

    r = Run("list " + P("demo.zkp"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("scrambled directory"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("DATA\\JUNGLE.PFD"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("DATA\\TEXTURES\\BARK.DDS"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("compressed"), std::string::npos) << r.out;

    r = Run("extract " + P("demo.zkp") + " " + P("out"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(dir_ / "out/DATA/JUNGLE.PFD"), text);
    EXPECT_EQ(Slurp(dir_ / "out/DATA/TEXTURES/BARK.DDS"), std::string(5000, '\x7f'));
    EXPECT_EQ(Slurp(dir_ / "out/VLM.INI"), "[General]\nwindowed=1\n");
}

TEST_F(ZkpackTool, ExtractionStaysBelowItsFolderAndReportsBadEntries) {
    zkpack::PackWriter writer;
    std::string error;
    const std::vector<uint8_t> bytes = {'o', 'k'};
    ASSERT_TRUE(writer.Add("..\\ESCAPED.TXT", bytes, zkpack::Storage::Stored, error));
    ASSERT_TRUE(writer.Add("", bytes, zkpack::Storage::Stored, error));
    ASSERT_TRUE(writer.Add("SAFE\\OK.TXT", bytes, zkpack::Storage::Stored, error));
    std::vector<uint8_t> text(2000, 'z');
    ASSERT_TRUE(writer.Add("BROKEN.BIN", text, zkpack::Storage::Compressed, error));
    std::vector<uint8_t> pack = writer.Build(false);
    // Damage the compressed entry's stream: all ones never reach an end marker.
    const size_t at = 4 + 2 + 2 + 2;
    for (size_t i = 0; i < writer.Entries()[3].bytes.size(); ++i) pack[at + i] = 0xFF;
    std::ofstream(dir_ / "evil.zkp", std::ios::binary)
        .write(reinterpret_cast<const char*>(pack.data()), std::streamsize(pack.size()));
    fs::create_directories(dir_ / "out");

    const Result r = Run("extract " + P("evil.zkp") + " " + P("out"));
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(dir_ / "ESCAPED.TXT"));
    EXPECT_EQ(Slurp(dir_ / "out/SAFE/OK.TXT"), "ok");
    EXPECT_NE(r.err.find("\"..\\ESCAPED.TXT\" names no file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("[ZKP] Error : Damaged entry \"BROKEN.BIN\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("3 of 4 entries not extracted"), std::string::npos) << r.err;
}
