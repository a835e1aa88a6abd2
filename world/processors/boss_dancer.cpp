#include "world/processors/boss_dancer.h"

#include "audio/play/beat_events.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "core/script_node.h"
#include "core/timers.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/processors/boss_support.h"

namespace {

constexpr u32 BLOCK_GUN_INTERVALS = 1;
constexpr u32 BLOCK_POSITIONS = 2;
constexpr u32 BLOCK_MOVE_MODES = 3;
constexpr u32 BLOCK_WANDER_RANGE = 4;
constexpr u32 BLOCK_BURST_WAIT_RANGE = 5;
constexpr u32 BLOCK_BURST_COUNT_RANGE = 6;
constexpr f32 WANDER_TURN_STRENGTH = 0.3f;
constexpr u32 RANDOM_MODULUS = 2147483647u;

}  // namespace

void ClProcessor_Enemy_Boss_Dancer::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_BOSS_DANCER);
    positions.init(8);
    stage = -1;
}

void ClProcessor_Enemy_Boss_Dancer::release() {
    dropBeatSubscription(subscription);
    positions.release();
}

s32 ClProcessor_Enemy_Boss_Dancer::rangeDraw(u32 blockChild) const {
    const ClScriptNode* range = bossTuningRow(params, blockChild, 2);
    return bossRandomInRange(range->getChild(0)->getInt(), range->getChild(1)->getInt());
}

void ClProcessor_Enemy_Boss_Dancer::resetMoveCounters() {
    switch (moveMode) {
        case E_DANCER_CYCLE:
            wanderCount = burstWait = burstCount = 0;
            break;
        case E_DANCER_WANDER:
            wanderCount = rangeDraw(BLOCK_WANDER_RANGE);
            burstWait = burstCount = 0;
            break;
        case E_DANCER_WANDER_BURSTS:
            wanderCount = rangeDraw(BLOCK_WANDER_RANGE);
            burstWait = rangeDraw(BLOCK_BURST_WAIT_RANGE);
            burstCount = rangeDraw(BLOCK_BURST_COUNT_RANGE);
            break;
        default: break;
    }
}

void ClProcessor_Enemy_Boss_Dancer::onSpawn() {
    params = findBossTuningBlock(entity, "boss_dancer_params");
    positions.count = 0;
    const ClScriptNode* list = params->getChild(BLOCK_POSITIONS);
    for (u32 i = 0; i < list->childCount(); ++i) {
        ClVec3 position;
        list->getChild(i)->getVector3(&position);
        positions.push(position);
    }
    if (positions.count == 0) fatalError("the dancer's tuning block lists no position");
    positionIndex = 0;
    placeBossAt(entity, positions[0]);
    publishBossStrength(entity, 1.0f);
    hittableTimer = DANCER_HITTABLE_SECONDS;
    nextBeatIndex = stepCount = forward = 0;
    stepTimer = lastStepDelay = gunTimer = 0.0f;
    ClEntityNode* heads = node->children[0];
    leftGunNode = heads->children[0];
    rightGunNode = heads->children[1];
    leftGunNode->findProcessor(E_PROC_ENEMY_HEAD_GUN);
    rightGunNode->findProcessor(E_PROC_ENEMY_HEAD_GUN);
    stage = 0;
    gunInterval = bossStageFloat(params, BLOCK_GUN_INTERVALS, 0);
    moveMode = s32(bossStageFloat(params, BLOCK_MOVE_MODES, 0));
    resetMoveCounters();
}

void ClProcessor_Enemy_Boss_Dancer::onActivate() {
    if (!subscription) subscription = subscribeBeat(&ClProcessor_Enemy_Boss_Dancer::onBeat, this, 0);
}

void ClProcessor_Enemy_Boss_Dancer::onDestroy() { dropBeatSubscription(subscription); }

