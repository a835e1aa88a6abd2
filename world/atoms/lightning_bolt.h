// A jagged bolt between two points: steps of about the step length, each turned at random within
// a cone towards the far point, drawn as line commands. Bolts of enemies and of bolt bullets.
#pragma once

#include "core/types.h"
#include "core/vec.h"

struct SMaterial;

constexpr u32 LIGHTNING_SEGMENT_CAPACITY = 64;

struct SLightningSegment {
    ClVec3 start;
    ClVec3 end;
    f32 width;
};

struct SLightningBolt {
    u32 inUse = 0;
    SLightningSegment segments[LIGHTNING_SEGMENT_CAPACITY];
    s32 segmentCount = 0;
    ClVec3 from;
    ClVec3 to;
    u32 colour = 0;
    f32 segmentWidth = 0.0f;
    f32 step = 0.0f;          // doubles while the distance would need more than 64 steps; stays so
    f32 stepVariance = 0.0f;  // a fraction of the step
    f32 coneAngle = 0.0f;     // degrees
    const SMaterial* material = nullptr;

    void setUp(u32 boltColour, f32 width, f32 stepLength, f32 variance, f32 angle, const SMaterial* boltMaterial);
    void build(const ClVec3& start, const ClVec3& end);
    // One line per segment with the layer mask.
    void draw(u32 layerMask) const;
};
