#include "render/state_stacks.h"

#include <initializer_list>

SStateStack<s32> g_aIntStateStacks[INT_STATE_STACK_COUNT];
SStateStack<f32> g_aFloatStateStacks[FLOAT_STATE_STACK_COUNT];

void pushDefaultStateStacks() {
    for (int stack : {2, 1, 0, 3, 4, 5, 6, 7, 8}) g_aIntStateStacks[stack].push(0);
    g_aIntStateStacks[9].push(1);
    g_aFloatStateStacks[1].push(1.0f);
    g_aFloatStateStacks[2].push(1.0f);
    g_aFloatStateStacks[0].push(0.1f);
    g_aIntStateStacks[12].push(0);
}

s32 peekIntStateStack(int stack) { return g_aIntStateStacks[stack].top(); }

f32 peekFloatStateStack(int stack) { return g_aFloatStateStacks[stack].top(); }
