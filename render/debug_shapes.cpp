#include "render/debug_shapes.h"

#include "platform/gfx/gfx_device.h"
#include "render/batcher.h"
#include "render/materials.h"
#include "render/render_state.h"
#include "render/shader.h"
#include "render/transform_node.h"
#include "render/transform_stacks.h"

#include <cmath>
#include <cstddef>
#include <vector>

namespace {

struct SShapeLines {
    std::vector<SBatchVertex> points;
    std::vector<u32> lineLengths;
    std::vector<u16> indices;  // an indexed shape: one line strip through these
};

struct SRequest {
    ClMatrix44 world;
    u32 colour;
};

// A single line (2 points) or triangle (3 points), written into a small buffer per request.
struct SPointsRequest {
    ClVec3 points[3];
    u32 colour;
};

struct SPointsPool {
    SPointsRequest request;
    u32 requestCount = 0;
    SPointsRequest draw;
    u32 drawCount = 0;
};

struct SDebugShapes {
    bool created = false;
    SPointsPool line;
    SPointsPool triangle;
    SShapeLines shapes[E_DEBUG_SHAPE_COUNT];
    SGfxVertexDecl* decl = nullptr;
    SRequest requests[E_DEBUG_SHAPE_COUNT][DEBUG_SHAPE_REQUEST_CAPACITY];
    u32 requestCounts[E_DEBUG_SHAPE_COUNT] = {};
    SRequest draws[E_DEBUG_SHAPE_COUNT][DEBUG_SHAPE_REQUEST_CAPACITY];
    u32 drawCounts[E_DEBUG_SHAPE_COUNT] = {};
};

SDebugShapes g_DebugShapes;
constexpr f32 kPi = 3.14159265358979f;

void addLine(SShapeLines& shape, std::initializer_list<ClVec3> points) {
    for (const ClVec3& p : points) shape.points.push_back(SBatchVertex{p.x, p.y, p.z, 0xFFFFFFFFu, 0, 0, 0, 0, 0});
    shape.lineLengths.push_back(u32(points.size()));
}

void buildCube(SShapeLines& s) {
    const f32 h = 0.5f;
    addLine(s, {{-h, -h, -h}, {h, -h, -h}, {h, -h, h}, {-h, -h, h}, {-h, -h, -h}});
    addLine(s, {{-h, h, -h}, {h, h, -h}, {h, h, h}, {-h, h, h}, {-h, h, -h}});
    for (f32 x : {-h, h})
        for (f32 z : {-h, h}) addLine(s, {{x, -h, z}, {x, h, z}});
}

// 12 bands between 13 rings: each ring's 14 points and the closing point, then 14 rungs.
void buildSphere(SShapeLines& s) {
    auto ringPoint = [](u32 ring, u32 k) {
        const f32 radius = 0.5f * std::sin(std::acos(1.0f - f32(ring) / 6.0f));
        const f32 a = f32(k % 14) * 2.0f * kPi / 14.0f;
        return ClVec3(radius * std::cos(a), 0.5f - f32(ring) / 12.0f, radius * std::sin(a));
    };
    const size_t start = s.points.size();
    for (u32 band = 0; band < 12; ++band) {
        for (u32 k = 0; k <= 14; ++k) {
            const ClVec3 p = ringPoint(band, k);
            s.points.push_back(SBatchVertex{p.x, p.y, p.z, 0xFFFFFFFFu, 0, 0, 0, 0, 0});
        }
        for (u32 k = 0; k < 14; ++k) {
            for (u32 ring : {band, band + 1}) {
                const ClVec3 p = ringPoint(ring, k);
                s.points.push_back(SBatchVertex{p.x, p.y, p.z, 0xFFFFFFFFu, 0, 0, 0, 0, 0});
            }
        }
    }
    s.points.resize(start + DEBUG_SPHERE_POINTS);
    s.lineLengths.push_back(DEBUG_SPHERE_POINTS);
}

// Looking down +z: a body box behind the origin, the view frustum in front of it and a triangle
// above the far rectangle marking up. Four closed rectangles, eight single edges, one triangle.
void buildCamera(SShapeLines& s) {
    auto rect = [&s](f32 hx, f32 hy, f32 z) { addLine(s, {{-hx, -hy, z}, {hx, -hy, z}, {hx, hy, z}, {-hx, hy, z}, {-hx, -hy, z}}); };
    const f32 body = 0.25f, nearH = 0.15f, farW = 0.4f, farH = 0.3f;
    rect(body, body, -0.5f);
    rect(body, body, 0.0f);
    rect(nearH, nearH, 0.0f);
    rect(farW, farH, 0.5f);
    for (f32 sx : {-1.0f, 1.0f})
        for (f32 sy : {-1.0f, 1.0f}) {
            addLine(s, {{sx * body, sy * body, -0.5f}, {sx * body, sy * body, 0.0f}});
            addLine(s, {{sx * nearH, sy * nearH, 0.0f}, {sx * farW, sy * farH, 0.5f}});
        }
    addLine(s, {{-0.15f, 0.35f, 0.5f}, {0.15f, 0.35f, 0.5f}, {0.0f, 0.5f, 0.5f}, {-0.15f, 0.35f, 0.5f}});
}

// A double pyramid: 16 points round the equator (vertices 0..15, radius 0.5) and the poles at
// y = +0.5 (16) and -0.5 (17). One strip walks every edge once and the axis twice: up the axis,
// down to vertex 0, the lower half (two spokes and the ring edge between them at each step) back
// to 0, the upper half likewise back to the north pole, and down the axis: 51 indices.
void buildGem(SShapeLines& s) {
    constexpr u16 kRing = 16, kNorth = 16, kSouth = 17;
    for (u16 k = 0; k < kRing; ++k) {
        const f32 a = f32(k) * 2.0f * kPi / f32(kRing);
        s.points.push_back(SBatchVertex{0.5f * std::cos(a), 0.0f, 0.5f * std::sin(a), 0xFFFFFFFFu, 0, 0, 0, 0, 0});
    }
    for (f32 y : {0.5f, -0.5f}) s.points.push_back(SBatchVertex{0.0f, y, 0.0f, 0xFFFFFFFFu, 0, 0, 0, 0, 0});
    std::vector<u16>& i = s.indices;
    i = {kSouth, kNorth, 0};
    for (u16 k = 0; k < kRing / 2; ++k) i.insert(i.end(), {kSouth, u16(2 * k + 1), u16((2 * k + 2) % kRing)});
    i.insert(i.end(), {1, kNorth});
    for (u16 k = 1; k < kRing / 2; ++k) i.insert(i.end(), {u16(2 * k), u16(2 * k + 1), kNorth});
    i.push_back(kSouth);
    s.lineLengths.push_back(u32(i.size()));
}

void buildAxes(SShapeLines& s) {
    addLine(s, {{0, 0, 0}, {1, 0, 0}});
    addLine(s, {{0, 0, 0}, {0, 1, 0}});
    addLine(s, {{0, 0, 0}, {0, 0, 1}});
}

const SGfxVertexElement kElements[] = {
    {offsetof(SBatchVertex, x), E_GFX_DECL_FLOAT3, E_GFX_USAGE_POSITION, 0},
    {offsetof(SBatchVertex, colour), E_GFX_DECL_COLOUR, E_GFX_USAGE_COLOUR, 0},
};

}  // namespace

