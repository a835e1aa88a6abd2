// Fatal errors caught as exceptions, for calls whose refusal is fatal by design.
#pragma once

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace test_support {

// A fatal error, thrown by the hook that FatalThrowingTest sets.
struct SFatal : std::runtime_error {
    using std::runtime_error::runtime_error;
};
[[noreturn]] void throwOnFatal(const char* reason);

class FatalThrowingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The reason a call stops with, or "" when it returns.
template <typename Fn>
std::string fatalReasonOf(Fn fn) {
    try {
        fn();
    } catch (const SFatal& fatal) {
        return fatal.what();
    }
    return "";
}

}  // namespace test_support
