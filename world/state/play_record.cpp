#include "world/state/play_record.h"

#include "core/fatal_error.h"
#include "world/entity/dna_program.h"

#include <cstring>

SPlayRecord g_PlayRecord;

void resetPlayRecord() {
    std::memset(&g_PlayRecord, 0, sizeof(g_PlayRecord));
    g_PlayRecord.barrelPhaseCount = 1;
}

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
