#include "core/vec.h"

#include <cmath>

// A perpendicular built from an axis within this cosine of v would be too short to trust.
constexpr f32 PERPENDICULAR_PARALLEL_COSINE = 0.96f;
constexpr f32 SET_LENGTH_MIN_LENGTH = 1e-7f;

f32 ClVec2::length() const { return std::sqrt(x * x + y * y); }

f32 ClVec2::normalize() {
    const f32 len = length();
    if (len == 0.0f) return 0.0f;
    x /= len;
    y /= len;
    return len;
}

ClVec3 ClVec3::normalized() const {
    ClVec3 copy = *this;
    if (copy.normalize() == 0.0f) return ClVec3(0.0f, 0.0f, 0.0f, 0.0f);
    return copy;
}

void ClVec3::setLength(f32 newLength) {
    const f32 len = length();
    if (len < SET_LENGTH_MIN_LENGTH) return;
    *this *= newLength / len;
}

ClVec3 ClVec3::perpendicular() const {
    // The test uses the unit direction: a long vector pointing straight down would otherwise pass
    // as "not vertical" and give a zero cross product.
    const f32 upCosine = normalized().y;
    const ClVec3 axis = std::fabs(upCosine) >= PERPENDICULAR_PARALLEL_COSINE ? ClVec3(0.0f, 0.0f, 1.0f) : ClVec3(0.0f, 1.0f, 0.0f);
    ClVec3 result = axis.cross(*this);
    result.normalize();
    result.w = w;
    return result;
}

