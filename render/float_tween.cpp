#include "render/float_tween.h"

#include <cmath>

#include "core/fatal_error.h"

namespace {

constexpr f32 PI = 3.14159265358979f;

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

void startFloatTween(SFloatTween* tween, const SFloatTweenDesc& desc) {
    if (desc.mode == E_TWEEN_NONE) {
        tween->mode = E_TWEEN_NONE;
        return;
    }
    if (desc.duration == 0.0f) {
        tween->mode = E_TWEEN_HOLD;
        tween->end = desc.end;
        tween->value = desc.end;
        tween->running = 0;
        tween->duration = 0.0f;
        tween->time = 0.0f;
        tween->step = 0.0f;
        return;
    }
    tween->tag = desc.tag;
    tween->mode = desc.mode;
    tween->curve = desc.curve;
    tween->start = desc.start;
    tween->end = desc.end;
    tween->delay = desc.delay;
    tween->timeOffset = desc.timeOffset;
    tween->duration = desc.duration;
    tween->keepCurrent = desc.keepCurrent;
    if (tween->keepCurrent != 0) tween->start = tween->value;
    tween->stop = 0;

    if (tween->mode == E_TWEEN_OSCILLATE && tween->curve == E_TWEEN_CURVE_COSINE) {
        tween->step = 2.0f * PI / tween->duration;
        // A quarter period back puts the sine at its minimum: the oscillation begins at start.
        tween->time = -tween->duration / 4.0f;
        tween->duration = 0.75f * tween->duration;
    } else {
        tween->step = 1.0f / tween->duration;
        tween->time = 0.0f;
    }
    tween->range = tween->end - tween->start;
    tween->value = tween->start;

    // Running is raised before the first evaluation, so that a tween started at or past its
    // end reports itself finished at once rather than one frame late.
    tween->running = 1;
    if (tween->timeOffset != 0.0f) {
        tween->time = tween->timeOffset;
        evaluateFloatTween(tween);
    }
}

void startFloatTweenFromTo(SFloatTween* tween, f32 from, f32 to, f32 duration, u32 curve,
                           f32 delay) {
    const SFloatTweenDesc desc = {tween->tag, E_TWEEN_ANIMATE, curve, from, to, delay, 0.0f,
                                  duration,   0};
    startFloatTween(tween, desc);
}

void advanceFloatTween(SFloatTween* tween, f32 dt) {
    if (tween->mode == E_TWEEN_NONE || tween->running != 1) return;
    if (tween->delay > 0.0f) {
        tween->delay -= dt;
        if (tween->delay > 0.0f) return;
        // The frame in which the delay runs out moves the tween by its whole step.
        tween->value = tween->start;
    }
    tween->time += dt;
    evaluateFloatTween(tween);
}

void evaluateFloatTween(SFloatTween* tween) {
    switch (tween->mode) {
        case E_TWEEN_HOLD:
            tween->running = 0;
            tween->value = tween->end;
            return;
        case E_TWEEN_ANIMATE:
            if (tween->time >= tween->duration) {
                tween->running = 0;
                tween->value = tween->end;
                return;
            }
            tween->value =
                tween->start + tween->range * tweenCurveValue(s32(tween->curve), tween->step * tween->time, tween->exponent, "float tween");
            return;
        case E_TWEEN_OSCILLATE:
            if (tween->stop != 0) {
                tween->running = 0;
                tween->value = tween->start;
                return;
            }
            if (tween->curve != E_TWEEN_CURVE_COSINE) {
                fatalErrorf("float tween: invalid oscillation curve %u", tween->curve);
            }
            tween->value = tween->start +
                           tween->range * (0.5f + 0.5f * std::sin(tween->time * tween->step));
            return;
        default:
            fatalErrorf("float tween: invalid mode %u", tween->mode);
    }
}
