#include "world/state/play_record.h"

#include "core/fatal_error.h"
#include "world/entity/dna_program.h"

#include <cstring>

SPlayRecord g_PlayRecord;

namespace {

bool isBossPair(s32 boss, s32 sub) { return boss >= 0 && boss < s32(BOSS_COUNT) && sub >= 0 && sub < s32(SUBBOSS_COUNT); }

}  // namespace

u32 currentDifficulty() {
    const s32 d = g_PlayRecord.difficulty;
    if (d < 0) return 0;
    return d >= s32(DIFFICULTY_LEVEL_COUNT) ? DIFFICULTY_LEVEL_COUNT - 1 : u32(d);
}

void setPlayDifficulty(s32 level) {
    if (level < 0 || level >= s32(DIFFICULTY_LEVEL_COUNT)) fatalErrorf("difficulty %d out of range", level);
    g_PlayRecord.difficulty = level;
    g_iHitPointDifficultyLevel = level;
}

// The guns take it as a modulus: a record that was never filled must not divide by zero.
s32 getBarrelPhaseCount() { return g_PlayRecord.barrelPhaseCount < 1 ? 1 : g_PlayRecord.barrelPhaseCount; }

void setPlaySong(const SPlaySong& song) { g_PlayRecord.song = song; }

void setBossProgress(const SBossLibraryState& boss) { g_PlayRecord.boss = boss; }

void setEquippedItemKeys(const char (&keys)[SHIP_ANCHOR_CAPACITY][ITEM_KEY_LENGTH]) {
    std::memcpy(g_PlayRecord.equippedItemKeys, keys, sizeof(g_PlayRecord.equippedItemKeys));
}

void setBarrelPhaseCount(s32 count) { g_PlayRecord.barrelPhaseCount = count < 1 ? 1 : count; }

void setWaterOption(bool on) { g_PlayRecord.waterOption = on ? 1 : 0; }

void setInterviewChainRunning(bool running) { g_PlayRecord.interviewChainRunning = running ? 1 : 0; }

void recordBossBeaten(s32 boss, s32 sub) {
    SBossLibraryState& state = g_PlayRecord.boss;
    std::memset(state.pendingIdentity, 0, sizeof state.pendingIdentity);
    if (isBossPair(boss, sub)) state.beaten[boss][sub] = 1;
    state.pending = 0;
}

void lowerBossMetCount(s32 boss, s32 sub) {
    if (!isBossPair(boss, sub)) return;
    s8& met = g_PlayRecord.boss.met[boss * s32(SUBBOSS_COUNT) + sub];
    if (met > 0) --met;
}

SPlayRecord& playRecordForWaveSchedule() { return g_PlayRecord; }