void createDebugShapes() {
    SDebugShapes& d = g_DebugShapes;
    for (SShapeLines& shape : d.shapes) shape = SShapeLines{};
    buildCube(d.shapes[E_DEBUG_SHAPE_CUBE]);
    buildSphere(d.shapes[E_DEBUG_SHAPE_SPHERE]);
    buildCamera(d.shapes[E_DEBUG_SHAPE_CAMERA]);
    buildGem(d.shapes[E_DEBUG_SHAPE_GEM]);
    buildAxes(d.shapes[E_DEBUG_SHAPE_AXES]);
    if (gfxDeviceExists() && !d.decl) d.decl = gfxCreateVertexDecl(kElements, 2, sizeof(SBatchVertex));
    d.created = true;
}

void releaseDebugShapes() {
    SDebugShapes& d = g_DebugShapes;
    if (d.decl) gfxReleaseVertexDecl(d.decl);
    d.decl = nullptr;
    for (SShapeLines& shape : d.shapes) shape = SShapeLines{};
    d.created = false;
}

bool debugShapesCreated() { return g_DebugShapes.created; }

void requestDebugShape(E_DebugShape shape, const ClMatrix44& world, u32 colour) {
    u32& count = g_DebugShapes.requestCounts[shape];
    if (count < DEBUG_SHAPE_REQUEST_CAPACITY) g_DebugShapes.requests[shape][count++] = SRequest{world, colour};
}

