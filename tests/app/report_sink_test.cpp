#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "app/report_sink.h"
#include "platform/report.h"

namespace {

// Installs the application's sink writing to a temporary log for one test.
class SinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        log_ = std::tmpfile();
        ReportSinkSettings settings;
        settings.headless = true;
        settings.log = log_;
        ConfigureReportSink(settings);
        LogSetCallback(reportSink, kReportError, kReportWarning, kReportPlain);
    }
    void TearDown() override {
        LogSetCallback(nullptr, kReportError, kReportWarning, kReportPlain);
        ConfigureReportSink({});
        std::fclose(log_);
    }
    std::vector<std::string> lines() {
        std::fflush(log_);
        std::rewind(log_);
        std::vector<std::string> out;
        char line[2048];
        while (std::fgets(line, sizeof line, log_)) {
            std::string s(line);
            if (!s.empty() && s.back() == '\n') s.pop_back();
            out.push_back(s);
        }
        return out;
    }
    std::FILE* log_ = nullptr;
};

}  // namespace

TEST_F(SinkTest, FormatsEachLevel) {
    ::testing::internal::CaptureStderr();
    EXPECT_STREQ(LogError("[W] Current world has not be set"), "Error -1 : [W] Current world has not be set");
    EXPECT_STREQ(LogErrorCode(5, "[T] %d items", 3), "Error 5 : [T] 3 items");
    EXPECT_STREQ(LogMessage("[Load] Reads %d Meshes", 2), "[Load] Reads 2 Meshes");
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors, "Error -1 : [W] Current world has not be set\nError 5 : [T] 3 items\n");
    EXPECT_EQ(lines(), (std::vector<std::string>{"Error -1 : [W] Current world has not be set",
                                                 "Error 5 : [T] 3 items", "[Load] Reads 2 Meshes"}));
}

namespace {
const char* Sink(int type, int code, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const char* text = reportSink(type, code, format, &args);
    va_end(args);
    return text;
}
}  // namespace

TEST_F(SinkTest, WarningsAreFormattedButNotShownAndUnknownTypesChangeNothing) {
    ::testing::internal::CaptureStderr();
    EXPECT_STREQ(Sink(2, 4, "[X] careful %s", "now"), "Warning 4 : [X] careful now");
    EXPECT_STREQ(Sink(9, 0, "[X] dropped"), "Warning 4 : [X] careful now");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(lines(), std::vector<std::string>{"Warning 4 : [X] careful now"});
}

TEST_F(SinkTest, LongMessagesAreCutNotOverflowed) {
    const std::string huge(5000, 'x');
    const std::string text = LogMessage("%s", huge.c_str());
    EXPECT_EQ(text.size(), 1023u);
}

TEST_F(SinkTest, TwoThreadsReportingAtOnceKeepWholeLines) {
    auto writer = [](const char* tag) {
        for (int i = 0; i < 300; ++i) LogMessage("[%s] report %d from one thread", tag, i);
    };
    std::thread a(writer, "L"), b(writer, "M");
    a.join();
    b.join();
    const auto all = lines();
    ASSERT_EQ(all.size(), 600u);
    for (const auto& line : all) {
        ASSERT_TRUE(line.rfind("[L] report ", 0) == 0 || line.rfind("[M] report ", 0) == 0) << line;
        ASSERT_NE(line.find(" from one thread"), std::string::npos) << line;
    }
}
