// What the world asks of the layers above it, in one record: the action mode's tutorial tips,
// the ship program the player profile builds, the profile's collectibles, the medal award of the
// online layer, and the wave layer's boss waves, boss-encounter pickups and wave-plan release. The program fills the
// record once at start-up (app/layer_imports.cpp) and clears it at shutdown; setWorldImports hands
// each member to the part of the world that asks (the setters of mega_tip_hook.h, player_ship.h,
// collectibles.h, player_state.h, boss_wave_hook.h, boss_meter.h and entity/dna_program.h, which
// the world's own tests use one at a time). A null member stands for none, as each of those headers says. Main thread
// only.
#pragma once

#include "world/entity/dna_program.h"
#include "world/entity/mega_tip_hook.h"
#include "world/play/boss_meter.h"
#include "world/play/boss_wave_hook.h"
#include "world/play/collectibles.h"
#include "world/play/player_ship.h"
#include "world/play/player_state.h"

struct SWorldImports {
    MegaTipHook queueMegaTip = nullptr;                   // app
    ShipProgramBuilder buildShipProgram = nullptr;        // library
    AnchorWeaponBuilder buildAnchorWeapon = nullptr;      // library
    CollectibleFinder findCollectible = nullptr;          // library
    AwardMedalHook awardMedal = nullptr;                  // online
    const SBossWaveHooks* bossWaves = nullptr;            // waves
    const SBossEncounterHooks* bossEncounter = nullptr;  // waves
    WavePlanReleaser releaseWavePlan = nullptr;           // waves
};

// Null clears every member.
void setWorldImports(const SWorldImports* imports);
