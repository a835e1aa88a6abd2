#include "world/atoms/lightning_bolt.h"

#include "core/directions.h"
#include "core/random.h"
#include "render/draw_lists.h"

void SLightningBolt::setUp(u32 boltColour, f32 width, f32 stepLength, f32 variance, f32 angle,
                           const SMaterial* boltMaterial) {
    inUse = 1;
    colour = boltColour;
    segmentWidth = width;
    step = stepLength;
    stepVariance = variance;
    coneAngle = angle;
    material = boltMaterial;
    segmentCount = 0;
}

void SLightningBolt::build(const ClVec3& start, const ClVec3& end) {
    from = start;
    to = end;
    segmentCount = 0;
    if (!(step > 0.0f)) return;
    const f32 distance = (start - end).length();
    while (distance * 2.0f / step > f32(LIGHTNING_SEGMENT_CAPACITY)) step *= 2.0f;
    ClVec3 p = start;
    while ((end - p).dot(end - p) > step * step && segmentCount < s32(LIGHTNING_SEGMENT_CAPACITY)) {
        ClVec3 toward = end - p;
        toward.normalize();
        ClVec3 v = randomDirectionInCone(toward, coneAngle);
        if (v.length() >= 1e-7f) v.setLength(randomFloatInRange(step - step * stepVariance, step + step * stepVariance));
        const ClVec3 q = p + v;
        segments[segmentCount++] = SLightningSegment{p, q, segmentWidth};
        p = q;
    }
}

void SLightningBolt::draw(u32 layerMask) const {
    for (s32 i = 0; i < segmentCount; ++i)
        appendLineCommand(segments[i].start, segments[i].end, segments[i].width, colour, material, 1.0f, 1, layerMask);
}
