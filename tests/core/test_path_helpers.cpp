#include "core/path_helpers.h"

#include "platform/os/os.h"

#include <gtest/gtest.h>

namespace {

void countCompletion(void* context) { ++*static_cast<int*>(context); }

TEST(PathHelpers, AlertableSleepRunsQueuedCompletionsAndAPlainOneDoesNot) {
    int ran = 0;
    osQueueCompletion(osCurrentThreadQueue(), countCompletion, &ran);
    sleepAlertable(0, 0);
    EXPECT_EQ(ran, 0);
    sleepAlertable(0);
    EXPECT_EQ(ran, 1);
}

}  // namespace
