// The game-state stacks and the view slots' input-mapper stacks.
#include "input/input_channels.h"
#include "input/input_mapper.h"
#include "render/state_stacks.h"
#include "render/view_slots.h"

#include <gtest/gtest.h>

namespace {

class ClIdleMapper : public ClInputMapperBase {
public:
    void mapInputs(int) override {}
};

TEST(StateStacks, AnEleventhPushIsIgnoredEmptyPopsDoNothingAndMapperStacksLockInputAtTheirLimits) {
    SStateStack<s32> stack = {};
    for (int i = 1; i <= 11; ++i) stack.push(i);
    EXPECT_EQ(stack.count, 10u);
    EXPECT_EQ(stack.top(), 10);
    for (int i = 0; i < 12; ++i) stack.pop();
    EXPECT_EQ(stack.count, 0u);

    // The view slots' mapper stacks lock input even when full or empty.
    resetViewSlots();
    ClIdleMapper mapper;
    EXPECT_EQ(getPlayerInputMapper(1), nullptr);

    g_iInputLockCounter = 0;
    popPlayerInputMapper(1);
    EXPECT_EQ(g_iInputLockCounter, 2);  // a pop of an empty stack

    for (int i = 0; i < 11; ++i) pushPlayerInputMapper(1, &mapper);
    g_iInputLockCounter = 0;
    pushPlayerInputMapper(1, &mapper);
    // A push onto a full stack.
    EXPECT_EQ(g_iInputLockCounter, 2);

    resetViewSlots();
    g_iInputLockCounter = 0;
}

}  // namespace
