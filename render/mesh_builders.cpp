#include "render/mesh_builders.h"

#include "core/log_manager.h"
#include "render/geometry_mesh.h"

#include <cmath>
#include <numbers>

namespace {

constexpr f32 TWO_PI = 2.0f * std::numbers::pi_v<f32>;
const char* const MESH_LOG_NAME = "render";

ClGeometryMesh* newMesh() {
    auto* mesh = new ClGeometryMesh();
    mesh->init();
    return mesh;
}

ClGeometryMesh* finished(ClGeometryMesh* mesh) {
    mesh->finishBounds();
    return mesh;
}

// Keeps n where every vertex index fits a byte (and where the shape exists at all).
u32 clampCount(const char* builder, u32 n, u32 lowest, u32 highest) {
    const u32 clamped = n < lowest ? lowest : (n > highest ? highest : n);
    if (clamped != n) writeLog(findLog(MESH_LOG_NAME), "%s: n = %u clamped to %u", builder, n, clamped);
    return clamped;
}

ClVec3 ringPoint(f32 radius, f32 y, f32 angle) { return ClVec3(radius * std::cos(angle), y, radius * std::sin(angle)); }

u32 addRing(ClGeometryMesh* mesh, u32 n, f32 radius, f32 y, f32 firstAngle) {
    const u32 first = mesh->vertices.count;
    for (u32 k = 0; k < n; ++k) mesh->addVertex(ringPoint(radius, y, firstAngle + TWO_PI * f32(k) / f32(n)));
    return first;
}

void addRingEdges(ClGeometryMesh* mesh, u32 first, u32 n) {
    for (u32 k = 0; k < n; ++k) mesh->addEdge(first + k, first + (k + 1) % n);
}

// Two triangles per side between an upper ring and the ring below it (same angles); a closed
// ring's last side wraps to its first vertex.
void addBand(ClGeometryMesh* mesh, u32 upper, u32 lower, u32 sides, bool closed) {
    for (u32 k = 0; k < sides; ++k) {
        const u32 next = closed ? (k + 1) % sides : k + 1;
        mesh->addTriangle(lower + k, lower + next, upper + k);
        mesh->addTriangle(upper + k, lower + next, upper + next);
    }
}

f32 chordLength(f32 radius, u32 n) { return std::sqrt(2.0f * radius * radius * (1.0f - std::cos(TWO_PI / f32(n)))); }

void fillSideMidpoints(ClArray<ClVec3>* out, const ClGeometryMesh& mesh, u32 ring, u32 n) {
    if (!out) return;
    if (!out->inUse) out->init();
    out->count = 0;
    for (u32 k = 0; k < n; ++k) {
        ClVec3 mid = n == 2 ? mesh.vertices[ring + k] : scaleVec3(mesh.vertices[ring + k] + mesh.vertices[ring + (k + 1) % n], 0.5f);
        mid.y = 0.0f;
        out->push(mid);
    }
}

const u32 BOX_EDGES[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}, {2, 6}, {3, 7}, {0, 4}, {1, 5}};
const u32 BOX_TRIANGLES[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {6, 3, 7}, {6, 2, 3},
                                  {0, 5, 4}, {0, 1, 5}, {1, 6, 5}, {1, 2, 6}, {0, 4, 7}, {0, 7, 3}};

void addBoxTriangles(ClGeometryMesh* mesh) {
    for (const auto& t : BOX_TRIANGLES) mesh->addTriangle(t[0], t[1], t[2]);
}

}  // namespace

ClGeometryMesh* buildBipyramidMesh(u32 n, f32 radius, f32 top, f32 bottom) {
    n = clampCount("buildBipyramidMesh", n, 3, GEOMETRY_MESH_MAX_VERTICES - 2);
    ClGeometryMesh* mesh = newMesh();
    addRing(mesh, n, radius, 0.0f, 0.0f);
    mesh->addVertex(ClVec3(0, top, 0));
    mesh->addVertex(ClVec3(0, -bottom, 0));
    for (u32 k = 0; k < n; ++k) {
        const u32 next = (k + 1) % n;
        mesh->addEdge(k, next);
        mesh->addEdge(k, n);
        mesh->addEdge(k, n + 1);
        mesh->addTriangle(n, k, next);
        mesh->addTriangle(n + 1, next, k);
    }
    return finished(mesh);
}

