#include "world/processors/cube_station.h"

#include "audio/analysis/beat.h"
#include "audio/play/song_clock.h"
#include "audio/play/tempo_sequences.h"
#include "core/directions.h"
#include "core/fatal_error.h"
#include "core/float_helpers.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "core/random.h"
#include "render/draw_lists.h"
#include "render/materials.h"
#include "render/particle_system.h"
#include "render/shader.h"
#include "world/atoms/gun_params.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/tree_walks.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/processors/behaviour_imports.h"
#include "world/state/player_records.h"

#include <cmath>

const f32 HEAD_GUN_BULLET_SPEEDS[HEAD_GUN_SPEED_COUNT] = {130.0f, 100.0f, 100.0f, 170.0f, 200.0f};

namespace {

constexpr u32 HEAD_EYE_LAYER_MASK = 108;
constexpr f32 HEAD_EYE_SIZE = 60.0f;
constexpr f32 HEAD_EYE_SIZE_VARIANCE = 0.3f;
constexpr u32 HEAD_RED = 0xFFFF0000u;
constexpr const char* HEAD_EYE_EFFECT = "game_colorizeRed_addBlue_additiveBlend";
constexpr const char* HEAD_EYE_IMAGES[3] = {"Images/bossEye1", "Images/bossEye2", "Images/bossEye3"};
constexpr f32 HEAD_BULLET_VELOCITY_VARIANCE = 0.4f;
constexpr f32 SHIELD_AIM_SECONDS = 0.25f;
const STempoRange STATION_TEMPI = {80.0f, 120.0f, 150.0f};
const ClVec3 UP(0.0f, 1.0f, 0.0f);

ClVec3 xyz(const ClVec4& v) { return ClVec3(v.x, v.y, v.z); }
ClVec3 worldAxisX(const ClEntityNode* node) {
    const f32* m = node->currentWorldMatrix().m;
    return ClVec3(m[0], m[1], m[2]);
}
ClVec3 worldPosition(const ClEntityNode* node) { return node->currentWorldMatrix().getTranslation(); }

void setFrameRows(ClMatrix44* frame, const ClVec3 rows[3]) {
    for (u32 r = 0; r < 3; ++r) {
        frame->m[4 * r] = rows[r].x;
        frame->m[4 * r + 1] = rows[r].y;
        frame->m[4 * r + 2] = rows[r].z;
        frame->m[4 * r + 3] = 0.0f;
    }
}

void writeFloat(ClEntityNode* node, const char* name, f32 value) { node->params.findOrAdd(name)->setFloat(value); }

void sumInto(const ClEntityNode* node, f32* attack, f32* defence) {
    if (node->params.isInitialised()) {
        if (const SParamValue* a = node->params.find("att")) *attack += a->real;
        if (const SParamValue* d = node->params.find("def")) *defence += d->real;
    }
    for (u32 i = 0; i < node->children.count; ++i) sumInto(node->children[i], attack, defence);
}

void appendBranch(ClEntityNode* branch, uintptr_t user) {
    reinterpret_cast<ClArray<SBranchRecord>*>(user)->push(SBranchRecord{branch, 0.0f, 0.0f});
}

const ClEntity* liveShip() {
    return g_aPlayerState[0].active ? playerShip(0) : nullptr;
}

}  // namespace

void sumNodeTreeAttDef(const ClEntityNode* node, f32* attack, f32* defence) {
    *attack = 0.0f;
    *defence = 0.0f;
    sumInto(node, attack, defence);
}

// --- head gun -------------------------------------------------------------------------------------

void ClProcessor_Enemy_AI_Head_Gun::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_ENEMY_HEAD_GUN);
    fireTimer = 0.0f;
    enabled = 0;
    shotInterval = HEAD_GUN_IDLE_INTERVAL;
}

void ClProcessor_Enemy_AI_Head_Gun::update() {
    if (!enabled) return;
    fireTimer -= frameTime();
    const ClEntity* ship = playerShip(0);
    if (fireTimer > 0.0f || !ship) return;
    fire(ship);
}

