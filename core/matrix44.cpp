#include "core/matrix44.h"

#include "core/directions.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// Below this length the axis read off a rotation matrix is rounding noise.
constexpr f32 AXIS_MIN_LENGTH = 1e-6f;
// Angles up to this (radians) without a usable axis are treated as no rotation.
constexpr f32 SMALL_ANGLE_LIMIT = 1.0f;

void ClMatrix44::setIdentity() { *this = ClMatrix44(); }

void ClMatrix44::setZero() {
    for (f32& value : m) value = 0.0f;
}

namespace {

using matrix44_rows::MatrixRow;
using matrix44_rows::rowAt;

}  // namespace

// Row i of the product is sum over k of m[i][k] x other's row k, summed from k = 0 up: the four
// elements of a row at once, each with the same operations in the same order as one at a time
// (nothing is fused: the build forbids contraction).
ClMatrix44 ClMatrix44::multiply(const ClMatrix44& other) const {
    const MatrixRow b0 = rowAt(other.m), b1 = rowAt(other.m + 4), b2 = rowAt(other.m + 8), b3 = rowAt(other.m + 12);
    const auto row = [&](int i) { return b0 * m[4 * i] + b1 * m[4 * i + 1] + b2 * m[4 * i + 2] + b3 * m[4 * i + 3]; };
    const MatrixRow rows[4] = {row(0), row(1), row(2), row(3)};
    ClMatrix44 result;
    std::memcpy(result.m, rows, sizeof rows);
    return result;
}

ClMatrix44 ClMatrix44::getInverse() const {
    ClMatrix44 inv;
    f32* r = inv.m;
    r[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] + m[13] * m[6] * m[11] -
           m[13] * m[7] * m[10];
    r[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] - m[12] * m[6] * m[11] +
           m[12] * m[7] * m[10];
    r[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] + m[12] * m[5] * m[11] -
           m[12] * m[7] * m[9];
    r[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] - m[12] * m[5] * m[10] +
            m[12] * m[6] * m[9];
    r[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] - m[13] * m[2] * m[11] +
           m[13] * m[3] * m[10];
    r[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] + m[12] * m[2] * m[11] -
           m[12] * m[3] * m[10];
    r[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] - m[12] * m[1] * m[11] +
           m[12] * m[3] * m[9];
    r[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] + m[12] * m[1] * m[10] -
            m[12] * m[2] * m[9];
    r[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] + m[13] * m[2] * m[7] -
           m[13] * m[3] * m[6];
    r[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] - m[12] * m[2] * m[7] +
           m[12] * m[3] * m[6];
    r[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] + m[12] * m[1] * m[7] -
            m[12] * m[3] * m[5];
    r[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] - m[12] * m[1] * m[6] +
            m[12] * m[2] * m[5];
    r[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] - m[9] * m[2] * m[7] +
           m[9] * m[3] * m[6];
    r[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] + m[8] * m[2] * m[7] -
           m[8] * m[3] * m[6];
    r[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] - m[8] * m[1] * m[7] +
            m[8] * m[3] * m[5];
    r[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] + m[8] * m[1] * m[6] -
            m[8] * m[2] * m[5];

    const f32 det = m[0] * r[0] + m[1] * r[4] + m[2] * r[8] + m[3] * r[12];
    for (f32& value : inv.m) value /= det;
    return inv;
}

void ClMatrix44::setColumn0(const ClVec3& v) {
    m[0] = v.x;
    m[4] = v.y;
    m[8] = v.z;
}

void ClMatrix44::setColumn1(const ClVec3& v) {
    m[1] = v.x;
    m[5] = v.y;
    m[9] = v.z;
}

void ClMatrix44::setBackAxis(const ClVec3& forward) {
    m[2] = -forward.x;
    m[6] = -forward.y;
    m[10] = -forward.z;
}

ClVec3 ClMatrix44::transformPoint(const ClVec3& p) const {
    return ClVec3(p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12], p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
                  p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14], p.x * m[3] + p.y * m[7] + p.z * m[11] + m[15]);
}

// Each moved point is the four rows times its x, y and z plus the last row, summed in the order
// transformPoint sums each element (nothing is fused), so the bits match it.
void ClMatrix44::transformPointArray(const ClVec3* points, u32 count, ClVec3* results) const {
    const MatrixRow r0 = rowAt(m), r1 = rowAt(m + 4), r2 = rowAt(m + 8), r3 = rowAt(m + 12);
    for (u32 i = 0; i < count; ++i) {
        const ClVec3& p = points[i];
        const MatrixRow moved = r0 * p.x + r1 * p.y + r2 * p.z + r3;
        std::memcpy(static_cast<void*>(&results[i]), &moved, sizeof moved);
    }
}

void ClMatrix44::setRotationAxisAngle(const ClVec3& a, f32 angle) {
    const f32 c = std::cos(angle);
    const f32 s = std::sin(angle);
    const f32 t = 1.0f - c;
    // The transpose of the column-vector Rodrigues matrix, so that p x M turns p by +angle.
    m[0] = c + t * a.x * a.x;
    m[1] = t * a.x * a.y + s * a.z;
    m[2] = t * a.x * a.z - s * a.y;
    m[4] = t * a.x * a.y - s * a.z;
    m[5] = c + t * a.y * a.y;
    m[6] = t * a.y * a.z + s * a.x;
    m[8] = t * a.x * a.z + s * a.y;
    m[9] = t * a.y * a.z - s * a.x;
    m[10] = c + t * a.z * a.z;
}

void ClMatrix44::setRotationY(f32 angle) { setRotationAxisAngle(ClVec3(0.0f, 1.0f, 0.0f), angle); }

f32 ClMatrix44::toAxisAngle(ClVec3* axis) const {
    const f32 cosine = std::clamp((m[0] + m[5] + m[10] - 1.0f) / 2.0f, -1.0f, 1.0f);
    const f32 angle = std::acos(cosine);
    ClVec3 raw(m[6] - m[9], m[8] - m[2], m[1] - m[4], axis->w);
    if (raw.length() >= AXIS_MIN_LENGTH) {
        raw.normalize();
        *axis = raw;
        return angle;
    }
    if (angle <= SMALL_ANGLE_LIMIT) {
        *axis = ClVec3(1.0f, 0.0f, 0.0f, axis->w);
        return angle;
    }
    // A half turn is symmetric (M = 2 a a^T - I): the diagonal gives the size of each axis
    // component and the symmetric off-diagonal pairs their relative signs. Rounding can push a
    // diagonal element just below -1, hence the clamp before the square root.
    f32 c[3];
    for (int i = 0; i < 3; ++i) c[i] = std::sqrt(std::max((m[5 * i] + 1.0f) / 2.0f, 0.0f));
    int largest = 0;
    for (int i = 1; i < 3; ++i) {
        if (c[i] > c[largest]) largest = i;
    }
    for (int j = 0; j < 3; ++j) {
        if (j == largest) continue;
        const f32 pair = m[4 * largest + j] + m[4 * j + largest];
        if (pair < 0.0f) c[j] = -c[j];
    }
    ClVec3 rebuilt(c[0], c[1], c[2], axis->w);
    rebuilt.normalize();
    *axis = rebuilt;
    return angle;
}

ClMatrix44 makeWorldMatrix(const ClVec3& position, const ClMatrix33& orientation) {
    ClMatrix44 result;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) result.m[4 * i + j] = orientation.at(j, i);
        result.m[4 * i + 3] = 0.0f;
    }
    result.setTranslation(position);
    result.m[15] = 1.0f;
    return result;
}
