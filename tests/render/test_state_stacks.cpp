// The view slots' input-mapper stacks (the bounds of a stack itself are checked on the camera
// stacks).
#include "input/input_channels.h"
#include "input/input_mapper.h"
#include "render/view_slots.h"

#include <gtest/gtest.h>

namespace {

class ClIdleMapper : public ClInputMapperBase {
public:
    void mapInputs(int) override {}
};

TEST(StateStacks, MapperStacksLockInputEvenWhenFullOrEmpty) {
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
