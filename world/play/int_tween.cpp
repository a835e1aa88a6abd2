#include "world/play/int_tween.h"

#include <cmath>

#include "core/fatal_error.h"
#include "world/play/vector_tween.h"

namespace {

constexpr f32 PI = 3.14159265358979f;

s32 truncated(f32 value) { return s32(std::trunc(value)); }

}  // namespace

void SIntTween::start(const SIntTweenDesc& desc) {
    if (desc.mode == E_TWEEN_NONE) {
        mode = E_TWEEN_NONE;
        return;
    }
    if (desc.duration == 0.0f) {
        mode = E_TWEEN_HOLD;
        to = desc.end;
        current = desc.end;
        duration = 0.0f;
        time = 0.0f;
        step = 0.0f;
        running = 0;
        return;
    }
    word = desc.word;
    mode = desc.mode;
    curve = desc.curve;
    from = desc.start;
    to = desc.end;
    delay = desc.delay;
    timeOffset = desc.timeOffset;
    duration = desc.duration;
    keepCurrent = desc.keepCurrent;
    if (keepCurrent != 0) from = current;
    stop = 0;

    if (mode == E_TWEEN_OSCILLATE && curve == E_TWEEN_CURVE_COSINE) {
        step = 2.0f * PI / duration;
        time = -duration / 4.0f;
        duration += time;
    } else {
        step = 1.0f / duration;
        time = 0.0f;
    }
    range = to - from;
    current = from;
    running = 1;
    if (timeOffset != 0.0f) {
        time = timeOffset;
        evaluate();
    }
}

void SIntTween::startFromTo(s32 startValue, s32 endValue, f32 seconds, s32 curveKind, f32 wait) {
    const SIntTweenDesc desc = {0, E_TWEEN_ANIMATE, curveKind, startValue, endValue, wait, 0.0f, seconds, 0};
    start(desc);
}

void SIntTween::advance(f32 dt) {
    if (mode == E_TWEEN_NONE || running != 1) return;
    if (delay > 0.0f) {
        delay -= dt;
        if (delay > 0.0f) return;
        current = from;
    }
    time += dt;
    evaluate();
}

void SIntTween::evaluate() {
    switch (mode) {
        case E_TWEEN_HOLD:
            current = to;
            running = 0;
            return;
        case E_TWEEN_ANIMATE:
            if (time >= duration) {
                current = to;
                running = 0;
                return;
            }
            current = from + truncated(f32(range) * tweenCurveValue(curve, time * step, exponent, "int tween"));
            return;
        case E_TWEEN_OSCILLATE:
            if (stop != 0) {
                current = from;
                running = 0;
                return;
            }
            if (curve != E_TWEEN_CURVE_COSINE) fatalErrorf("int tween: invalid oscillation curve %d", curve);
            current = from + truncated(f32(range) * (0.5f + 0.5f * std::sin(time * step)));
            return;
        default:
            fatalErrorf("int tween: invalid mode %d", mode);
    }
}
