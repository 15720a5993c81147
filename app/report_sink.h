// The application's report sink: how errors, warnings and plain messages of the
// reporting layer reach the user.
//
// Errors show a modal message box captioned "QIRN TEAM - Velmoor" over the demo
// window (on stderr when running headless); warnings and plain messages are only
// formatted, and written to the log file (--log) or to stderr (-v) when asked for.
// Each thread formats into its own buffer and output is serialised, so the scene
// loader and the main thread may report at the same time.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>

namespace platform {
class Window;
}

struct ReportSinkSettings {
    platform::Window* owner = nullptr;  // message boxes belong to this window
    bool headless = false;              // errors to stderr instead of a message box
    std::FILE* log = nullptr;           // every report, one per line (not owned)
    bool verbose = false;               // plain messages and warnings to stderr too
};

void ConfigureReportSink(const ReportSinkSettings& settings);

// The callback installed with LogSetCallback(reportSink, 1, 2, 3).
const char* reportSink(int type, int32_t code, const char* format, va_list* args);

inline constexpr const char* kMessageBoxCaption = "QIRN TEAM - Velmoor";
