// A four-float value (a position with a fourth float carried along) held, moved from a start to
// an end along one of five curves, or oscillated between them; advanced by the owner's frame
// step. The modes and curves are the float tween's (render/float_tween.h). A plain value: no
// allocation, safe to embed by the thousand.
#pragma once

#include "core/types.h"
#include "core/vec.h"
#include "render/float_tween.h"

// The curve value at t (0 to 1) for curves 1 to 5; the exponent is used by curve 5 only. A curve
// outside 1 to 5 stops the program, naming `owner`.
f32 tweenCurveValue(s32 curve, f32 t, f32 exponent, const char* owner);

// The sixteen words a vector tween is started from.
struct SVectorTweenDesc {
    u32 word;
    s32 mode;   // EFloatTweenMode
    s32 curve;  // EFloatTweenCurve
    u32 spare;
    ClVec3 start;
    ClVec3 end;
    f32 delay;        // seconds before the animation begins
    f32 timeOffset;   // initial time in seconds, 0 for none
    f32 duration;     // seconds, or the period of an oscillation; exactly 0 holds end at once
    u32 keepCurrent;  // non-zero: begin at the current value instead of start
};

struct SVectorTween {
    f32 exponent = 0.0f;  // of curve 5; the owner sets it, start leaves it alone
    u32 word = 0;
    s32 mode = E_TWEEN_NONE;
    s32 curve = 0;
    u32 spare = 0;
    ClVec3 from;  // the start value
    ClVec3 to;    // the end value
    f32 delay = 0.0f;
    f32 timeOffset = 0.0f;
    f32 duration = 0.0f;
    u32 keepCurrent = 0;
    u32 running = 0;
    ClVec3 range;      // end - start, all four floats
    f32 step = 0.0f;   // 1 / duration, or 2 pi / period for an oscillation
    ClVec3 current;
    f32 time = 0.0f;   // seconds since the start
    u32 stop = 0;      // the owner sets it to end an oscillation at its start value

    const ClVec3& getValue() const { return current; }
    // Holds v from now on; the running flag is left as it is.
    void setValue(const ClVec3& v);
    // Invalid modes and curves are fatal, but only once the tween is evaluated.
    void start(const SVectorTweenDesc& desc);
    void startFromTo(const ClVec3& from, const ClVec3& to, f32 duration, s32 curve, f32 delay);
    void advance(f32 dt);
    void evaluate();
};
