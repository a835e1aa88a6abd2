#include "world/processors/sonic_weapon.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "core/random.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_bullet.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/param_value.h"
#include "world/entity/tree_walks.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/services/positioned_sound.h"
#include "world/state/boss_encounter.h"

#include <algorithm>

namespace {

constexpr f32 RECOIL_KICK = 4.0f;
constexpr f32 RECOIL_DECAY = 0.97f;  // per frame
constexpr f32 PREVIEW_PHASE_SPREAD = 3.0f;
constexpr f32 DRAWN_RADIUS_MIN = 15.0f;
constexpr f32 DRAWN_RADIUS_SPAN = 105.0f;
constexpr f32 COLLISION_SHARE = 0.25f;  // of the drawn radius

SBulletParams attachShot() {
    SBulletParams shot{};
    shot.myBullGen = s32(crc32TextNoCase("DefBullGen"));
    shot.bullRad = 3.0f;
    shot.bullRndRad = 8.0f;
    shot.bullVel = 1400.0f;
    shot.bullVelVar = 0.4f;
    return shot;
}

// An absent key is added and reads as 0.
SParamValue* findOrZero(ClEntityNode* node, const char* name, u32 type) {
    SParamValue* value = node->params.find(name);
    if (value) return value;
    value = node->params.findOrAdd(name);
    if (type == E_PARAM_FLOAT)
        value->setFloat(0.0f);
    else
        value->setInt(0);
    return value;
}

s32 readInt(ClEntityNode* node, const char* name) {
    const SParamValue* value = findOrZero(node, name, E_PARAM_INT);
    return value->type == E_PARAM_FLOAT ? s32(value->real) : value->integer;
}

f32 readFloat(ClEntityNode* node, const char* name) {
    const SParamValue* value = findOrZero(node, name, E_PARAM_FLOAT);
    return value->type == E_PARAM_INT ? f32(value->integer) : value->real;
}

void appendBarrel(ClEntityNode* barrelNode, uintptr_t user) {
    auto* barrels = reinterpret_cast<ClArray<SSonicBarrel>*>(user);
    ClAtom* nozzle = barrelNode->findAtomByName("NozzleAtom");
    if (!nozzle) fatalError("a sonic weapon's barrel node has no atom named \"NozzleAtom\"");
    barrels->push(SSonicBarrel{nozzle, barrelNode});
}

}  // namespace

// The strength is clamped from below too: weak beats would otherwise give a negative radius and
// negative damage.
f32 sonicBeatScale(f32 strength) {
    const f32 k = strength >= 6.0f ? 0.5f + (strength - 6.0f) * 0.125f : (strength - 2.0f) * 0.125f;
    return std::clamp(k, 0.0f, 1.0f);
}

// --- shared ----------------------------------------------------------------------------------------

void ClProcessor_BeatWeaponBase::attachAs(ClEntity* owner, ClEntityNode* hangingOn, u32 typeId) {
    storeAttachment(owner, hangingOn, typeId);
    shot = attachShot();
    recoil = previewTimer = previewPhase = 0.0f;
    subscription = SBeatSubscriptionHandle{};
}

void ClProcessor_BeatWeaponBase::readNodeParams() {
    if (!node->params.isInitialised()) fatalError("a beat weapon's node has no parameter table");
    shot.bullType = readInt(node, "BullType");
    level = readInt(node, "SonicL");
    subwoofer = readInt(node, "SonicT");
    maxDamage = readFloat(node, "MaxDmg");
    shot.bullLev = level;
    shot.bullCol = s32(getBulletColour(shot));
}

bool ClProcessor_BeatWeaponBase::stepPreview() {
    recoil *= RECOIL_DECAY;
    previewTimer -= frameTime();
    if (previewTimer >= 0.0f) return false;
    shot.bullDmg = maxDamage;
    shot.bullRndRad = SONIC_PREVIEW_DRAWN_RADIUS;
    shot.bullCol = s32(getBulletColour(shot));
    if (subwoofer == 0) {
        // Scaled from the value the previous preview shot left: a tweeter's shots shrink.
        shot.bullRad *= SONIC_TWEETER_PREVIEW_SCALE;
        shot.bullRndRad *= SONIC_TWEETER_PREVIEW_SCALE;
    }
    previewTimer = SONIC_PREVIEW_PERIOD;
    return true;
}

// --- the sonic weapon -----------------------------------------------------------------------------

void ClProcessor_PlayerSonic::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    attachAs(owner, hangingOn, E_PROC_PLAYER_SONIC);
    barrels.init(SONIC_BARREL_INITIAL_CAPACITY);
    beatPending = 0;
}

