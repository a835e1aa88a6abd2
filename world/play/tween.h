// A value held, moved from a start to an end along one of five curves, or oscillated between
// them; advanced by the owner's frame step. The modes and curves are the float tween's
// (render/float_tween.h). Two value types: an int, whose moved amount is truncated (two sit in the
// colour scheme), and a four-float vector, a position with a fourth float carried along. A plain
// value: no allocation, safe to embed by the thousand.
#pragma once

#include "core/types.h"
#include "core/vec.h"
#include "render/float_tween.h"

// The words a tween is started from.
template <class T>
struct STweenDesc {
    u32 word;
    s32 mode;   // EFloatTweenMode
    s32 curve;  // EFloatTweenCurve
    u32 spare;
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
    u32 word = 0;
    s32 mode = E_TWEEN_NONE;
    s32 curve = 0;
    u32 spare = 0;
    T from{};  // the start value
    T to{};    // the end value
    f32 delay = 0.0f;
    f32 timeOffset = 0.0f;
    f32 duration = 0.0f;
    u32 keepCurrent = 0;
    u32 running = 0;
    T range{};         // end - start, all four floats of a vector
    f32 step = 0.0f;   // 1 / duration, or 2 pi / period for an oscillation
    T current{};
    f32 time = 0.0f;   // seconds since the start
    u32 stop = 0;      // the owner sets it to end an oscillation at its start value

    const T& getValue() const { return current; }
    // Holds v from now on; the running flag is left as it is.
    void setValue(const T& v);
    // Invalid modes and curves are fatal, but only once the tween is evaluated.
    void start(const STweenDesc<T>& desc);
    void startFromTo(const T& from, const T& to, f32 duration, s32 curve, f32 delay);
    void advance(f32 dt);
    void evaluate();
};

using SIntTweenDesc = STweenDesc<s32>;
using SIntTween = STween<s32>;
using SVectorTweenDesc = STweenDesc<ClVec3>;
using SVectorTween = STween<ClVec3>;
