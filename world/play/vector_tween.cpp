#include "world/play/vector_tween.h"

#include <cmath>

#include "core/fatal_error.h"

namespace {

constexpr f32 PI = 3.14159265358979f;

// a + r x s on all four floats.
ClVec3 addScaled(const ClVec3& a, const ClVec3& r, f32 s) {
    return ClVec3(a.x + r.x * s, a.y + r.y * s, a.z + r.z * s, a.w + r.w * s);
}

}  // namespace

f32 tweenCurveValue(s32 curve, f32 t, f32 exponent, const char* owner) {
    switch (curve) {
        case E_TWEEN_CURVE_LINEAR:
            return t;
        case E_TWEEN_CURVE_COSINE:
            return (1.0f + std::cos((1.0f - t) * PI)) / 2.0f;
        case E_TWEEN_CURVE_QUADRATIC_OUT: {
            const f32 rest = 1.0f - t;
            return 1.0f - rest * rest;
        }
        case E_TWEEN_CURVE_EIGHTH_POWER_OUT: {
            const f32 rest2 = (1.0f - t) * (1.0f - t);
            const f32 rest4 = rest2 * rest2;
            return 1.0f - rest4 * rest4;
        }
        case E_TWEEN_CURVE_POWER:
            return std::pow(t, exponent);
        default:
            fatalErrorf("%s: invalid curve %d", owner, curve);
    }
}

void SVectorTween::setValue(const ClVec3& v) {
    mode = E_TWEEN_HOLD;
    to = v;
    current = v;
    duration = 0.0f;
    time = 0.0f;
    step = 0.0f;
}

void SVectorTween::start(const SVectorTweenDesc& desc) {
    if (desc.mode == E_TWEEN_NONE) {
        mode = E_TWEEN_NONE;
        return;
    }
    if (desc.duration == 0.0f) {
        setValue(desc.end);
        running = 0;
        return;
    }
    word = desc.word;
    mode = desc.mode;
    curve = desc.curve;
    spare = desc.spare;
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
        // A quarter period back puts the sine at its minimum: the swing begins at start.
        time = -duration / 4.0f;
        duration += time;
    } else {
        step = 1.0f / duration;
        time = 0.0f;
    }
    range = ClVec3(to.x - from.x, to.y - from.y, to.z - from.z, to.w - from.w);
    current = from;

    // Running is raised before the first evaluation, so that a tween started at or past its end
    // reports itself finished at once.
    running = 1;
    if (timeOffset != 0.0f) {
        time = timeOffset;
        evaluate();
    }
}

void SVectorTween::startFromTo(const ClVec3& from, const ClVec3& to, f32 seconds, s32 curveKind, f32 wait) {
    SVectorTweenDesc desc{};
    desc.mode = E_TWEEN_ANIMATE;
    desc.curve = curveKind;
    desc.start = from;
    desc.end = to;
    desc.delay = wait;
    desc.duration = seconds;
    start(desc);
}

void SVectorTween::advance(f32 dt) {
    if (mode == E_TWEEN_NONE || running != 1) return;
    if (delay > 0.0f) {
        delay -= dt;
        if (delay > 0.0f) return;
        // The frame in which the delay runs out moves the tween by its whole step.
        current = from;
    }
    time += dt;
    evaluate();
}

void SVectorTween::evaluate() {
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
            current = addScaled(from, range, tweenCurveValue(curve, time * step, exponent, "vector tween"));
            return;
        case E_TWEEN_OSCILLATE:
            if (stop != 0) {
                current = from;
                running = 0;
                return;
            }
            if (curve != E_TWEEN_CURVE_COSINE) fatalErrorf("vector tween: invalid oscillation curve %d", curve);
            current = addScaled(from, range, 0.5f + 0.5f * std::sin(time * step));
            return;
        default:
            fatalErrorf("vector tween: invalid mode %d", mode);
    }
}
