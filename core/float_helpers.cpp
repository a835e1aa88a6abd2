#include "core/float_helpers.h"

#include <algorithm>
#include <cmath>

// Below this stopping distance the braking ratio delta / distance is meaningless.
constexpr f32 APPROACH_MIN_STOPPING_DISTANCE = 1e-7f;

f32 clampFloat(f32 v, f32 lo, f32 hi) {
    if (v < lo) return lo;
    if (v > hi) return hi;
    return v;
}

f32 clamp01(f32 x) {
    // Written so that NaN takes the first branch.
    if (!(x > 0.0f)) return 0.0f;
    return x > 1.0f ? 1.0f : x;
}

f32 clampNonNegative(f32 x) { return x > 0.0f ? x : 0.0f; }

f32 wrapAngle2Pi(f32 angle) {
    f32 wrapped = std::fmod(angle, MATH_TWO_PI);
    if (wrapped < 0.0f) wrapped += MATH_TWO_PI;
    // A tiny negative angle plus 2 pi rounds to 2 pi itself, which lies outside the range.
    if (wrapped >= MATH_TWO_PI) wrapped = 0.0f;
    return wrapped;
}

f32 unwrapAngleNear(f32 reference, f32 angle) {
    if (angle > reference + MATH_PI) return angle - MATH_TWO_PI;
    if (angle < reference - MATH_PI) return angle + MATH_TWO_PI;
    return angle;
}

f32 angleFromCosine(f32 c, f32 s) {
    // The cosine of a freshly normalised vector can come out a rounding step above 1.
    const f32 angle = std::acos(std::clamp(c, -1.0f, 1.0f));
    return s < 0.0f ? MATH_TWO_PI - angle : angle;
}

void approachTarget(f32* outVelocity, f32* outPosition, f32 position, f32 velocity, f32 target, f32 threshold, f32 dt,
                    f32 acceleration, f32 topSpeed) {
    const f32 delta = target - position;
    const f32 distance = std::fabs(delta);
    f32 desired = 0.0f;
    if (distance >= threshold) {
        const f32 speed = std::fabs(velocity);
        const f32 stopTime = speed / acceleration;
        const f32 stoppingDistance = speed * stopTime - (acceleration / 2.0f) * (stopTime * stopTime);
        if (stoppingDistance < distance) {
            desired = delta >= 0.0f ? topSpeed : -topSpeed;
        } else if (stoppingDistance >= APPROACH_MIN_STOPPING_DISTANCE) {
            desired = delta / stoppingDistance;
        } else {
            desired = topSpeed;
        }
    }
    const f32 maxChange = acceleration * dt;
    const f32 change = clampFloat(desired - velocity, -maxChange, maxChange);
    const f32 newVelocity = velocity + change;
    *outVelocity = newVelocity;
    *outPosition = position + newVelocity * dt;
}

void stepTowardTarget(f32* velocity, f32* position, f32 target, f32 threshold, f32 dt, f32 acceleration, f32 topSpeed) {
    approachTarget(velocity, position, *position, *velocity, target, threshold, dt, acceleration, topSpeed);
}
