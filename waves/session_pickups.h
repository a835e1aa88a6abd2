// The pickups the wave layer places itself during a play: invincibility pickups on the song's
// drop beats and one level-up pickup (the pickup table made when play starts; its rule is at the
// top of session_pickups.cpp), and a chain-bonus pickup wherever a wave fell to the last member.
// Score pickups are the world's (inspiration_pickups.h).
#pragma once

#include "core/types.h"
#include "core/vec.h"
#include "waves/generators/pickup_generators.h"

class ClEntity;
struct SPlayRecord;

constexpr u32 SESSION_PICKUP_CAPACITY = 64;
constexpr u32 SESSION_PICKUP_TABLE_CAPACITY = 256;
// The level-up pickup comes on the first beat at or after this song time.
constexpr f32 LEVEL_UP_SONG_SECONDS = 8.0f;

struct SPickupDrop {
    f32 time;  // song seconds
    ClVec3 position;
    EPickupKind kind;
};

// The play's table: one invincibility pickup at each drop beat of the song's beat list, at a
// grid cell near the arena's centre, and the level-up pickup on its beat at the centre, in time
// order. Empties what an earlier play left.
void setupSessionPickups(const SPlayRecord& record);
// Forgets the table and the placed pickups (the world's teardown frees their entities).
void releaseSessionPickupList();
// Places the table's pickups whose time has come, and frees placed pickups that are gone.
void tickSessionPickups();
// Spawns and activates a pickup of the kind at the position; null when its generator is not
// registered or SESSION_PICKUP_CAPACITY pickups lie in the arena.
ClEntity* spawnSessionPickup(EPickupKind kind, const ClVec3& position);
u32 liveSessionPickupCount();

// Every live pickup (score pickups included) is collected with the ship's position and
// destroyed; nothing without a ship.
void collectAllPickups();
