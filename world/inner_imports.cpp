// Fills the records through which the world's lower inner layers call up: every call that reaches
// from a lower layer of the world into a higher one is named here, and only here.
#include "world/collision/collision_imports.h"
#include "world/collision/kill_queue.h"
#include "world/collision/world_collision.h"
#include "world/effects/backdrop.h"
#include "world/effects/corruption.h"
#include "world/effects/enemy_beams.h"
#include "world/entity/base_imports.h"
#include "world/play/boss_choice.h"
#include "world/play/boss_meter.h"
#include "world/play/enemy_destroyed.h"
#include "world/play/inspiration_pickups.h"
#include "world/play/play_time.h"
#include "world/processors/behaviour_imports.h"
#include "world/processors/staff_enemies.h"

namespace {

void starStaffEnded(ClProcessor_Enemy_AI_StaffStar* star, ClAtom_Bullet_Staff* staff) { star->onStaffEnded(staff); }

}  // namespace

const SBaseImports g_BaseImports = {
    .queueKill = queueKill,
    .resetKillQueue = resetKillQueue,
    .recordBreakUpImpact = recordBreakUpImpact,
    .getBackdropIntensity = getBackdropIntensity,
    .reduceCorruption = reduceCorruption,
    .resetEnemyBeams = resetEnemyBeams,
    .releaseEnemyBeams = releaseEnemyBeams,
    .updateEnemyBeams = updateEnemyBeams,
    .onStaffEnded = starStaffEnded,
    .resetInspirationPickups = resetInspirationPickups,
    .freeInspirationGridCell = freeInspirationGridCell,
};

const SCollisionImports g_CollisionImports = {
    .onEnemyDestroyed = onEnemyDestroyed,
    .endBossEncounterOnDeath = endBossEncounterOnDeath,
    .spawnInspirationPickups = spawnInspirationPickups,
};

const SBehaviourImports g_BehaviourImports = {
    .playBossNote = playBossNote,
    .formatPlayTime = formatPlayTime,
};
