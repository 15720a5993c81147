#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "demo/ini_file.h"
#include "tests/support/log_capture.h"

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = (fs::temp_directory_path() / ("ini_test_" + std::to_string(::getpid()) + ".ini")).string();
    }
    void TearDown() override { fs::remove(path_); }
    IniFile write(const std::string& text) {
        std::ofstream(path_, std::ios::binary) << text;
        return IniFile(path_.c_str());
    }
    std::string path_;
};

std::string Get(const IniFile& ini, const char* section, const char* key, const char* def = "") {
    char out[IniFile::kValueBufferSize];
    ini.getString(section, key, out, def);
    return out;
}

}  // namespace

TEST_F(IniFileTest, NamesIgnoreCaseAndBlanksAreTrimmed) {
    const IniFile ini = write("[General]\r\n  FullScreen =  1  \r\n[ Loading ]\nScene= data/load.zks\n"
                              "[Crlf]\r\nplain=data/a.zks\r\nquoted=\"  b  \"\r\n");
    int v = -1;
    EXPECT_EQ(ini.getInt("general", "fullscreen", v, 0), 1);
    EXPECT_EQ(Get(ini, "LOADING", "scene"), "data/load.zks");
    // Files written on another system end their lines with CR LF: no value keeps the CR.
    EXPECT_EQ(Get(ini, "Crlf", "plain"), "data/a.zks");
    EXPECT_EQ(Get(ini, "Crlf", "quoted"), "  b  ");
}

TEST_F(IniFileTest, FirstMatchingSectionAndKeyWin) {
    const IniFile ini = write("[A]\nk=1\nk=2\n[B]\nk=3\n[A]\nk=4\nonly=5\n");
    EXPECT_EQ(Get(ini, "A", "k"), "1");
    EXPECT_EQ(Get(ini, "B", "k"), "3");
    // Keys of a later section with the same name are not seen.
    EXPECT_EQ(Get(ini, "A", "only", "missing"), "missing");
}

TEST_F(IniFileTest, KeysOfASectionInFileOrder) {
    const IniFile ini = write("[A]\nk=1\n; c=0\nK=2\nnoequals\n  two = x\n[B]\nb=3\n[a]\nlater=4\n");
    const struct {
        const char* section;
        std::vector<std::string> keys;
    } cases[] = {{"a", {"k", "two"}}, {"B", {"b"}}, {"None", {}}, {nullptr, {}}};
    for (const auto& c : cases) EXPECT_EQ(ini.keys(c.section), c.keys) << (c.section ? c.section : "null");
    EXPECT_TRUE(IniFile("/nonexistent/vlm.ini").keys("A").empty());
}

TEST_F(IniFileTest, QuotesCommentsAndMissingEntries) {
    const IniFile ini = write(
        "; a comment\n[Space]\n;credits_text_up01=hidden\ncredits_text_up01=\"  Code  \"\nsingle='x'\n"
        "mixed=\"y'\nempty=\n");
    EXPECT_EQ(Get(ini, "Space", "credits_text_up01"), "  Code  ");
    EXPECT_EQ(Get(ini, "Space", "single"), "x");
    EXPECT_EQ(Get(ini, "Space", "mixed"), "\"y'");
    EXPECT_EQ(Get(ini, "Space", "empty", "def"), "");
    EXPECT_EQ(Get(ini, "Space", "absent", "def  "), "def");
    EXPECT_EQ(Get(ini, "Nowhere", "x", "d"), "d");
    EXPECT_EQ(Get(IniFile("/nonexistent/vlm.ini"), "General", "x", "d"), "d");
}

TEST_F(IniFileTest, ValuesAreCutToTheBuffer) {
    const IniFile ini = write("[Space]\nline=" + std::string(300, 'a') + "\nhuge=" + std::string(5000, 'b') + "\n");
    char small[256];
    EXPECT_EQ(ini.getString("Space", "line", small, "", sizeof small), 255);
    EXPECT_EQ(std::string(small), std::string(255, 'a'));
    EXPECT_EQ(Get(ini, "Space", "huge"), std::string(1023, 'b'));
}

TEST_F(IniFileTest, IntegersFollowAtoi) {
    const IniFile ini = write("[G]\nyes=yes\nneg= -12abc\nplus=+7\nbig=99999999999\n");
    int v = 0;
    EXPECT_EQ(ini.getInt("G", "yes", v, 5), 0);  // present but not a number
    EXPECT_EQ(ini.getInt("G", "neg", v, 5), -12);
    EXPECT_EQ(ini.getInt("G", "plus", v, 5), 7);
    EXPECT_EQ(ini.getInt("G", "absent", v, 42), 42);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(ini.getInt("G", "big", v, 0), 2147483647);  // saturates instead of overflowing
    EXPECT_EQ(ini.getInt("G", "absent", v, -3), -3);
}

TEST_F(IniFileTest, FloatsFollowAtofAndReportWhatIsNoNumber) {
    const IniFile ini = write("[J]\na=2.5\nb=2,5\nc=1e1 \nd=0.5x\ne=x\nf=1e999\ng=-1e40\n");
    struct Case {
        const char* key;
        float expected;
        const char* report;  // nullptr: none
    };
    const Case cases[] = {
        {"a", 2.5f, nullptr},
        {"b", 2.0f, "\"b\" in section \"J\" is \"2,5\", not a number : it reads as 2"},
        {"c", 10.0f, nullptr},
        {"d", 0.5f, "not a number : it reads as 0.5"},
        {"e", 0.0f, "\"e\" in section \"J\" is \"x\", not a number : it reads as 0"},
        {"f", 1.0f, "\"f\" in section \"J\" is \"1e999\", out of range : its default 1 is used"},
        {"g", 1.0f, "out of range"},
        {"absent", 1.0f, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        testing_support::LogCapture log;
        float f = -1;
        ini.getFloat("J", c.key, f, 1.0f);
        EXPECT_FLOAT_EQ(f, c.expected);
        EXPECT_EQ(log.errors().size(), c.report ? 1u : 0u);
        if (c.report) {
            EXPECT_TRUE(log.contains(c.report));
        }
    }
    float f = -1;
    ini.getFloat("J", "absent", f, 0.123456789f);
    EXPECT_FLOAT_EQ(f, 0.123456789f);
}

TEST(FloatList, SplitsAtSingleSpaces) {
    char text[] = "1 2.5 7";
    float out[kFloatListCapacity];
    int count = 0;
    parseFloatList(text, out, count);
    ASSERT_EQ(count, 3);
    EXPECT_FLOAT_EQ(out[0], 1);
    EXPECT_FLOAT_EQ(out[1], 2.5f);
    EXPECT_FLOAT_EQ(out[2], 7);
}

TEST(FloatList, EmptyItemsGetZero) {
    char text[] = "1  2";
    float out[kFloatListCapacity];
    for (float& f : out) f = 99;
    int count = 0;
    parseFloatList(text, out, count);
    ASSERT_EQ(count, 3);
    EXPECT_FLOAT_EQ(out[1], 0.0f);
    char empty[] = "";
    parseFloatList(empty, out, count);
    EXPECT_EQ(count, 1);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
}

TEST(FloatList, NeverWritesPastTheCapacity) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += (i ? " " : "") + std::to_string(i);
    float out[kFloatListCapacity + 1];
    out[kFloatListCapacity] = -7;
    int count = 0;
    parseFloatList(text.data(), out, count);
    EXPECT_EQ(count, kFloatListCapacity);
    EXPECT_FLOAT_EQ(out[kFloatListCapacity - 1], 255);
    EXPECT_EQ(out[kFloatListCapacity], -7);
}
