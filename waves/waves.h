// What the program calls to run the wave layer: set-up and shutdown around the whole program,
// and per song the build before play and the release after it. Between them, each game step
// calls waveSpawnTick (wave_pool.h) after the beats due are dispatched.
#pragma once

#include "core/types.h"

class ClDNAGenerator;
class ClWaveDNA;
struct SBossEncounterHooks;
struct SPlayRecord;

// The pack registry with the built-in generators (so the world finds every generator it needs
// by name and all 15 boss entries), the boss meter's ending in the kill queue, and empty wave
// pools. After the world is set up.
void wavesSetUp();
// Empties the pools and the candidates, takes the boss meter's ending out and unregisters every
// generator.
// After the world's teardown.
void wavesShutdown();
// What the boss encounter imports of the waves (world/play/boss_meter.h): its pickups collected
// at the boss's end.
const SBossEncounterHooks* bossEncounterHooks();
// How a generator's wave plans are released (world/entity/dna_program.h), for the world's imports.
void releaseWavePlan(ClWaveDNA* plan);

// Draws this song's generator of each enemy size from the registered packs.
void rollAllPacks(const SPlayRecord& record);
void clearRolledCandidates();

// Plans the song's waves at the record's difficulty from the current song features (call
// computeSongFeatures at that difficulty first) and beats, builds their member entities, and
// writes the level's score scale and score targets into the record's song. Needs the rolled
// candidates.
void waveScheduleGenerate(SPlayRecord* record);

// After the world's teardown at the end of a play (or a failed start): frees the waves, their
// programs, the pickup table and the candidates, leaving empty pools.
void releaseSongWaves();
