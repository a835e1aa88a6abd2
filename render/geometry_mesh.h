// The shape of an entity atom: a small indexed mesh of vertices with line edges (the wireframe
// look) and triangles, plus bounding volumes for collision. Edges and plain triangles index
// vertices by byte, so a mesh addresses at most 256 vertices through them.
#pragma once

#include "core/array.h"
#include "core/bounding_volume.h"
#include "core/types.h"
#include "core/vec.h"

constexpr u32 GEOMETRY_MESH_MAX_VERTICES = 256;
constexpr u32 GEOMETRY_MESH_DETAIL_DEFAULT = 10;

struct SMeshTexCoord {
    f32 u;
    f32 v;
};
struct SMeshTriangle {
    u8 index[3];
};
struct SMeshTexturedTriangle {
    u16 index[3];
};
struct SMeshEdge {
    u8 index[2];
};

// Triangles are wound clockwise seen from outside: (c - a) x (b - a) points out of the shape.
class ClGeometryMesh {
public:
    ClArray<ClVec3> vertices;
    ClArray<SMeshTexCoord> texCoords;  // one per vertex of a textured quad
    ClArray<SMeshTriangle> triangles;
    ClArray<SMeshTexturedTriangle> texturedTriangles;
    ClArray<SMeshEdge> edges;
    ClBoundingVolume boundingSphere;
    ClBoundingVolumeList boundingVolumes;  // starts with the bounding sphere
    u32 detail = 0;
    u32 material = 0;

    ~ClGeometryMesh() { clear(); }
    // Every list empty with room for 8; detail 10, material 0.
    void init();
    // Frees every list.
    void clear();
    // This mesh becomes a copy of the source (lists, bounds and both words).
    void assign(const ClGeometryMesh& source);

    // Appends and returns the vertex index.
    u32 addVertex(const ClVec3& position);
    // Indices must name vertices below 256 (fatal otherwise).
    void addEdge(u32 a, u32 b);
    void addTriangle(u32 a, u32 b, u32 c);
    // The bounding sphere set from all vertices (centre mid-box, radius to the box's minimum
    // corner) and appended to the bounding volumes.
    void finishBounds();
};
