#include "world/processors/bomb_shield.h"

#include "core/fatal_error.h"
#include "core/float_helpers.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "core/random.h"
#include "input/ambient/ambient_light.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/fx_particles.h"
#include "render/particle_system.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_effect.h"
#include "world/atoms/gun_params.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/tree_walks.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/processors/bullet_processors.h"
#include "world/services/play_area.h"
#include "world/services/positioned_sound.h"
#include "world/state/boss_encounter.h"
#include "world/state/player_records.h"

namespace {

constexpr u32 RED = 0xFFFF0000u;
constexpr u32 WHITE = 0xFFFFFFFFu;
constexpr f32 SHAKE_SECONDS = 1.0f;
constexpr f32 SHAKE_MAGNITUDE = 3.0f;
constexpr f32 TURRET_ARRIVAL = 0.05f;
constexpr f32 TURRET_ACCELERATION = 5.0f;
constexpr f32 TURRET_TOP_SPEED = 4.0f;
constexpr f32 SHIELD_BULLET_VELOCITY_VARIANCE = 0.2f;
const ClVec3 Y_AXIS(0.0f, 1.0f, 0.0f);

ClVec3 xyz(const ClVec4& v) { return ClVec3(v.x, v.y, v.z); }

ClEntity* newEnemyBullet(const ClEntity* shooter) {
    ClDNAGenerator* generator = generatorFindOrDie(E_GENCAT_ENEMY_BULLET, "DefBullGenE");
    ClEntity* bullet = allocEntity(shooter->ownerTag);
    bullet->buildFromDNA(generator->getSharedProgram());
    bullet->ownerTag = shooter->ownerTag;
    bullet->root->resetAtoms();
    bullet->spawn();
    return bullet;
}

f32 floatParam(ClEntityNode* node, const char* name) {
    const SParamValue* value = node->params.findOrAdd(name);
    return value->type == E_PARAM_FLOAT ? value->real : 0.0f;
}

void setYawMatrix(ClEntityNode* node, f32 yaw) {
    node->localMatrix.setIdentity();
    node->localMatrix.setRotationAxisAngle(Y_AXIS, yaw);
    broadcastWorldFrames(node);
}

}  // namespace

// --- bomb -----------------------------------------------------------------------------------------

void ClProcessor_Enemy_ExplodeWhenIDie::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_EXPLODE_WHEN_I_DIE);
}

// Only a bomb the player killed, and not while a boss is about: one that leaves with its wave
// goes quietly.
void ClProcessor_Enemy_ExplodeWhenIDie::onDestroy() {
    if (g_BossEncounter.phase != E_BOSSPHASE_WAITING || !entity->killed) return;
    ClEntityNode* root = entity->root;
    const f32 radius = floatParam(root, "exp_rad");
    const f32 damage = floatParam(root, "exp_dmg");
    const ClVec3 at = xyz(entity->getWorldPosition());
    playSoundCueAt("BobOmbExplosion", at);
    requestAmbientFlash(WHITE);
    if (fxParticles()) fxParticles()->addExplosionRing(at, radius, RED);
    shakeViewCamera(ClVec3(0.0f, 1.0f, 0.0f), SHAKE_SECONDS, SHAKE_MAGNITUDE);

    ClEntity* blast = newEnemyBullet(entity);
    ClMatrix44 place;
    place.setTranslation(at);
    const SBulletParams block = {s32(crc32TextNoCase("DefBullGenE")), BULLET_TYPE_FLASH, 0, radius, 0.0f, damage,
                                 0.0f, 0.0f, 0, 0};
    copyBulletParamsToBullet(blast->root, block);
    blast->setRootTransform(place);
    blast->activate();
    blast->update();
}

// --- beat shield ----------------------------------------------------------------------------------

void ClProcessor_Enemy_Med_Beat_Shield::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_ENEMY_BEAT_SHIELD);
    subscription = {};
    plates.init(8);
    layoutFlag = 1;
    turretAngle = 0.0f;
    turretSpeed = 0.0f;
    beatCount = -1;
}

void ClProcessor_Enemy_Med_Beat_Shield::release() {
    dropBeatSubscription(subscription);
    plates.release();
}

// A destroyed shield hears no more beats, so long songs do not fill the subscription pool.
void ClProcessor_Enemy_Med_Beat_Shield::onDestroy() { dropBeatSubscription(subscription); }

void ClProcessor_Enemy_Med_Beat_Shield::onSpawn() {
    if (!node->params.isInitialised()) fatalError("beat shield: its node has no parameter table");
    if (node->children.count == 0 || node->children[0]->atoms.count < BEAT_SHIELD_TURRET_ATOMS)
        fatalErrorf("beat shield: its turret (the first child node) needs %u atoms", BEAT_SHIELD_TURRET_ATOMS);
    plates.count = 0;
    for (u32 i = 1; i < node->children.count; ++i) plates.push(SShieldPlate{node->children[i], {}, {}});
    layout(0.0f);
    for (SShieldPlate& plate : plates) {
        plate.yawTween.current = plate.yawTween.to;
        placePlate(plate);
    }
    turretNode = node->children[0];
}

void ClProcessor_Enemy_Med_Beat_Shield::onActivate() {
    if (!subscription) subscription = subscribeBeat(&ClProcessor_Enemy_Med_Beat_Shield::onBeat, this, 0);
}

void ClProcessor_Enemy_Med_Beat_Shield::placePlate(SShieldPlate& plate) { setYawMatrix(plate.node, plate.yawTween.current); }

