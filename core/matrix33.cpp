#include "core/matrix33.h"

void ClMatrix33::setColumns(const ClVec3& c0, const ClVec3& c1, const ClVec3& c2) {
    const f32 values[12] = {c0.x, c1.x, c2.x, 0.0f, c0.y, c1.y, c2.y, 0.0f, c0.z, c1.z, c2.z, 0.0f};
    for (int i = 0; i < 12; ++i) m[i] = values[i];
}

ClVec3 ClMatrix33::getColumn(int column) const { return ClVec3(at(0, column), at(1, column), at(2, column), 0.0f); }

ClMatrix33 ClMatrix33::multiply(const ClMatrix33& other) const {
    ClMatrix33 result;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) result.set(i, j, at(i, 0) * other.at(0, j) + at(i, 1) * other.at(1, j) + at(i, 2) * other.at(2, j));
        result.set(i, 3, 0.0f);
    }
    return result;
}
