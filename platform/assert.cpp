#include "platform/assert.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void AssertionFailed(const char* condition, const char* message, const char* file, int line) {
    // Straight to stderr: the reporting layer may be what is broken.
    std::fprintf(stderr, "%s:%d: assertion failed: %s\n  (%s)\n", file, line, message, condition);
    std::fflush(stderr);
    std::abort();
}

}  // namespace platform
