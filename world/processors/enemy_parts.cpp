#include "world/processors/enemy_parts.h"

#include "core/game_clock.h"
#include "core/name_hash.h"
#include "core/random.h"
#include "render/draw_lists.h"
#include "render/particle_system.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_draw.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/tree_walks.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/state/player_records.h"
#include "world/state/wave_record.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr u32 FLASH_LAYERS = 0x6C;
ClNamedMaterial g_flashGlow("system_add_bias15", "Images/fx-with-big-orange-glow");
ClNamedMaterial g_flashRays("system_add_bias15", "Images/Lensflare-rays");

ClVec3 xyz(const ClVec4& v) { return ClVec3(v.x, v.y, v.z); }

}  // namespace

// --- aimed gun ------------------------------------------------------------------------------------

void ClProcessor_EnemyGun_Physical::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_ENEMY_GUN_PHYSICAL);
    muzzles.release();
    muzzles.init(8);
}

void ClProcessor_EnemyGun_Physical::release() { muzzles.release(); }

void ClProcessor_EnemyGun_Physical::onSpawn() { reloadParameters(); }

void ClProcessor_EnemyGun_Physical::reloadParameters() {
    muzzles.count = 0;
    if (node->atoms.count > 0)
        for (u32 i = 0; i < AIMED_GUN_MUZZLES; ++i) muzzles.push(SMuzzleRecord{0, node->atoms[0], node});
    SBulletParams::readFromNode(node, &bullet);
    shotPeriod = AIMED_GUN_PERIOD;
    shotTimer = 0.0f;
}

void ClProcessor_EnemyGun_Physical::update() {
    shotTimer -= frameTime();
    if (muzzles.count == 0 || shotTimer > 0.0f) return;
    shotTimer = shotPeriod;
    ClDNAGenerator* generator = generatorFind(E_GENCAT_ENEMY_BULLET, crc32TextNoCase("DefBullGenE"));
    for (const SMuzzleRecord& muzzle : muzzles) {
        const ClEntity* ship = playerShip(0);
        if (!muzzle.node->anyActive || entity->state != E_ENTITY_ACTIVE || !g_aPlayerState[0].active || !ship) continue;
        const ClMatrix44& m = muzzle.atom->currentWorldMatrix();
        ClVec3 d = xyz(ship->getWorldPosition()) - matrixRow(m, 3);
        d.normalize();
        const f32 c = std::clamp(d.dot(matrixRow(m, 0)), -1.0f, 1.0f);
        if (std::acos(c) * 180.0f / 3.1415927f > AIMED_GUN_CONE_DEGREES) continue;
        shotTimer = shotPeriod;
        if (generator) fire(muzzle);
    }
}

void ClProcessor_EnemyGun_Physical::fire(const SMuzzleRecord& muzzle) {
    ClDNAGenerator* generator = generatorFind(E_GENCAT_ENEMY_BULLET, crc32TextNoCase("DefBullGenE"));
    ClEntity* shot = allocEntity(entity->ownerTag);
    shot->buildFromDNA(generator->getSharedProgram());
    shot->root->resetAtoms();
    shot->spawn();
    shot->setRootTransform(muzzle.atom->currentWorldMatrix());
    shot->activate();
    copyBulletParamsToBullet(shot->root, bullet);
    const f32 v = bullet.bullVel;
    const f32 w = shot->root->params.get("BullVelVar")->real;
    shot->root->params.get("BullVel")->setFloat(randomFloatInRange(v - v * w, v + v * w));
    shot->update();

    const ClVec3 at = matrixRow(muzzle.atom->currentWorldMatrix(), 3);
    ClDrawOwnerScope owner(shot);
    appendSpriteCommand(at, randomWithVariance(20.0f, 0.5f), u32(bullet.bullCol), g_flashGlow.get(), FLASH_LAYERS, 0.0f);
    appendSpriteCommand(at, randomWithVariance(6.0f, 0.5f), u32(bullet.bullCol), g_flashRays.get(), FLASH_LAYERS, 0.0f);
}

// --- conditional destruction ----------------------------------------------------------------------

void ClProcessor_Conditional_Destroy::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_CONDITIONAL_DESTROY);
    survivors.release();
    survivors.init(8);
    destroyed.release();
    destroyed.init(8);
    done = 0;
}

void ClProcessor_Conditional_Destroy::release() {
    survivors.release();
    destroyed.release();
}

void ClProcessor_Conditional_Destroy::onSpawn() {
    survivors.count = 0;
    destroyed.count = 0;
    const auto add = [](ClEntityNode* found, uintptr_t list) { reinterpret_cast<ClArray<ClEntityNode*>*>(list)->push(found); };
    node->forEachNamed("NMUST", reinterpret_cast<uintptr_t>(&survivors), add);
    node->forEachNamed("NDEST", reinterpret_cast<uintptr_t>(&destroyed), add);
}

void ClProcessor_Conditional_Destroy::reloadParameters() {
    if (done) return;
    for (ClEntityNode* survivor : survivors)
        if (survivor->anyActive) return;
    done = 1;
    for (ClEntityNode* part : destroyed) explodeAllAtoms(part, 0);
}

// --- wave-flag part -------------------------------------------------------------------------------

bool ClProcessor_EnableBasedOnWaveFlags::enabled() const {
    SParamValue* mask = node->params.findOrAdd("KFC");
    if (mask->type != E_PARAM_INT) mask->setInt(0);
    u32 flags = 0;
    if (const SWaveRecord* record = waveRecordOf(entity); record && record->plan && record->plan->wave &&
                                                          entity->planSlot < WAVE_MEMBER_SLOT_COUNT)
        flags = record->plan->wave->memberFlags[entity->planSlot];
    return (u32(mask->integer) & flags) != 0;
}

void ClProcessor_EnableBasedOnWaveFlags::onSpawn() {
    if (!enabled()) explodeAllAtoms(node, 1);
}

void ClProcessor_EnableBasedOnWaveFlags::onActivate() {
    if (enabled()) return;
    node->computeBounds();
    explodeAllAtoms(node, 1);
}
