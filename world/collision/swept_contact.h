// The narrow phase of the world collision: where and when, within one game step, two swept
// spheres first touch.
#pragma once

#include "core/bounding_volume.h"
#include "core/types.h"
#include "core/vec.h"

// Below this squared length of the relative motion two spheres count as moving together: the
// entry time is undefined, so only the end positions are compared.
constexpr f32 CONTACT_STILL_MOTION_SQUARED = 1e-6f;

struct SSweptContact {
    ClVec3 point;   // on the first sphere, facing the second
    ClVec3 normal;  // from the first sphere towards the second, unit length when it could be made
    f32 time;       // 0 to 1 within the step
};

// Tests entry p (the first) against entry q; only swept spheres and spheres take part. Spheres
// whose closest approach is exactly the sum of the radii only touch and do not collide. Spheres
// that were already closing before the step, or that move together, collide at time 1 when their
// end centres are strictly closer than the sum of the radii, at the middle of those centres.
bool findSweptContact(const SCollisionSphere& p, const SCollisionSphere& q, SSweptContact* out);
