#include "core/directions.h"

#include "core/float_helpers.h"
#include "core/random.h"

#include <algorithm>
#include <cmath>

// An up vector closer than this cosine to the forward line gives a frame too skewed to use.
constexpr f32 UP_PARALLEL_COSINE = 0.99f;
// Below this the part of a direction off the axis is rounding noise.
constexpr f32 OFF_AXIS_MIN_LENGTH = 1e-6f;
constexpr f32 RANDOM_VECTOR_MIN_LENGTH = 1e-4f;
// Narrow cones are sampled directly; wide ones by drawing whole-sphere directions until one
// falls inside.
constexpr f32 CONE_SAMPLING_SWITCH_DEGREES = 60.0f;
constexpr int CONE_MAX_TRIES = 8;

static bool isUsableUp(const ClVec3& unitForward, const ClVec3& up) {
    // Compared against the up vector's own length so that its scale does not matter.
    const f32 len = up.length();
    return len > 0.0f && std::fabs(unitForward.dot(up)) <= UP_PARALLEL_COSINE * len;
}

ClVec3 usableUpVector(const ClVec3& unitForward, const ClVec3& up) {
    if (isUsableUp(unitForward, up)) return up;
    const ClVec3 zAxis(0.0f, 0.0f, 1.0f);
    if (isUsableUp(unitForward, zAxis)) return zAxis;
    // Forward lies within 8 degrees of the z axis here, so it is nearly at right angles to y.
    return ClVec3(0.0f, 1.0f, 0.0f);
}

void makeLookRotation(const ClVec3& forward, ClMatrix33* out, const ClVec3& up) {
    ClVec3 f = forward;
    if (f.normalize() == 0.0f) {
        *out = ClMatrix33();
        return;
    }
    ClVec3 right = f.cross(usableUpVector(f, up));
    right.normalize();
    ClVec3 rebuiltUp = right.cross(f);
    rebuiltUp.normalize();
    out->setColumns(right, rebuiltUp, f.negated());
}

ClMatrix44 rotationBetweenDirections(const ClVec3& a, const ClVec3& b) {
    const ClVec3 ua = a.normalized();
    const ClVec3 ub = b.normalized();
    // Rounding can put the dot product of two unit vectors just outside [-1, 1].
    const f32 angle = std::acos(std::clamp(ua.dot(ub), -1.0f, 1.0f));
    ClVec3 axis = ua.cross(ub);
    ClMatrix44 result;
    if (axis.normalize() < OFF_AXIS_MIN_LENGTH) {
        if (ua.dot(ub) >= 0.0f) return result;
        axis = ua.perpendicular();
    }
    result.setRotationAxisAngle(axis, angle);
    return result;
}

ClVec3 clampDirectionToCone(const ClVec3& dir, const ClVec3& axis, f32 limit) {
    // A zero direction has no angle to clamp.
    if (dir.length() == 0.0f) return dir;
    const ClVec3 unitAxis = axis.normalized();
    const ClVec3 unitDir = dir.normalized();
    const f32 cosLimit = std::cos(limit);
    const f32 cosDir = unitDir.dot(unitAxis);
    if (cosDir >= cosLimit) return dir;
    ClVec3 offAxis = unitDir - scaleVec3(unitAxis, cosDir);
    if (offAxis.normalize() < OFF_AXIS_MIN_LENGTH) offAxis = unitAxis.perpendicular();
    const f32 sinLimit = std::sqrt(std::max(1.0f - cosLimit * cosLimit, 0.0f));
    ClVec3 result = scaleVec3(unitAxis, cosLimit) + scaleVec3(offAxis, sinLimit);
    result.w = dir.w;
    return result;
}

void clampDirectionToCone(ClVec3* result, const ClVec3& direction, const ClVec3& axis, f32 maxAngle, const ClVec3& planeNormal) {
    (void)planeNormal;
    *result = clampDirectionToCone(direction, axis, maxAngle);
}

ClVec3 randomUnitVector3() {
    ClVec3 v;
    do {
        const f32 x = randomFloatInRange(-1.0f, 1.0f);
        const f32 y = randomFloatInRange(-1.0f, 1.0f);
        const f32 z = randomFloatInRange(-1.0f, 1.0f);
        v = ClVec3(x, y, z);
    } while (v.length() < RANDOM_VECTOR_MIN_LENGTH);
    v.normalize();
    return v;
}

// A direction whose angle to the axis has its cosine uniform in [cosHalfAngle, 1] (uniform
// over the cap) and whose turn about the axis comes from a point of the unit disk.
static ClVec3 sampleConeDirectly(const ClVec3& axis, f32 cosHalfAngle) {
    ClVec2 disk;
    for (int tries = 0; tries < CONE_MAX_TRIES; ++tries) {
        const f32 dx = randomFloatInRange(-1.0f, 1.0f);
        const f32 dy = randomFloatInRange(-1.0f, 1.0f);
        disk = ClVec2(dx, dy);
        if (dx * dx + dy * dy <= 1.0f) break;
    }
    if (disk.normalize() == 0.0f) disk = ClVec2(1.0f, 0.0f);
    const f32 cosDeviation = randomFloatInRange(cosHalfAngle, 1.0f);
    const f32 sinDeviation = std::sqrt(std::max(1.0f - cosDeviation * cosDeviation, 0.0f));

    ClMatrix33 frame;
    makeLookRotation(axis, &frame, ClVec3(0.0f, 1.0f, 0.0f));
    const ClVec3 right = frame.getColumn(0);
    const ClVec3 up = frame.getColumn(1);
    const ClVec3 forward = frame.getColumn(2).negated();
    return scaleVec3(right, disk.x * sinDeviation) + scaleVec3(up, disk.y * sinDeviation) + scaleVec3(forward, cosDeviation);
}

ClVec3 randomDirectionInCone(const ClVec3& axis, f32 halfAngleDegrees) {
    if (halfAngleDegrees <= 0.0f) return axis;
    const f32 cosHalfAngle = std::cos(halfAngleDegrees * MATH_DEGREES_TO_RADIANS);
    if (halfAngleDegrees < CONE_SAMPLING_SWITCH_DEGREES) return sampleConeDirectly(axis, cosHalfAngle);
    const ClVec3 unitAxis = axis.normalized();
    for (int tries = 0; tries < CONE_MAX_TRIES; ++tries) {
        const ClVec3 v = randomUnitVector3();
        if (v.dot(unitAxis) >= cosHalfAngle) return v;
    }
    // Eight misses are common near 60 degrees (about one call in ten); the direct sampling
    // always lands inside the cone.
    return sampleConeDirectly(axis, cosHalfAngle);
}
