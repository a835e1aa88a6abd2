#include "render/state_stacks.h"

SStateStack<s32> g_IntStateStack;
SStateStack<f32> g_TimeScaleStack;

void pushDefaultStateStacks() {
    g_IntStateStack.push(0);
    g_TimeScaleStack.push(1.0f);
}

s32 peekIntStateStack() { return g_IntStateStack.top(); }

f32 peekTimeScale() { return g_TimeScaleStack.top(); }
