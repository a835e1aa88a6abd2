// What the world asks of the layers above it, in one record: the action mode's tutorial tips,
// the ship program and the level-up's parts the player profile builds, the profile's
// collectibles, the medal award of the online layer, and the wave layer's boss waves,
// boss-encounter pickups and wave-plan release. The program fills the record once at start-up
// (app/layer_imports.cpp) and clears it at shutdown; every part of the world that asks reads
// worldImports(). A null member stands for none: the request is dropped (no tip, no ship program,
// no level-up, no collectible, no medal, no boss waves and a value pool of 0, no pickups
// collected, a plan not released). Main thread only.
//
// The world's one registry reached by name from above is the generator registry
// (generators/dna_generator.h, with its boss table): the wave layer's packs
// (waves/pack_registry.h) register every generator that is not the world's own there and fill
// the boss table; the world calls them through their virtual operations.
#pragma once

#include "core/types.h"

class ClDNAProgram;
class ClWaveDNA;
struct SCollectible;
struct SBossWaveHooks;       // play/boss_wave_hook.h
struct SBossEncounterHooks;  // play/boss_meter.h

struct SWorldImports {
    void (*queueMegaTip)(const char* tipName) = nullptr;                // app
    ClDNAProgram* (*buildShipProgram)() = nullptr;                      // library: a new program
    // library: the level-up's part, a new program of one node carrying what the anchor's equipped
    // item puts on it at the level of the value; null for none
    ClDNAProgram* (*buildAnchorWeapon)(u32 anchor, s32 value) = nullptr;
    const SCollectible* (*findCollectible)(const char* key) = nullptr;  // library
    void (*awardMedal)(u32 medalId) = nullptr;                          // online
    const SBossWaveHooks* bossWaves = nullptr;                          // waves
    const SBossEncounterHooks* bossEncounter = nullptr;                 // waves
    void (*releaseWavePlan)(ClWaveDNA* plan) = nullptr;                 // waves
};

// Copies the record; null clears every member.
void setWorldImports(const SWorldImports* imports);
const SWorldImports& worldImports();
