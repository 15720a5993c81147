#include "platform/report.h"

#include "platform/result_tables.h"

namespace {

// Written once by LogSetCallback before any other thread starts.
LogCallback g_callback = nullptr;
int g_errorLevel = 1;
int g_warningLevel = 2;
int g_plainLevel = 3;

const char* Forward(int level, int32_t code, const char* format, va_list args) {
    if (!g_callback) return nullptr;
    va_list copy;
    va_copy(copy, args);
    const char* text = g_callback(level, code, format, &copy);
    va_end(copy);
    return text;
}

// Passes a fixed text as the format itself, with no arguments; the texts of the
// tables hold no per-cent sign.
const char* ReportText(const char* text, ...) {
    va_list args;
    va_start(args, text);
    const char* result = Forward(g_plainLevel, 0, text, args);
    va_end(args);
    return result;
}

const char* Find(const platform::ResultText* table, int count, HRESULT code) {
    for (int i = 0; i < count; ++i)
        if (table[i].code == code) return table[i].text;
    return nullptr;
}

HRESULT Translate(const platform::ResultText* table, int count, const char* unknownFormat, HRESULT code) {
    if (const char* text = Find(table, count, code))
        ReportText(text);
    else
        LogMessage(unknownFormat, static_cast<unsigned>(code));
    return code;
}

}  // namespace

void LogSetCallback(LogCallback callback, int errorLevel, int warningLevel, int plainLevel) {
    g_callback = callback;
    g_errorLevel = errorLevel;
    g_warningLevel = warningLevel;
    g_plainLevel = plainLevel;
}

const char* LogError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const char* text = Forward(g_errorLevel, -1, format, args);
    va_end(args);
    return text;
}

const char* LogMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const char* text = Forward(g_plainLevel, 0, format, args);
    va_end(args);
    return text;
}

const char* LogErrorCode(int32_t code, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const char* text = Forward(g_errorLevel, code, format, args);
    va_end(args);
    return text;
}

int32_t LogCheck(int32_t value, int32_t expected, const char* format, ...) {
    if (value != expected) {
        va_list args;
        va_start(args, format);
        Forward(g_errorLevel, value, format, args);
        va_end(args);
    }
    return value;
}

HRESULT ReportDDResult(HRESULT code) {
    return Translate(platform::kDDResults, platform::kDDResultCount, "DD : Unknown Error [0x%X]", code);
}
HRESULT ReportD3DResult(HRESULT code) {
    return Translate(platform::kD3DResults, platform::kD3DResultCount, "D3D : Unknown Error [0x%X]", code);
}
HRESULT ReportD3DXResult(HRESULT code) {
    return Translate(platform::kD3DXResults, platform::kD3DXResultCount, "D3DX : Unknown Error [0x%X]", code);
}

const char* DDResultText(HRESULT code) { return Find(platform::kDDResults, platform::kDDResultCount, code); }
const char* D3DResultText(HRESULT code) { return Find(platform::kD3DResults, platform::kD3DResultCount, code); }
const char* D3DXResultText(HRESULT code) { return Find(platform::kD3DXResults, platform::kD3DXResultCount, code); }
