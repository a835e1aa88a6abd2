// The 4x4 float matrix in the layout the renderer takes: row-major, for row vectors. A point p
// maps to p x M = x row0 + y row1 + z row2 + row3, so the translation sits in m[12], m[13],
// m[14] and m[15] is 1 for affine transforms. Of an orientation, columns 0, 1 and 2 (elements
// 0/4/8, 1/5/9, 2/6/10) are the right, up and backward axes; the forward direction is minus
// column 2.
//
// Rotations built here turn a row vector by +angle about their axis by the right-hand rule
// (p x M), so applying the transpose turns it back.
#pragma once

#include "core/matrix33.h"
#include "core/types.h"
#include "core/vec.h"

#include <cstring>

struct alignas(16) ClMatrix44 {
    // Starts as the identity.
    f32 m[16] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};

    void setIdentity();
    void setZero();
    // this x other: a row vector goes through this first, then other.
    ClMatrix44 multiply(const ClMatrix44& other) const;
    // Every element has the identity's bits (a zero of the other sign does not).
    bool isExactIdentity() const;
    // identity x other, bit for bit as multiply gives it, without the products by one: for the
    // many items placed exactly where their parent is.
    static ClMatrix44 identityTimes(const ClMatrix44& other);

    // Cofactors over the determinant. Nothing checks for a singular matrix: its inverse is
    // made of non-finite values.
    ClMatrix44 getInverse() const;

    void setTranslation(const ClVec3& v) { setTranslationXYZ(v.x, v.y, v.z); }
    void setTranslationXYZ(f32 x, f32 y, f32 z) {
        m[12] = x;
        m[13] = y;
        m[14] = z;
    }
    ClVec3 getTranslation() const { return ClVec3(m[12], m[13], m[14], 0.0f); }

    void setColumn0(const ClVec3& v);
    void setColumn1(const ClVec3& v);
    // Column 2 holds the backward axis: setBackAxis stores minus the given forward direction.
    void setBackAxis(const ClVec3& forward);

    // x row0 + y row1 + z row2 + row3, all four components (the fourth lands in w).
    ClVec3 transformPoint(const ClVec3& p) const;
    // The same for count points; both arrays have the 16-byte ClVec3 stride.
    void transformPointArray(const ClVec3* points, u32 count, ClVec3* results) const;

    // Upper 3x3 = the rotation by angle (radians) about the unit axis; every other element is
    // left as it was.
    void setRotationAxisAngle(const ClVec3& unitAxis, f32 angle);
    void setRotationY(f32 angle);

    // The angle (radians, 0 .. pi) of the rotation in the upper 3x3, and its unit axis. With no
    // usable axis a small angle gives (1, 0, 0); a half turn rebuilds the axis (up to sign)
    // from the diagonal.
    f32 toAxisAngle(ClVec3* axis) const;
};

namespace matrix44_rows {

// A row of four floats: element-wise IEEE arithmetic, each lane as the scalar code rounds it.
typedef f32 MatrixRow __attribute__((vector_size(16)));
// The same row's bits.
typedef u32 MatrixRowBits __attribute__((vector_size(16)));

inline MatrixRow rowAt(const f32* p) {
    MatrixRow row;
    std::memcpy(&row, p, sizeof row);
    return row;
}

inline MatrixRowBits rowBitsAt(const f32* p) {
    MatrixRowBits bits;
    std::memcpy(&bits, p, sizeof bits);
    return bits;
}

}  // namespace matrix44_rows

// Inline: every atom placed by its node's world frame passes through these.
inline bool ClMatrix44::isExactIdentity() const {
    using namespace matrix44_rows;
    constexpr u32 ONE = 0x3F800000u;  // the bits of 1.0f
    const MatrixRowBits differ = (rowBitsAt(m) ^ MatrixRowBits{ONE, 0, 0, 0}) | (rowBitsAt(m + 4) ^ MatrixRowBits{0, ONE, 0, 0}) |
                                 (rowBitsAt(m + 8) ^ MatrixRowBits{0, 0, ONE, 0}) | (rowBitsAt(m + 12) ^ MatrixRowBits{0, 0, 0, ONE});
    u64 halves[2];
    std::memcpy(halves, &differ, sizeof halves);
    return (halves[0] | halves[1]) == 0;
}

// multiply's sums with the identity's elements put in: row i adds other's row i (times one, which
// changes no value) and the other three rows times zero, from row 0 up. The products by zero stay,
// as they decide the sign of a zero sum (and carry a NaN).
inline ClMatrix44 ClMatrix44::identityTimes(const ClMatrix44& other) {
    using namespace matrix44_rows;
    const MatrixRow b0 = rowAt(other.m), b1 = rowAt(other.m + 4), b2 = rowAt(other.m + 8), b3 = rowAt(other.m + 12);
    const MatrixRow z0 = b0 * 0.0f, z1 = b1 * 0.0f, z2 = b2 * 0.0f, z3 = b3 * 0.0f;
    const MatrixRow rows[4] = {b0 + z1 + z2 + z3, z0 + b1 + z2 + z3, z0 + z1 + b2 + z3, z0 + z1 + z2 + b3};
    ClMatrix44 result;
    std::memcpy(result.m, rows, sizeof rows);
    return result;
}

// The world matrix of an object at position with orientation: upper 3x3 = the transposed
// orientation, elements 3, 7 and 11 = 0, translation = position, m[15] = 1.
ClMatrix44 makeWorldMatrix(const ClVec3& position, const ClMatrix33& orientation);