// Plates are dealt at random to two sides; on each side they fan out from its centre by 19
// degrees a plate (0, +19, -19, +38 ...). The sides lie at 0 and 180 degrees on one beat, at 270
// and 90 on the next.
void ClProcessor_Enemy_Med_Beat_Shield::layout(f32 duration) {
    u32 values[64];
    u32 remaining = plates.count < 64 ? plates.count : 64;
    for (u32 i = 0; i < remaining; ++i) values[i] = i;
    u32 sideCount[2] = {0, 0};
    for (SShieldPlate& plate : plates) {
        if (!plate.node->anyActive || remaining == 0) continue;
        f32 u = randomUnitFloat();
        if (!(u < 1.0f)) u = 0.99999994f;
        const u32 slot = u32(u * f32(remaining));
        const u32 v = values[slot];
        for (u32 j = slot + 1; j < remaining; ++j) values[j - 1] = values[j];
        --remaining;
        const u32 side = v % 2;
        const u32 k = sideCount[side]++;
        f32 offset = k == 0 ? 0.0f
                            : (k % 2 == 0 ? -f32(k / 2) * BEAT_SHIELD_PLATE_STEP_DEGREES
                                          : f32((k - 1) / 2 + 1) * BEAT_SHIELD_PLATE_STEP_DEGREES);
        if (layoutFlag == 0) offset += side == 0 ? 270.0f : 90.0f;
        else if (side == 1) offset += 180.0f;
        const f32 target = wrapAngle2Pi(offset * MATH_DEGREES_TO_RADIANS);
        const f32 current = wrapAngle2Pi(plate.yawTween.current);
        plate.yawTween.startFromTo(current, unwrapAngleNear(current, target), duration,
                              E_TWEEN_CURVE_LINEAR, 0.0f);
    }
    layoutFlag = layoutFlag == 0 ? 1 : 0;
}

void ClProcessor_Enemy_Med_Beat_Shield::onBeat(const SBeat&, s32, void* user) {
    auto* self = static_cast<ClProcessor_Enemy_Med_Beat_Shield*>(user);
    if (!self->turretNode || !self->turretNode->anyActive || self->entity->state == E_ENTITY_DESTROYED) return;
    self->layout(BEAT_SHIELD_LAYOUT_SECONDS);
    self->beatCount = (self->beatCount + 1) % 4;
    ClArray<ClAtom*>& lamps = self->turretNode->atoms;
    const SAtomEffectDesc light = {BEAT_SHIELD_LIGHT_EFFECT, 0.0f, 0, 0};
    switch (self->beatCount) {
        case 0: lamps[1]->addEffect(light); break;
        case 1: lamps[2]->addEffect(light); break;
        case 2: lamps[0]->addEffect(light); break;
        default:
            for (u32 i = 0; i < BEAT_SHIELD_TURRET_ATOMS; ++i) lamps[i]->dropEffects();
            if (isInsidePlayArea(xyz(self->entity->getWorldPosition()))) self->fire();
            break;
    }
}

void ClProcessor_Enemy_Med_Beat_Shield::fire() {
    ClEntity* bullet = newEnemyBullet(entity);
    const ClMatrix44& turret = turretNode->currentWorldMatrix();
    ClVec3 rows[3];
    ClMatrix44 frame;
    if (buildFrameFromDirection(ClVec3(turret.m[0], turret.m[1], turret.m[2]), Y_AXIS, rows)) {
        for (u32 r = 0; r < 3; ++r) {
            frame.m[4 * r] = rows[r].x;
            frame.m[4 * r + 1] = rows[r].y;
            frame.m[4 * r + 2] = rows[r].z;
        }
    }
    const ClVec3 at = node->currentWorldMatrix().getTranslation();
    frame.setTranslation(at);
    const SBulletParams block = {0, 19, 0, 8.5f, 70.0f, 100.0f, 100.0f, SHIELD_BULLET_VELOCITY_VARIANCE, s32(RED), 0};
    copyBulletParamsToBullet(bullet->root, block);
    bullet->root->params.findOrAdd("BullVel")->setFloat(randomWithVariance(100.0f, SHIELD_BULLET_VELOCITY_VARIANCE));
    bullet->setRootTransform(frame);
    bullet->activate();
    bullet->update();
    playSoundCueAt("MissileFire", at);
}

void ClProcessor_Enemy_Med_Beat_Shield::update() {
    for (SShieldPlate& plate : plates) {
        if (!plate.node->anyActive || !plate.yawTween.running) continue;
        plate.yawTween.advance(frameTime());
        plate.rollTween.advance(frameTime());
        placePlate(plate);
    }
    const ClEntity* ship = playerShip(0);
    if (!ship || entity->state != E_ENTITY_ACTIVE || !turretNode) return;
    ClVec3 v = xyz(ship->getWorldPosition()) - xyz(entity->getWorldPosition());
    v.y = 0.0f;
    v.normalize();
    const f32 heading = angleFromCosine(v.x, v.z);
    const f32 target = unwrapAngleNear(turretAngle, heading);
    stepTowardTarget(&turretSpeed, &turretAngle, target, TURRET_ARRIVAL, frameTime(), TURRET_ACCELERATION,
                     TURRET_TOP_SPEED);
    turretAngle = wrapAngle2Pi(turretAngle);
    setYawMatrix(turretNode, -turretAngle);
}
