#include "world/processors/player_gun.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "input/ambient/ambient_light.h"
#include "render/draw_lists.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_bullet.h"
#include "world/atoms/atom_draw.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/tree_walks.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/processors/player_ctrl.h"
#include "world/services/positioned_sound.h"
#include "world/state/boss_encounter.h"
#include "world/state/player_records.h"

#include <algorithm>
#include <cmath>

s32 g_iGunBarrelCounter = 0;

namespace {

ClNamedMaterial g_flashGlow("game_colorizeRed_addBlue_additiveBlend", "Images/fx-with-big-orange-glow");
ClNamedMaterial g_flashRays("game_colorizeRed_addBlue_additiveBlend", "Images/Lensflare-rays");

constexpr s32 BULLET_TYPE_BLASTER = 0;

ClVec3 xyz(const ClVec4& v) { return ClVec3(v.x, v.y, v.z); }

void appendBarrel(ClEntityNode* barrelNode, uintptr_t user) {
    auto* barrels = reinterpret_cast<ClArray<SGunBarrel>*>(user);
    ClAtom* nozzle = barrelNode->findAtomByName("NozzleAtom");
    if (!nozzle) fatalError("a gun barrel node has no atom named \"NozzleAtom\"");
    const f32 phase = f32(g_iGunBarrelCounter) * BARREL_SOUND_PHASE_STEP;
    g_iGunBarrelCounter = (g_iGunBarrelCounter + 1) % std::max<s32>(getBarrelPhaseCount(), 1);
    barrels->push(SGunBarrel{0.0f, nozzle, barrelNode, phase, phase});
}

}  // namespace

void ClProcessor_PlayerGun::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_PLAYER_GUN);
    barrels.init(GUN_BARREL_INITIAL_CAPACITY);
}

void ClProcessor_PlayerGun::release() { barrels.release(); }

void ClProcessor_PlayerGun::reloadParameters() {
    barrels.init(GUN_BARREL_INITIAL_CAPACITY);
    node->forEachNamed("BarrelNode", reinterpret_cast<uintptr_t>(&barrels), appendBarrel);
    SGunParams::readFromNode(node, &params);
    ctrl = node->params.get("ctrl")->integer;
    nextBarrel = 0;
    if (!(params.gunRate > 0.0f)) fatalErrorf("a gun's \"GunRate\" must be above 0, not %g", double(params.gunRate));
    volleyPeriod = 1.0f / params.gunRate;
    volleyTimer = volleyPeriod;
}

void ClProcessor_PlayerGun::onSpawn() {
    reloadParameters();
    for (SGunBarrel& barrel : barrels) barrel.recoil = 0.0f;
}

void ClProcessor_PlayerGun::onPreviewSpawn() {
    reloadParameters();
    previewPhase = PREVIEW_PHASE_SECONDS * randomUnitFloat();
}

void ClProcessor_PlayerGun::update() {
    stepRecoil();
    if (volleyTimer > 0.0f) volleyTimer -= frameTime();
}

void ClProcessor_PlayerGun::updatePreview() {
    if (volleyTimer > 0.0f) volleyTimer -= frameTime();
    const f64 clock = f64(previewPhase) + gameClock(GAME_CLOCK_SYSTEM).totalTime;
    if (s64(clock) % 3 != 0) onFirePressed();
    stepRecoil();
}

bool ClProcessor_PlayerGun::onLiveShip() const { return entity->ownerTag == OWNER_LIVE_GAME; }

void ClProcessor_PlayerGun::onFirePressed() {
    if (barrels.count == 0) return;
    if (onLiveShip() && u32(ctrl) != g_iFireTrigger) return;
    if (g_BossEncounter.phase == E_BOSSPHASE_FIGHT && entity->timer > 0.0f) return;
    while (volleyTimer <= 0.0f) {
        fireVolley();
        volleyTimer += randomFloatInRange(volleyPeriod * (1.0f - VOLLEY_JITTER), volleyPeriod * (1.0f + VOLLEY_JITTER));
    }
    if (onLiveShip() && params.bullet.bullType == BULLET_TYPE_BLASTER) playBlasterSound();
}

