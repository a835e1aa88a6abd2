// The 3x3 orientation whose columns are an object's right, up and backward axes.
#pragma once

#include "core/types.h"
#include "core/vec.h"

// Three rows of four floats, row i at m[4i .. 4i+3], the same layout as the upper rows of a
// ClMatrix44. The fourth float of each row takes no part in the 3x3 operations and is written
// as 0 wherever a whole row is written. Starts as the identity.
struct alignas(16) ClMatrix33 {
    f32 m[12] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f};

    f32 at(int row, int column) const { return m[4 * row + column]; }
    void set(int row, int column, f32 value) { m[4 * row + column] = value; }

    void setColumns(const ClVec3& c0, const ClVec3& c1, const ClVec3& c2);
    ClVec3 getColumn(int column) const;
    // this x other.
    ClMatrix33 multiply(const ClMatrix33& other) const;
};
