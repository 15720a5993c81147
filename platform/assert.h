// ZK_ASSERT: a precondition the program itself must keep, checked in debug and
// sanitizer builds.
//
// It is for misuse by our own code — a draw with no current render context, a
// call out of order, an index the caller should have checked — never for bad
// input: a broken file, a missing key or a wrong path keeps its report and its
// clean failure. A failed assertion prints the condition, the broken promise in
// plain words and where it was made, then aborts so a debugger or the sanitizer
// stops at the caller. In optimised builds (NDEBUG) it compiles to nothing and
// the code after it, which still copes, takes over:
//
//     ZK_ASSERT(context, "a mesh is drawn before the render context exists");
//     if (!context) return;
#pragma once

#if !defined(NDEBUG) || defined(ZK_ENABLE_ASSERTS)
#define ZK_ASSERT(condition, message)                                                    \
    ((condition) ? static_cast<void>(0)                                                  \
                 : ::platform::AssertionFailed(#condition, message, __FILE__, __LINE__))
#else
#define ZK_ASSERT(condition, message) static_cast<void>(sizeof(!(condition)))
#endif

namespace platform {

[[noreturn]] void AssertionFailed(const char* condition, const char* message, const char* file, int line);

}  // namespace platform
