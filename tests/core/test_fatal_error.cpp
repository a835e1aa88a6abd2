#include "core/fatal_error.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(FatalError, EndsWithStatusThreeAndOneLineNamingTheReason) {
    EXPECT_EXIT(fatalError("missing project.ini"), ::testing::ExitedWithCode(3),
                "^velodrix: fatal error: missing project.ini\n$");
    EXPECT_EXIT(fatalErrorf("pool %s exhausted at %d", "timers", 1024), ::testing::ExitedWithCode(3),
                "pool timers exhausted at 1024");
}

[[noreturn]] void throwingHook(const char* reason) { throw std::runtime_error(reason); }

TEST(FatalError, AHookLetsTestsCatchFatalPaths) {
    setFatalErrorHook(throwingHook);
    EXPECT_THROW(fatalError("caught"), std::runtime_error);
    setFatalErrorHook(nullptr);
}

}  // namespace
