#include <gtest/gtest.h>

#include "platform/assert.h"

// Where assertions are on, a broken precondition stops the program and says
// which; where they are off, the condition is not even evaluated.
TEST(Assert, StopsWithTheBrokenPromiseOrCostsNothing) {
    int evaluated = 0;
    const auto count = [&] { return ++evaluated > 0; };
    ZK_ASSERT(count(), "a true condition passes");
#if !defined(NDEBUG) || defined(ZK_ENABLE_ASSERTS)
    EXPECT_EQ(evaluated, 1);
    EXPECT_DEATH(ZK_ASSERT(evaluated == 0, "the counter was never touched"),
                 "assertion failed: the counter was never touched");
#else
    EXPECT_EQ(evaluated, 0);
#endif
}
