#include "tests/support/log_capture.h"

#include <cstdarg>
#include <cstdio>

#include "platform/report.h"

namespace testing_support {

namespace {
LogCapture* g_capture = nullptr;
}

const char* CaptureSink(int level, int code, const char* format, va_list* args) {
    thread_local char buffer[4096];
    std::vsnprintf(buffer, sizeof buffer, format, *args);
    if (LogCapture* capture = g_capture) {
        std::lock_guard lock(capture->mutex_);
        capture->reports_.push_back({level, code, buffer});
    }
    return buffer;
}

LogCapture::LogCapture() {
    g_capture = this;
    LogSetCallback(&CaptureSink, kReportError, kReportWarning, kReportPlain);
}

LogCapture::~LogCapture() {
    LogSetCallback(nullptr, kReportError, kReportWarning, kReportPlain);
    g_capture = nullptr;
}

std::vector<Report> LogCapture::reports() const {
    std::lock_guard lock(mutex_);
    return reports_;
}

std::vector<std::string> LogCapture::texts() const {
    std::vector<std::string> out;
    for (const auto& r : reports()) out.push_back(r.text);
    return out;
}

std::vector<std::string> LogCapture::errors() const {
    std::vector<std::string> out;
    for (const auto& r : reports())
        if (r.level == kReportError) out.push_back(r.text);
    return out;
}

bool LogCapture::has(const std::string& text) const { return count(text) > 0; }

bool LogCapture::contains(const std::string& part) const {
    for (const auto& r : reports())
        if (r.text.find(part) != std::string::npos) return true;
    return false;
}

int LogCapture::level(const std::string& text) const {
    for (const auto& r : reports())
        if (r.text == text) return r.level;
    return 0;
}

int LogCapture::count(const std::string& text) const {
    int n = 0;
    for (const auto& r : reports()) n += r.text == text;
    return n;
}

void LogCapture::clear() {
    std::lock_guard lock(mutex_);
    reports_.clear();
}

}  // namespace testing_support
