// Broad-phase bounding volumes of atoms, nodes and meshes, and the collision-shape lists of
// swept spheres that the narrow phase tests.
#pragma once

#include "core/array.h"
#include "core/matrix44.h"
#include "core/types.h"
#include "core/vec.h"

enum EBoundingKind : u32 {
    E_BOUNDS_EMPTY = 0,
    E_BOUNDS_UNBOUNDED = 1,  // covers everything, yet never overlaps in the broad phase
    E_BOUNDS_SPHERE = 2,
    E_BOUNDS_SWEPT_SPHERE = 3,  // collision-shape entries only
};

class ClBoundingVolume {
public:
    ClVec3 centre;
    f32 radius = 0.0f;
    u32 kind = E_BOUNDS_EMPTY;

    void clear() { kind = E_BOUNDS_EMPTY; }
    // The sphere around the points' axis-aligned box: centre in its middle, radius the distance
    // to its minimum corner (so every point lies inside). No points give an empty volume.
    void setSphereFromPoints(u32 count, const ClVec3* points);
    // Only two spheres overlap, and only when their centres are strictly closer than the sum of
    // the radii: touching spheres do not.
    bool overlaps(const ClBoundingVolume& other) const;
    // Moves the centre through the matrix as a point; the radius stays. Fatal unless a sphere.
    void transformSphere(const ClMatrix44& matrix);
    // Grows this volume to cover the other. An empty one takes the other's place; an unbounded
    // one stays unbounded; merging an empty or unbounded volume into a sphere changes nothing.
    // A kind outside 0 to 2 on either side is fatal.
    // Two spheres, the common case of the bounds walks, are merged inline.
    void merge(const ClBoundingVolume& other) {
        if (kind == E_BOUNDS_SPHERE && other.kind == E_BOUNDS_SPHERE)
            coverSpheres(*this, other, *this);
        else
            mergeOtherKinds(other);
    }
    // This = unbounded when either is, else a copy of a merged with b. Either may be this.
    void unionOf(const ClBoundingVolume& a, const ClBoundingVolume& b) {
        if (a.kind == E_BOUNDS_SPHERE && b.kind == E_BOUNDS_SPHERE)
            coverSpheres(a, b, *this);
        else
            unionOfOtherKinds(a, b);
    }

private:
    // Below this distance two merged spheres count as concentric.
    static constexpr f32 MERGE_CONCENTRIC_DISTANCE = 0.0001f;

    // The smaller of two numbers, a NaN giving way to the other; of two equal ones (zeros of
    // either sign too) b.
    static f32 lowerOf(f32 a, f32 b) {
        if (b != b) return a;
        return a < b ? a : b;
    }
    // The larger of two numbers, a NaN giving way to the other; of two equal ones b.
    static f32 higherOf(f32 a, f32 b) {
        if (b != b) return a;
        return a > b ? a : b;
    }
    // Out = sphere a grown to cover sphere b. Out may be either: both are read before it is
    // written.
    static void coverSpheres(const ClBoundingVolume& a, const ClBoundingVolume& b, ClBoundingVolume& out) {
        ClVec3 centre = a.centre;
        f32 radius = a.radius;
        const f32 otherRadius = b.radius;
        ClVec3 axis = b.centre - centre;
        const f32 distance = axis.length();
        if (distance <= MERGE_CONCENTRIC_DISTANCE) {
            radius = higherOf(radius, otherRadius);
        } else {
            // The span along the axis from a's centre towards b's that covers both spheres.
            const f32 low = lowerOf(-radius, distance - otherRadius);
            const f32 high = higherOf(radius, distance + otherRadius);
            axis = axis / distance;
            centre += scaleVec3(axis, (low + high) * 0.5f);
            radius = (high - low) * 0.5f;
        }
        out.centre = centre;
        out.radius = radius;
        out.kind = E_BOUNDS_SPHERE;
    }
    void mergeOtherKinds(const ClBoundingVolume& other);
    void unionOfOtherKinds(const ClBoundingVolume& a, const ClBoundingVolume& b);
};

// An entry of a collision-shape list. Spheres keep start and end centres equal; a swept sphere
// runs from its start centre (previous frame) to its end centre (this frame).
struct SCollisionSphere {
    u32 kind;  // E_BOUNDS_UNBOUNDED, E_BOUNDS_SPHERE or E_BOUNDS_SWEPT_SPHERE
    f32 radius;
    ClVec3 start;
    ClVec3 end;
};

// Refuses to lay out a segment in more spheres than this (a radius far too small for its length).
constexpr u32 COLLISION_SEGMENT_MAX_SPHERES = 4096;

// A growable list of collision spheres (ClArray growth: it doubles when an append finds
// count + 1 equal to the capacity; running out of memory is fatal). Owners reset it before use
// and release it with themselves. The operations that refill the list empty it first and keep
// its storage.
class ClBoundingVolumeList {
public:
    ClArray<SCollisionSphere> entries;

    // Empties the list, setting up storage for one entry when it has none.
    void reset();
    void release() { entries.release(); }
    void push(const SCollisionSphere& entry);
    // This list = each sphere of the local list swept from its centre under the previous world
    // matrix to its centre under the current one, radius kept. A local entry that is not a
    // sphere is fatal.
    void sweepSpheres(const ClBoundingVolumeList& localList, const ClMatrix44& previousMatrix,
                      const ClMatrix44& currentMatrix);
    // This list = one unbounded entry.
    void setUnbounded();
    // This list = one swept sphere from start to end.
    void setSegment(const ClVec3& start, const ClVec3& end, f32 radius);
    // This list = spheres of the radius laid along the segment, centres with w = 0: both ends when
    // the segment is no longer than a diameter (or the radius is not positive); otherwise
    // 1 + floor(length / diameter) spheres one diameter apart from half a diameter past start,
    // plus one on end when that count is odd.
    void coverSegmentWithSpheres(const ClVec3& start, const ClVec3& end, f32 radius);

    u32 count() const { return entries.count; }
    const SCollisionSphere& operator[](u32 i) const { return entries[i]; }

private:
    void pushSphere(u32 kind, f32 radius, const ClVec3& start, const ClVec3& end);
};
