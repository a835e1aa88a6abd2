// An animated float: held at a value, moved along one of five curves, or oscillated, and
// advanced by the owner's frame step.
#pragma once

#include "core/types.h"

enum EFloatTweenMode : u32 {
    E_TWEEN_NONE = 0,
    E_TWEEN_HOLD = 1,
    E_TWEEN_ANIMATE = 2,
    E_TWEEN_OSCILLATE = 4,  // 3 is not supported
};

enum EFloatTweenCurve : u32 {
    E_TWEEN_CURVE_LINEAR = 1,
    E_TWEEN_CURVE_COSINE = 2,           // raised cosine; also the oscillation's sine
    E_TWEEN_CURVE_QUADRATIC_OUT = 3,    // 1 - (1 - u)^2
    E_TWEEN_CURVE_EIGHTH_POWER_OUT = 4, // 1 - (1 - u)^8
    E_TWEEN_CURVE_POWER = 5,            // u^exponent
};

// The nine words a tween is started from.
struct SFloatTweenDesc {
    u32 tag;
    u32 mode;
    u32 curve;
    f32 start;
    f32 end;
    f32 delay;
    f32 timeOffset;   // initial time in seconds, 0 for none
    f32 duration;     // seconds, or the period of an oscillation; exactly 0 holds end at once
    u32 keepCurrent;  // non-zero: begin at the tween's current value instead of start
};

struct SFloatTween {
    f32 exponent = 0.0f;  // of the power curve; the owner sets it, start leaves it alone
    u32 tag = 0;
    u32 mode = E_TWEEN_NONE;
    u32 curve = 0;
    f32 start = 0.0f;
    f32 end = 0.0f;
    f32 delay = 0.0f;
    f32 timeOffset = 0.0f;
    f32 duration = 0.0f;
    u32 keepCurrent = 0;
    u32 running = 0;
    f32 range = 0.0f;  // end - start
    f32 step = 0.0f;   // 1 / duration, or 2 pi / period for an oscillation
    f32 value = 0.0f;  // the output
    f32 time = 0.0f;   // seconds since the start; owners driven by another clock write it
    u32 stop = 0;      // the owner sets it to end an oscillation
};

// The curve value at u (0 to 1) for curves 1 to 5; the exponent is used by curve 5 only. A curve
// outside 1 to 5 stops the program, naming `owner`.
f32 tweenCurveValue(s32 curve, f32 u, f32 exponent, const char* owner);

// Invalid modes and curves are fatal, but only once the tween is evaluated.
void startFloatTween(SFloatTween* tween, const SFloatTweenDesc& desc);
void startFloatTweenFromTo(SFloatTween* tween, f32 from, f32 to, f32 duration, u32 curve,
                           f32 delay);
void advanceFloatTween(SFloatTween* tween, f32 dt);
void evaluateFloatTween(SFloatTween* tween);
