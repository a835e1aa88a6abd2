// Score pickups ("inspiration") dropped by destroyed enemies and the boss. Dropped pickups take a
// cell of a 21 x 17 grid of 16-unit cells over the arena, the free cell nearest the drop point,
// so that drops do not pile up. The score pickup program comes from the generator "ScorePickup"
// of the pickup category; its collect operation reads the root parameter "inspvalue".
#pragma once

#include "core/types.h"

class ClEntity;
struct ClVec3;

constexpr u32 INSPIRATION_GRID_COLUMNS = 21;  // x: 21 x 16 covers the arena's 325 units
constexpr u32 INSPIRATION_GRID_ROWS = 17;     // z: 17 x 16 covers its 269.75 units
constexpr f32 INSPIRATION_GRID_CELL = 16.0f;
constexpr u32 INSPIRATION_PICKUP_CAPACITY = 512;
constexpr const char* SCORE_PICKUP_GENERATOR = "ScorePickup";

// Frees every cell and forgets the dropped pickups (their entities belong to the world's
// teardown then).
void resetInspirationPickups();

// Spawns and activates one score pickup worth `value`. bigNotes selects the large note swarm
// (root parameter "inspbig"). With onGrid the pickup takes the free cell nearest the position
// (its root's "inspgridx" and "inspgridz"), searching outward ring by ring, and stands at the
// cell's centre; without a free cell, or without onGrid, it stands at the position. Returns the
// pickup, or null when no score pickup generator is registered or the drop list is full.
ClEntity* spawnInspirationPickups(const ClVec3& position, s32 value, u32 bigNotes, u32 onGrid);

// The pickup atom frees its cell when its life ends.
void freeInspirationGridCell(s32 column, s32 row);

// Pickups are freed by their dropper: once per frame after the destroyed flush, destroyed
// pickups give back their cell and go to the free queue.
void sweepInspirationPickups();
