#include "core/bounding_volume.h"

#include "core/fatal_error.h"

#include <cmath>

namespace {

// Room a reset list keeps: a list grows when an append would fill it, so this holds a shot's
// single swept sphere without growing in the collision pass.
constexpr u32 COLLISION_LIST_RESET_CAPACITY = 2;

// The point through the matrix, keeping the point's fourth float.
ClVec3 movePoint(const ClMatrix44& matrix, const ClVec3& point) {
    ClVec3 moved = matrix.transformPoint(point);
    moved.w = point.w;
    return moved;
}

}  // namespace

void ClBoundingVolume::setSphereFromPoints(u32 count, const ClVec3* points) {
    if (count == 0 || !points) {
        clear();
        return;
    }
    ClVec3 low = points[0];
    ClVec3 high = points[0];
    for (u32 i = 1; i < count; ++i) {
        low.x = std::fmin(low.x, points[i].x);
        low.y = std::fmin(low.y, points[i].y);
        low.z = std::fmin(low.z, points[i].z);
        high.x = std::fmax(high.x, points[i].x);
        high.y = std::fmax(high.y, points[i].y);
        high.z = std::fmax(high.z, points[i].z);
    }
    centre = ClVec3((low.x + high.x) * 0.5f, (low.y + high.y) * 0.5f, (low.z + high.z) * 0.5f, 0.0f);
    radius = (centre - low).length();
    kind = E_BOUNDS_SPHERE;
}

bool ClBoundingVolume::overlaps(const ClBoundingVolume& other) const {
    if (kind != E_BOUNDS_SPHERE || other.kind != E_BOUNDS_SPHERE) return false;
    const ClVec3 d = other.centre - centre;
    const f32 reach = radius + other.radius;
    return d.dot(d) < reach * reach;
}

void ClBoundingVolume::transformSphere(const ClMatrix44& matrix) {
    if (kind != E_BOUNDS_SPHERE) fatalErrorf("ClBoundingVolume::transformSphere on a volume of kind %u", kind);
    centre = movePoint(matrix, centre);
}

void ClBoundingVolume::mergeOtherKinds(const ClBoundingVolume& other) {
    if (kind > E_BOUNDS_SPHERE || other.kind > E_BOUNDS_SPHERE)
        fatalErrorf("ClBoundingVolume::merge of kinds %u and %u", kind, other.kind);
    if (kind == E_BOUNDS_EMPTY) *this = other;
    // An unbounded volume stays so, and an empty or unbounded one adds nothing to a sphere.
}

void ClBoundingVolume::unionOfOtherKinds(const ClBoundingVolume& a, const ClBoundingVolume& b) {
    if (a.kind == E_BOUNDS_UNBOUNDED || b.kind == E_BOUNDS_UNBOUNDED) {
        kind = E_BOUNDS_UNBOUNDED;
        return;
    }
    const ClBoundingVolume second = b;
    *this = a;
    merge(second);
}

void ClBoundingVolumeList::reset() {
    if (!entries.inUse) entries.init(COLLISION_LIST_RESET_CAPACITY);
    entries.count = 0;
    entries.last = nullptr;
    entries.cursor = nullptr;
}

void ClBoundingVolumeList::push(const SCollisionSphere& entry) {
    if (!entries.inUse) reset();
    entries.push(entry);
}

void ClBoundingVolumeList::pushSphere(u32 kind, f32 radius, const ClVec3& start, const ClVec3& end) {
    SCollisionSphere entry{};
    entry.kind = kind;
    entry.radius = radius;
    entry.start = start;
    entry.end = end;
    push(entry);
}

void ClBoundingVolumeList::sweepSpheres(const ClBoundingVolumeList& localList, const ClMatrix44& previousMatrix,
                                        const ClMatrix44& currentMatrix) {
    if (&localList == this) fatalError("ClBoundingVolumeList::sweepSpheres into its own local list");
    reset();
    for (u32 i = 0; i < localList.count(); ++i) {
        const SCollisionSphere& local = localList[i];
        if (local.kind != E_BOUNDS_SPHERE)
            fatalErrorf("ClBoundingVolumeList::sweepSpheres: local entry %u is of kind %u", i, local.kind);
        pushSphere(E_BOUNDS_SWEPT_SPHERE, local.radius, movePoint(previousMatrix, local.start),
                   movePoint(currentMatrix, local.start));
    }
}

void ClBoundingVolumeList::setUnbounded() {
    reset();
    pushSphere(E_BOUNDS_UNBOUNDED, 0.0f, ClVec3(), ClVec3());
}

void ClBoundingVolumeList::setSegment(const ClVec3& start, const ClVec3& end, f32 radius) {
    reset();
    pushSphere(E_BOUNDS_SWEPT_SPHERE, radius, start, end);
}

void ClBoundingVolumeList::coverSegmentWithSpheres(const ClVec3& start, const ClVec3& end, f32 radius) {
    reset();
    const ClVec3 from(start.x, start.y, start.z, 0.0f);
    const ClVec3 to(end.x, end.y, end.z, 0.0f);
    const ClVec3 along = to - from;
    const f32 length = along.length();
    const f32 diameter = 2.0f * radius;
    // A radius of 0 or less (or not a number) would need endless spheres; the two ends are all
    // that such a segment gets.
    if (!(radius > 0.0f) || diameter >= length) {
        pushSphere(E_BOUNDS_SPHERE, radius, from, from);
        pushSphere(E_BOUNDS_SPHERE, radius, to, to);
        return;
    }
    const f32 steps = std::floor(length / diameter);
    if (!(steps < f32(COLLISION_SEGMENT_MAX_SPHERES)))
        fatalErrorf("coverSegmentWithSpheres: a segment of length %g needs too many spheres of radius %g", length,
                    radius);
    const u32 sphereCount = 1 + u32(steps);
    const ClVec3 step = scaleVec3(along / length, diameter);
    ClVec3 centre = from + scaleVec3(along / length, radius);
    for (u32 i = 0; i < sphereCount; ++i) {
        pushSphere(E_BOUNDS_SPHERE, radius, centre, centre);
        centre += step;
    }
    if (sphereCount % 2 == 1) pushSphere(E_BOUNDS_SPHERE, radius, to, to);
}
