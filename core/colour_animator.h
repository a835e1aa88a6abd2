// One packed ARGB colour driven over time: held constant, faded between two colours along an
// easing curve, or pulsed between them on a sine wave. The owner advances it with its own time
// step and reads `current` afterwards.
#pragma once

#include "core/colour.h"
#include "core/types.h"

enum EColourAnimatorMode : u32 {
    E_COLOURANIM_OFF = 0,
    E_COLOURANIM_CONSTANT = 1,
    E_COLOURANIM_FADE = 2,
    E_COLOURANIM_PULSE = 4,  // 3 is not a valid mode
};

// The sub-mode: a fade's easing curve, or a pulse's wave (only the sine exists).
enum EColourAnimatorEasing : u32 {
    E_COLOURANIM_EASE_LINEAR = 1,
    E_COLOURANIM_EASE_COSINE = 2,
    E_COLOURANIM_EASE_QUADRATIC_OUT = 3,
    E_COLOURANIM_EASE_QUARTIC_OUT = 4,
    E_COLOURANIM_PULSE_SINE = 2,
};

// The nine words an animation is started from.
struct SColourAnimatorStart {
    u32 tag;
    u32 mode;
    u32 easing;
    u32 colourA;
    u32 colourB;
    f32 delay;
    f32 initialElapsed;
    f32 duration;  // seconds of a fade, or the period of a pulse; exactly 0 sets colourB at once
    u32 fromCurrent;
};

// One fade waiting in an animator's queue (queueFade).
struct SQueuedColourFade {
    u32 colour;
    f32 duration;
    f32 delay;  // seconds counted down once it is first in the queue
};
constexpr u32 COLOUR_FADE_QUEUE_CAPACITY = 2;

struct SColourAnimator {
    u32 tag = 0;  // the owner's word, never interpreted here
    u32 mode = E_COLOURANIM_OFF;
    u32 easing = 0;
    u32 colourA = 0;
    u32 colourB = 0;
    f32 delay = 0.0f;
    f32 initialElapsed = 0.0f;
    f32 duration = 0.0f;
    u32 fromCurrent = 0;
    u32 active = 0;
    u32 bounded = 0;  // a pulse with this set ends once elapsed passes duration
    f32 rate = 0.0f;  // 1 / duration for a fade, 2 pi / period for a pulse
    SColourRGBA floatA = {};
    SColourRGBA floatB = {};
    SColourRGBA floatDelta = {};
    u32 current = 0;
    f32 elapsed = 0.0f;  // a pulse starts a quarter period below 0 so that it begins at colourA
    SQueuedColourFade queued[COLOUR_FADE_QUEUE_CAPACITY] = {};
    u32 queuedCount = 0;

    // Invalid modes and easings are fatal, but only once the animator is applied.
    void start(const SColourAnimatorStart& record);
    void setConstant(u32 colour);
    void fadeFromCurrent(u32 target, f32 seconds, u32 fadeEasing, f32 startDelay);
    void fadeFromCurrentDelayed(u32 target, f32 seconds, u32 fadeEasing, f32 startDelay,
                                f32 startElapsed);
    void advance(f32 dt);
    // A linear fade from the current colour, started at once (after its delay) when nothing
    // runs or waits; otherwise it waits behind the others, and a full queue drops it.
    void queueFade(u32 target, f32 seconds, f32 startDelay);
    // advance by dt; the first waiting fade counts its delay down by dt and starts once that is
    // at or below 0 and the running animation has stopped.
    void advanceQueued(f32 dt);
    // Recomputes `current` from the present state; owners that change fields directly call it.
    void applyCurrent();
};
