#include "waves/waves.h"

#include "core/fatal_error.h"
#include "core/rand_obj.h"
#include "waves/pack_registry.h"
#include "waves/session_pickups.h"
#include "waves/wave_pool.h"
#include "waves/wave_schedule.h"
#include "world/entity/dna_program.h"
#include "world/play/boss_meter.h"
#include "world/state/play_record.h"
#include "world/state/wave_record.h"

namespace {

constexpr u32 ENEMY_SIZE_COUNT = 3;
const SBossEncounterHooks g_EncounterHooks = {collectAllPickups};

ClDNAGenerator* g_apCandidates[ENEMY_SIZE_COUNT] = {};

}  // namespace

void releaseWavePlan(ClWaveDNA* plan) {
    plan->release();
    delete plan;
}

void wavesSetUp() {
    packRegistryInit();
    installBossEncounter();
    wavePoolsInit();
}

void wavesShutdown() {
    releaseSongWaves();
    uninstallBossEncounter();
    packRegistryRelease();
    generatorUnregisterAll();
}

const SBossEncounterHooks* bossEncounterHooks() { return &g_EncounterHooks; }

void rollAllPacks(const SPlayRecord& record) {
    ClRandObjSFMT random;
    seedSongRandom(record.song, &random);
    for (u32 size = 0; size < ENEMY_SIZE_COUNT; ++size) {
        const u32 category = E_GENCAT_ENEMY_SMALL + size;
        u32 total = 0;
        for (u32 p = 0; p < packCount(); ++p) total += packAt(p)->generatorCount(category);
        g_apCandidates[size] = nullptr;
        if (total == 0) continue;
        u32 pick = random.randomBelow(total);
        for (u32 p = 0; p < packCount() && !g_apCandidates[size]; ++p) {
            const u32 count = packAt(p)->generatorCount(category);
            if (pick < count) g_apCandidates[size] = packAt(p)->generatorAt(category, pick);
            else pick -= count;
        }
    }
}

void clearRolledCandidates() {
    for (ClDNAGenerator*& candidate : g_apCandidates) candidate = nullptr;
}

void waveScheduleGenerate(SPlayRecord* record) {
    const u32 difficulty = u32(record->difficulty);
    ClRandObjSFMT random;
    seedSongRandom(record->song, &random);
    SWaveSchedulePlan plan;
    planWaveSchedule(difficulty, &random, &plan);
    settleLevelTargets(plan, difficulty, &record->song);
    buildWaves(plan, difficulty, g_apCandidates, &random);
    plan.release();
}

void releaseSongWaves() {
    releaseSessionPickupList();
    clearWavePools();
    wavePoolsInit();
    clearRolledCandidates();
}
