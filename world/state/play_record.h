// What the world knows of the library for one play: the current difficulty, the selected song's
// fields that the world reads, and the boss progress of the save data. The library fills the
// record before play and saves the boss state back after it; the world never reaches the
// library itself.
#pragma once

#include "core/rand_obj.h"
#include "core/types.h"

constexpr u32 DIFFICULTY_LEVEL_COUNT = 6;
constexpr u32 BOSS_COUNT = 5;
constexpr u32 SUBBOSS_COUNT = 3;
constexpr u32 BOSS_PAIR_COUNT = BOSS_COUNT * SUBBOSS_COUNT;  // index boss x 3 + sub-boss
constexpr u32 SONG_IDENTITY_WORD_COUNT = 8;
constexpr u32 SHIP_ANCHOR_CAPACITY = 16;
constexpr u32 ITEM_KEY_LENGTH = 32;

// The wave generator's parameter block; the wave layer defines it and owns its contents.
struct SGeneratorParams;

// The song-record fields the world reads.
struct SPlaySong {
    u32 identity[SONG_IDENTITY_WORD_COUNT];
    f32 duration;  // seconds
    SRandObjState randomState;  // the song's saved wave generator state
    const SGeneratorParams* generatorParams;
    f32 scoreScale[DIFFICULTY_LEVEL_COUNT];
    f32 progressValue;
    f32 progressThresholds[DIFFICULTY_LEVEL_COUNT][2];
    s32 scoreTargets[DIFFICULTY_LEVEL_COUNT][2];  // shown points
};

// The boss progress kept in the save data.
struct SBossLibraryState {
    s32 beaten[BOSS_COUNT][SUBBOSS_COUNT];  // 1 = beaten
    s32 pending;  // a forced boss waits for the song it was forced on
    u32 pendingIdentity[SONG_IDENTITY_WORD_COUNT];
    s32 enabled;
    s32 skip;
    s8 met[BOSS_PAIR_COUNT];
    // Set by the song selection screens: the boss arrives with the static cue and no intro.
    s32 staticIntro;
    s32 corruptionSoundOff;
};

struct SPlayRecord {
    s32 difficulty;  // 0 to 5: the row of the hit-point table and of the song's tables
    // The player guns' volley modulus; at least 1.
    s32 barrelPhaseCount;
    SPlaySong song;  // the selected song
    SBossLibraryState boss;
    // The profile's equipped item in each anchor slot of the ship; empty when none.
    char equippedItemKeys[SHIP_ANCHOR_CAPACITY][ITEM_KEY_LENGTH];
    // Front-end values the boss encounter and the story sequences share with the modes above.
    // Set when the boss arrives; the action mode zeroes its credits countdown on seeing it.
    s32 bossArrived;
    // Set by the front end while its voice-interview chain runs: a story sequence that ends
    // then leaves the interface's glow off.
    s32 interviewChainRunning;
    // The player's water option: while set, the static sparks keep the music pan at 0.
    s32 waterOption;
};

// The world's own record. The layers above read it through playRecord() and change it only
// through the operations below.
extern SPlayRecord g_PlayRecord;

inline const SPlayRecord& playRecord() { return g_PlayRecord; }

// The library's fill before play: the selected song, the save data's boss progress, the
// profile's equipped items, the guns' volley modulus (taken as at least 1) and the water option.
void setPlaySong(const SPlaySong& song);
void setBossProgress(const SBossLibraryState& boss);
void setEquippedItemKeys(const char (&keys)[SHIP_ANCHOR_CAPACITY][ITEM_KEY_LENGTH]);
void setBarrelPhaseCount(s32 count);
void setWaterOption(bool on);
// The front end's voice-interview chain starts or stops.
void setInterviewChainRunning(bool running);
// A boss win: no song waits for a forced boss any more, and the pair, when there is one
// (boss >= 0), counts as beaten.
void recordBossBeaten(s32 boss, s32 sub);
// A play without the boss lowers the pair's meeting counter while it is above 0.
void lowerBossMetCount(s32 boss, s32 sub);
// The wave schedule settles the song's level targets inside the record it generates from.
SPlayRecord& playRecordForWaveSchedule();


// The current difficulty clamped to 0..5.
u32 currentDifficulty();
// Sets the play's difficulty, which is also the hit-point row of the enemies' atoms. Outside
// 0..5 is fatal.
void setPlayDifficulty(s32 level);
// The barrel-phase count of the record, at least 1.
s32 getBarrelPhaseCount();
