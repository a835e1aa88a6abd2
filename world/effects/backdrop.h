// The music-driven backdrop of play: the arena scrolls towards the camera (positive z) at a speed
// that follows the song's loudness, carrying a stream of bright streaks and a stream of spectrum
// bars on the floor; path followers raise expanding light walls ("rings"); the song's remaining
// time is shown in a label. The edge sparks (edge_sparks.h) are part of it. Reset on entering
// play, updated and drawn every frame, released on leaving. Main thread only.
#pragma once

#include "core/types.h"
#include "core/vec.h"
#include "render/tween.h"

constexpr u32 BACKDROP_STREAM_CAPACITY = 5120;
constexpr u32 BACKDROP_RING_CAPACITY = 16;
// Streaks enter at z = -400 and leave once their tails pass 400; bars are spawned up to z = 0
// and leave at 480.
constexpr f32 BACKDROP_STREAK_FAR_Z = -400.0f;
constexpr f32 BACKDROP_STREAK_NEAR_Z = 400.0f;
constexpr f32 BACKDROP_BAR_FAR_Z = 0.0f;
constexpr f32 BACKDROP_BAR_NEAR_Z = 480.0f;

struct SBackdropItem {
    ClVec3 position;  // w is 10 for streaks
    f32 tail;         // z of a streak's tail
    f32 angle;        // radians
    u32 poolIndex;
};

struct SBackdropRing {
    ClVec3 position;
    ClVec3 axis;  // unit x or unit z: the wall's width runs along it
    SFloatTween radius;
    u32 poolIndex;
};

void resetBackdrop();
// Moves everything by this frame's scroll step (gameplay clock), spawns what the streams need,
// draws the rings, and runs the edge sparks.
void updateBackdrop();
// The streaks, the bars and the rails, then the remaining-time label.
void drawBackdropStreams();
void releaseBackdrop();

// A light wall at the position, widening from 10 to 2400 over 6.3 s, across z when useZAxis is
// set, else across x; nothing happens while 16 are shown.
void spawnBackdropRing(const ClVec3& position, u32 useZAxis);

// The smoothed song intensity I, which picks the colour preset.
f32 getBackdropIntensity();
// intensity(time)^1.732 x 1000 + 50: 50 in silence, 1050 at full level.
f32 getBackdropSpeedTarget(f32 songTime);
// The song's intensity at a time: the smoothed level of its spawn bar, the last bar past the end,
// 0 for a song without bars.
f32 getBackdropSongIntensity(f32 songTime);
// Scroll speed S (units per second); each frame scrolls by D = frame step x S.
f32 getBackdropSpeed();
