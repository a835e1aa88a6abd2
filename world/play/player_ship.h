// The player's ship during play: its program, spawn and respawn, its anchors and the life check.
#pragma once

#include "core/types.h"

class ClDNAProgram;

constexpr f32 SHIP_START_X = 162.5f;
constexpr f32 SHIP_START_Z = 242.775f;

// The ship builder lives with the player profile above the world; it installs this hook and
// returns a new program for the profile's equipped items.
using ShipProgramBuilder = ClDNAProgram* (*)();
void setShipProgramBuilder(ShipProgramBuilder builder);

// The first player's ship program from the builder; none without a builder.
void createPlayerShipProgram();
// Builds, places and activates player p's ship from its program. Unless first, plays the
// respawn cue.
void spawnPlayerShip(u32 player, u32 firstSpawn);
// Refills the first player's anchors: node "anchID" i for i = 0, 1, ... (at most 16), its
// "AnchorCL" atom and the equipped item's upgrade value.
void refreshShipAnchors();
// Per frame: a destroyed ship, or one whose every anchor lost a part, dies once; a dead ship
// respawns when its countdown runs out; a ram gives the ship its short grace.
void updatePlayerLife();
// Frees the ship program, unless VISUAL_BEAT_ANALYSIS is set (then none was built). Entities
// built from it must be released first.
void freeSessionDNAProgram();
// Frees what the exit left of the ship program and releases every popup.
void resetSessionEffects();
