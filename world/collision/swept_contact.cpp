#include "world/collision/swept_contact.h"

#include <cmath>

namespace {

bool isSolid(const SCollisionSphere& entry) {
    return entry.kind == E_BOUNDS_SPHERE || entry.kind == E_BOUNDS_SWEPT_SPHERE;
}

ClVec3 xyz(const ClVec3& v) { return ClVec3(v.x, v.y, v.z, 0.0f); }

// The end centres strictly closer than reach: a contact at the end of the step.
bool endContact(const SCollisionSphere& p, const SCollisionSphere& q, f32 reach, SSweptContact* out) {
    const ClVec3 apart = xyz(q.end) - xyz(p.end);
    if (apart.dot(apart) >= reach * reach) return false;
    out->point = scaleVec3(xyz(p.end) + xyz(q.end), 0.5f);
    out->normal = apart;
    out->normal.normalize();
    out->time = 1.0f;
    return true;
}

}  // namespace

bool findSweptContact(const SCollisionSphere& p, const SCollisionSphere& q, SSweptContact* out) {
    if (!isSolid(p) || !isSolid(q)) return false;
    const ClVec3 dp = xyz(p.end) - xyz(p.start);
    const ClVec3 dq = xyz(q.end) - xyz(q.start);
    const ClVec3 s = xyz(p.start) - xyz(q.start);
    const ClVec3 m = dp - dq;
    const f32 reach = p.radius + q.radius;
    const f32 reachSquared = reach * reach;
    const f32 mm = m.dot(m);
    if (mm < CONTACT_STILL_MOTION_SQUARED) return endContact(p, q, reach, out);

    const f32 ms = m.dot(s);
    const f32 ss = s.dot(s);
    const f32 closestSquared = ss - ms * ms / mm;
    if (closestSquared >= reachSquared) return false;

    const f32 discriminant = std::fmax(ms * ms - mm * (ss - reachSquared), 0.0f);
    const f32 t = (-ms - std::sqrt(discriminant)) / mm;
    if (t > 1.0f) return false;
    if (t < 0.0f) return endContact(p, q, reach, out);

    const ClVec3 atP = xyz(p.start) + scaleVec3(dp, t);
    const ClVec3 atQ = xyz(q.start) + scaleVec3(dq, t);
    ClVec3 towards = atQ - atP;
    towards.setLength(p.radius);  // left as it is when shorter than 1e-7
    out->point = atP + towards;
    out->normal = towards;
    out->normal.normalize();
    out->time = t;
    return true;
}