void ClProcessor_PlayerGun::onFireReleased() {
    if (!onLiveShip() || u32(ctrl) != g_iFireTrigger) return;
    if (params.bullet.bullType != BULLET_TYPE_BLASTER) return;
    for (SGunBarrel& barrel : barrels) barrel.soundTimer = barrel.soundPhase;
}

void ClProcessor_PlayerGun::fireVolley() {
    ClDNAGenerator* generator = generatorFind(E_GENCAT_PLAYER_BULLET, u32(params.bullet.myBullGen));
    if (!generator) fatalErrorf("no player bullet generator has the name hash %08x", u32(params.bullet.myBullGen));
    ClDNAProgram* program = generator->getSharedProgram();
    for (u32 k = 0; k < barrels.count; ++k) {
        SGunBarrel& barrel = barrels[k];
        const bool takesTurns = params.gunPat == GUN_PATTERN_TAKE_TURNS;
        if (takesTurns && s32(k) != nextBarrel) continue;
        if (!barrel.node->allAtomsIntact()) continue;
        fireBarrel(barrel, program);
        if (takesTurns) {
            nextBarrel = (nextBarrel + 1) % s32(barrels.count);
            break;
        }
    }
}

void ClProcessor_PlayerGun::fireBarrel(SGunBarrel& barrel, ClDNAProgram* program) {
    const ClMatrix44& muzzle = barrel.nozzle->currentWorldMatrix();
    for (s32 pellet = 0; pellet < params.gunPel; ++pellet) {
        ClEntity* bullet = allocEntity(entity->ownerTag);
        bullet->buildFromDNA(program);
        bullet->root->resetAtoms();
        bullet->spawn();
        bullet->setRootTransform(muzzle);
        bullet->activate();
        copyBulletParamsToBullet(bullet->root, params.bullet);
        const f32 spread = bullet->root->params.get("BullVelVar")->real;
        const f32 speed = params.bullet.bullVel;
        bullet->root->params.get("BullVel")->setFloat(randomFloatInRange(speed * (1.0f - spread), speed * (1.0f + spread)));
        bullet->update();
    }

    const ClVec3 at(muzzle.m[12], muzzle.m[13], muzzle.m[14]);
    const u32 colour = u32(params.bullet.bullCol);
    {
        ClDrawOwnerScope owner(entity);
        appendSpriteCommand(at, 10.0f + 20.0f * randomUnitFloat(), colour, g_flashGlow.get(), MUZZLE_FLASH_LAYERS, 0.0f);
        appendSpriteCommand(at, 3.0f + 6.0f * randomUnitFloat(), colour, g_flashRays.get(), MUZZLE_FLASH_LAYERS, 0.0f);
    }
    barrel.recoil = BARREL_RECOIL;

    if (!onLiveShip()) return;
    const s32 type = params.bullet.bullType;
    const ClVec3 shipAt = xyz(entity->getWorldPosition());
    if (type >= 2 && type <= 5) {
        playSoundCueAt("CannonBurstFire", shipAt);
    } else if (type == 6 || type == 7) {
        playSoundCueAt("ShotGunFire", shipAt);
        requestAmbientFlash(getBulletColour(params.bullet));
    }
}

void ClProcessor_PlayerGun::playBlasterSound() {
    for (SGunBarrel& barrel : barrels) {
        if (!barrel.node->allAtomsIntact()) continue;
        if (barrel.soundTimer > 0.0f) {
            barrel.soundTimer = std::max(barrel.soundTimer - frameTime(), 0.0f);
            continue;
        }
        playSoundCueAt("BlasterFire", xyz(entity->getWorldPosition()));
        barrel.soundTimer = BLASTER_SOUND_SECONDS;
        return;
    }
}

void ClProcessor_PlayerGun::stepRecoil() {
    for (SGunBarrel& barrel : barrels) {
        barrel.recoil *= BARREL_RECOIL_DECAY;
        barrel.node->localMatrix.setTranslationXYZ(-barrel.recoil, 0.0f, 0.0f);
        barrel.node->localMatrix.m[15] = 1.0f;
        broadcastWorldFrames(barrel.node);
    }
}
