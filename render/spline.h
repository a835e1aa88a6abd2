// Smooth paths: keys (position, tangent, up) baked once into short straight segments of nearly
// equal length, then walked by distance with a cursor.
#pragma once

#include "core/array.h"
#include "core/types.h"
#include "core/vec.h"

struct SSplineKey {
    ClVec3 position;
    ClVec3 tangent;
    ClVec3 up;
};

// A baked piece: each vector at fraction t in [0, 1] is start + delta x t.
struct SSplineSegment {
    ClVec3 positionStart;
    ClVec3 positionDelta;
    ClVec3 directionStart;
    ClVec3 directionDelta;
    ClVec3 upStart;
    ClVec3 upDelta;
    f32 length;
    f32 startDistance;  // distance along the spline where the segment begins
};

// Cubic Hermite spline through keys with explicit tangents.
class alignas(16) ClSplineHermite {
public:
    ClArray<SSplineKey> keys;
    ClArray<SSplineSegment> segments;
    f32 sampleStep = 0.0f;  // the wanted segment length
    f32 totalLength = 0.0f;

    virtual ~ClSplineHermite() { release(); }
    // Both lists empty with room for 8; a spline already set up gives its lists back first.
    virtual void init(f32 step);
    virtual void release();
    void addKey(const ClVec3& position, const ClVec3& tangent, const ClVec3& up);
    // Bakes keys first .. last (-1 for the first or last key) into segments, replacing any
    // earlier bake. A range without a key pair bakes nothing (no segments, length 0).
    virtual void buildSegments(s32 first, s32 last);
};

// Tangents derived from the neighbouring keys, with a phantom key mirrored beyond each end.
class ClSplineCatmullRom : public ClSplineHermite {
public:
    u32 tangentsReady = 0;

    void init(f32 step) override;
    // (-1, -1) bakes exactly the keys that were added, the phantom keys left out.
    void buildSegments(s32 first, s32 last) override;
    void addPoint(const ClVec3& position, const ClVec3& up);
    // Adds the phantom end keys and sets every tangent; called once, after the last point.
    void computeTangents();
    // This spline's last key becomes a copy of other's key 2, and other's first key a copy of
    // this spline's key count - 3, so the two paths meet smoothly.
    void join(ClSplineCatmullRom& other);
};

struct SSplineCursor {
    ClVec3 position;
    ClVec3 direction;
    ClVec3 up;
    s32 segment = 0;
    f32 t = 0.0f;
    u32 finished = 0;
};

// The cursor at the start of segment 0 (fatal for a spline without segments).
void splineCursorReset(const ClSplineHermite& spline, SSplineCursor* cursor);
// Position, direction and up at the cursor's segment and t (not normalised).
void splineCursorEvaluate(const ClSplineHermite& spline, SSplineCursor* cursor);
// Moves the cursor on by a distance along the segments; past the end it stops at the end of the
// last segment with finished set. A distance of 0 or less only evaluates.
void splineCursorAdvance(const ClSplineHermite& spline, SSplineCursor* cursor, f32 distance);
// Places the cursor at an absolute distance. Seeking into the last segment finishes the cursor
// at the spline's end. A distance at the current segment's start gives t = 0 there; one before
// it searches again from segment 0.
void splineCursorSeek(const ClSplineHermite& spline, SSplineCursor* cursor, f32 distance);