void ClProcessor_Enemy_AI_Head_Gun::fire(const ClEntity* ship) {
    const s32 speedIndex = node->params.get("NDKBL")->integer;
    if (speedIndex < 0 || speedIndex >= s32(HEAD_GUN_SPEED_COUNT))
        fatalErrorf("head gun: \"NDKBL\" %d is outside 0 to 4", speedIndex);
    ClDNAGenerator* generator = generatorFindOrDie(E_GENCAT_ENEMY_BULLET, "DefBullGenE");
    ClEntity* bullet = allocEntity(entity->ownerTag);
    bullet->buildFromDNA(generator->getSharedProgram());
    bullet->ownerTag = entity->ownerTag;
    bullet->root->resetAtoms();
    bullet->spawn();

    const ClVec3 from = worldPosition(node);
    ClVec3 direction = xyz(ship->getWorldPosition()) - from;
    direction.normalize();
    ClVec3 rows[3];
    ClMatrix44 frame;
    if (buildFrameFromDirection(direction, UP, rows)) setFrameRows(&frame, rows);
    frame.setTranslation(from);
    // The block goes in before the activation, which reads it.
    const f32 speed = HEAD_GUN_BULLET_SPEEDS[speedIndex];
    const SBulletParams block = {0, 19, 0, 12.5f, 100.0f, 100.0f, speed, HEAD_BULLET_VELOCITY_VARIANCE, s32(HEAD_RED), 0};
    copyBulletParamsToBullet(bullet->root, block);
    writeFloat(bullet->root, "BullVel", randomWithVariance(speed, HEAD_BULLET_VELOCITY_VARIANCE));
    bullet->setRootTransform(frame);
    bullet->activate();
    bullet->update();
    fireTimer = shotInterval;
    g_BehaviourImports.playBossNote(from);
}

void ClProcessor_Enemy_AI_Head_Gun::drawOverlay() {
    if (!enabled || !effectsReady()) return;
    const u32 pick = (sfmtGenRand32() % 2147483647u) % 3u;
    const SMaterial* material = getMaterialForEffectAndTextureName(HEAD_EYE_EFFECT, HEAD_EYE_IMAGES[pick]);
    appendSpriteCommand(worldPosition(node), randomWithVariance(HEAD_EYE_SIZE, HEAD_EYE_SIZE_VARIANCE), HEAD_RED,
                        material, HEAD_EYE_LAYER_MASK, 0.0f);
}

// --- head shield ----------------------------------------------------------------------------------

void ClProcessor_Enemy_AI_Head_Shield::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_ENEMY_HEAD_SHIELD);
    subscription = {};
    const ClVec3 forward(1.0f, 0.0f, 0.0f);
    aimBlend.start(forward, forward, 0.0f, 0.0f, E_BLEND_SQUARE_OUT);
}

void ClProcessor_Enemy_AI_Head_Shield::onSpawn() {
    shieldParams.movement = node->params.get("hd_sh_mov")->integer;
    shieldParams.pivot = node->params.get("hd_sh_piv")->real;
    shieldParams.aimPerBeat = node->params.get("hd_sh_apb")->real;
    shieldParams.defence = node->params.get("hd_sh_def")->real;
}

void ClProcessor_Enemy_AI_Head_Shield::onActivate() {
    if (shieldParams.movement == HEAD_SHIELD_MOVES_ON_BEATS && !subscription)
        subscription = subscribeBeat(&ClProcessor_Enemy_AI_Head_Shield::onBeat, this, 0);
    reloadParameters();
}

void ClProcessor_Enemy_AI_Head_Shield::reloadParameters() {
    writeFloat(node, "att", 0.0f);
    writeFloat(node, "def", node->allAtomsIntactAndActive() ? HEAD_SHIELD_DEFENCE : 0.0f);
}

void ClProcessor_Enemy_AI_Head_Shield::onDestroy() {
    reloadParameters();
    dropBeatSubscription(subscription);
}

void ClProcessor_Enemy_AI_Head_Shield::release() { dropBeatSubscription(subscription); }

// The aim is kept for the shield's owner to read; clamped to a cone of 0 it is the parent's own
// x axis.
void ClProcessor_Enemy_AI_Head_Shield::onBeat(const SBeat& beat, s32, void* user) {
    auto* self = static_cast<ClProcessor_Enemy_AI_Head_Shield*>(user);
    if (beat.strength < HEAD_SHIELD_BEAT_STRENGTH || !self->node->parent) return;
    const f32* m = self->node->parent->localMatrix.m;
    const ClVec3 axis(m[0], m[1], m[2]);
    self->aimBlend.start(self->aimBlend.value(), clampDirectionToCone(axis, axis, 0.0f), SHIELD_AIM_SECONDS, 0.0f,
                         E_BLEND_SQUARE_OUT);
}

// --- cube station ---------------------------------------------------------------------------------

void ClProcessor_Enemy_AI_CubeStation::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_ENEMY_CUBE_STATION);
    turnState = E_STATION_IDLE;
    decisionTimer = 0.0f;
    branchRecords.init(8);
}

void ClProcessor_Enemy_AI_CubeStation::release() { branchRecords.release(); }

