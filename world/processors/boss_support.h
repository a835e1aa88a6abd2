// What the five boss processors share: the fight-phase test, the strength fraction they publish
// for the boss bar, their tuning blocks in "playbalance.txt", their head guns and the random
// ranges they draw.
#pragma once

#include "core/types.h"
#include "core/vec.h"

class ClAtom;
class ClEntity;
class ClEntityNode;
class ClScriptNode;

constexpr f32 BOSS_STAGE_1_FRACTION = 0.66f;
constexpr f32 BOSS_STAGE_2_FRACTION = 0.33f;
// The collision grace that keeps a boss out of every contact.
constexpr f32 BOSS_NO_CONTACT_GRACE = 3.4028235e38f;

// The encounter is in its fight phase.
bool bossFightRunning();
// The first player is active and has a ship.
bool firstPlayerHasShip();

// Hit points over spawn hit points clamped to 0..1; an atom spawned with no hit points counts
// whole while it has any left.
f32 atomStrengthFraction(const ClAtom* atom);
// Hit points over spawn hit points of the main atom (the first atom of the root's first child),
// clamped to 0..1. An atom spawned with no hit points counts whole while it has any left.
f32 bossStrengthFraction(const ClEntity* entity);
// Root parameter "NDKFBH" = fraction (added when missing; a root without a table is fatal).
void publishBossStrength(ClEntity* entity, f32 fraction);
// 0 above 0.66, 1 above 0.33, else 2.
s32 bossStageFor(f32 fraction);
// Publishes the boss's strength fraction and gives its stage.
s32 publishBossStage(ClEntity* entity);

// The block (first child) of the section prefix + the root's "WI_nhk" text. A missing section
// or one without a block is fatal with the section's name.
const ClScriptNode* findBossTuningBlock(ClEntity* entity, const char* sectionPrefix);
// Child `index` of the block as a list of `count` numbers; fewer is fatal with the section named.
const ClScriptNode* bossTuningRow(const ClScriptNode* block, u32 index, u32 count);
// Child `stage` of the block's child `index`, read as a float (three numbers required).
f32 bossStageFloat(const ClScriptNode* block, u32 index, s32 stage);

// The next global draw taken modulo 2147483647, then into [minimum, maximum]; a range with
// maximum below minimum gives the minimum.
s32 bossRandomInRange(s32 minimum, s32 maximum);
// A uniform value in [minimum, maximum] from one global draw.
f32 bossRandomFloat(f32 minimum, f32 maximum);

// The head gun of the node: enabled with the shot interval, or disabled.
void setBossHeadGun(ClEntityNode* gunNode, bool enabled, f32 shotInterval);
// The first time it is called (*started 0): the two head guns, the first two children of
// `gunPair`, start firing at the interval if it is above 0.
void startBossHeadGunsOnce(ClEntityNode* gunPair, f32 shotInterval, s32* started);

// x, y, z of the entity's world position.
ClVec3 worldPositionOf(const ClEntity* entity);

// The root placed at the position with the identity rotation, the tree refreshed.
void placeBossAt(ClEntity* entity, const ClVec3& position);
