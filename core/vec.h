// Small float vectors and the screen rectangle. Everything here is single precision and works on
// values: no allocation, no hidden state.
#pragma once

#include "core/types.h"

#include <cmath>

struct ClVec2 {
    f32 x = 0.0f;
    f32 y = 0.0f;

    ClVec2() = default;
    ClVec2(f32 xValue, f32 yValue) : x(xValue), y(yValue) {}

    f32 length() const;
    // Scales to unit length and returns the former length; a zero vector stays as it is and
    // gives 0.
    f32 normalize();
};

// x, y, z and a fourth float, 16 bytes, so that arrays of them can be copied as aligned blocks.
// Every three-component operation reads and writes x, y and z only: the fourth float of the
// target (or, for the operations that return a new vector, of the left operand) passes through
// untouched. The one exception is division by exactly zero, which gives all four floats zero.
struct alignas(16) ClVec3 {
    f32 x = 0.0f;
    f32 y = 0.0f;
    f32 z = 0.0f;
    f32 w = 0.0f;

    ClVec3() = default;
    ClVec3(f32 xValue, f32 yValue, f32 zValue) : x(xValue), y(yValue), z(zValue) {}
    ClVec3(f32 xValue, f32 yValue, f32 zValue, f32 wValue) : x(xValue), y(yValue), z(zValue), w(wValue) {}

    f32 dot(const ClVec3& other) const { return x * other.x + y * other.y + z * other.z; }
    // this x other; the result's fourth float is this one's.
    ClVec3 cross(const ClVec3& o) const { return ClVec3(y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x, w); }

    // Inline: the entity tree's per-node, per-frame transforms and bounds run on these.
    ClVec3& operator+=(const ClVec3& o) {
        x += o.x;
        y += o.y;
        z += o.z;
        return *this;
    }
    ClVec3& operator*=(f32 s) {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
    ClVec3 operator+(const ClVec3& o) const { return ClVec3(x + o.x, y + o.y, z + o.z, w); }
    ClVec3 operator-(const ClVec3& o) const { return ClVec3(x - o.x, y - o.y, z - o.z, w); }
    ClVec3 negated() const { return ClVec3(-x, -y, -z, w); }
    // s exactly 0 gives the zero vector, fourth float included.
    ClVec3 operator/(f32 s) const {
        if (s == 0.0f) return ClVec3(0.0f, 0.0f, 0.0f, 0.0f);
        return ClVec3(x / s, y / s, z / s, w);
    }

    f32 length() const { return std::sqrt(x * x + y * y + z * z); }
    // Scales to unit length and returns the former length; length exactly 0 leaves the vector
    // and gives 0.
    f32 normalize() {
        const f32 len = length();
        if (len == 0.0f) return 0.0f;
        x /= len;
        y /= len;
        z /= len;
        return len;
    }
    // A unit copy; a zero vector gives (0, 0, 0, 0).
    ClVec3 normalized() const;
    // Rescales to the given length; nothing happens below a current length of 1e-7.
    void setLength(f32 newLength);

    // A unit vector at right angles to this one: (0, 1, 0) x v, or (0, 0, 1) x v when v points
    // within about 16 degrees of straight up or straight down (where the first would be too
    // short). The zero vector gives the zero vector.
    ClVec3 perpendicular() const;
};

// v x s into a new vector (the fourth float is v's).
inline ClVec3 scaleVec3(const ClVec3& v, f32 s) { return ClVec3(v.x * s, v.y * s, v.z * s, v.w); }

struct alignas(16) ClVec4 {
    f32 x = 0.0f;
    f32 y = 0.0f;
    f32 z = 0.0f;
    f32 w = 0.0f;

    void set(f32 xValue, f32 yValue, f32 zValue, f32 wValue) {
        x = xValue;
        y = yValue;
        z = zValue;
        w = wValue;
    }
};

// Field order matters to the records that embed it: minX, maxX, minY, maxY.
struct ClRect {
    f32 minX = 0.0f;
    f32 maxX = 0.0f;
    f32 minY = 0.0f;
    f32 maxY = 0.0f;

    // 1 when the point lies inside or on the edge.
    u32 contains(f32 px, f32 py) const { return (px >= minX && px <= maxX && py >= minY && py <= maxY) ? 1u : 0u; }
};
