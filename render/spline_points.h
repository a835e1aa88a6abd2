// Point lists that wave paths are drawn from, and the builder that turns two of them into a
// pair of named, joined Catmull-Rom splines. "Up" is (0, 1, 0) throughout.
#pragma once

#include "core/array.h"
#include "core/types.h"
#include "core/vec.h"

using ClPointList = ClArray<ClVec3>;

// The segment length wave paths are baked at.
extern f32 g_wavePathSampleStep;

constexpr u32 MIRROR_PLAYFIELD_X = 0x40;  // x becomes 325 - x
constexpr u32 MIRROR_PLAYFIELD_Z = 0x80;  // z becomes 269.75 - z

void mirrorPlayfieldPoint(ClVec3* out, const ClVec3& point, u32 flags);
// A turn of angle degrees with the given radius, in steps of at most 30 degrees, towards
// direction x up (or the other side).
void appendArcPoints(ClPointList* list, const ClVec3& direction, f32 angleDegrees, f32 radius, bool otherSide);
// One smooth sideways bump along direction: 0 at the start, full height halfway.
void appendBumpPoints(ClPointList* list, const ClVec3& direction, f32 length, f32 height, f32 stepLength,
                      bool otherSide, f32 exponent);
// Builds a Catmull-Rom spline from each list (at least 2 points each), registers them in the
// named spline registry under the names, joins A to B and bakes both.
void buildNamedSplinePair(const ClPointList& pointsA, const ClPointList& pointsB, const char* nameA,
                          const char* nameB);
