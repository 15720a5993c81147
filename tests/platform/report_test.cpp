#include <gtest/gtest.h>

#include <thread>

#include "platform/report.h"
#include "platform/result_tables.h"
#include "tests/support/log_capture.h"

using testing_support::LogCapture;

TEST(Report, ErrorsCarryMinusOneAndMessagesZero) {
    LogCapture log;
    LogError("[W] Current world has not be set");
    LogMessage("[Load] Reads %d Meshes", 3);
    LogErrorCode(5, "[X] code %s", "five");
    const auto r = log.reports();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].level, 1);
    EXPECT_EQ(r[0].code, -1);
    EXPECT_EQ(r[0].text, "[W] Current world has not be set");
    EXPECT_EQ(r[1].level, 3);
    EXPECT_EQ(r[1].code, 0);
    EXPECT_EQ(r[1].text, "[Load] Reads 3 Meshes");
    EXPECT_EQ(r[2].code, 5);
    EXPECT_EQ(r[2].text, "[X] code five");
}

TEST(Report, NoCallbackMeansNoOutputAndNoCrash) {
    LogSetCallback(nullptr, kReportError, kReportWarning, kReportPlain);
    EXPECT_EQ(LogError("[W] %s", "nobody listens"), nullptr);
    EXPECT_EQ(LogCheck(4, 5, "x"), 4);
}

TEST(Report, LogCheckReportsOnlyAMismatchAndReturnsTheValue) {
    LogCapture log;
    EXPECT_EQ(LogCheck(7, 7, "[T] equal"), 7);
    EXPECT_TRUE(log.reports().empty());
    EXPECT_EQ(LogCheck(9, 7, "[T] got %d", 9), 9);
    const auto r = log.reports();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].level, 1);
    EXPECT_EQ(r[0].code, 9);
    EXPECT_EQ(r[0].text, "[T] got 9");
}

TEST(ResultTranslators, KnownCodesReportNameAndDescriptionAtPlainLevel) {
    LogCapture log;
    EXPECT_EQ(ReportDDResult(0), 0);
    EXPECT_EQ(ReportD3DResult(D3D_OK), 0);
    EXPECT_EQ(ReportD3DXResult(D3DXERR_NOMEMORY), D3DXERR_NOMEMORY);
    const auto r = log.reports();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].text, "DD_OK:The request completed successfully. ");
    EXPECT_EQ(r[1].text, "D3D_OK:No error occurred. ");
    EXPECT_EQ(r[2].text, "D3DXERR_NOMEMORY:The requested operation failed because the system is out of memory. ");
    for (const auto& report : r) {
        EXPECT_EQ(report.level, 3);
        EXPECT_EQ(report.code, 0);
    }
}

TEST(ResultTranslators, UnknownCodesAreReportedInUpperCaseHex) {
    LogCapture log;
    EXPECT_EQ(ReportD3DResult(HRESULT(0x8876ABCDu)), HRESULT(0x8876ABCDu));
    EXPECT_EQ(ReportDDResult(HRESULT(0x12AB)), HRESULT(0x12AB));
    EXPECT_EQ(ReportD3DXResult(HRESULT(0xC8770BDCu)), HRESULT(0xC8770BDCu));
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"D3D : Unknown Error [0x8876ABCD]",
                                                     "DD : Unknown Error [0x12AB]",
                                                     "D3DX : Unknown Error [0xC8770BDC]"}));
}

TEST(ResultTranslators, TablesHoldThePublishedCodes) {
    EXPECT_EQ(platform::kDDResultCount, 118);
    EXPECT_EQ(platform::kD3DResultCount, 78);
    EXPECT_EQ(platform::kD3DXResultCount, 37);  // D3DX_OK and the 36 codes 0xC8770BB8..0xC8770BDB
    // Aliases of the general COM codes and a few spot values from the headers.
    EXPECT_EQ(DDERR_GENERIC, HRESULT(0x80004005u));
    EXPECT_EQ(DDERR_INVALIDPARAMS, HRESULT(0x80070057u));
    EXPECT_EQ(DDERR_NOTINITIALIZED, HRESULT(0x800401F0u));
    EXPECT_EQ(DDERR_OUTOFMEMORY, HRESULT(0x8007000Eu));
    EXPECT_EQ(DDERR_UNSUPPORTED, HRESULT(0x80004001u));
    EXPECT_EQ(DDERR_SURFACELOST, HRESULT(0x887601C2u));
    EXPECT_EQ(D3DERR_BADMAJORVERSION, HRESULT(0x887602BCu));
    EXPECT_EQ(D3DERR_ZBUFFER_NOTPRESENT, HRESULT(0x88760816u));
    EXPECT_EQ(D3DXERR_NOMATCHFOUND, HRESULT(0xC8770BDBu));
    // The D3DX codes are consecutive, in their published order.
    for (int i = 1; i < platform::kD3DXResultCount; ++i)
        EXPECT_EQ(platform::kD3DXResults[i].code, HRESULT(0xC8770BB8u + (i - 1)));
}

TEST(ResultTranslators, EveryTextIsAnExactFormatFreeNameColonDescription) {
    const struct {
        const platform::ResultText* rows;
        int count;
    } tables[] = {{platform::kDDResults, platform::kDDResultCount},
                  {platform::kD3DResults, platform::kD3DResultCount},
                  {platform::kD3DXResults, platform::kD3DXResultCount}};
    for (const auto& table : tables) {
        for (int i = 0; i < table.count; ++i) {
            const std::string text = table.rows[i].text;
            SCOPED_TRACE(text);
            EXPECT_EQ(text.find('%'), std::string::npos);
            const auto colon = text.find(':');
            ASSERT_NE(colon, std::string::npos);
            EXPECT_GT(text.size(), colon + 3);
            EXPECT_EQ(text.substr(text.size() - 2), ". ");
            // Each code appears once in its table.
            for (int j = i + 1; j < table.count; ++j) EXPECT_NE(table.rows[i].code, table.rows[j].code);
        }
    }
}

TEST(Report, ReportsFromTwoThreadsAllArriveWhole) {
    LogCapture log;
    auto writer = [](char tag) {
        for (int i = 0; i < 500; ++i) LogMessage("[%c] line %d of a report from one thread", tag, i);
    };
    std::thread a(writer, 'A'), b(writer, 'B');
    a.join();
    b.join();
    int fromA = 0, fromB = 0;
    for (const auto& t : log.texts()) {
        ASSERT_TRUE(t.rfind("[A] line ", 0) == 0 || t.rfind("[B] line ", 0) == 0) << t;
        ASSERT_NE(t.find(" of a report from one thread"), std::string::npos) << t;
        (t[1] == 'A' ? fromA : fromB)++;
    }
    EXPECT_EQ(fromA, 500);
    EXPECT_EQ(fromB, 500);
}
