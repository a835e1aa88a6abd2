#include "core/vec.h"

#include <cmath>

// A perpendicular built from an axis within this cosine of v would be too short to trust.
constexpr f32 PERPENDICULAR_PARALLEL_COSINE = 0.96f;
constexpr f32 SET_LENGTH_MIN_LENGTH = 1e-7f;

ClVec2 ClVec2::fromAngle(f32 angle) { return ClVec2(std::cos(angle), std::sin(angle)); }

f32 ClVec2::length() const { return std::sqrt(x * x + y * y); }

f32 ClVec2::normalize() {
    const f32 len = length();
    if (len == 0.0f) return 0.0f;
    x /= len;
    y /= len;
    return len;
}

ClVec3 ClVec3::cross(const ClVec3& o) const {
    return ClVec3(y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x, w);
}

ClVec3& ClVec3::operator+=(const ClVec3& o) {
    x += o.x;
    y += o.y;
    z += o.z;
    return *this;
}

ClVec3& ClVec3::operator-=(const ClVec3& o) {
    x -= o.x;
    y -= o.y;
    z -= o.z;
    return *this;
}

ClVec3& ClVec3::operator*=(const ClVec3& o) {
    x *= o.x;
    y *= o.y;
    z *= o.z;
    return *this;
}

ClVec3& ClVec3::operator*=(f32 s) {
    x *= s;
    y *= s;
    z *= s;
    return *this;
}

ClVec3 ClVec3::operator+(const ClVec3& o) const { return ClVec3(x + o.x, y + o.y, z + o.z, w); }

ClVec3 ClVec3::operator-(const ClVec3& o) const { return ClVec3(x - o.x, y - o.y, z - o.z, w); }

ClVec3 ClVec3::negated() const { return ClVec3(-x, -y, -z, w); }

ClVec3 ClVec3::operator/(f32 s) const {
    if (s == 0.0f) return ClVec3(0.0f, 0.0f, 0.0f, 0.0f);
    return ClVec3(x / s, y / s, z / s, w);
}

f32 ClVec3::length() const { return std::sqrt(x * x + y * y + z * z); }

f32 ClVec3::normalize() {
    const f32 len = length();
    if (len == 0.0f) return 0.0f;
    x /= len;
    y /= len;
    z /= len;
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

ClVec3 scaleVec3(const ClVec3& v, f32 s) { return ClVec3(v.x * s, v.y * s, v.z * s, v.w); }
