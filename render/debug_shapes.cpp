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
};

struct SRequest {
    ClMatrix44 world;
    u32 colour;
};

struct SDebugShapes {
    bool created = false;
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

void copyDebugShapeRequests() {
    SDebugShapes& d = g_DebugShapes;
    for (u32 s = 0; s < E_DEBUG_SHAPE_COUNT; ++s) {
        for (u32 i = 0; i < d.requestCounts[s]; ++i) d.draws[s][i] = d.requests[s][i];
        d.drawCounts[s] = d.requestCounts[s];
    }
}

void drawDebugShapes() {
    SDebugShapes& d = g_DebugShapes;
    if (!d.created || !d.decl || !effectsReady()) return;
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
    for (u32 s = 0; s < E_DEBUG_SHAPE_COUNT; ++s) {
        g_DebugShapes.requestCounts[s] = 0;
        g_DebugShapes.drawCounts[s] = 0;
    }
}

u32 debugShapeLineCount(E_DebugShape shape) { return u32(g_DebugShapes.shapes[shape].lineLengths.size()); }
u32 debugShapeLinePoints(E_DebugShape shape, u32 line) { return g_DebugShapes.shapes[shape].lineLengths[line]; }
