// Count-up timers that run on the game clocks, and the blink test of flashing
// display elements.
#pragma once

#include "core/types.h"

constexpr u32 COUNTUP_TIMER_CAPACITY = 128;

struct SCountUpTimer {
    f32 elapsed;  // seconds
    u32 clock;    // index into g_aGameClocks
    u32 running;  // the timer only counts while this is non-zero
    u32 poolIndex;
};

// Sets up the pool. Until then, and after timersShutdown, no timer can be taken and
// updateTimers has nothing to advance.
void timersInit();
void timersShutdown();

// A running timer counting up from 0 on the clock; null when all are taken or the pool is not
// set up. A clock outside g_aGameClocks stops the program.
SCountUpTimer* takeCountUpTimer(u32 clock);
void releaseCountUpTimer(SCountUpTimer* timer);

// Advances every live timer by the frame step of its clock; run once a frame after the clocks
// are set.
void updateTimers();

// True when the integer part of (accumulated time of the clock + offset) x rate is odd: with
// rate 2 it flips every half second of that clock.
bool isBlinkOn(f32 rate, f32 offset, u32 clock);

// Subtracts the step from the timer in place, never going below 0, and returns the new value.
f32 countDownTimer(f32* timer, f32 step);
