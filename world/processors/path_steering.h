// The small vector steps of path motion: turning a heading towards a wanted direction at a
// limited rate, and bouncing inside the arena.
#pragma once

#include "core/types.h"
#include "core/vec.h"

// The arena's walls for bouncing movers, in world units. A position exactly on a wall stays;
// only one past it is reflected.
constexpr f32 ARENA_BOUNCE_MIN = 0.0001f;
constexpr f32 ARENA_BOUNCE_MAX_X = 325.0001f;
constexpr f32 ARENA_BOUNCE_INSIDE_X = 324.9999f;
constexpr f32 ARENA_BOUNCE_MAX_Z = 269.7501f;
constexpr f32 ARENA_BOUNCE_INSIDE_Z = 269.7499f;

// At this angle (radians) or more the heading counts as pointing backwards: heading x wanted is
// too short to give a turning axis, and the turn goes about the vertical instead.
constexpr f32 PATH_BACKWARDS_ANGLE = 3.1f;

// The unit heading turned towards the unit direction `wanted` by at most `limit` radians, with a
// right-handed turn about normalise(heading x wanted). When the angle between them is `limit`
// or less, or the heading is the zero vector, the result is `wanted`. A heading pointing backwards turns about (0, 1, 0) when
// wanted.x >= 0 and about (0, -1, 0) otherwise, so that it swings through +z either way.
ClVec3 turnHeadingTowards(const ClVec3& heading, const ClVec3& wanted, f32 limit);

// v turned by angle (radians) about the unit axis, right-handed.
ClVec3 rotateAboutAxis(const ClVec3& v, const ClVec3& unitAxis, f32 angle);

// Reflects a position that has left the arena on x or z and flips that component of the
// heading: below the low wall the coordinate is mirrored, past the high wall it is set just
// inside.
void bounceInArena(ClVec3* position, ClVec3* heading);
