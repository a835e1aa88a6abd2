// The song's waves in play: the wave records, one member record per member (the wave slot its
// entity points to), the member entities built ahead of play, and the spawn step that lets each
// member in when its time has come. Member entities are never freed during play (the world frees
// enemies only in its teardown), so the records' entity pointers stay valid until then.
#pragma once

#include "core/types.h"
#include "world/entity/entity_ref.h"
#include "world/state/wave_record.h"

class ClDNAGenerator;
class ClDNAProgram;
class ClEntity;
struct SBossWaveHooks;
struct SWaveSchedulePlan;

// The wave layer's record of one wave.
struct SWave {
    ClDNAProgram* program;  // owned; every member is built from it
    u32 firstMember;        // index of its first member record
    u32 memberCount;
    u32 spawnedCount;
    u32 settled;            // every member gone, and the chain bonus decided
    SWaveTurns turns;       // every member's record points here
};

// One member: its wave slot (what the entity points to), its entity and its times.
struct SWaveMemberLink {
    SWaveRecord record;
    SEntityRef entity;  // empty once the world that holds it is shut down
    f32 spawnTime;    // song seconds: arrival time - the path's flight time
    f32 arrivalTime;  // song seconds
    u32 waveIndex;
};

// Empties the pools (their storage is made per song).
void wavePoolsInit();
// Frees the waves' programs and the pools. The member entities must be released first (the
// world's teardown), or the world still holds them and they are freed here.
void clearWavePools();

// The family-th (from 1, wrapping) of all the packs' generators of the category, or null when
// the packs have none.
ClDNAGenerator* familyGenerator(u32 category, u32 family);
// Builds the plan's waves: per wave one program from the generator its family names (the rolled
// one of its size for family 0; with the song's generator and parameter block), its wave plan
// written into the program with the members' wave flags, and each member entity allocated and
// built from it with its wave slot set. Fatal when the pools are not empty.
void buildWaves(const SWaveSchedulePlan& plan, u32 difficulty, ClDNAGenerator* const generators[3],
                class ClRandObjSFMT* random);

// Spawns every member whose spawn time is at or below the song time, in spawn-time order: its
// spawn time stored, spawned, incoming. Then settles waves whose members are all gone: a wave
// killed to the last member drops a chain-bonus pickup where its last member fell.
void waveSpawnTick();
// Smallest spawn time of the members not yet spawned; FLT_MAX when none.
f32 earliestPendingWaveTime();

u32 waveMemberCount();

// The boss choice's hooks (world/play/boss_wave_hook.h) over these pools, for the world's imports.
const SBossWaveHooks* bossWaveHooks();
