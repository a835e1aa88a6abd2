#include "render/draw_lists.h"

#include "core/fatal_error.h"
#include "core/processor_features.h"
#include "core/task_layer.h"
#include "core/worker_pool.h"
#include "render/batcher.h"
#include "render/render_worker.h"
#include "render/render_target.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

struct SDrawBuildRecord;

// A line job: the build it helps with.
struct SDrawBuildJob {
    SDrawBuildRecord* record;
};

// The sprites, gradient lines and lines of one build, written in chunks of BUILD_CHUNK objects
// that the render worker and the line jobs claim one after another until none is left, so that
// every thread stays busy until the build is written, whatever the mix of kinds.
constexpr u32 BUILD_CHUNK = 64;  // a multiple of the four lanes
static_assert(BUILD_CHUNK % 4 == 0, "a chunk is whole groups of four");

// One kind's share of a build: its reservation and the numbers of its selected commands.
struct SBuildKind {
    SBatchReservation reservation;
    u32 count;  // 0 when nothing was selected or reserved
    u32 chunks;
};

struct SDrawBuildRecord {
    u32 passMask;
    u32 keepMask;  // the inverted exclude mask
    ClVec4 eye;
    u32 half;
    SBuildKind sprites;
    SBuildKind gradientLines;
    SBuildKind lines;
    // Chunks in the order sprites, gradient lines, lines: how many were claimed, and how many of
    // them from either end.
    u32 chunkCount;
    std::atomic<u32> claimed;
    std::atomic<u32> nextFromFront;
    std::atomic<u32> nextFromBack;
    u32 spriteNumbers[SPRITE_COMMAND_CAPACITY];
    u32 gradientLineNumbers[GRADIENT_LINE_COMMAND_CAPACITY];
    u32 lineNumbers[LINE_COMMAND_CAPACITY];
    SDrawBuildJob jobs[DRAW_BUILD_JOB_CAPACITY];
};

struct SDrawLists {
    SSpriteCommand sprites[2][SPRITE_COMMAND_CAPACITY];
    SLineCommand lines[2][LINE_COMMAND_CAPACITY];
    SGradientLineCommand gradientLines[2][GRADIENT_LINE_COMMAND_CAPACITY];
    SQuadCommand quads[2][QUAD_COMMAND_CAPACITY];
    SDrawListCounts counts[2];
    ClRenderTargetGroup* owner;

    // The layer masks of each half's first `masked` commands of each kind, so that builds select
    // from 4 bytes a command instead of its record: written by the appends while they follow one
    // another (a run of taken lines stops them), the rest gathered by the half's first build.
    // Each half's rows belong to the thread its commands belong to; emptied with the half.
    u32 spriteMasks[2][SPRITE_COMMAND_CAPACITY];
    u32 lineMasks[2][LINE_COMMAND_CAPACITY];
    u32 gradientLineMasks[2][GRADIENT_LINE_COMMAND_CAPACITY];
    SDrawListCounts masked[2];

    SDrawBuildRecord records[DRAW_BUILD_RECORD_COUNT];
    // Records in use first; a record goes back by swapping with the last one in use.
    SDrawBuildRecord* recordOrder[DRAW_BUILD_RECORD_COUNT];
    u32 recordsInUse;
    bool poolReady;
};

SDrawLists g_DrawLists;

ClVec4 toVec4(const ClVec3& v) {
    ClVec4 r;
    r.set(v.x, v.y, v.z, 0.0f);
    return r;
}

bool selected(u32 layerMask, u32 passMask) { return (layerMask & passMask) == passMask; }

BatchKey keyOf(const ClRenderTargetGroup* owner) { return reinterpret_cast<BatchKey>(owner); }

