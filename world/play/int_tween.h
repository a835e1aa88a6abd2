// The integer twin of the float tween: one int held, moved between two values along one of the
// five curves (the moved amount truncated), or oscillated. Two of them sit in the colour scheme.
#pragma once

#include "core/types.h"
#include "render/float_tween.h"

struct SIntTweenDesc {
    u32 word;
    s32 mode;   // EFloatTweenMode
    s32 curve;  // EFloatTweenCurve
    s32 start;
    s32 end;
    f32 delay;
    f32 timeOffset;
    f32 duration;  // exactly 0 holds end at once
    u32 keepCurrent;
};

struct SIntTween {
    f32 exponent = 0.0f;  // of curve 5; the owner sets it
    u32 word = 0;
    s32 mode = E_TWEEN_NONE;
    s32 curve = 0;
    s32 from = 0;  // the start value
    s32 to = 0;    // the end value
    f32 delay = 0.0f;
    f32 timeOffset = 0.0f;
    f32 duration = 0.0f;
    u32 keepCurrent = 0;
    u32 running = 0;
    s32 range = 0;  // to - from
    f32 step = 0.0f;
    s32 current = 0;
    f32 time = 0.0f;
    u32 stop = 0;

    // Invalid modes and curves are fatal, but only once the tween is evaluated.
    void start(const SIntTweenDesc& desc);
    void startFromTo(s32 start, s32 end, f32 duration, s32 curve, f32 delay);
    void advance(f32 dt);
    void evaluate();
};
