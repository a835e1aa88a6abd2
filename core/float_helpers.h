// Scalar and angle helpers and the approach step that eases a value towards a target.
// Angles are in radians unless a name says otherwise.
#pragma once

#include "core/types.h"

constexpr f32 MATH_PI = 3.14159265358979f;
constexpr f32 MATH_TWO_PI = 6.28318530717959f;
constexpr f32 MATH_DEGREES_TO_RADIANS = MATH_PI / 180.0f;

// lo when v < lo, hi when v > hi, else v.
f32 clampFloat(f32 v, f32 lo, f32 hi);
// Inline: the glints' sweeps call these for every glint each frame.
inline f32 minFloat(f32 a, f32 b) { return a < b ? a : b; }
// x held to [0, 1]; NaN gives 0.
f32 clamp01(f32 x);
// x held at 0 from below; NaN gives 0.
f32 clampNonNegative(f32 x);
inline f32 maxFloat(f32 a, f32 b) { return a > b ? a : b; }

// Into [0, 2 pi).
f32 wrapAngle2Pi(f32 angle);
// The angle shifted by one full turn at most to lie within pi of the reference; callers pass
// angles that are already within a turn of it.
f32 unwrapAngleNear(f32 reference, f32 angle);
// The full-circle angle whose cosine is c, on the side given by the sign of s: acos(c), or
// 2 pi - acos(c) when s is negative. c is clamped to [-1, 1] first.
f32 angleFromCosine(f32 c, f32 s);

// One frame of easing a value towards a target with limited acceleration and a top speed:
// full speed towards the target while it cannot overshoot, slower once the stopping distance
// reaches it, and a desired velocity of 0 within threshold of it. acceleration is finite and
// positive. Writes the new velocity and position.
void approachTarget(f32* outVelocity, f32* outPosition, f32 position, f32 velocity, f32 target, f32 threshold, f32 dt,
                    f32 acceleration, f32 topSpeed);
// approachTarget on a value and its velocity in place.
void stepTowardTarget(f32* velocity, f32* position, f32 target, f32 threshold, f32 dt, f32 acceleration, f32 topSpeed);