void ClProcessor_PlayerSonic::release() {
    dropBeatSubscription(subscription);
    barrels.release();
}

void ClProcessor_PlayerSonic::onDestroy() { dropBeatSubscription(subscription); }

void ClProcessor_PlayerSonic::reloadParameters() {
    barrels.init(SONIC_BARREL_INITIAL_CAPACITY);
    node->forEachNamed("BarrelNode", reinterpret_cast<uintptr_t>(&barrels), appendBarrel);
}

void ClProcessor_PlayerSonic::onSpawn() {
    readNodeParams();
    reloadParameters();
    recoil = 0.0f;
    dropBeatSubscription(subscription);
    subscription = subscribeBeat(onBeat, this, 0);
}

void ClProcessor_PlayerSonic::onPreviewSpawn() {
    readNodeParams();
    reloadParameters();
    previewPhase = PREVIEW_PHASE_SPREAD * randomUnitFloat();
    previewTimer = 0.0f;
    recoil = 0.0f;
}

void ClProcessor_PlayerSonic::onBeat(const SBeat& beat, s32 index, void* user) {
    (void)index;
    auto* self = static_cast<ClProcessor_PlayerSonic*>(user);
    self->beatPending = 1;
    self->beatStrength = beat.strength;
}

void ClProcessor_PlayerSonic::update() {
    recoil *= RECOIL_DECAY;
    if (beatPending) {
        const f32 k = sonicBeatScale(beatStrength);
        shot.bullRndRad = DRAWN_RADIUS_MIN + DRAWN_RADIUS_SPAN * k;
        shot.bullDmg = ((k - 0.5f) * 0.5f + 1.0f) * maxDamage;
        shot.bullCol = s32(getBulletColour(shot));
        beatPending = 0;
        shot.bullRad = shot.bullRndRad * COLLISION_SHARE;
        if (!(g_BossEncounter.phase == E_BOSSPHASE_FIGHT && entity->timer > 0.0f)) fire();
    }
    placeBarrels();
}

void ClProcessor_PlayerSonic::updatePreview() {
    if (stepPreview()) fire();
    placeBarrels();
}

void ClProcessor_PlayerSonic::fire() {
    ClDNAGenerator* generator = generatorFind(E_GENCAT_PLAYER_BULLET, u32(shot.myBullGen));
    if (!generator) fatalErrorf("no player bullet generator has the name hash %08x", u32(shot.myBullGen));
    ClDNAProgram* program = generator->getSharedProgram();
    for (SSonicBarrel& barrel : barrels) {
        if (!barrel.node->allAtomsIntact()) continue;
        ClEntity* bullet = allocEntity(entity->ownerTag);
        bullet->buildFromDNA(program);
        bullet->root->resetAtoms();
        bullet->spawn();
        bullet->setRootTransform(barrel.nozzle->currentWorldMatrix());
        bullet->activate();
        copyBulletParamsToBullet(bullet->root, shot);
        bullet->root->params.get("BullVel")->setFloat(SONIC_BULLET_SPEED);
        bullet->update();
        recoil = RECOIL_KICK;
        if (entity->ownerTag == OWNER_LIVE_GAME) {
            const ClVec4 at = entity->getWorldPosition();
            playSoundCueAt(subwoofer ? "SonicSubwooferFire" : "SonicTweeterFire", ClVec3(at.x, at.y, at.z));
        }
    }
}

void ClProcessor_PlayerSonic::placeBarrels() {
    for (SSonicBarrel& barrel : barrels) {
        if (!barrel.node->allAtomsIntact()) continue;
        barrel.node->localMatrix.setTranslationXYZ(-recoil, 0.0f, 0.0f);
        barrel.node->localMatrix.m[15] = 1.0f;
        broadcastWorldFrames(barrel.node);
    }
}

// --- the lightning item ----------------------------------------------------------------------------

void ClProcessor_PlayerLightning::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    attachAs(owner, hangingOn, E_PROC_PLAYER_LIGHTNING);
}

void ClProcessor_PlayerLightning::release() { dropBeatSubscription(subscription); }
void ClProcessor_PlayerLightning::onDestroy() { dropBeatSubscription(subscription); }

void ClProcessor_PlayerLightning::onSpawn() { readNodeParams(); }

void ClProcessor_PlayerLightning::onPreviewSpawn() {
    readNodeParams();
    previewPhase = PREVIEW_PHASE_SPREAD * randomUnitFloat();
}

void ClProcessor_PlayerLightning::update() { recoil *= RECOIL_DECAY; }

void ClProcessor_PlayerLightning::updatePreview() { stepPreview(); }
