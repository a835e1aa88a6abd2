#include "render/tween.h"

#include <cmath>

#include "core/fatal_error.h"

namespace {

constexpr f32 PI = 3.14159265358979f;

// What sets the value types apart: the name in fatal messages, the span from start to end and
// the point a fraction s along it.
const char* nameOf(f32) { return "float tween"; }
const char* nameOf(s32) { return "int tween"; }
const char* nameOf(const ClVec3&) { return "vector tween"; }

f32 span(f32 from, f32 to) { return to - from; }
s32 span(s32 from, s32 to) { return to - from; }
ClVec3 span(const ClVec3& from, const ClVec3& to) {
    return ClVec3(to.x - from.x, to.y - from.y, to.z - from.z, to.w - from.w);
}

f32 along(f32 from, f32 range, f32 s) { return from + range * s; }
s32 along(s32 from, s32 range, f32 s) { return from + s32(std::trunc(f32(range) * s)); }
ClVec3 along(const ClVec3& a, const ClVec3& r, f32 s) {
    return ClVec3(a.x + r.x * s, a.y + r.y * s, a.z + r.z * s, a.w + r.w * s);
}

}  // namespace

f32 tweenCurveValue(s32 curve, f32 u, f32 exponent, const char* owner) {
    switch (curve) {
        case E_TWEEN_CURVE_LINEAR:
            return u;
        case E_TWEEN_CURVE_COSINE:
            return (std::cos((1.0f - u) * PI) + 1.0f) / 2.0f;
        case E_TWEEN_CURVE_QUADRATIC_OUT: {
            const f32 rest = 1.0f - u;
            return 1.0f - rest * rest;
        }
        case E_TWEEN_CURVE_EIGHTH_POWER_OUT: {
            const f32 rest2 = (1.0f - u) * (1.0f - u);
            const f32 rest4 = rest2 * rest2;
            return 1.0f - rest4 * rest4;
        }
        case E_TWEEN_CURVE_POWER:
            return std::pow(u, exponent);
        default:
            fatalErrorf("%s: invalid curve %d", owner, curve);
    }
}

template <class T>
void STween<T>::setValue(const T& v) {
    mode = E_TWEEN_HOLD;
    to = v;
    current = v;
    duration = 0.0f;
    time = 0.0f;
    step = 0.0f;
}

template <class T>
void STween<T>::start(const STweenDesc<T>& desc) {
    if (desc.mode == E_TWEEN_NONE) {
        mode = E_TWEEN_NONE;
        return;
    }
    if (desc.duration == 0.0f) {
        setValue(desc.end);
        running = 0;
        return;
    }
    tag = desc.tag;
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
        // A quarter period back puts the sine at its minimum: the swing begins at start.
        time = -duration / 4.0f;
        duration += time;
    } else {
        step = 1.0f / duration;
        time = 0.0f;
    }
    range = span(from, to);
    current = from;

    // Running is raised before the first evaluation, so that a tween started at or past its end
    // reports itself finished at once.
    running = 1;
    if (timeOffset != 0.0f) {
        time = timeOffset;
        evaluate();
    }
}

template <class T>
void STween<T>::startFromTo(const T& startValue, const T& endValue, f32 seconds, s32 curveKind, f32 wait) {
    STweenDesc<T> desc{};
    desc.tag = tag;
    desc.mode = E_TWEEN_ANIMATE;
    desc.curve = curveKind;
    desc.start = startValue;
    desc.end = endValue;
    desc.delay = wait;
    desc.duration = seconds;
    start(desc);
}

template <class T>
void STween<T>::advanceRunning(f32 dt) {
    if (delay > 0.0f) {
        delay -= dt;
        if (delay > 0.0f) return;
        // The frame in which the delay runs out moves the tween by its whole step.
        current = from;
    }
    time += dt;
    evaluate();
}

template <class T>
void STween<T>::evaluate() {
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
            current = along(from, range, tweenCurveValue(curve, time * step, exponent, nameOf(current)));
            return;
        case E_TWEEN_OSCILLATE:
            if (stop != 0) {
                current = from;
                running = 0;
                return;
            }
            if (curve != E_TWEEN_CURVE_COSINE) fatalErrorf("%s: invalid oscillation curve %d", nameOf(current), curve);
            current = along(from, range, 0.5f + 0.5f * std::sin(time * step));
            return;
        default:
            fatalErrorf("%s: invalid mode %d", nameOf(current), mode);
    }
}

template struct STween<f32>;
template struct STween<s32>;
template struct STween<ClVec3>;
