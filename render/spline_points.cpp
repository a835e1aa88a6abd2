#include "render/spline_points.h"

#include "core/fatal_error.h"
#include "core/name_hash.h"
#include "render/spline.h"
#include "render/spline_registry.h"

#include <cmath>
#include <numbers>

f32 g_wavePathSampleStep = 6.0f;

namespace {

const ClVec3 UP(0.0f, 1.0f, 0.0f);
constexpr f32 PI = std::numbers::pi_v<f32>;

ClVec3 lastPoint(const ClPointList& list) {
    if (list.count == 0) fatalError("point list: a step needs a last point to start from");
    return list[list.count - 1];
}

ClSplineCatmullRom* buildRegisteredSpline(const ClPointList& points, const char* name) {
    if (points.count < 2) fatalErrorf("buildNamedSplinePair: spline \"%s\" has %u points, at least 2 needed", name, points.count);
    auto* spline = new ClSplineCatmullRom();
    spline->init(g_wavePathSampleStep);
    for (const ClVec3& point : points) spline->addPoint(point, UP);
    spline->computeTangents();
    registerSpline(crc32TextNoCase(name), spline, name);
    return spline;
}

}  // namespace

void mirrorPlayfieldPoint(ClVec3* out, const ClVec3& point, u32 flags) {
    *out = point;
    if (flags & MIRROR_PLAYFIELD_X) out->x = 325.0f - point.x;
    if (flags & MIRROR_PLAYFIELD_Z) out->z = 269.75f - point.z;
}

void appendArcPoints(ClPointList* list, const ClVec3& direction, f32 angleDegrees, f32 radius, bool otherSide) {
    ClVec3 side = direction.cross(UP);
    side.setLength(radius);
    if (otherSide) side = side.negated();
    const ClVec3 centre = lastPoint(*list) + side;
    ClVec3 forward = direction;
    forward.setLength(radius);
    const f32 angle = angleDegrees * PI / 180.0f;
    const s32 steps = 1 - s32(angle / -(PI / 6.0f));
    for (s32 k = 1; k <= steps; ++k) {
        const f32 a = f32(k) * angle / f32(steps);
        list->push(centre - scaleVec3(side, std::cos(a)) + scaleVec3(forward, std::sin(a)));
    }
}

void appendBumpPoints(ClPointList* list, const ClVec3& direction, f32 length, f32 height, f32 stepLength,
                      bool otherSide, f32 exponent) {
    ClVec3 side = direction.cross(UP);
    if (otherSide) side = side.negated();
    const ClVec3 start = lastPoint(*list);
    const s32 steps = (stepLength > 0.0f ? s32(length / stepLength) : 0) + 1;
    for (s32 k = 1; k <= steps; ++k) {
        const f32 along = f32(k) * length / f32(steps);
        const f32 wave = (1.0f - std::sin(PI / 2.0f + f32(k - 1) * 2.0f * PI / f32(steps))) / 2.0f;
        list->push(start + scaleVec3(direction, along) + scaleVec3(side, height * std::pow(wave, exponent)));
    }
}

void buildNamedSplinePair(const ClPointList& pointsA, const ClPointList& pointsB, const char* nameA,
                          const char* nameB) {
    ClSplineCatmullRom* a = buildRegisteredSpline(pointsA, nameA);
    ClSplineCatmullRom* b = buildRegisteredSpline(pointsB, nameB);
    a->join(*b);
    a->buildSegments(-1, -1);
    b->buildSegments(-1, -1);
}