void ClProcessor_Enemy_AI_CubeStation::onSpawn() {
    node->params.get("cs_agg");
    node->params.get("cs_rotsp");
    entity->faceAlongBlend = 1;
    const ClVec3 forward(0.0f, 0.0f, 1.0f);
    entity->facingBlend.start(forward, forward, 0.0f);
    broadcastReload(node);
}

void ClProcessor_Enemy_AI_CubeStation::onActivate() { broadcastReload(node); }

void ClProcessor_Enemy_AI_CubeStation::reloadParameters() {
    branchRecords.count = 0;
    node->forEachNamed("branch", reinterpret_cast<uintptr_t>(&branchRecords), &appendBranch);
    for (SBranchRecord& record : branchRecords) sumNodeTreeAttDef(record.node, &record.attack, &record.defence);
    if (entity->state != E_ENTITY_ACTIVE) return;
    decisionTimer = 0.0f;
    turnState = E_STATION_IDLE;
    update();
}

void ClProcessor_Enemy_AI_CubeStation::update() {
    decisionTimer -= frameTime();
    if (!(decisionTimer > 0.0f) && turnState != E_STATION_TURNING) decide();
    if (turnState == E_STATION_ARMED && turnStartTime < currentSongTime()) startTurn();
    if (turnState == E_STATION_TURNING) {
        entity->facingBlend.update(frameTime());
        if (entity->facingBlend.finished()) turnState = E_STATION_IDLE;
    }
}

// The turn is measured from the ship as it is when the turn begins; a ship gone by then calls
// the turn off.
void ClProcessor_Enemy_AI_CubeStation::startTurn() {
    const ClEntity* ship = liveShip();
    if (!ship || chosenBranch < 0 || u32(chosenBranch) >= branchRecords.count) {
        turnState = E_STATION_IDLE;
        return;
    }
    ClVec3 d = xyz(ship->getWorldPosition()) - xyz(entity->getWorldPosition());
    d.y = 0.0f;
    const ClVec3 u = d.normalized();
    const ClMatrix44 r = rotationBetweenDirections(worldAxisX(branchRecords[u32(chosenBranch)].node), u);
    ClVec3 facing = xyz(entity->getWorldAxisX());
    facing.w = 0.0f;
    ClVec3 target = r.transformPoint(facing);
    target.w = 0.0f;
    entity->facingBlend.start(entity->facingBlend.value(), target, turnDuration);
    turnState = E_STATION_TURNING;
}

// Both the facing test and the turn test measure from the station towards the ship: a turn is
// armed when the best branch lies outside a quarter of its sector round that direction.
void ClProcessor_Enemy_AI_CubeStation::decide() {
    const ClEntity* ship = liveShip();
    if (!ship || entity->state != E_ENTITY_ACTIVE || branchRecords.count == 0) return;
    s32 best = -1;
    f32 bestDefence = -1.0f;
    for (u32 i = 0; i < branchRecords.count; ++i) {
        if (branchRecords[i].defence > bestDefence) {
            bestDefence = branchRecords[i].defence;
            best = s32(i);
        }
    }
    ClVec3 toShip = xyz(ship->getWorldPosition()) - xyz(entity->getWorldPosition());
    toShip.normalize();
    s32 facing = 0;
    f32 facingDot = -1.0f;
    for (u32 i = 0; i < branchRecords.count; ++i) {
        const f32 dot = worldAxisX(branchRecords[i].node).dot(toShip);
        if (dot > facingDot) {
            facingDot = dot;
            facing = s32(i);
        }
    }
    if (branchRecords[u32(facing)].defence >= bestDefence) {
        decisionTimer = 0.0f;
        return;
    }
    const f32 c = std::cos(MATH_TWO_PI / f32(branchRecords.count) * 0.25f);
    if (!(worldAxisX(branchRecords[u32(best)].node).dot(toShip) < c)) return;

    chosenBranch = best;
    turnState = E_STATION_ARMED;
    ClArray<s32> beats;
    findTempoSequences(currentSongTime(), currentSongTime() + STATION_BEAT_WINDOW, STATION_TEMPI, 2, &beats, 0);
    if (beats.count == 2 && u32(beats[0]) < songBeats().count && u32(beats[1]) < songBeats().count) {
        turnStartTime = songBeats()[u32(beats[0])].time;
        turnDuration = songBeats()[u32(beats[1])].time - turnStartTime;
    } else {
        turnStartTime = currentSongTime() + STATION_FALLBACK_DELAY;
        turnDuration = STATION_FALLBACK_TURN;
    }
    decisionTimer = turnDuration;
    if (beats.inUse) beats.release();
}
