#include "world/collision/kill_queue.h"

#include "audio/sound/sound_engine.h"
#include "core/fixed_pool.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "world/collision/collision_imports.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/entity_ref.h"
#include "world/generators/dna_generator.h"
#include "world/state/boss_encounter.h"

namespace {

// The 6 x 6 shower of a dead boss over the play area.
constexpr u32 BOSS_PICKUP_SIDE = 6;
constexpr f32 BOSS_PICKUP_SHARE = 36.0f;
constexpr f32 BOSS_PICKUP_STEP_X = 27.083334f;
constexpr f32 BOSS_PICKUP_ORIGIN_X = 81.25f;
constexpr f32 BOSS_PICKUP_STEP_Z = 22.479166f;
constexpr f32 BOSS_PICKUP_ORIGIN_Z = 67.4375f;

struct SKillRecord {
    SEntityRef entity;
    u32 poolIndex;
};

ClFixedPool<SKillRecord, KILL_QUEUE_CAPACITY> g_KillQueue;

bool isBoss(const ClEntity* entity) {
    return entity->program->kind == E_PROGRAM_ENEMY && entity->program->generator &&
           entity->program->generator->getCategory() == E_GENCAT_BOSS;
}

void workOff(ClEntity* entity) {
    entity->propagateVisit();
    if (entity->root && entity->root->updateAliveFlags()) {
        entity->broadcastRefresh();
        return;
    }
    if (entity->state == E_ENTITY_DESTROYED) return;
    if (isBoss(entity)) onBossDeath();
    entity->kill();
}

}  // namespace

void queueKill(ClEntity* entity) {
    if (g_KillQueue.capacity == 0) g_KillQueue.init();
    // Queued once per use of the record: its pointer and serial name it.
    for (u32 i = 0; i < g_KillQueue.used; ++i) {
        const SEntityRef& held = g_KillQueue.table[i]->entity;
        if (held.entity == entity && held.serial == entity->serial) return;
    }
    SKillRecord* record = g_KillQueue.take();
    if (record) record->entity = SEntityRef{entity, entity->serial, worldStartCount()};
}

void processKillQueue() {
    while (g_KillQueue.used != 0) {
        SKillRecord* record = g_KillQueue.table[0];
        // An entity released since it was queued is passed over.
        ClEntity* entity = entityRefGet(record->entity);
        g_KillQueue.release(record);
        if (entity) workOff(entity);
    }
}

void resetKillQueue() { g_KillQueue.releaseAll(); }

u32 killQueueCount() { return g_KillQueue.used; }

void onBossDeath() {
    if (g_BossEncounter.dead) return;
    g_BossEncounter.dead = 1;
    g_BossEncounter.noteTargetAtom = nullptr;
    g_CollisionImports.endBossEncounterOnDeath();
    playCue("DeathOfBoss");
    const f32 bonus = ClScriptNode::getChildOrDie(getScript("playbalance.txt", 0), "boss_kill_scalar_bonus")->getFloat();
    const s32 value = s32(bonus * (g_BossEncounter.valuePool / BOSS_PICKUP_SHARE));
    for (u32 i = 0; i < BOSS_PICKUP_SIDE; ++i) {
        for (u32 j = 0; j < BOSS_PICKUP_SIDE; ++j) {
            const ClVec3 position((f32(i) + 0.5f) * BOSS_PICKUP_STEP_X + BOSS_PICKUP_ORIGIN_X, 0.0f,
                                  (f32(j) + 0.5f) * BOSS_PICKUP_STEP_Z + BOSS_PICKUP_ORIGIN_Z);
            g_CollisionImports.spawnInspirationPickups(position, value, 0, 0);
        }
    }
}
