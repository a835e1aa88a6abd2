#include "core/colour_animator.h"

#include <cmath>

#include "core/fatal_error.h"

namespace {

constexpr f32 PI = 3.14159265358979f;

f32 fadeFraction(u32 easing, f32 t) {
    switch (easing) {
        case E_COLOURANIM_EASE_LINEAR:
            return t;
        case E_COLOURANIM_EASE_COSINE:
            return (std::cos((1.0f - t) * PI) + 1.0f) / 2.0f;
        case E_COLOURANIM_EASE_QUADRATIC_OUT: {
            const f32 rest = 1.0f - t;
            return 1.0f - rest * rest;
        }
        case E_COLOURANIM_EASE_QUARTIC_OUT: {
            const f32 rest = 1.0f - t;
            return 1.0f - rest * rest * rest * rest;
        }
        default:
            fatalErrorf("colour animator: invalid fade easing %u", easing);
    }
}

}  // namespace

void SColourAnimator::start(const SColourAnimatorStart& record) {
    if (record.mode == E_COLOURANIM_OFF) {
        mode = E_COLOURANIM_OFF;
        return;
    }
    if (record.duration == 0.0f) {
        setConstant(record.colourB);
        active = 0;
        return;
    }
    tag = record.tag;
    mode = record.mode;
    easing = record.easing;
    colourA = record.colourA;
    colourB = record.colourB;
    delay = record.delay;
    initialElapsed = record.initialElapsed;
    duration = record.duration;
    fromCurrent = record.fromCurrent;
    if (fromCurrent != 0) colourA = current;

    if (mode == E_COLOURANIM_PULSE && easing == E_COLOURANIM_PULSE_SINE) {
        rate = 2.0f * PI / duration;
        elapsed = -duration / 4.0f;
    } else {
        rate = 1.0f / duration;
        elapsed = 0.0f;
    }
    current = colourA;
    bounded = 0;
    floatA = unpackColourARGB(colourA);
    floatB = unpackColourARGB(colourB);
    floatDelta = colourDifference(floatA, floatB);

    // Active is raised before the first application, so that an animation started already
    // past its end reports itself finished at once rather than one step late.
    active = 1;
    if (initialElapsed != 0.0f) {
        elapsed = initialElapsed;
        applyCurrent();
    }
}

void SColourAnimator::setConstant(u32 colour) {
    mode = E_COLOURANIM_CONSTANT;
    colourB = colour;
    floatB = unpackColourARGB(colour);
    current = colour;
}

void SColourAnimator::fadeFromCurrent(u32 target, f32 seconds, u32 fadeEasing, f32 startDelay) {
    fadeFromCurrentDelayed(target, seconds, fadeEasing, startDelay, 0.0f);
}

void SColourAnimator::fadeFromCurrentDelayed(u32 target, f32 seconds, u32 fadeEasing,
                                             f32 startDelay, f32 startElapsed) {
    const SColourAnimatorStart record = {tag,    E_COLOURANIM_FADE, fadeEasing,
                                         current, target,           startDelay,
                                         startElapsed, seconds,     1};
    start(record);
}

void SColourAnimator::advance(f32 dt) {
    if (mode == E_COLOURANIM_OFF || active != 1) return;
    if (delay > 0.0f) {
        delay -= dt;
        if (delay > 0.0f) return;
        // The step in which the delay runs out counts whole towards the animation.
        current = colourA;
    }
    elapsed += dt;
    applyCurrent();
}

void SColourAnimator::queueFade(u32 target, f32 seconds, f32 startDelay) {
    if (queuedCount == 0 && active == 0) {
        fadeFromCurrent(target, seconds, E_COLOURANIM_EASE_LINEAR, startDelay);
        return;
    }
    if (queuedCount < COLOUR_FADE_QUEUE_CAPACITY) queued[queuedCount++] = SQueuedColourFade{target, seconds, startDelay};
}

void SColourAnimator::advanceQueued(f32 dt) {
    advance(dt);
    if (queuedCount == 0) return;
    SQueuedColourFade& next = queued[0];
    next.delay -= dt;
    if (next.delay > 0.0f || active != 0) return;
    const SQueuedColourFade starting = next;
    for (u32 i = 1; i < queuedCount; ++i) queued[i - 1] = queued[i];
    --queuedCount;
    fadeFromCurrent(starting.colour, starting.duration, E_COLOURANIM_EASE_LINEAR, 0.0f);
}

void SColourAnimator::applyCurrent() {
    switch (mode) {
        case E_COLOURANIM_CONSTANT:
            active = 0;
            current = colourB;
            return;
        case E_COLOURANIM_FADE:
            if (elapsed >= duration) {
                active = 0;
                current = colourB;
                return;
            }
            packColourARGB(&current, colourBlend(floatA, floatDelta,
                                                 fadeFraction(easing, rate * elapsed)));
            return;
        case E_COLOURANIM_PULSE: {
            if (bounded != 0 && elapsed > duration) {
                active = 0;
                current = colourA;
                return;
            }
            if (easing != E_COLOURANIM_PULSE_SINE) {
                fatalErrorf("colour animator: invalid pulse wave %u", easing);
            }
            const f32 f = std::sin(elapsed * rate) / 2.0f + 0.5f;
            packColourARGB(&current, colourBlend(floatA, floatDelta, f));
            return;
        }
        default:
            fatalErrorf("colour animator: invalid mode %u", mode);
    }
}