void requestDebugLine(const ClVec3& start, const ClVec3& end, u32 colour) {
    SPointsPool& pool = g_DebugShapes.line;
    if (pool.requestCount == 0) pool.request = SPointsRequest{{start, end, ClVec3()}, colour}, pool.requestCount = 1;
}

void requestDebugTriangle(const ClVec3& a, const ClVec3& b, const ClVec3& c, u32 colour) {
    SPointsPool& pool = g_DebugShapes.triangle;
    if (pool.requestCount == 0) pool.request = SPointsRequest{{a, b, c}, colour}, pool.requestCount = 1;
}

void copyDebugShapeRequests() {
    SDebugShapes& d = g_DebugShapes;
    for (SPointsPool* pool : {&d.line, &d.triangle}) {
        pool->draw = pool->request;
        pool->drawCount = pool->requestCount;
    }
    for (u32 s = 0; s < E_DEBUG_SHAPE_COUNT; ++s) {
        for (u32 i = 0; i < d.requestCounts[s]; ++i) d.draws[s][i] = d.requests[s][i];
        d.drawCounts[s] = d.requestCounts[s];
    }
}

// The points are in world coordinates: drawn under an identity world transform.
void drawPoints(const SPointsPool& pool, u32 pointCount, EGfxPrimitive primitive, const SMaterial* material) {
    if (pool.drawCount == 0) return;
    SBatchVertex points[3];
    for (u32 i = 0; i < pointCount; ++i) {
        const ClVec3& p = pool.draw.points[i];
        points[i] = SBatchVertex{p.x, p.y, p.z, pool.draw.colour, 0, 0, 0, 0, 0};
    }
    STransformNode node;
    applyMaterial(material, &node, nullptr);
    gfxSetVertexDecl(g_DebugShapes.decl);
    gfxDrawPrimitiveUP(primitive, 1, points, pointCount);
    endCurrentMaterial();
}

void drawDebugShapes() {
    SDebugShapes& d = g_DebugShapes;
    if (!d.created || !d.decl || !effectsReady()) return;
    if (d.line.drawCount + d.triangle.drawCount != 0) {
        const SMaterial* pointsMaterial = getMaterialForEffect("Debug_Add");
        drawPoints(d.line, 2, E_GFX_PRIM_LINE_STRIP, pointsMaterial);
        drawPoints(d.triangle, 3, E_GFX_PRIM_TRIANGLE_LIST, pointsMaterial);
    }
    const SMaterial* material = nullptr;
    std::vector<SBatchVertex> coloured;
    for (u32 s = 0; s < E_DEBUG_SHAPE_COUNT; ++s) {
        for (u32 i = 0; i < d.drawCounts[s]; ++i) {
            if (!material) material = getMaterialForEffect("Debug_Add");
            const SShapeLines& shape = d.shapes[s];
            coloured = shape.points;
            for (SBatchVertex& v : coloured) v.colour = d.draws[s][i].colour;
            STransformNode node;
            const ClMatrix44& world = d.draws[s][i].world;
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) node.orientation.set(c, r, world.m[4 * r + c]);
            node.position = world.getTranslation();
            applyMaterial(material, &node, nullptr);
            gfxSetVertexDecl(d.decl);
            if (!shape.indices.empty()) {
                gfxDrawIndexedPrimitiveUP(E_GFX_PRIM_LINE_STRIP, u32(coloured.size()), u32(shape.indices.size()) - 1,
                                          shape.indices.data(), E_GFX_INDEX_16, coloured.data());
                endCurrentMaterial();
                continue;
            }
            u32 first = 0;
            for (u32 length : shape.lineLengths) {
                gfxDrawPrimitiveUP(E_GFX_PRIM_LINE_STRIP, length - 1, coloured.data() + first, length);
                first += length;
            }
            endCurrentMaterial();
        }
    }
}

void releaseDebugShapeRequests() {
    for (SPointsPool* pool : {&g_DebugShapes.line, &g_DebugShapes.triangle}) pool->requestCount = pool->drawCount = 0;
    for (u32 s = 0; s < E_DEBUG_SHAPE_COUNT; ++s) {
        g_DebugShapes.requestCounts[s] = 0;
        g_DebugShapes.drawCounts[s] = 0;
    }
}

u32 debugShapeRequestCount() {
    u32 total = g_DebugShapes.line.requestCount + g_DebugShapes.triangle.requestCount;
    for (u32 count : g_DebugShapes.requestCounts) total += count;
    return total;
}

const std::vector<u16>& debugShapeIndices(E_DebugShape shape) { return g_DebugShapes.shapes[shape].indices; }
