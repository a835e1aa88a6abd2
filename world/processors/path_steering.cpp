#include "world/processors/path_steering.h"

#include <algorithm>
#include <cmath>

// Above this cosine a heading lies too close to the vertical to turn about it.
constexpr f32 VERTICAL_COSINE = 0.99f;

ClVec3 rotateAboutAxis(const ClVec3& v, const ClVec3& unitAxis, f32 angle) {
    const f32 c = std::cos(angle);
    const f32 s = std::sin(angle);
    const ClVec3 across = unitAxis.cross(v);
    const f32 along = unitAxis.dot(v) * (1.0f - c);
    return ClVec3(v.x * c + across.x * s + unitAxis.x * along, v.y * c + across.y * s + unitAxis.y * along,
                  v.z * c + across.z * s + unitAxis.z * along, v.w);
}

ClVec3 turnHeadingTowards(const ClVec3& heading, const ClVec3& wanted, f32 limit) {
    // No heading yet: there is nothing to turn from.
    if (heading.dot(heading) == 0.0f) return ClVec3(wanted.x, wanted.y, wanted.z, heading.w);
    // Rounding can put the dot product of two unit vectors just outside [-1, 1].
    const f32 angle = std::acos(std::clamp(heading.dot(wanted), -1.0f, 1.0f));
    if (angle <= limit) return ClVec3(wanted.x, wanted.y, wanted.z, heading.w);
    ClVec3 axis = heading.cross(wanted);
    if (angle >= PATH_BACKWARDS_ANGLE || axis.normalize() == 0.0f) {
        axis = ClVec3(0.0f, wanted.x >= 0.0f ? 1.0f : -1.0f, 0.0f);
        // A heading along the vertical does not turn about it.
        if (std::fabs(heading.dot(axis)) > VERTICAL_COSINE) axis = heading.perpendicular();
    }
    ClVec3 turned = rotateAboutAxis(heading, axis, limit);
    turned.normalize();
    return turned;
}

void bounceInArena(ClVec3* position, ClVec3* heading) {
    if (position->x < ARENA_BOUNCE_MIN) {
        heading->x = -heading->x;
        position->x = -position->x;
    } else if (position->x > ARENA_BOUNCE_MAX_X) {
        heading->x = -heading->x;
        position->x = ARENA_BOUNCE_INSIDE_X;
    }
    if (position->z < ARENA_BOUNCE_MIN) {
        heading->z = -heading->z;
        position->z = -position->z;
    } else if (position->z > ARENA_BOUNCE_MAX_Z) {
        heading->z = -heading->z;
        position->z = ARENA_BOUNCE_INSIDE_Z;
    }
}
