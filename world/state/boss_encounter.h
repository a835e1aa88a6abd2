// The boss encounter of one play: which boss, when it arrives, what it is worth, and the
// entity waiting for its entrance. Chosen on entering play, driven by the encounter update.
#pragma once

#include "core/types.h"
#include "world/entity/entity_ref.h"

#include <cfloat>

class ClAtom;
class ClEntity;
class ClScriptNode;

constexpr u32 BOSS_NAME_LENGTH = 32;
constexpr u32 BOSS_INTRO_NAME_LENGTH = 92;

enum EBossPhase : s32 {
    E_BOSSPHASE_WAITING = 0,
    E_BOSSPHASE_ARRIVED = 1,
    E_BOSSPHASE_INTRO = 2,
    E_BOSSPHASE_FIGHT = 3,
};

struct SBossEncounter {
    char bossName[BOSS_NAME_LENGTH];
    ClAtom* noteTargetAtom;  // the boss's atom named "noteTarg", target of the flying notes
    s32 subBoss;
    s32 boss;
    s32 dead;
    f32 valuePool;  // score value of the waves the encounter covers
    s32 phase;  // EBossPhase
    f32 phaseTimer;  // song seconds at which the phase ends; FLT_MAX while no boss is due
    SEntityRef entity;  // built, not spawned; empty when the song has no boss; read through bossEntity
    f32 hitFlashTime;
    f32 healingCountdown;
    f32 barLastValue;  // the boss bar's last shown strength
    f32 arrivalTime;
    f32 escapeTime;
    const ClScriptNode* noteSequence;  // children are note numbers; null: random notes
    s32 lastNoteIndex;
    s32 noteToggle;
    char introSoundName[BOSS_INTRO_NAME_LENGTH];
};

// The world changes the encounter; the layers above read it through bossEncounter().
extern SBossEncounter g_BossEncounter;
inline const SBossEncounter& bossEncounter() { return g_BossEncounter; }

// The encounter's boss; null without one or once its record has been released.
inline ClEntity* bossEntity() { return entityRefGet(g_BossEncounter.entity); }
