// Shapes built from sizes and counts. x-z is the ground plane, y is up, angles are radians and n
// is a vertex count per ring. Each builder returns a new mesh that the caller owns (delete it;
// its destructor frees the lists). A count too large for byte indices is clamped, with a log line.
#pragma once

#include "core/array.h"
#include "core/types.h"
#include "core/vec.h"

class ClGeometryMesh;

ClGeometryMesh* buildBipyramidMesh(u32 n, f32 radius, f32 top, f32 bottom);
ClGeometryMesh* buildDartMesh(f32 width, f32 lengthFactor);
ClGeometryMesh* buildBoxMesh(f32 halfX, f32 halfY, f32 halfZ);
// The optional outputs get the side (chord) length and one midpoint per side (y = 0).
ClGeometryMesh* buildPrismMesh(u32 n, bool halfStep, f32 radius, f32 height, bool caps, bool ringEdges,
                               bool verticalEdges, f32* sideLength, ClArray<ClVec3>* sideMidpoints);

ClGeometryMesh* buildDiamondOutlineMesh(f32 height, f32 depth);
ClGeometryMesh* buildPyramidMesh(u32 n, f32 radius, f32 startAngle, f32 height);
