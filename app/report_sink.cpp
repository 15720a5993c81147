#include "app/report_sink.h"

#include <mutex>

#include "platform/report.h"
#include "platform/window.h"

namespace {

std::mutex g_outputMutex;
ReportSinkSettings g_settings;

}  // namespace

void ConfigureReportSink(const ReportSinkSettings& settings) {
    std::lock_guard lock(g_outputMutex);
    g_settings = settings;
}

const char* reportSink(int type, int32_t code, const char* format, va_list* args) {
    thread_local char buffer[1024];
    int prefix = 0;
    switch (type) {
        case kReportError: prefix = std::snprintf(buffer, sizeof buffer, "Error %d : ", code); break;
        case kReportWarning: prefix = std::snprintf(buffer, sizeof buffer, "Warning %d : ", code); break;
        case kReportPlain: break;
        default: return buffer;  // unknown levels leave the buffer as it was
    }
    std::vsnprintf(buffer + prefix, sizeof buffer - size_t(prefix), format, *args);

    std::lock_guard lock(g_outputMutex);
    if (g_settings.log) {
        std::fputs(buffer, g_settings.log);
        std::fputc('\n', g_settings.log);
        // Errors reach the disk at once; the many plain lines go out buffered.
        if (type == kReportError) std::fflush(g_settings.log);
    }
    if (type == kReportError) {
        if (g_settings.headless)
            std::fprintf(stderr, "%s\n", buffer);
        else
            platform::MessageBox(g_settings.owner, kMessageBoxCaption, buffer);
    } else if (g_settings.verbose) {
        std::fprintf(stderr, "%s\n", buffer);
    }
    return buffer;
}