// The builders' own small vector: inline, so tens of thousands of commands per frame cost no
// calls.
struct SV3 {
    f32 x, y, z;
};
inline SV3 v3(const ClVec4& v) { return SV3{v.x, v.y, v.z}; }
inline SV3 operator+(SV3 a, SV3 b) { return SV3{a.x + b.x, a.y + b.y, a.z + b.z}; }
inline SV3 operator-(SV3 a, SV3 b) { return SV3{a.x - b.x, a.y - b.y, a.z - b.z}; }
inline SV3 operator*(SV3 a, f32 s) { return SV3{a.x * s, a.y * s, a.z * s}; }
inline SV3 cross(SV3 a, SV3 b) { return SV3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
// A zero vector stays zero.
inline SV3 unit(SV3 a) {
    const f32 length = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return length > 0.0f ? a * (1.0f / length) : SV3{0.0f, 0.0f, 0.0f};
}

const ClVec4& eyeFor(const ClRenderTargetGroup* owner, const ClVec4& passEye) { return owner ? owner->eyePoint : passEye; }

inline void writeVertex(SBatchVertex* v, SV3 p, u32 colour, f32 normalX, f32 u, f32 tv) {
    *v = SBatchVertex{p.x, p.y, p.z, colour, normalX, 0.0f, 0.0f, u, tv};
}

inline void tag(const SBatchReservation& r, u32 object, u32 indexOffset, u32 indexCount, u32 mask,
                const SMaterial* material, const ClRenderTargetGroup* owner) {
    r.layerMasks[object] = mask;
    r.indexRanges[object] = SBatchIndexRange{r.firstStagedIndex + indexOffset, indexCount};
    r.materials[object] = material;
    r.keys[object] = keyOf(owner);
}

// A line of 8 vertices facing the eye: a square cap, the body, a square cap. Each end's side
// and cap vectors are as long as that end's width.
// The points are taken by reference from the commands: vectors handed over in registers were
// spilled and reloaded across a store boundary, which stalled every call.
[[gnu::always_inline]]
inline void writeWideLine(SBatchVertex* v, u32* indices, u32 vertexBase, const ClVec4& startPoint,
                          const ClVec4& endPoint, const ClVec4& eyePoint, f32 startWidth, f32 endWidth, u32 startColour,
                          u32 endColour) {
    const SV3 start = v3(startPoint);
    const SV3 end = v3(endPoint);
    const SV3 eye = v3(eyePoint);
    const SV3 along = unit(end - start);
    const SV3 side = unit(cross(along, eye - start));
    const SV3 startSide = side * startWidth;
    const SV3 startCap = along * startWidth;
    const SV3 endSide = side * endWidth;
    const SV3 endCap = along * endWidth;
    // q carries the width ratio to the effect; a line that ends in a point has no finite ratio.
    const f32 q = endWidth > 0.0f ? startWidth / endWidth : 1.0f;
    writeVertex(v + 0, start + startSide - startCap, startColour, q, 0.0f, 0.0f);
    writeVertex(v + 1, start - startSide - startCap, startColour, q, 0.0f, q);
    writeVertex(v + 2, start + startSide, startColour, q, 0.5f, 0.0f);
    writeVertex(v + 3, start - startSide, startColour, q, 0.5f, q);
    writeVertex(v + 4, end + endSide, endColour, 1.0f, 0.5f, 0.0f);
    writeVertex(v + 5, end - endSide, endColour, 1.0f, 0.5f, 1.0f);
    writeVertex(v + 6, end + endSide + endCap, endColour, 1.0f, 1.0f, 0.0f);
    writeVertex(v + 7, end - endSide + endCap, endColour, 1.0f, 1.0f, 1.0f);
    for (u32 k = 0; k < 6; k += 2) {
        *indices++ = vertexBase + k;
        *indices++ = vertexBase + k + 1;
        *indices++ = vertexBase + k + 2;
        *indices++ = vertexBase + k + 1;
        *indices++ = vertexBase + k + 3;
        *indices++ = vertexBase + k + 2;
    }
}

// Four lines at once, one per lane: every lane does the same f32 operations in the same order as
// writeWideLine (sqrtps and divps round each lane as sqrtss and divss do), so the vertices are
// the same bits; only the lanes' shared work is cheaper.
typedef f32 LineLanes __attribute__((vector_size(16)));
typedef s32 LineMask __attribute__((vector_size(16)));
constexpr u32 LINE_LANES = 4;

struct SLineLanes {
    LineLanes x, y, z;
};

inline LineLanes laneSqrt(LineLanes v) {
#if defined(__SSE__)
    return __builtin_ia32_sqrtps(v);
#else
    for (u32 k = 0; k < LINE_LANES; ++k) v[k] = std::sqrt(v[k]);
    return v;
#endif
}

inline SLineLanes operator+(const SLineLanes& a, const SLineLanes& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline SLineLanes operator-(const SLineLanes& a, const SLineLanes& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline SLineLanes operator*(const SLineLanes& a, LineLanes s) { return {a.x * s, a.y * s, a.z * s}; }
inline SLineLanes crossLanes(const SLineLanes& a, const SLineLanes& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline SLineLanes unitLanes(const SLineLanes& a) {
    const LineLanes length = laneSqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    const LineLanes zero = {0.0f, 0.0f, 0.0f, 0.0f};
    const LineMask positive = length > zero;
    const SLineLanes scaled = a * (1.0f / length);
    return {positive ? scaled.x : zero, positive ? scaled.y : zero, positive ? scaled.z : zero};
}

// One line of a group of four: its points, eye, widths and colours.
struct SWideLineInput {
    const ClVec4* start;
    const ClVec4* end;
    const ClVec4* eye;
    f32 startWidth, endWidth;
    u32 startColour, endColour;
};

// The three strips of two triangles each of four lines, as offsets from the first line's first
// vertex: one table, so that the index writes are one plain loop.
constexpr std::array<u32, 18 * LINE_LANES> wideLineIndices4() {
    std::array<u32, 18 * LINE_LANES> table = {};
    u32 at = 0;
    for (u32 line = 0; line < 8 * LINE_LANES; line += 8) {
        for (u32 k = 0; k < 6; k += 2) {
            table[at++] = line + k;
            table[at++] = line + k + 1;
            table[at++] = line + k + 2;
            table[at++] = line + k + 1;
            table[at++] = line + k + 3;
            table[at++] = line + k + 2;
        }
    }
    return table;
}
constexpr std::array<u32, 18 * LINE_LANES> kWideLineIndices4 = wideLineIndices4();

// The four lanes of a, b, c and d turned into four rows: row k holds lane k of each. SSE's
// unpack and move-half shuffles; they move bits and round nothing.
inline void transposeLanes(LineLanes& a, LineLanes& b, LineLanes& c, LineLanes& d) {
    const LineLanes ab01 = __builtin_shuffle(a, b, LineMask{0, 4, 1, 5});
    const LineLanes cd01 = __builtin_shuffle(c, d, LineMask{0, 4, 1, 5});
    const LineLanes ab23 = __builtin_shuffle(a, b, LineMask{2, 6, 3, 7});
    const LineLanes cd23 = __builtin_shuffle(c, d, LineMask{2, 6, 3, 7});
    a = __builtin_shuffle(ab01, cd01, LineMask{0, 1, 4, 5});
    b = __builtin_shuffle(ab01, cd01, LineMask{2, 3, 6, 7});
    c = __builtin_shuffle(ab23, cd23, LineMask{0, 1, 4, 5});
    d = __builtin_shuffle(ab23, cd23, LineMask{2, 3, 6, 7});
}

// Four points into lanes: x, y and z of point k in lane k of each.
inline SLineLanes pointLanes(const ClVec4& p0, const ClVec4& p1, const ClVec4& p2, const ClVec4& p3) {
    LineLanes x = {p0.x, p0.y, p0.z, p0.w};
    LineLanes y = {p1.x, p1.y, p1.z, p1.w};
    LineLanes z = {p2.x, p2.y, p2.z, p2.w};
    LineLanes w = {p3.x, p3.y, p3.z, p3.w};
    transposeLanes(x, y, z, w);
    return {x, y, z};
}

inline LineLanes bitsAsLanes(u32 a, u32 b, u32 c, u32 d) {
    const u32 bits[LINE_LANES] = {a, b, c, d};
    LineLanes lanes;
    std::memcpy(&lanes, bits, sizeof lanes);
    return lanes;
}

static_assert(offsetof(SBatchVertex, colour) == 12, "a vertex's first row is its position and colour");
static_assert(offsetof(SBatchVertex, nx) == 16, "a vertex's second row is its normal and u");
static_assert(offsetof(SBatchVertex, v) == 32, "a vertex ends with its v");

// One vertex from its first eight words in two rows and its v: three stores instead of nine.
inline void storeVertex(SBatchVertex* out, LineLanes positionColour, LineLanes normalU, f32 v) {
    char* bytes = reinterpret_cast<char*>(out);
    std::memcpy(bytes, &positionColour, sizeof positionColour);
    std::memcpy(bytes + offsetof(SBatchVertex, nx), &normalU, sizeof normalU);
    out->v = v;
}

// One corner of four quads or lines, their vertices `stride` apart: its position lanes and colour
// lanes turned into rows, each row stored with the corner's normal and texture row of its line.
inline void storeCornerLanes(SBatchVertex* first, const SLineLanes& corner, LineLanes colours, const LineLanes* normalU,
                             const f32* v, u32 stride) {
    LineLanes x = corner.x, y = corner.y, z = corner.z;
    transposeLanes(x, y, z, colours);
    storeVertex(first, x, normalU[0], v[0]);
    storeVertex(first + stride, y, normalU[1], v[1]);
    storeVertex(first + 2 * stride, z, normalU[2], v[2]);
    storeVertex(first + 3 * stride, colours, normalU[3], v[3]);
}

// The normal and u rows of a line end's corners, normal x 1: u 0.5 and u 1.
constexpr LineLanes kEndNormalUHalf[LINE_LANES] = {LineLanes{1.0f, 0.0f, 0.0f, 0.5f}, LineLanes{1.0f, 0.0f, 0.0f, 0.5f},
                                                   LineLanes{1.0f, 0.0f, 0.0f, 0.5f}, LineLanes{1.0f, 0.0f, 0.0f, 0.5f}};
constexpr LineLanes kEndNormalU1[LINE_LANES] = {LineLanes{1.0f, 0.0f, 0.0f, 1.0f}, LineLanes{1.0f, 0.0f, 0.0f, 1.0f},
                                                LineLanes{1.0f, 0.0f, 0.0f, 1.0f}, LineLanes{1.0f, 0.0f, 0.0f, 1.0f}};

// writeWideLine for four lines whose vertices and indices follow one another from v, indices and
// vertexBase.
[[gnu::always_inline]]
inline void writeWideLines4(SBatchVertex* v, u32* indices, u32 vertexBase, const SWideLineInput* lines) {
    const SLineLanes start = pointLanes(*lines[0].start, *lines[1].start, *lines[2].start, *lines[3].start);
    const SLineLanes end = pointLanes(*lines[0].end, *lines[1].end, *lines[2].end, *lines[3].end);
    const SLineLanes eye = pointLanes(*lines[0].eye, *lines[1].eye, *lines[2].eye, *lines[3].eye);
    const LineLanes startWidth = {lines[0].startWidth, lines[1].startWidth, lines[2].startWidth, lines[3].startWidth};
    const LineLanes endWidth = {lines[0].endWidth, lines[1].endWidth, lines[2].endWidth, lines[3].endWidth};
    const SLineLanes along = unitLanes(end - start);
    const SLineLanes side = unitLanes(crossLanes(along, eye - start));
    const SLineLanes startSide = side * startWidth;
    const SLineLanes startCap = along * startWidth;
    const SLineLanes endSide = side * endWidth;
    const SLineLanes endCap = along * endWidth;
    const LineLanes zero = {0.0f, 0.0f, 0.0f, 0.0f};
    const LineLanes one = {1.0f, 1.0f, 1.0f, 1.0f};
    const LineMask pointed = endWidth > zero;
    const LineLanes q = pointed ? startWidth / endWidth : one;
    const LineLanes startColours =
        bitsAsLanes(lines[0].startColour, lines[1].startColour, lines[2].startColour, lines[3].startColour);
    const LineLanes endColours =
        bitsAsLanes(lines[0].endColour, lines[1].endColour, lines[2].endColour, lines[3].endColour);
    // Each line's normal and u rows: the start's carry its q, the end's 1 (the same for every line).
    const LineLanes startNormalU0[LINE_LANES] = {LineLanes{q[0], 0.0f, 0.0f, 0.0f}, LineLanes{q[1], 0.0f, 0.0f, 0.0f},
                                                 LineLanes{q[2], 0.0f, 0.0f, 0.0f}, LineLanes{q[3], 0.0f, 0.0f, 0.0f}};
    const LineLanes startNormalUHalf[LINE_LANES] = {
        LineLanes{q[0], 0.0f, 0.0f, 0.5f}, LineLanes{q[1], 0.0f, 0.0f, 0.5f}, LineLanes{q[2], 0.0f, 0.0f, 0.5f},
        LineLanes{q[3], 0.0f, 0.0f, 0.5f}};
    const f32 zeroV[LINE_LANES] = {0.0f, 0.0f, 0.0f, 0.0f};
    const f32 qV[LINE_LANES] = {q[0], q[1], q[2], q[3]};
    const f32 oneV[LINE_LANES] = {1.0f, 1.0f, 1.0f, 1.0f};
    storeCornerLanes(v + 0, (start + startSide) - startCap, startColours, startNormalU0, zeroV, 8);
    storeCornerLanes(v + 1, (start - startSide) - startCap, startColours, startNormalU0, qV, 8);
    storeCornerLanes(v + 2, start + startSide, startColours, startNormalUHalf, zeroV, 8);
    storeCornerLanes(v + 3, start - startSide, startColours, startNormalUHalf, qV, 8);
    storeCornerLanes(v + 4, end + endSide, endColours, kEndNormalUHalf, zeroV, 8);
    storeCornerLanes(v + 5, end - endSide, endColours, kEndNormalUHalf, oneV, 8);
    storeCornerLanes(v + 6, (end + endSide) + endCap, endColours, kEndNormalU1, zeroV, 8);
    storeCornerLanes(v + 7, (end - endSide) + endCap, endColours, kEndNormalU1, oneV, 8);
    for (u32 i = 0; i < 18 * LINE_LANES; ++i) indices[i] = vertexBase + kWideLineIndices4[i];
}

void writeQuadIndices(u32* indices, u32 vertexBase) {
    const u32 pattern[6] = {0, 1, 2, 1, 3, 2};
    for (u32 i = 0; i < 6; ++i) indices[i] = vertexBase + pattern[i];
}

// One sprite's four vertices and six indices, facing the eye.
[[gnu::always_inline]]
inline void writeSprite(SBatchVertex* v, u32* indices, u32 vertexBase, const SSpriteCommand& sprite,
                        const ClVec4& eye) {
    const SV3 position = v3(sprite.position);
    const SV3 toEye = unit(v3(eye) - position);
    const SV3 unitRight = unit(cross(toEye, SV3{0.0f, 1.0f, 0.0f}));
    const SV3 up = cross(unitRight, toEye) * (sprite.size * 0.5f);
    const SV3 right = unitRight * (sprite.size * 0.5f);
    writeVertex(v + 0, position + up + right, sprite.colour, 0.0f, 0.0f, 0.0f);
    writeVertex(v + 1, position - up + right, sprite.colour, 0.0f, 0.0f, 1.0f);
    writeVertex(v + 2, position + up - right, sprite.colour, 0.0f, 1.0f, 0.0f);
    writeVertex(v + 3, position - up - right, sprite.colour, 0.0f, 1.0f, 1.0f);
    writeQuadIndices(indices, vertexBase);
}

// The two triangles of four sprites, as offsets from the first sprite's first vertex.
constexpr std::array<u32, 6 * LINE_LANES> spriteIndices4() {
    std::array<u32, 6 * LINE_LANES> table = {};
    const u32 pattern[6] = {0, 1, 2, 1, 3, 2};
    for (u32 sprite = 0; sprite < LINE_LANES; ++sprite)
        for (u32 i = 0; i < 6; ++i) table[6 * sprite + i] = 4 * sprite + pattern[i];
    return table;
}
constexpr std::array<u32, 6 * LINE_LANES> kSpriteIndices4 = spriteIndices4();

// The normal and u rows of a sprite's corners: no normal, u 0 and u 1.
constexpr LineLanes kSpriteNormalU0[LINE_LANES] = {LineLanes{}, LineLanes{}, LineLanes{}, LineLanes{}};
constexpr LineLanes kSpriteNormalU1[LINE_LANES] = {LineLanes{0.0f, 0.0f, 0.0f, 1.0f}, LineLanes{0.0f, 0.0f, 0.0f, 1.0f},
                                                   LineLanes{0.0f, 0.0f, 0.0f, 1.0f}, LineLanes{0.0f, 0.0f, 0.0f, 1.0f}};

// writeSprite for four sprites whose vertices and indices follow one another, one per lane, with
// the same f32 operations in the same order.
[[gnu::always_inline]]
inline void writeSprites4(SBatchVertex* v, u32* indices, u32 vertexBase, const SSpriteCommand* const* sprites,
                          const ClVec4* const* eyes) {
    const SLineLanes position =
        pointLanes(sprites[0]->position, sprites[1]->position, sprites[2]->position, sprites[3]->position);
    const SLineLanes eye = pointLanes(*eyes[0], *eyes[1], *eyes[2], *eyes[3]);
    const LineLanes zero = {0.0f, 0.0f, 0.0f, 0.0f};
    const LineLanes one = {1.0f, 1.0f, 1.0f, 1.0f};
    const LineLanes half = {0.5f, 0.5f, 0.5f, 0.5f};
    const LineLanes size = {sprites[0]->size, sprites[1]->size, sprites[2]->size, sprites[3]->size};
    const SLineLanes toEye = unitLanes(eye - position);
    const SLineLanes unitRight = unitLanes(crossLanes(toEye, SLineLanes{zero, one, zero}));
    const SLineLanes up = crossLanes(unitRight, toEye) * (size * half);
    const SLineLanes right = unitRight * (size * half);
    const LineLanes colours =
        bitsAsLanes(sprites[0]->colour, sprites[1]->colour, sprites[2]->colour, sprites[3]->colour);
    const f32 zeroV[LINE_LANES] = {0.0f, 0.0f, 0.0f, 0.0f};
    const f32 oneV[LINE_LANES] = {1.0f, 1.0f, 1.0f, 1.0f};
    storeCornerLanes(v + 0, (position + up) + right, colours, kSpriteNormalU0, zeroV, 4);
    storeCornerLanes(v + 1, (position - up) + right, colours, kSpriteNormalU0, oneV, 4);
    storeCornerLanes(v + 2, (position + up) - right, colours, kSpriteNormalU1, zeroV, 4);
    storeCornerLanes(v + 3, (position - up) - right, colours, kSpriteNormalU1, oneV, 4);
    for (u32 i = 0; i < 6 * LINE_LANES; ++i) indices[i] = vertexBase + kSpriteIndices4[i];
}

// The numbers of the commands of a half that the pass selects, and how many there are. Masks not
// gathered yet are gathered first: the commands of a half no longer change once it is handed
// over.
template <typename TCommand>
u32 selectCommands(const TCommand* commands, u32 count, u32* masks, u32& masked, u32 passMask, u32* numbers) {
    for (; masked < count; ++masked) masks[masked] = commands[masked].layerMask;
    u32 chosen = 0;
    for (u32 i = 0; i < count; ++i) {
        numbers[chosen] = i;
        chosen += selected(masks[i], passMask) ? 1u : 0u;
    }
    return chosen;
}

// n selected commands of `vertices` vertices and `indices` indices each, reserved whole; a kind
// that gets no room writes nothing.
SBuildKind reserveKind(u32 n, u32 vertices, u32 indices) {
    SBuildKind kind = {};
    if (n == 0) return kind;
    kind.reservation = reserveBatchGeometry(n, vertices * n, indices * n);
    if (!kind.reservation.vertices) return kind;
    kind.count = n;
    kind.chunks = (n + BUILD_CHUNK - 1) / BUILD_CHUNK;
    return kind;
}

// Sprites first to first + count of the build's selected ones.
[[gnu::always_inline]]
inline void writeSpriteChunk(const SDrawBuildRecord& record, u32 first, u32 count) {
    const SSpriteCommand* sprites = g_DrawLists.sprites[record.half];
    const SBatchReservation& r = record.sprites.reservation;
    const u32 end = first + count;
    u32 object = first;
    for (; object + LINE_LANES <= end; object += LINE_LANES) {
        const SSpriteCommand* group[LINE_LANES];
        const ClVec4* eyes[LINE_LANES];
        for (u32 k = 0; k < LINE_LANES; ++k) {
            const SSpriteCommand& sprite = sprites[record.spriteNumbers[object + k]];
            group[k] = &sprite;
            eyes[k] = &eyeFor(sprite.owner, record.eye);
            tag(r, object + k, 6 * (object + k), 6, sprite.layerMask & record.keepMask, sprite.material, sprite.owner);
        }
        writeSprites4(r.vertices + 4 * object, r.stagedIndices + 6 * object, r.vertexBase + 4 * object, group, eyes);
    }
    for (; object < end; ++object) {
        const SSpriteCommand& sprite = sprites[record.spriteNumbers[object]];
        writeSprite(r.vertices + 4 * object, r.stagedIndices + 6 * object, r.vertexBase + 4 * object, sprite,
                    eyeFor(sprite.owner, record.eye));
        tag(r, object, 6 * object, 6, sprite.layerMask & record.keepMask, sprite.material, sprite.owner);
    }
}

SWideLineInput wideLineInput(const SGradientLineCommand& line, const ClVec4& passEye) {
    return SWideLineInput{&line.start,    &line.end,         &eyeFor(line.owner, passEye), line.startWidth,
                          line.endWidth, line.startColour, line.endColour};
}

// A plain line is a gradient line with one width and one colour.
SWideLineInput wideLineInput(const SLineCommand& line, const ClVec4& passEye) {
    return SWideLineInput{&line.start, &line.end,   &eyeFor(line.owner, passEye), line.width,
                          line.width,  line.colour, line.colour};
}

// Lines first to first + count of one kind's selected ones, four at a time and the rest alone.
template <typename TCommand>
[[gnu::always_inline]]
inline void writeLineChunk(const TCommand* lines, const u32* numbers, const SBatchReservation& r,
                           const SDrawBuildRecord& record, u32 first, u32 count) {
    const u32 end = first + count;
    u32 object = first;
    for (; object + LINE_LANES <= end; object += LINE_LANES) {
        SWideLineInput group[LINE_LANES];
        for (u32 k = 0; k < LINE_LANES; ++k) {
            const TCommand& line = lines[numbers[object + k]];
            group[k] = wideLineInput(line, record.eye);
            tag(r, object + k, 18 * (object + k), 18, line.layerMask & record.keepMask, line.material, line.owner);
        }
        writeWideLines4(r.vertices + 8 * object, r.stagedIndices + 18 * object, r.vertexBase + 8 * object, group);
    }
    for (; object < end; ++object) {
        const TCommand& command = lines[numbers[object]];
        const SWideLineInput line = wideLineInput(command, record.eye);
        writeWideLine(r.vertices + 8 * object, r.stagedIndices + 18 * object, r.vertexBase + 8 * object, *line.start,
                      *line.end, *line.eye, line.startWidth, line.endWidth, line.startColour, line.endColour);
        tag(r, object, 18 * object, 18, command.layerMask & record.keepMask, command.material, command.owner);
    }
}

u32 chunkLength(const SBuildKind& kind, u32 chunk) { return std::min(BUILD_CHUNK, kind.count - chunk * BUILD_CHUNK); }

[[gnu::always_inline]]
inline void writeChunkBody(const SDrawBuildRecord& record, u32 chunk) {
    if (chunk < record.sprites.chunks) {
        writeSpriteChunk(record, chunk * BUILD_CHUNK, chunkLength(record.sprites, chunk));
        return;
    }
    chunk -= record.sprites.chunks;
    if (chunk < record.gradientLines.chunks) {
        writeLineChunk(g_DrawLists.gradientLines[record.half], record.gradientLineNumbers,
                       record.gradientLines.reservation, record, chunk * BUILD_CHUNK,
                       chunkLength(record.gradientLines, chunk));
        return;
    }
    chunk -= record.gradientLines.chunks;
    writeLineChunk(g_DrawLists.lines[record.half], record.lineNumbers, record.lines.reservation, record,
                   chunk * BUILD_CHUNK, chunkLength(record.lines, chunk));
}

// The chunk writer is built twice: for the baseline processor, and with AVX's three-operand
// encodings of the same operations (fewer register copies, the same bits), chosen at run time.
void writeChunk(const SDrawBuildRecord& record, u32 chunk) { writeChunkBody(record, chunk); }

#if defined(__x86_64__)
[[gnu::target("avx")]] void writeChunkAvx(const SDrawBuildRecord& record, u32 chunk) { writeChunkBody(record, chunk); }
#else
void writeChunkAvx(const SDrawBuildRecord& record, u32 chunk) { writeChunkBody(record, chunk); }
#endif

// Chunks until every one has been claimed: the render worker takes them from the front, the line
// jobs from the back, so that each keeps to its own stream of commands and vertices. Chunks are
// disjoint parts of the reservations, so no lock.
void writeClaimedChunks(SDrawBuildRecord& record, bool fromFront) {
    std::atomic<u32>& next = fromFront ? record.nextFromFront : record.nextFromBack;
    const bool avx = processorHasAvx();
    while (record.claimed.fetch_add(1, std::memory_order_relaxed) < record.chunkCount) {
        const u32 taken = next.fetch_add(1, std::memory_order_relaxed);
        const u32 chunk = fromFront ? taken : record.chunkCount - 1 - taken;
        if (avx)
            writeChunkAvx(record, chunk);
        else
            writeChunk(record, chunk);
    }
}

// Line task, type 0 of the task layer: the lines' selection and reservation, and one job per
// slice of lineSliceSize lines. A job helps with the whole build rather than its slice alone.
void lineTaskStart(void* argument, SWorkerTask* task) {
    SDrawBuildRecord* record = static_cast<SDrawBuildRecord*>(argument);
    SDrawLists& lists = g_DrawLists;
    const u32 half = record->half;
    const u32 n = selectCommands(lists.lines[half], lists.counts[half].lines, lists.lineMasks[half],
                                 lists.masked[half].lines, record->passMask, record->lineNumbers);
    record->lines = reserveKind(n, 8, 18);
    record->chunkCount += record->lines.chunks;
    if (record->lines.count == 0) {
        taskFinishNow(task);
        return;
    }
    const u32 sliceSize = lineSliceSize(n, logicalProcessorCount());
    u32 job = 0;
    for (u32 first = 0; first < n; first += sliceSize, ++job) record->jobs[job].record = record;
    for (u32 i = 0; i < job; ++i) taskStartPart(task, &record->jobs[i]);
}

// On a pool worker.
void lineTaskWork(void* partArgument) { writeClaimedChunks(*static_cast<SDrawBuildJob*>(partArgument)->record, false); }

void lineTaskFinish(void* argument) {
    SDrawLists& lists = g_DrawLists;
    SDrawBuildRecord* record = static_cast<SDrawBuildRecord*>(argument);
    for (u32 i = 0; i < lists.recordsInUse; ++i) {
        if (lists.recordOrder[i] != record) continue;
        std::swap(lists.recordOrder[i], lists.recordOrder[lists.recordsInUse - 1]);
        --lists.recordsInUse;
        return;
    }
    fatalError("a draw build record went back to the pool twice");
}

u32 producerHalf() { return 1u - renderFlipIndex(); }

// The mask of the command appended at `at`, kept while the masks kept so far reach it.
inline void noteAppendedMask(u32* masks, u32& masked, u32 at, u32 layerMask) {
    if (masked != at) return;
    masks[at] = layerMask;
    masked = at + 1;
}

// Null when the half already holds `limit` quads: a busy frame drops its last quads rather than
// stopping the game.
SQuadCommand* nextQuad(u32 limit) {
    const u32 half = producerHalf();
    u32& count = g_DrawLists.counts[half].quads;
    if (count >= limit) return nullptr;
    SQuadCommand* quad = &g_DrawLists.quads[half][count++];
    quad->owner = g_DrawLists.owner;
    return quad;
}

void setQuadCorners(SQuadCommand* quad, const ClVec3& origin, const ClVec3& n, const ClVec3& a, f32 sizeAlong,
                    f32 sizeAcross, const ClVec2& texMin, const ClVec2& texMax) {
    const ClVec3 across = scaleVec3(a.cross(n), sizeAcross);
    const ClVec3 alongEnd = origin + scaleVec3(a, sizeAlong);
    quad->corners[0] = toVec4(origin);
    quad->corners[1] = toVec4(origin + across);
    quad->corners[2] = toVec4(alongEnd);
    quad->corners[3] = toVec4(alongEnd + across);
    quad->texCoords[0].set(texMin.x, texMin.y, 0.0f, 0.0f);
    quad->texCoords[1].set(texMin.x, texMax.y, 0.0f, 0.0f);
    quad->texCoords[2].set(texMax.x, texMin.y, 0.0f, 0.0f);
    quad->texCoords[3].set(texMax.x, texMax.y, 0.0f, 0.0f);
}

ClVec3 centredOrigin(const ClVec3& centre, const ClVec3& n, const ClVec3& a, f32 sizeAlong, f32 sizeAcross) {
    return centre - scaleVec3(a, sizeAlong * 0.5f) - scaleVec3(a.cross(n), sizeAcross * 0.5f);
}

}  // namespace

SSpriteCommand* appendSpriteCommand(const ClVec3& position, f32 size, u32 colour, const SMaterial* material,
                                    u32 layerMask, f32 rotation) {
    SDrawLists& lists = g_DrawLists;
    const u32 half = producerHalf();
    const u32 at = lists.counts[half].sprites;
    if (at >= SPRITE_COMMAND_CAPACITY - 1) return nullptr;
    SSpriteCommand* sprite = &lists.sprites[half][at];
    *sprite = SSpriteCommand{toVec4(position), material, lists.owner, size, colour, layerMask, rotation};
    noteAppendedMask(lists.spriteMasks[half], lists.masked[half].sprites, at, layerMask);
    lists.counts[half].sprites = at + 1;
    return sprite;
}

void appendLineCommand(const ClVec3& start, const ClVec3& end, f32 width, u32 colour, const SMaterial* material,
                       f32 widthScale, u32 word, u32 layerMask) {
    SDrawLists& lists = g_DrawLists;
    const u32 half = producerHalf();
    const u32 at = lists.counts[half].lines;
    if (at >= LINE_COMMAND_CAPACITY - 1) return;
    lists.lines[half][at] =
        SLineCommand{toVec4(start), toVec4(end), colour, material, width, widthScale, layerMask, lists.owner, word};
    noteAppendedMask(lists.lineMasks[half], lists.masked[half].lines, at, layerMask);
    lists.counts[half].lines = at + 1;
}

SLineRun takeLineCommands(u32 n) {
    const u32 half = producerHalf();
    u32& count = g_DrawLists.counts[half].lines;
    const u32 taken = std::min(n, LINE_COMMAND_CAPACITY - 1 - std::min(count, LINE_COMMAND_CAPACITY - 1));
    SLineRun run{&g_DrawLists.lines[half][count], taken, g_DrawLists.owner};
    count += taken;
    return run;
}

u32 lineCommandRoom() { return LINE_COMMAND_CAPACITY - 1 - std::min(g_DrawLists.counts[producerHalf()].lines, LINE_COMMAND_CAPACITY - 1); }

void appendGradientLineCommand(const ClVec3& start, const ClVec3& end, f32 startWidth, f32 endWidth, u32 startColour,
                               u32 endColour, const SMaterial* material, u32 layerMask) {
    SDrawLists& lists = g_DrawLists;
    const u32 half = producerHalf();
    const u32 at = lists.counts[half].gradientLines;
    if (at >= GRADIENT_LINE_COMMAND_CAPACITY - 1) return;
    lists.gradientLines[half][at] = SGradientLineCommand{
        toVec4(start), toVec4(end), 0, startColour, endColour, startWidth, endWidth, material, layerMask, lists.owner};
    noteAppendedMask(lists.gradientLineMasks[half], lists.masked[half].gradientLines, at, layerMask);
    lists.counts[half].gradientLines = at + 1;
}

void appendQuadCommand(const ClVec3& origin, const ClVec3& n, const ClVec3& a, f32 sizeAlong, f32 sizeAcross,
                       u32 colour, const SMaterial* material, u32 layerMask, f32 depth) {
    SQuadCommand* quad = nextQuad(QUAD_COMMAND_CAPACITY - 1);
    if (!quad) return;
    setQuadCorners(quad, origin, n, a, sizeAlong, sizeAcross, ClVec2(0.0f, 0.0f), ClVec2(1.0f, 1.0f));
    quad->material = material;
    quad->colour = colour;
    quad->layerMask = layerMask;
    quad->depth = depth;
}

void appendCentredQuadCommand(const ClVec3& centre, const ClVec3& n, const ClVec3& a, f32 sizeAlong, f32 sizeAcross,
                              u32 colour, const SMaterial* material, u32 layerMask, f32 depth) {
    appendQuadCommand(centredOrigin(centre, n, a, sizeAlong, sizeAcross), n, a, sizeAlong, sizeAcross, colour, material,
                      layerMask, depth);
}

void appendCentredQuadCommandUV(const ClVec3& centre, const ClVec3& n, const ClVec3& a, f32 sizeAlong, f32 sizeAcross,
                                u32 colour, const SMaterial* material, const ClVec2& texMin, const ClVec2& texMax,
                                u32 layerMask, f32 depth) {
    SQuadCommand* quad = nextQuad(QUAD_COMMAND_CAPACITY - 2);
    if (!quad) return;
    setQuadCorners(quad, centredOrigin(centre, n, a, sizeAlong, sizeAcross), n, a, sizeAlong, sizeAcross, texMin, texMax);
    quad->material = material;
    quad->colour = colour;
    quad->layerMask = layerMask;
    quad->depth = depth;
}

void appendQuadCommandCorners(const ClVec3& c0, const ClVec3& c1, const ClVec3& c2, const ClVec3& c3, u32 colour,
                              const SMaterial* material, u32 layerMask) {
    SQuadCommand* quad = nextQuad(QUAD_COMMAND_CAPACITY - 1);
    if (!quad) return;
    quad->corners[0] = toVec4(c0);
    quad->corners[1] = toVec4(c1);
    quad->corners[2] = toVec4(c2);
    quad->corners[3] = toVec4(c3);
    quad->texCoords[0].set(0.0f, 0.0f, 0.0f, 0.0f);
    quad->texCoords[1].set(0.0f, 1.0f, 0.0f, 0.0f);
    quad->texCoords[2].set(1.0f, 0.0f, 0.0f, 0.0f);
    quad->texCoords[3].set(1.0f, 1.0f, 0.0f, 0.0f);
    quad->material = material;
    quad->colour = colour;
    quad->layerMask = layerMask;
    quad->depth = 0.0f;
}

void setCurrentDrawOwner(ClRenderTargetGroup* owner) { g_DrawLists.owner = owner; }

void buildDrawCommands(u32 passMask, const ClVec4& eye, u32 excludeMask) {
    SDrawLists& lists = g_DrawLists;
    const u32 half = renderFlipIndex();
    if (!lists.poolReady) fatalError("buildDrawCommands before initDrawBatchPool");
    if (lists.recordsInUse == DRAW_BUILD_RECORD_COUNT) fatalError("buildDrawCommands: every draw build record is in use");
    SDrawBuildRecord* record = lists.recordOrder[lists.recordsInUse++];
    record->passMask = passMask;
    record->keepMask = ~excludeMask;
    record->eye = eye;
    record->half = half;
    // Reserved in the order sprites, gradient lines, lines, so that layers without sorting draw
    // them in that order; then this thread and the line jobs write them all.
    SDrawListCounts& masked = lists.masked[half];
    record->sprites = reserveKind(selectCommands(lists.sprites[half], lists.counts[half].sprites, lists.spriteMasks[half],
                                                 masked.sprites, passMask, record->spriteNumbers),
                                  4, 6);
    record->gradientLines = reserveKind(selectCommands(lists.gradientLines[half], lists.counts[half].gradientLines,
                                                       lists.gradientLineMasks[half], masked.gradientLines, passMask,
                                                       record->gradientLineNumbers),
                                        8, 18);
    record->chunkCount = record->sprites.chunks + record->gradientLines.chunks;
    record->claimed.store(0, std::memory_order_relaxed);
    record->nextFromFront.store(0, std::memory_order_relaxed);
    record->nextFromBack.store(0, std::memory_order_relaxed);
    SWorkerTask* task = nullptr;
    // A build without lines has its record back in the pool when taskCreate returns; it is still
    // this thread's until the next build takes it.
    taskCreate(TASK_TYPE_DRAW_LIST_LINES, record, &task);
    workerPoolDispatch();
    writeClaimedChunks(*record, true);
    taskWait(task);
    taskRelease(task);
}

void buildQuadCommands() {
    const u32 half = renderFlipIndex();
    const SQuadCommand* quads = g_DrawLists.quads[half];
    const u32 count = g_DrawLists.counts[half].quads;
    if (count == 0) return;
    const SBatchReservation r = reserveBatchGeometry(count, 4 * count, 6 * count);
    if (!r.vertices) return;
    for (u32 i = 0; i < count; ++i) {
        const SQuadCommand& quad = quads[i];
        SBatchVertex* v = r.vertices + 4 * i;
        for (u32 corner = 0; corner < 4; ++corner)
            writeVertex(v + corner, v3(quad.corners[corner]), quad.colour, 0.0f, quad.texCoords[corner].x,
                        quad.texCoords[corner].y);
        writeQuadIndices(r.stagedIndices + 6 * i, r.vertexBase + 4 * i);
        tag(r, i, 6 * i, 6, quad.layerMask, quad.material, quad.owner);
        r.depths[i] = quad.depth;
    }
}

void clearDrawLists() { clearDrawListHalf(renderFlipIndex()); }

void clearDrawListHalf(u32 half) {
    g_DrawLists.counts[half & 1u] = SDrawListCounts{};
    g_DrawLists.masked[half & 1u] = SDrawListCounts{};
}

const STaskType& drawListLineTaskType() {
    static const STaskType lines = {lineTaskStart, lineTaskWork, lineTaskFinish};
    return lines;
}

void initDrawBatchPool() {
    SDrawLists& lists = g_DrawLists;
    for (u32 i = 0; i < DRAW_BUILD_RECORD_COUNT; ++i) lists.recordOrder[i] = &lists.records[i];
    lists.recordsInUse = 0;
    lists.poolReady = true;
}

void releaseAllDrawBatches() {
    SDrawLists& lists = g_DrawLists;
    lists.recordsInUse = 0;
    lists.poolReady = false;
}

u32 lineSliceSize(u32 lineCount, u32 poolThreads) {
    const u32 slices = std::min(std::max(2u, poolThreads), DRAW_BUILD_JOB_CAPACITY);
    return lineCount == 0 ? 1u : (lineCount + slices - 1) / slices;
}

SDrawListCounts drawListCounts(u32 half) { return g_DrawLists.counts[half & 1u]; }

const SSpriteCommand* drawListSprites(u32 half) { return g_DrawLists.sprites[half & 1u]; }

const SLineCommand* drawListLines(u32 half) { return g_DrawLists.lines[half & 1u]; }

const SQuadCommand* drawListQuads(u32 half) { return g_DrawLists.quads[half & 1u]; }

