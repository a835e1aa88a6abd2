// Countdown and count-up timers that run on the game clocks, and the blink test of flashing
// display elements.
#pragma once

#include "core/types.h"

constexpr u32 COUNTDOWN_TIMER_CAPACITY = 1024;
constexpr u32 COUNTUP_TIMER_CAPACITY = 128;

struct SCountdownTimer {
    f32 duration;   // seconds given when the timer was taken
    f32 remaining;  // seconds; held at exactly 0 once it runs out
    u32 clock;      // index into g_aGameClocks
    u32 poolIndex;
};

struct SCountUpTimer {
    f32 elapsed;  // seconds
    u32 clock;    // index into g_aGameClocks
    u32 running;  // the timer only counts while this is non-zero
    u32 poolIndex;
};

// Sets up both pools. Until then, and after timersShutdown, no timer can be taken and
// updateTimers has nothing to advance.
void timersInit();
void timersShutdown();

// A timer counting down from the given seconds on the clock; null when all are taken or the
// pools are not set up. A clock outside g_aGameClocks stops the program.
SCountdownTimer* takeCountdownTimer(u32 clock, f32 seconds);
// Zeroes both floats, puts the timer back on clock 1 and returns it to the pool. Null, and a
// timer released twice, are ignored.
void releaseCountdownTimer(SCountdownTimer* timer);

// A running timer counting up from 0 on the clock; null as for countdown timers.
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
