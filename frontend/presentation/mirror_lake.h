// The mirror lake: a water surface at the reflection plane that shows the reflection target,
// rippled by the bump image, and the wind that moves both its ripples and the debris.
//
// setMirrorLakeShaderParams runs once a frame after beginBatchFrame (both game modes); it sets
// the lake's shader constants and rewrites the particle accelerations. drawMirrorLake runs after
// the frame's UI, before the hand-off; it draws nothing while the water reflection option is off
// or without the reflection target.
#pragma once

#include "core/types.h"
#include "core/vec.h"

// Units of the world per repeat of the bump image ("Images/WaterBump").
constexpr f32 MIRROR_LAKE_RIPPLE_TILE = 64.0f;
// Bump-image repeats per second that the ripples drift downwind.
constexpr f32 MIRROR_LAKE_RIPPLE_SPEED = 0.05f;
// How far, as a fraction of the screen, a full-scale bump moves the reflection lookup.
constexpr f32 MIRROR_LAKE_BUMP_STRENGTH = 0.02f;
// The lake is a square this far from the camera in x and z on each side: the camera's far plane.
constexpr f32 MIRROR_LAKE_HALF_EXTENT = 1000.0f;
// How much of the reflection the water gives back (grey, opaque): the vertex colour of the lake.
constexpr u32 MIRROR_LAKE_REFLECTANCE = 0xFFC0C0C0u;
// The only layer the lake is drawn in: the layer the scene draws first, built only while the
// water reflection option is on.
constexpr u32 MIRROR_LAKE_LAYER_MASK = 0x400;

// The wind turns slowly about the vertical, one turn in about a minute (radians per second),
// and pushes debris with this acceleration (units per second squared).
constexpr f32 MIRROR_LAKE_WIND_TURN_RATE = 0.1f;
constexpr f32 MIRROR_LAKE_WIND_ACCELERATION = 1.5f;
// The debris's gravity (acceleration A; the wind is acceleration B).
constexpr f32 MIRROR_LAKE_GRAVITY = -20.0f;

struct SMirrorLakeParams {
    ClVec2 rippleScroll;  // offset of the bump image, in repeats
    ClVec3 wind;          // acceleration B of the particle physics
};

// What the lake and the particles take at a total gameplay time of seconds.
SMirrorLakeParams mirrorLakeParamsAt(f64 seconds);

// Sets "g_v2MirrorLakeScroll", "g_fMirrorLakeBump" and "g_v4MirrorLakeTint" (the current colour
// scheme's front-end water colour out of play, no tint in play), and writes gravity and wind
// into the particle physics block. Uses the gameplay clock, so the ripples stand still in a pause.
void setMirrorLakeShaderParams();
// The lake quad, centred under the view camera, into the frame's draw lists.
void drawMirrorLake();
