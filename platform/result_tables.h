// Lookup tables behind the result translators: one row per published code.
#pragma once

#include "platform/result_codes.h"

namespace platform {

struct ResultText {
    HRESULT code;
    const char* text;  // "NAME:Description. ", usable as a format string
};

extern const ResultText kDDResults[];
extern const int kDDResultCount;
extern const ResultText kD3DResults[];
extern const int kD3DResultCount;
extern const ResultText kD3DXResults[];
extern const int kD3DXResultCount;

}  // namespace platform
