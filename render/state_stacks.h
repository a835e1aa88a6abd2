// Small fixed stacks of game-state values: the debug camera moves only while the top of the
// integer stack reads 0, and the game clock scales its gameplay step by the top of the float
// stack.
#pragma once

#include "core/types.h"

constexpr int STATE_STACK_DEPTH = 10;

// Entries first, count last. An 11th push is ignored; a pop of an empty stack does nothing.
template <typename T>
struct SStateStack {
    T entries[STATE_STACK_DEPTH];
    u32 count;

    void push(T value) {
        if (count < STATE_STACK_DEPTH) entries[count++] = value;
    }
    void pop() {
        if (count > 0) --count;
    }
    // An empty stack reads as zero.
    T top() const { return count > 0 ? entries[count - 1] : T{}; }
};

extern SStateStack<s32> g_IntStateStack;
extern SStateStack<f32> g_TimeScaleStack;

// The start-up defaults: 0 on the integer stack, a time scale of 1.
void pushDefaultStateStacks();
s32 peekIntStateStack();
f32 peekTimeScale();
