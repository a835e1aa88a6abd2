// Small fixed stacks of game-state values whose tops the frame, the game clock and the debug
// camera read.
#pragma once

#include "core/types.h"

constexpr int STATE_STACK_DEPTH = 10;
constexpr int INT_STATE_STACK_COUNT = 13;
constexpr int FLOAT_STATE_STACK_COUNT = 3;

// Float stack 1 holds the game clock's time scale.
constexpr int E_FLOATSTACK_TIME_SCALE = 1;

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

extern SStateStack<s32> g_aIntStateStacks[INT_STATE_STACK_COUNT];
extern SStateStack<f32> g_aFloatStateStacks[FLOAT_STATE_STACK_COUNT];

// The start-up defaults: one value on every stack but integer stacks 10 and 11.
void pushDefaultStateStacks();
s32 peekIntStateStack(int stack);
f32 peekFloatStateStack(int stack);
