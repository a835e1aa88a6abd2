// The random input tester: in place of the devices it presses randomly chosen inputs of pad 0's
// raw record for random hold times and repetitions, and moves the pointer, mostly by jumping to
// the centres of the interface's hit regions. Draws come from the global generator, so a seed
// makes a run repeat.
#pragma once

#include "core/types.h"

constexpr u32 PAD_MONKEY_PRESS_CAPACITY = 32;

struct SPadMonkeyTuning {
    f32 betweenTime;
    f32 digitalMinHold, digitalMaxHold;
    s32 digitalMinReps, digitalMaxReps;
    f32 analogMinHold, analogMaxHold;
    s32 analogMinReps, analogMaxReps;
};

// Reads the PAD_MONKEY_ settings (each only when above 0) and sets up the descriptors, weights
// and state. Only the two mouse buttons have weights, so the digital and analog descriptors are
// never chosen.
void initPadMonkey();
// One frame: ages and starts presses, writes the raw records of the pads and the pointer.
void updatePadMonkey(f32 dt);

// A random integer in [0, n) from the global generator; 0 for n not above 0.
s32 randomIntBelow(s32 n);
