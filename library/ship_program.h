// The player's ship as a DNA program, written from the profile's equipped items.
//
// The ship has three anchors, each a part that keeps the ship alive while it is whole: the hull
// ("anchID" 0) and the left and right wings (1 and 2). The item equipped in slot i of the profile
// tunes the gun of anchor i; the later slots fit no anchor. The hull always carries a gun (a
// default one without an item); a wing carries one only with an item the library knows. A known
// weapon item (library/ship_weapons.h) puts its weapon on the anchor in place of the gun.
#pragma once

#include "core/types.h"

class ClDNAProgram;

constexpr u32 SHIP_PROGRAM_ANCHOR_COUNT = 3;
// The trigger every weapon of the ship answers to: fire 1 held (trigger 0 of the player's
// control), or with the latched-fire option on, fire 1's latch (trigger 3), which starts on and
// which each press of fire 1 turns off and on again.
s32 shipGunTrigger();
// An item's level above this tunes the gun as this one does (the bullet levels are 0 to 5).
constexpr s32 SHIP_ITEM_LEVEL_MAX = 5;

// One gun of the ship, as the equipped item makes it. A gun item (waves/generators/
// item_generators.h) gives its bullet look, pellets and damage factor; any other item the library
// knows keeps the blaster's.
struct SShipGunTuning {
    f32 rate;     // volleys per second
    s32 pattern;  // 0: every barrel fires each volley; 1: the barrels take turns
    s32 level;    // bullet level, 0 to SHIP_ITEM_LEVEL_MAX
    s32 look = 0;           // the bullets' "BullType"
    s32 pellets = 1;        // bullets a barrel each volley
    f32 damageFactor = 1.0f;  // on the ship's shot damage
};

// The damage of one of the ship's shots at the play's difficulty level.
f32 shipShotDamage();

// A new program for the ship with the items equipped in the song library's profile. The caller
// owns it (release, then delete) and must free every entity built from it first. This is the
// world import record's ship program builder: it runs when the in-game mode creates the ship
// program, before the ship is spawned, and the mode frees the program after the world's shutdown.
ClDNAProgram* buildShipDna();
// The ship with the item in the hull's slot and nothing on the wings: what the item does, for the
// collectible screen's preview. The caller owns it, as above.
ClDNAProgram* buildShipDnaWithHullItem(const char* itemKey);
// A program of one node carrying what the anchor's equipped item puts on it (its gun or weapon),
// at the level whose value is `value`: the world's level-up grafts it onto the ship's anchor. Null
// when the slot holds no item the library knows or no level has that value. The caller owns it.
ClDNAProgram* buildAnchorWeaponDna(u32 anchor, s32 value);
