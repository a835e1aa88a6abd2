// The corruption of play: a level from 0 to 1000 that rises with the weight of the active enemies
// on screen, falls when none are left and drops when enemies die. It drives a held drone whose
// volume follows the level, the equaliser strip's guardian line (g_fGuardianLevel and
// g_fGuardianRise) and, above 500, the guardian's noisy backdrop over the scene. The beat
// subscription that marks enemies with beams (enemy_beams.h) lives and dies with it. In-game
// mode only; main thread only.
#pragma once

#include "core/types.h"

class ClEntity;

constexpr f32 CORRUPTION_MAX = 1000.0f;
constexpr f32 CORRUPTION_MAX_RISE = 140.0f;    // per second
constexpr f32 CORRUPTION_FALL = 200.0f;        // per second with no enemy on screen
constexpr f32 CORRUPTION_PER_WEIGHT = 0.6f;    // rise per second per unit of enemy weight
constexpr f32 CORRUPTION_KILL_PER_WEIGHT = 6.0f;
constexpr f32 CORRUPTION_BACKDROP_START = 500.0f;
constexpr u32 CORRUPTION_BACKDROP_LAYER = 995;

// Entering play: level, rise and volume 0, and the beat subscription for the enemy beams.
void resetWorldEffects();
// After resetWorldEffects: the held drone "InGameSGCorruption" at the current volume (0 when
// the play record's corruption sound is off).
void startCorruptionSound();
// Leaving play: drops the beat subscription; stops the drone at once.
void unsubscribeWorldBeat();
void stopCorruptionSound();

// Once per in-game frame with the gameplay frame time (0 while paused): moves the level by the
// enemy weight on screen, sets the drone's volume and draws the backdrop above 500.
void drawGuardianBackground(f32 dt);
// An enemy's death: the level drops by 6 x its program's weight, held to 0 .. 1000.
void reduceCorruption(const ClEntity* entity);

// The backdrop's alpha byte at a level: 0 up to 500, then ((level - 500) / 500) x 0.5 x 255
// rounded, 128 at 1000.
u32 guardianBackdropAlpha(f32 level);
// The drone's volume at a level: (level - 100) / 900 held to 0 .. 1.
f32 corruptionSoundVolume(f32 level);
