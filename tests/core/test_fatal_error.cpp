#include "core/fatal_error.h"

#include <gtest/gtest.h>

namespace {

TEST(FatalError, EndsWithStatusThreeAndOneLineNamingTheReason) {
    EXPECT_EXIT(fatalError("missing project.ini"), ::testing::ExitedWithCode(3),
                "^velodrix: fatal error: missing project.ini\n$");
    EXPECT_EXIT(fatalErrorf("pool %s exhausted at %d", "timers", 1024), ::testing::ExitedWithCode(3),
                "pool timers exhausted at 1024");
}

}  // namespace