ClGeometryMesh* buildDartMesh(f32 width, f32 lengthFactor) {
    ClGeometryMesh* mesh = newMesh();
    mesh->addVertex(ClVec3(0, 0, -width / 2.0f));
    mesh->addVertex(ClVec3(1.36f * width * lengthFactor, 0, 0));
    mesh->addVertex(ClVec3(0, 0, width / 2.0f));
    addRingEdges(mesh, 0, 3);
    mesh->addTriangle(0, 1, 2);
    return finished(mesh);
}

ClGeometryMesh* buildBoxMesh(f32 x, f32 y, f32 z) {
    ClGeometryMesh* mesh = newMesh();
    for (f32 sy : {y, -y}) {
        mesh->addVertex(ClVec3(x, sy, z));
        mesh->addVertex(ClVec3(x, sy, -z));
        mesh->addVertex(ClVec3(-x, sy, -z));
        mesh->addVertex(ClVec3(-x, sy, z));
    }
    for (const auto& e : BOX_EDGES) mesh->addEdge(e[0], e[1]);
    addBoxTriangles(mesh);
    return finished(mesh);
}

ClGeometryMesh* buildPrismMesh(u32 n, bool halfStep, f32 radius, f32 height, bool caps, bool ringEdges,
                               bool verticalEdges, f32* sideLength, ClArray<ClVec3>* sideMidpoints) {
    n = clampCount("buildPrismMesh", n, 2, GEOMETRY_MESH_MAX_VERTICES / 2);
    ClGeometryMesh* mesh = newMesh();
    const f32 firstAngle = halfStep ? -TWO_PI / f32(2 * n) : 0.0f;
    addRing(mesh, n, radius, -height / 2.0f, firstAngle);
    addRing(mesh, n, radius, height / 2.0f, firstAngle);
    if (ringEdges) {
        addRingEdges(mesh, 0, n);
        addRingEdges(mesh, n, n);
    }
    if (verticalEdges) {
        for (u32 k = 0; k < n; ++k) mesh->addEdge(k, n + k);
    }
    addBand(mesh, n, 0, n, true);
    if (caps) {
        for (u32 k = 1; k + 1 < n; ++k) {
            mesh->addTriangle(0, k + 1, k);
            mesh->addTriangle(n, n + k, n + k + 1);
        }
    }
    if (sideLength) *sideLength = chordLength(radius, n);
    fillSideMidpoints(sideMidpoints, *mesh, 0, n);
    return finished(mesh);
}

ClGeometryMesh* buildDiamondOutlineMesh(f32 height, f32 depth) {
    ClGeometryMesh* mesh = newMesh();
    mesh->addVertex(ClVec3(0, height, 0));
    mesh->addVertex(ClVec3(0, 0, depth));
    mesh->addVertex(ClVec3(0, -height, 0));
    mesh->addVertex(ClVec3(0, 0, -depth));
    addRingEdges(mesh, 0, 4);
    return finished(mesh);
}

ClGeometryMesh* buildPyramidMesh(u32 n, f32 radius, f32 startAngle, f32 height) {
    n = clampCount("buildPyramidMesh", n, 3, GEOMETRY_MESH_MAX_VERTICES - 1);
    ClGeometryMesh* mesh = newMesh();
    addRing(mesh, n, radius, 0.0f, startAngle);
    const u32 apex = mesh->addVertex(ClVec3(0, height, 0));
    addRingEdges(mesh, 0, n);
    for (u32 k = 0; k < n; ++k) {
        mesh->addEdge(k, apex);
        mesh->addTriangle(apex, k, (k + 1) % n);
    }
    return finished(mesh);
}
