// The player's ship during play: its program, spawn and respawn, its anchors and the life check.
#pragma once

#include "core/types.h"

class ClDNAProgram;

constexpr f32 SHIP_START_X = 162.5f;
constexpr f32 SHIP_START_Z = 242.775f;

// The first player's ship program from the profile's ship builder (worldImports()); none without
// a builder.
void createPlayerShipProgram();
// Builds, places and activates player p's ship from its program. Unless first, plays the
// respawn cue.
void spawnPlayerShip(u32 player, u32 firstSpawn);
// Refills the first player's anchors: node "anchID" i for i = 0, 1, ... (at most 16), its
// "AnchorCL" atom and the equipped item's upgrade value.
void refreshShipAnchors();
// The level-up pickup: each anchor of the first player's ship with an upgrade value (an equipped
// item) that has not been levelled up in this life gets what its item puts on it rebuilt at that
// value's level: the old part's atoms go out quietly and it leaves the ship (freed at the end of
// the step), the new one is grafted onto the anchor node whole and spawned. The ship keeps it
// until it is lost; the saved items keep their level. Returns the anchors levelled up.
u32 levelUpShipAnchors();
// Whether the ship never dies (PLAYER_INVINCIBLE set to 1 or more).
bool playerInvincible();
// Per frame: a destroyed ship, or one whose every anchor lost a part, dies once; a dead ship
// respawns when its countdown runs out; a ram gives the ship its short grace.
void updatePlayerLife();
// Frees the ship program, unless VISUAL_BEAT_ANALYSIS is set (then none was built). Entities
// built from it must be released first.
void freeSessionDNAProgram();
// Frees what the exit left of the ship program and releases every popup.
void resetSessionEffects();
