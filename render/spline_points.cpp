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

void emptyOrSetUp(ClPointList* list) {
    if (list->inUse) {
        list->count = 0;
        list->last = nullptr;
    } else {
        list->init();
    }
}

ClVec3 lastPoint(const ClPointList& list) {
    if (list.count == 0) fatalError("point list: a step needs a last point to start from");
    return list[list.count - 1];
}

// (incoming + outgoing) x up at point i, rescaled to offset; unit directions of the neighbouring
// segments, with the references standing in beyond the ends.
ClVec3 sidewaysShift(const ClPointList& points, u32 i, const ClVec3* startRef, const ClVec3* endRef, f32 offset) {
    const u32 last = points.count - 1;
    ClVec3 incoming, outgoing;
    if (i > 0) incoming = (points[i] - points[i - 1]).normalized();
    else if (startRef) incoming = (points[0] - *startRef).normalized();
    else if (last > 0) incoming = (points[1] - points[0]).normalized();
    if (i < last) outgoing = (points[i + 1] - points[i]).normalized();
    else if (endRef) outgoing = (*endRef - points[last]).normalized();
    else if (last > 0) outgoing = (points[last] - points[last - 1]).normalized();
    ClVec3 side = (incoming + outgoing).cross(UP);
    side.setLength(offset);
    return side;
}

void railBuilder(const ClPointList& sidePoints, const ClPointList& source, ClPointList* outA, ClPointList* outB,
                 f32 trim, f32 offset, const ClVec3* startRef, const ClVec3* endRef) {
    emptyOrSetUp(outA);
    emptyOrSetUp(outB);
    for (const ClVec3& point : source) outA->push(point);
    if (trim != 0.0f && outA->count > 0 && sidePoints.count >= 2) {
        (*outA)[outA->count - 1] = sidePoints[0] + scaleVec3(sidePoints[1] - sidePoints[0], trim);
    }
    for (u32 i = 0; i < sidePoints.count; ++i) {
        outB->push(sidePoints[i] + sidewaysShift(sidePoints, i, startRef, endRef, offset));
    }
    // The shifts of outA are taken from its unshifted points.
    ClPointList shifts;
    shifts.init();
    for (u32 i = 0; i < outA->count; ++i) shifts.push(sidewaysShift(*outA, i, startRef, endRef, offset));
    for (u32 i = 0; i < outA->count; ++i) (*outA)[i] += shifts[i];
    shifts.release();
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

void copyMirroredPoints(ClPointList* destination, const ClPointList& source, u32 flags) {
    emptyOrSetUp(destination);
    for (const ClVec3& point : source) {
        ClVec3 mirrored;
        mirrorPlayfieldPoint(&mirrored, point, flags);
        destination->push(mirrored);
    }
}

void offsetPoints(ClPointList* list, const ClVec3& offset) {
    for (ClVec3& point : *list) point += offset;
}

void appendPointByStep(ClPointList* list, const ClVec3& direction, f32 length) {
    ClVec3 step = direction;
    step.setLength(length);
    list->push(lastPoint(*list) + step);
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

void buildPathListsWithEndRef(const ClPointList& sidePoints, const ClPointList& source, ClPointList* outA,
                              ClPointList* outB, f32 trim, f32 offset) {
    const ClVec3* startRef = source.count >= 2 ? &source[source.count - 2] : nullptr;
    const ClVec3 reference = startRef ? *startRef : ClVec3();
    railBuilder(sidePoints, source, outA, outB, trim, offset, startRef ? &reference : nullptr, nullptr);
}

void buildNamedSplinePair(const ClPointList& pointsA, const ClPointList& pointsB, const char* nameA,
                          const char* nameB) {
    ClSplineCatmullRom* a = buildRegisteredSpline(pointsA, nameA);
    ClSplineCatmullRom* b = buildRegisteredSpline(pointsB, nameB);
    a->join(*b);
    a->buildSegments(-1, -1);
    b->buildSegments(-1, -1);
}
