// A value held, moved from a start to an end along one of five curves, or oscillated between
// them; advanced by the owner's frame step. Three value types: a float; an int, whose moved amount
// is truncated (two sit in the colour scheme); and a four-float vector, a position with a fourth
// float carried along. A plain value: no allocation, safe to embed by the thousand.
#pragma once

#include "core/types.h"
#include "core/vec.h"

enum ETweenMode : u32 {
    E_TWEEN_NONE = 0,
    E_TWEEN_HOLD = 1,
    E_TWEEN_ANIMATE = 2,
    E_TWEEN_OSCILLATE = 4,  // 3 is not supported
};

enum ETweenCurve : u32 {
    E_TWEEN_CURVE_LINEAR = 1,
    E_TWEEN_CURVE_COSINE = 2,           // raised cosine; also the oscillation's sine
    E_TWEEN_CURVE_QUADRATIC_OUT = 3,    // 1 - (1 - u)^2
    E_TWEEN_CURVE_EIGHTH_POWER_OUT = 4, // 1 - (1 - u)^8
    E_TWEEN_CURVE_POWER = 5,            // u^exponent
};

// The curve value at u (0 to 1) for curves 1 to 5; the exponent is used by curve 5 only. A curve
// outside 1 to 5 stops the program, naming `owner`.
f32 tweenCurveValue(s32 curve, f32 u, f32 exponent, const char* owner);

// The words a tween is started from.
template <class T>
struct STweenDesc {
    u32 tag;    // the owner's word, copied into the tween and not interpreted
    s32 mode;   // ETweenMode
    s32 curve;  // ETweenCurve
    T start;
    T end;
    f32 delay;        // seconds before the animation begins
    f32 timeOffset;   // initial time in seconds, 0 for none
    f32 duration;     // seconds, or the period of an oscillation; exactly 0 holds end at once
    u32 keepCurrent;  // non-zero: begin at the current value instead of start
};

template <class T>
struct STween {
    f32 exponent = 0.0f;  // of curve 5; the owner sets it, start leaves it alone
    u32 tag = 0;  // copied from the description; the tween never reads it
    // The two fields an idle tween's advance reads, side by side.
    s32 mode = E_TWEEN_NONE;
    u32 running = 0;
    s32 curve = 0;
    T from{};  // the start value
    T to{};    // the end value
    f32 delay = 0.0f;
    f32 timeOffset = 0.0f;
    f32 duration = 0.0f;
    u32 keepCurrent = 0;
    T range{};         // end - start, all four floats of a vector
    f32 step = 0.0f;   // 1 / duration, or 2 pi / period for an oscillation
    T current{};
    f32 time = 0.0f;   // seconds since the start; owners driven by another clock write it
    u32 stop = 0;      // the owner sets it to end an oscillation at its start value

    const T& getValue() const { return current; }
    // Holds v from now on; the running flag is left as it is.
    void setValue(const T& v);
    // Invalid modes and curves are fatal, but only once the tween is evaluated.
    void start(const STweenDesc<T>& desc);
    void startFromTo(const T& from, const T& to, f32 duration, s32 curve, f32 delay);
    // An idle tween (no mode, or not running) is left as it is without a call.
    void advance(f32 dt) {
        if (mode != E_TWEEN_NONE && running == 1) advanceRunning(dt);
    }
    void advanceRunning(f32 dt);
    void evaluate();
};

using SFloatTweenDesc = STweenDesc<f32>;
using SFloatTween = STween<f32>;
using SIntTweenDesc = STweenDesc<s32>;
using SIntTween = STween<s32>;
using SVectorTweenDesc = STweenDesc<ClVec3>;
using SVectorTween = STween<ClVec3>;
