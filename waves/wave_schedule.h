// The wave schedule of one song at one difficulty, planned from its analysis: which waves come,
// of what size, how many members each, where they fly and on which beats they arrive. Planning
// touches no entity, so the same plan also gives the song's score targets. The rule is in
// wave_schedule.cpp.
#pragma once

#include "core/array.h"
#include "core/global_objects.h"
#include "core/types.h"
#include "core/vec.h"
#include "world/state/play_record.h"
#include "world/state/wave_record.h"

class ClRandObjSFMT;

// Entity records kept free of wave members for the ship, the boss, bullets and pickups.
constexpr u32 WAVE_ENTITY_RESERVE = 5600;
constexpr u32 WAVE_MEMBER_BUDGET = ENTITY_CAPACITY - WAVE_ENTITY_RESERVE;
// Records of the wave pools; one wave record and one member record stay free for the boss.
constexpr u32 WAVE_POOL_CAPACITY = WAVE_CAPACITY;
constexpr u32 WAVE_BOSS_RESERVE = 1;

struct SPlannedMember {
    ClVec3 start;    // outside the arena, where it appears
    ClVec3 arrival;  // inside, reached on its beat
    ClVec3 exit;     // outside again, where it leaves if it lives that long
    f32 arrivalTime;  // song seconds: the time of beat `beatIndex`
    s32 beatIndex;
};

struct SPlannedWave {
    u32 category;  // E_GENCAT_ENEMY_SMALL, _MEDIUM or _LARGE
    // Which generator of the size builds it: 0 the song's rolled one, n > 0 the n-th of all the
    // packs' generators of the size (counted from 1, wrapping).
    u32 family;
    u32 speedClass;
    f32 roamSeconds;  // bouncing about the arena after the arrival
    u32 memberCount;  // 1 to WAVE_MEMBER_SLOT_COUNT
    f32 familyDraw;   // [0, 1): picks the wave's enemy family of its size (pickWaveFamily)
    SPlannedMember members[WAVE_MEMBER_SLOT_COUNT];
};

struct SWaveSchedulePlan {
    ClArray<SPlannedWave> waves;  // in window order
    u32 memberTotal = 0;

    void release();
};

// The per-level numbers of the rule.
struct SWaveLevelRule {
    u32 windowBars;       // spawn bars per window
    u32 eventsPerMember;  // spawn events that make one member
    u32 maxMembers;       // of a small wave; a medium one takes half, a large one a quarter
    f32 beatSpacing;      // seconds: arrival beats lie strictly further apart
    f32 gunShare;         // chance that an enemy carries a gun
    f32 scoreScale;       // the song's score scale at the level
};
const SWaveLevelRule& waveLevelRule(u32 difficulty);

// The song's generator: restored from its saved state when it has one, else seeded from its
// identity, so a song always draws the same numbers.
void seedSongRandom(const SPlaySong& song, ClRandObjSFMT* random);

// Plans the current song's waves from its spawn bars and events (computeSongFeatures at this
// difficulty first) and its beat list, with at most `memberBudget` members in all. A difficulty
// above 5 is fatal.
void planWaveSchedule(u32 difficulty, ClRandObjSFMT* random, SWaveSchedulePlan* out,
                      u32 memberBudget = WAVE_MEMBER_BUDGET);

// Shown points of every member killed at the score scale, and the two targets: 40% and 70%.
s64 planKillPoints(const SWaveSchedulePlan& plan, f32 scoreScale);
void planScoreTargets(const SWaveSchedulePlan& plan, f32 scoreScale, s32 targets[2]);

// The level's score scale and its two score targets from the plan, written into the song. No
// play moves the song's progress value, so the level's progress thresholds are set beyond any
// value it takes: the score alone passes the targets.
void settleLevelTargets(const SWaveSchedulePlan& plan, u32 level, SPlaySong* song);

