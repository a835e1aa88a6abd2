#include "world/processors/boss_opps.h"

#include "audio/play/beat_events.h"
#include "core/game_clock.h"
#include "core/timers.h"
#include "world/atoms/atom.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/processors/boss_support.h"
#include "world/state/player_records.h"

#include <cfloat>

const ClVec3 OPPS_HOME(60.0f, 0.0f, 60.0f);

namespace {

// Tried in this order; the first of equally near cells wins.
const ClVec3 NEIGHBOUR_OFFSETS[4] = {
    ClVec3(0.0f, 0.0f, -OPPS_GRID, 0.0f),
    ClVec3(OPPS_GRID, 0.0f, 0.0f, 0.0f),
    ClVec3(0.0f, 0.0f, OPPS_GRID, 0.0f),
    ClVec3(-OPPS_GRID, 0.0f, 0.0f, 0.0f),
};

ClVec3 blockPosition(const ClAtom* block) { return block->localMatrix.getTranslation(); }

f32 distance3(const ClVec3& a, const ClVec3& b) {
    const ClVec3 d(a.x - b.x, a.y - b.y, a.z - b.z);
    return d.length();
}

}  // namespace

void ClProcessor_Enemy_Boss_Opps::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_BOSS_OPPS);
    subscription = {};
    movedBlock = nullptr;
    stepCount = 0;
    stepInterval = stepTimer = 0.0f;
    nextBeatIndex = -1;
}

void ClProcessor_Enemy_Boss_Opps::release() { dropBeatSubscription(subscription); }

void ClProcessor_Enemy_Boss_Opps::onSpawn() {
    placeBossAt(entity, ClVec3(0.0f, 0.0f, 0.0f));
    publishBossStrength(entity, 1.0f);
    stepCount = 0;
    stepInterval = stepTimer = 0.0f;
}

void ClProcessor_Enemy_Boss_Opps::onActivate() {
    if (!subscription) subscription = subscribeBeat(&ClProcessor_Enemy_Boss_Opps::onBeat, this, 0);
}

void ClProcessor_Enemy_Boss_Opps::onDestroy() { dropBeatSubscription(subscription); }

void ClProcessor_Enemy_Boss_Opps::slideBlock(f32 seconds) {
    if (entity->root->children.count == 0) return;
    const ClEntity* ship = playerShip(0);
    if (!ship) return;
    const ClVec4 shipAt = ship->getWorldPosition();
    const ClVec4 bossAt = entity->getWorldPosition();
    const ClVec3 p(shipAt.x - bossAt.x, shipAt.y - bossAt.y, shipAt.z - bossAt.z);
    const ClEntityNode* body = entity->root->children[0];
    ClAtom* nearest = nullptr;
    ClAtom* farthest = nullptr;
    f32 nearestDistance = FLT_MAX;
    f32 farthestDistance = 0.0f;
    for (u32 i = 0; i < body->atoms.count; ++i) {
        ClAtom* block = body->atoms[i];
        if (!block->active) continue;
        const f32 d = distance3(blockPosition(block), p);
        if (d < nearestDistance) {
            nearestDistance = d;
            nearest = block;
        }
        if (d > farthestDistance) {
            farthestDistance = d;
            farthest = block;
        }
    }
    if (!nearest) return;
    // A lone block (or every block on the ship) is its own farthest.
    if (!farthest) farthest = nearest;
    ClVec3 target;
    f32 best = FLT_MAX;
    for (const ClVec3& offset : NEIGHBOUR_OFFSETS) {
        const ClVec3 cell = blockPosition(nearest) + offset;
        const f32 d = distance3(cell, p);
        if (d < best) {
            best = d;
            target = cell;
        }
    }
    blockTween.startFromTo(blockPosition(farthest), target, OPPS_SLIDE_SHARE * seconds, E_TWEEN_CURVE_LINEAR, 0.0f);
    movedBlock = farthest;
}

void ClProcessor_Enemy_Boss_Opps::onBeat(const SBeat& beat, s32 index, void* user) {
    (void)beat;
    auto* self = static_cast<ClProcessor_Enemy_Boss_Opps*>(user);
    if (!firstPlayerHasShip() || !bossFightRunning()) return;
    if (!self->entity || self->entity->state != E_ENTITY_ACTIVE || index < self->nextBeatIndex) return;
    s32 nextIndex = -1;
    const f32 t = getTimeToNextBeat(OPPS_MIN_BEAT_GAP, &nextIndex);
    if (t == 0.0f) return;
    self->nextBeatIndex = nextIndex;
    f32 d = t;
    if (t > OPPS_LONG_GAP) {
        const s32 n = 1 + s32(t / OPPS_LONG_GAP);
        self->stepCount = n;
        self->stepInterval = self->stepTimer = OPPS_SPLIT_SHARE * t / f32(n);
        d = self->stepInterval;
    }
    if (d >= OPPS_MIN_BEAT_GAP) {
        if (self->stepCount > 0) --self->stepCount;
        self->slideBlock(d);
    }
}

void ClProcessor_Enemy_Boss_Opps::update() {
    if (bossFightRunning()) {
        if (stepCount > 0 && countDownTimer(&stepTimer, frameTime()) == 0.0f) {
            stepTimer = stepInterval;
            --stepCount;
            if (firstPlayerHasShip() && entity->state == E_ENTITY_ACTIVE) slideBlock(stepInterval);
        }
        publishBossStrength(entity, bossStrengthFraction(entity));
        if (entity->state == E_ENTITY_ACTIVE) {
            blockTween.advance(frameTime());
            if (movedBlock && !movedBlock->active) {
                movedBlock = nullptr;
            } else if (movedBlock) {
                const ClVec3& at = blockTween.getValue();
                movedBlock->localMatrix.setTranslationXYZ(at.x, at.y, at.z);
                movedBlock->localMatrix.m[15] = 1.0f;
            }
        }
    }
    entity->setRootPosition(OPPS_HOME);
}