void ClProcessor_Enemy_Boss_Dancer::wanderStep() {
    const s32 left = wanderCount - 1;
    if (left >= 1) {
        wanderCount = left;
    } else if (const SBeat* beat = getNextBeat(); beat && beat->strength > WANDER_TURN_STRENGTH) {
        forward = !forward;
        wanderCount = rangeDraw(BLOCK_WANDER_RANGE);
    }
    const s32 count = s32(positions.count);
    positionIndex = forward ? (positionIndex + 1) % count : (positionIndex + count - 1) % count;
}

void ClProcessor_Enemy_Boss_Dancer::jump() {
    const s32 count = s32(positions.count);
    switch (moveMode) {
        case E_DANCER_CYCLE: positionIndex = (positionIndex + 1) % count; break;
        case E_DANCER_WANDER: wanderStep(); break;
        case E_DANCER_WANDER_BURSTS:
            if (burstCount >= 1) {
                positionIndex = s32((sfmtGenRand32() % RANDOM_MODULUS) % u32(count));
                --burstCount;
            } else {
                wanderStep();
            }
            if (burstWait - 1 < 1) {
                burstWait = rangeDraw(BLOCK_BURST_WAIT_RANGE);
                burstCount = rangeDraw(BLOCK_BURST_COUNT_RANGE);
            } else {
                --burstWait;
            }
            break;
        default: break;
    }
    hittableTimer = DANCER_HITTABLE_SECONDS;
    if (stage == 0 || stage == 1) gunTimer = DANCER_GUN_SECONDS;
    if (stage == 2) gunTimer = DANCER_LAST_STAGE_GUN_SECONDS;
}

void ClProcessor_Enemy_Boss_Dancer::onBeat(const SBeat& beat, s32 index, void* user) {
    (void)beat;
    auto* self = static_cast<ClProcessor_Enemy_Boss_Dancer*>(user);
    ClEntity* boss = self->entity;
    if (!firstPlayerHasShip() || !boss || boss->state != E_ENTITY_ACTIVE) return;
    if (!boss->root || boss->root->children.count == 0 || !bossFightRunning() || index < self->nextBeatIndex) return;
    self->lastStepDelay = 0.0f;
    self->stepCount = 0;
    self->jump();
    f32 t = getTimeToNextBeat(0.0f, nullptr);
    for (u32 k = 1; t < DANCER_MIN_BEAT_GAP; ++k) {
        const f32 later = getTimeToBeatAfter(k, 0.0f);
        if (later == 0.0f) break;
        t = later;
    }
    self->nextBeatIndex = index + 1;
    if (t > DANCER_LONG_GAP) {
        self->stepCount = s32(t / DANCER_STEP_SECONDS);
        self->lastStepDelay = t - DANCER_STEP_SECONDS * f32(self->stepCount);
    }
}

void ClProcessor_Enemy_Boss_Dancer::place() { entity->setRootPosition(positions[u32(positionIndex)]); }

void ClProcessor_Enemy_Boss_Dancer::update() {
    if (!bossFightRunning()) {
        entity->setRootPosition(positions[0]);
        return;
    }
    if (stepCount < 1 && lastStepDelay > 0.0f) {
        if (countDownTimer(&lastStepDelay, frameTime()) == 0.0f) jump();
    } else if (stepCount >= 1 && countDownTimer(&stepTimer, frameTime()) == 0.0f) {
        --stepCount;
        stepTimer = DANCER_STEP_SECONDS;
        jump();
    }
    entity->timer = countDownTimer(&hittableTimer, frameTime()) > 0.0f ? 0.0f : BOSS_NO_CONTACT_GRACE;
    const bool gunsOn = countDownTimer(&gunTimer, frameTime()) > 0.0f;
    setBossHeadGun(leftGunNode, gunsOn, gunInterval);
    setBossHeadGun(rightGunNode, gunsOn, gunInterval);
    const s32 newStage = publishBossStage(entity);
    if (newStage != stage) {
        stage = newStage;
        gunInterval = bossStageFloat(params, BLOCK_GUN_INTERVALS, stage);
        moveMode = s32(bossStageFloat(params, BLOCK_MOVE_MODES, stage));
        resetMoveCounters();
    }
    place();
}
