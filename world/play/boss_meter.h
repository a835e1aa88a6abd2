// The boss encounter played against the song clock, and the boss meter on the HUD: at the
// arrival time the other enemies fade away and the boss fades in (phase 1), its intro sequence
// plays while the ship is flown to the boss's "BPYP" (phase 2), then the fight runs against the
// countdown with the health bar from the boss's "NDKFBH" and healing pickups while the ship has
// lost a part (phase 3). It ends once: the boss escapes when the countdown runs out, or dies
// through the kill queue, which calls endBossEncounter.
#pragma once

#include "core/types.h"

// Minimum and maximum seconds between healing drops and their value, by difficulty.
constexpr f32 BOSS_HEALING_MIN_SECONDS[6] = {4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f};
constexpr f32 BOSS_HEALING_MAX_SECONDS[6] = {6.0f, 7.0f, 9.0f, 10.0f, 12.0f, 14.0f};
constexpr s32 BOSS_HEALING_VALUE[6] = {200, 180, 150, 120, 100, 50};
constexpr f32 BOSS_ARRIVAL_SECONDS = 2.5f;
constexpr f32 BOSS_HIT_FLASH_SECONDS = 0.25f;

// What the encounter asks of the wave layer: every pickup in play collected at the arrival.
struct SBossEncounterHooks {
    void (*collectAllPickups)();
};
// Makes endBossEncounter the kill queue's boss-death ending (endBossEncounterOnDeath).
void installBossEncounter();
void uninstallBossEncounter();
// The kill queue's call at the boss's death: endBossEncounter while installed, else nothing.
void endBossEncounterOnDeath();

// Every in-game frame, before the world step; nothing under VISUAL_BEAT_ANALYSIS.
void updateBossEncounter();
// Escape (the boss still alive) or death: phase 0 with no further arrival, the meter hidden,
// the other enemies faded back in, then the escape notice or the post-win sequence.
void endBossEncounter();
// Play abandoned or restarted: phase 0, the meter and the escape notice hidden.
void resetBossMeter();

// Starts the fade tween of the live enemies (walked from last to first) towards the value over
// 2.5 s, linearly from where each stands: those flying in, those in play, and those flying in
// that are spawned but not yet in play.
void fadeOutSpawningEntities();
void fadeOutActiveEntities();
void fadeInSpawningEntities();
