// Shapes built from sizes and counts. x-z is the ground plane, y is up, angles are radians and n
// is a vertex count per ring. Each builder returns a new mesh that the caller owns (delete it;
// its destructor frees the lists). A count too large for byte indices is clamped, with a log line.
#pragma once

#include "core/array.h"
#include "core/types.h"
#include "core/vec.h"

class ClGeometryMesh;

ClGeometryMesh* buildBipyramidMesh(u32 n, f32 radius, f32 top, f32 bottom);
ClGeometryMesh* buildRectangleMesh(f32 halfWidth, f32 halfDepth);
ClGeometryMesh* buildSquareMesh(f32 halfSize);
// The corners lie on the circle.
ClGeometryMesh* buildSquareMeshInCircle(f32 radius);
ClGeometryMesh* buildDartMesh(f32 width, f32 lengthFactor);
ClGeometryMesh* buildBoxMesh(f32 halfX, f32 halfY, f32 halfZ);
// The optional outputs get the side (chord) length and one midpoint per side (y = 0).
ClGeometryMesh* buildPrismMesh(u32 n, bool halfStep, f32 radius, f32 height, bool caps, bool ringEdges,
                               bool verticalEdges, f32* sideLength, ClArray<ClVec3>* sideMidpoints);

// Edge flags of the faceted solid.
constexpr u32 FACETED_EDGES_UPPER_OUTER_RING = 1u << 0;
constexpr u32 FACETED_EDGES_OTHER_RINGS = 1u << 1;
constexpr u32 FACETED_EDGES_CONNECTIONS = 1u << 2;  // between neighbouring rings and to the tips

// Rings from the top tip down: inner (r, h), outer (R, H), outer (R, -H) when H > 0, inner
// (r, -h), then the bottom tip.
ClGeometryMesh* buildFacetedSolidMesh(u32 n, f32 outerRadius, f32 innerRadius, f32 outerHeight, f32 innerHeight,
                                      f32 tipHeight, u32 edgeFlags, f32* sideLength, ClArray<ClVec3>* sideMidpoints,
                                      bool halfStep);
// Sector s of an n-sided ring, as a bent box.
ClGeometryMesh* buildArcSegmentMesh(u32 n, u32 start, f32 innerRadius, f32 outerRadius, f32 innerHeight,
                                    f32 outerHeight);
ClGeometryMesh* buildArcBandMesh(u32 n, f32 span, f32 innerRadius, f32 outerRadius, f32 innerHeight, f32 outerHeight,
                                 bool edges);
ClGeometryMesh* buildDiamondOutlineMesh(f32 height, f32 depth);
ClGeometryMesh* buildPyramidMesh(u32 n, f32 radius, f32 startAngle, f32 height);
