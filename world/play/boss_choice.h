// Which boss a play gets, when it arrives and what it is worth; the progress through the five
// bosses and their three sub-bosses.
#pragma once

#include "core/types.h"
#include "world/state/boss_encounter.h"

struct ClVec3;
struct SBossLibraryState;
struct SPlaySong;

// Settings (project.ini): FORCE_BOSS 0 normal, 1 a boss at 5 s, 2 a random boss at 5 s;
// FORCE_NO_BOSS 1 never a boss; FORCE_BOSS_INDEX and FORCE_SUBBOSS_INDEX pick the pair and,
// once the boss is certain, mark this play's progress table to match. The save never takes
// those marks (keepForcedProgressOutOfSave).

// Decides this play's boss and builds its entity (inactive) into g_BossEncounter. A song that
// gets no boss leaves the phase timer at FLT_MAX.
void chooseSessionBoss(const SPlaySong& song);
// Puts back into a copy of this play's boss state, made for the save, the progress table as it
// was before a forced choice marked it; nothing when this play's choice was not forced.
void keepForcedProgressOutOfSave(SBossLibraryState* saved);
// Frees the boss entity (unless the world was already shut down, which released it) and then
// its program.
void releaseSessionBoss();

// The first pair not beaten, boss by boss; -1 and -1 when every pair is beaten. An empty
// generator entry on the way is fatal.
void findNextUnbeatenBoss(s32* outBoss, s32* outSubBoss);
// 1 when the first eight words differ.
u32 songIdentityDiffers(const u32* a, const u32* b);

// The note the next head-gun shot plays (1 to 14), or 0 on the calls that play none: only
// every second call plays.
s32 nextBossNote();
// Plays "note_%02d" of nextBossNote at the position.
void playBossNote(const ClVec3& position);

// The intro sound name of the chosen boss; empty while the static-intro flag is set. A boss
// without an intro entry keeps an empty name.
void loadBossIntroSound();
void resetSessionChoice();
void shutdownSessionChoice();
