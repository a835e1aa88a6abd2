#include "tests/support/fatal_catch.h"

#include "core/fatal_error.h"

namespace test_support {

void throwOnFatal(const char* reason) { throw SFatal(reason); }

void FatalThrowingTest::SetUp() { setFatalErrorHook(throwOnFatal); }
void FatalThrowingTest::TearDown() { setFatalErrorHook(nullptr); }

}  // namespace test_support
