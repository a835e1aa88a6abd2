// The per-edge records of a mesh atom (bodies and mesh pickups): each edge's length and the glints
// running along it, pieces of the edge kept as fractions 0..1 that travel at a speed measured in
// edge lengths per second.
#pragma once

#include "core/array.h"
#include "core/sweep_segment.h"
#include "core/types.h"
#include "core/vec.h"
#include "render/geometry_mesh.h"

class ClGeometryMesh;

constexpr u32 EDGE_GLINT_CAPACITY = 8;
// Edges shorter than this run no glints.
constexpr f32 EDGE_GLINT_MIN_LENGTH = 0.0001f;

struct SEdgeGlint {
    ClSweepSegment segment;  // over the track 0..1 of its edge
    f32 widthFactor;         // uniform in [0.5, 1.5)
};

// The count sits before the pool: a frame's walk over the records reads the length, the count and
// the first glints. Each record starts a cache line, so a body's two glints share that one line
// with the length and the count.
struct alignas(64) SBodyEdgeRecord {
    f32 length;  // mesh units
    u32 glintCount;
    SEdgeGlint glints[EDGE_GLINT_CAPACITY];
};

// Cache hints for the first glints of every record: the draw walk asks for a body's one entity
// ahead, so the body's walk over its records finds them in.
void prefetchEdgeRecords(const ClArray<SBodyEdgeRecord>& records, u32 glintsRead);

// How many glints each edge keeps running and how they start.
struct SGlintRule {
    u32 perEdge;      // at most EDGE_GLINT_CAPACITY
    f32 spanFactor;   // 1 for bodies, 2 for pickups
    u32 randomStart;  // start anywhere along the edge instead of at its first end
};

// One record per mesh edge, no glints; room for twice the edge count (8 without edges).
void initEdgeRecords(ClArray<SBodyEdgeRecord>* records, const ClGeometryMesh* mesh);
void releaseEdgeRecords(ClArray<SBodyEdgeRecord>* records);

// Advances every glint by the gameplay frame step, drops those that left their edge and tops each
// edge up to rule.perEdge. Speed and span follow the music intensity (0..1): louder, faster.
void refreshEdgeGlints(ClArray<SBodyEdgeRecord>* records, const SGlintRule& rule, f32 intensity);

// The mesh's vertices moved by the matrix, into out (at most 256).
class ClMatrix44;
u32 transformMeshVertices(const ClGeometryMesh& mesh, const ClMatrix44& world, ClVec3* out);

// Room for the moved vertices of one mesh, not cleared: transformMeshVertices writes every one a
// mesh's edges and triangles can name (their indices are below its vertex count, at most 256).
struct SMovedVertices {
    SMovedVertices() {}
    union {
        ClVec3 at[GEOMETRY_MESH_MAX_VERTICES];
    };
};
