// The reporting layer every part of the program reports through.
//
// It owns no output of its own: each report is handed, still unformatted, to the
// one callback the application installs at start-up, together with a level number
// (error, warning or plain message) and a report number. Until a callback is
// installed every call is a no-op. The callback slot and the levels are written
// once, before any second thread exists, and only read afterwards; the callback
// itself must accept reports from the scene-loader thread and the main thread.
//
// Every message begins with the bracketed tag of the subsystem that raises it
// ("[W] ", "[Load] ", "[RC] " ...); names inside messages stand in double quotes.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "platform/result_codes.h"

#if defined(__GNUC__)
#define ZK_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define ZK_PRINTF(fmt, args)
#endif

// The level numbers the program installs its callback with.
enum ReportLevel : int { kReportError = 1, kReportWarning = 2, kReportPlain = 3 };

// The application's sink: (level, report number, format, argument list) -> the
// formatted text. The argument list is the reporting call's own and may be read once.
using LogCallback = const char* (*)(int level, int32_t code, const char* format, va_list* args);

void LogSetCallback(LogCallback callback, int errorLevel, int warningLevel, int plainLevel);

// Errors carry report number -1, plain messages 0.
const char* LogError(const char* format, ...) ZK_PRINTF(1, 2);
const char* LogMessage(const char* format, ...) ZK_PRINTF(1, 2);
// An error with the caller's own report number.
const char* LogErrorCode(int32_t code, const char* format, ...) ZK_PRINTF(2, 3);
// Reports an error (with value as its number) only when value differs from expected.
int32_t LogCheck(int32_t value, int32_t expected, const char* format, ...) ZK_PRINTF(3, 4);

// Report the symbolic name and description of a result code at the plain level
// ("DD_OK:The request completed successfully. "), or "DD : Unknown Error [0x...]"
// for a code outside the table. Each returns its code unchanged, so a call can wrap
// the platform call it checks.
HRESULT ReportDDResult(HRESULT code);
HRESULT ReportD3DResult(HRESULT code);
HRESULT ReportD3DXResult(HRESULT code);

// Text of a code without reporting it (nullptr when the code is not in the table).
const char* DDResultText(HRESULT code);
const char* D3DResultText(HRESULT code);
const char* D3DXResultText(HRESULT code);
