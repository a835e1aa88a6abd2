// The sparks that burst from the arena's edge where a path follower enters play: a fan of fast
// glowing sparks that slow, fall, drift with the scrolling backdrop and leave trails of smaller
// glows, plus 40 faster ones without trails. Their pools live with the backdrop (reset and
// release), and they are moved and drawn at the end of its update. Main thread only.
#pragma once

#include "core/types.h"
#include "core/vec.h"

constexpr u32 EDGE_SPARK_CAPACITY = 512;
constexpr u32 SPARK_TRAIL_CAPACITY = 4096;
constexpr u32 EDGE_SPARK_FAN_COUNT = 30;       // from a side edge; twice as many from the front edge
constexpr u32 EDGE_SPARK_FAST_COUNT = 40;

struct SEdgeSpark {
    u32 word;
    ClVec3 position;
    ClVec3 velocity;
    f32 baseSize;
    f32 heat;          // seconds left
    f32 nextTrail;     // distance to travel before the next trail record
    f32 trailSpacing;
    f32 trailSize;     // the trail records' scatter radius
    u32 poolIndex;
};

struct SSparkTrail {
    ClVec3 position;
    ClVec3 velocity;
    f32 size;
    f32 heat;
    u32 poolIndex;
};

// The fan's direction for a burst at this position: +x near the left edge (x below 10), -x near
// the right one (x above 315), +z anywhere between.
ClVec3 getArenaSideDirection(const ClVec3& position);

// Called by the path follower when its object enters play. A full spark pool ends the burst.
void spawnEdgeSparks(const ClVec3& position);
void updateEdgeSparks();
void initEdgeSparkPools();
void releaseEdgeSparkPools();

// One spark's trail for a frame in which it moved from `from` to spark->position, its velocity
// already updated: records every trailSpacing along the direction of travel, the first after
// nextTrail; returns the records emitted (a full trail pool skips records but not the walk).
u32 emitSparkTrail(SEdgeSpark* spark, const ClVec3& from);
