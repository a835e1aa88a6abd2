// The beams that mark enemies on the beat: on each beat the first six active, non-boss enemies
// inside the play area get a bundle of six glowing beams that sweep from a point gliding along
// the equaliser strip towards them. Each enemy keeps its own set (ClEntity::beams), freed with
// its tree. In-game mode only; main thread only.
#pragma once

#include "core/types.h"
#include "world/entity/enemy_beam_set.h"

class ClEntity;

constexpr u32 BEAMS_PER_SET = 6;
constexpr u32 BEAM_MARKED_ENEMIES_PER_BEAT = 6;

// A fresh set with no beams and no unbidden roll pending (ClEntity::buildFromDNA).
void resetEnemyBeams(SEnemyBeamSet* set);
// Frees the beam list (ClEntity::releaseTree).
void releaseEnemyBeams(SEnemyBeamSet* set);
// The beat: rolls a new set for each of the first six eligible entities of the activated list
// (enemies in state 2, not bosses, inside the play area).
void rollBeamsOnBeat();
// Per frame from ClEntity::update for active non-boss enemies: counts down, glides the origin,
// sweeps the beams towards the entity and draws those that have started.
void updateEnemyBeams(ClEntity* entity);
// An enemy (kind 1) whose generator is not a boss.
bool isBeamEnemy(const ClEntity* entity);

// Six new beams from the global generator, the origin's x and direction, the countdown FLT_MAX.
void rollEnemyBeamSet(SEnemyBeamSet* set);
// Red, green and blue moved away from their mean by the factor, each held to 0 .. 1; alpha kept.
u32 scaleColourSaturation(u32 argb, f32 factor);
