#include "world/processors/charging_gun.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "core/timers.h"
#include "input/ambient/ambient_light.h"
#include "render/fx_particles.h"
#include "render/materials.h"
#include "render/sprite_queue.h"
#include "ui/ui_variables.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_bullet.h"
#include "world/atoms/atom_draw.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/processors/player_ctrl.h"
#include "world/services/positioned_sound.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr f32 PREVIEW_WAIT_MIN = 1.0f;
constexpr f32 PREVIEW_WAIT_SPREAD = 2.0f;
constexpr f32 SHIP_BLINK_RATE = 25.0f;
constexpr u32 EXPANDING_FLASH_SMALL = 0;
// The preview's charge bar, in the preview target's pixels.
constexpr u32 PREVIEW_BAR_LAYER = 1000;
constexpr f32 PREVIEW_BAR_X = 250.0f;
constexpr f32 PREVIEW_BAR_Y = 100.0f;
constexpr f32 PREVIEW_BAR_WIDTH = 200.0f;
constexpr f32 PREVIEW_BAR_HEIGHT = 2.0f;
constexpr u32 PREVIEW_TRACK_COLOUR = 0xFF404040u;
constexpr u32 PREVIEW_BAR_COLOUR = 0xFFB0B0B0u;

ClVec3 xyz(const ClVec4& v) { return ClVec3(v.x, v.y, v.z); }

void stopHeld(SCueHandle* cue) {
    if (*cue) stopCue(*cue, 0.0f);
    *cue = SCueHandle{};
}

struct SBarrelCollector {
    ClArray<SChargingBarrel>* barrels;
    ClEntity* entity;
};

void appendBarrel(ClEntityNode* barrelNode, uintptr_t user) {
    auto* collector = reinterpret_cast<SBarrelCollector*>(user);
    ClAtom* ball = barrelNode->findAtomByName("CGBulAP");
    if (!ball) fatalError("a charging gun's barrel node has no atom named \"CGBulAP\"");
    auto* look = new ClAtom_Bullet();
    look->init(nullptr, collector->entity, barrelNode);
    collector->barrels->push(SChargingBarrel{ball, barrelNode, 0.0f, 0.0f, 0.0f, 0, SFloatTween{}, SCueHandle{},
                                             SCueHandle{}, look});
}

}  // namespace

void ClProcessor_PlayerChargingGun::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_PLAYER_CHARGING_GUN);
    barrels.init(CHARGING_BARREL_INITIAL_CAPACITY);
}

bool ClProcessor_PlayerChargingGun::onLiveShip() const { return entity->ownerTag == OWNER_LIVE_GAME; }

void ClProcessor_PlayerChargingGun::stopCues() {
    for (SChargingBarrel& barrel : barrels) {
        stopHeld(&barrel.buildUpCue);
        stopHeld(&barrel.sustainCue);
    }
}

void ClProcessor_PlayerChargingGun::freeBarrels() {
    for (SChargingBarrel& barrel : barrels) {
        barrel.look->release();
        delete barrel.look;
        barrel.look = nullptr;
    }
    barrels.count = 0;
}

// The ambient charge is keyed by the builder index, which a preview of the same ship shares.
void ClProcessor_PlayerChargingGun::release() {
    stopCues();
    if (onLiveShip()) endAmbientCharge(builderIndex);
    freeBarrels();
    barrels.release();
}

void ClProcessor_PlayerChargingGun::onDestroy() {
    stopCues();
    if (onLiveShip()) endAmbientCharge(builderIndex);
}

void ClProcessor_PlayerChargingGun::reloadParameters() {
    stopCues();
    if (onLiveShip()) endAmbientCharge(builderIndex);
    freeBarrels();
    SBarrelCollector collector{&barrels, entity};
    node->forEachNamed("BarrelNode", reinterpret_cast<uintptr_t>(&collector), appendBarrel);
    SChargingGunParams::readFromNode(node, &params);
    ctrl = node->params.get("ctrl")->integer;
    if (!(params.fullChargeSeconds > 0.0f))
        fatalErrorf("a charging gun's \"CHT\" must be above 0, not %g", double(params.fullChargeSeconds));
}

void ClProcessor_PlayerChargingGun::onSpawn() {
    roundLookFlag = node->params.find("CGBulRR") ? 1u : 0u;
    reloadParameters();
}

void ClProcessor_PlayerChargingGun::onPreviewSpawn() {
    reloadParameters();
    for (SChargingBarrel& barrel : barrels) {
        barrel.previewWaitLength = PREVIEW_WAIT_MIN + PREVIEW_WAIT_SPREAD * randomUnitFloat();
        barrel.previewWait = barrel.previewWaitLength;
    }
}

f32 ClProcessor_PlayerChargingGun::chargeFraction(const SChargingBarrel& barrel) const {
    return std::clamp(barrel.charge / params.fullChargeSeconds, 0.0f, 1.0f);
}

SBulletParams ClProcessor_PlayerChargingGun::shotFor(const SChargingBarrel& barrel) const {
    const f32 f = barrel.discharge.running
                      ? CHARGE_SHOT_FLOOR
                      : std::clamp(barrel.charge / params.fullChargeSeconds * (1.0f - CHARGE_SHOT_FLOOR) + CHARGE_SHOT_FLOOR,
                                   0.0f, 1.0f);
    SBulletParams shot = params.bullet;
    shot.bullDmg = params.bullet.bullDmg * f;
    shot.bullRndRad = CHARGE_BALL_DRAWN_RADIUS * f;
    shot.bullFlag = s32(std::trunc(100.0f * f));
    return shot;
}

void ClProcessor_PlayerChargingGun::onFirePressed() {
    if (barrels.count == 0) return;
    if (onLiveShip() && u32(ctrl) != g_iFireTrigger) return;
    for (SChargingBarrel& barrel : barrels) {
        if (!barrel.node->allAtomsIntact()) continue;
        if (!barrel.discharge.running) barrel.charge += frameTime();
        if (!onLiveShip()) continue;
        if (barrel.charge > 0.0f) {
            if (!barrel.buildUpCue) {
                barrel.buildUpCue = playCueHeld("ChargingWeaponBuildUp");
                beginAmbientCharge(builderIndex, u32(params.bullet.bullCol));
            }
            setAmbientChargeLevel(builderIndex, barrel.charge / params.fullChargeSeconds);
        }
        if (barrel.charge >= params.fullChargeSeconds && !barrel.sustainCue)
            barrel.sustainCue = playCueHeld("ChargingWeaponSustainLoop");
    }
}

void ClProcessor_PlayerChargingGun::onFireReleased() {
    if (barrels.count == 0) return;
    if (onLiveShip() && u32(ctrl) != g_iFireTrigger) return;
    for (SChargingBarrel& barrel : barrels) {
        if (!barrel.node->allAtomsIntact()) continue;
        stopHeld(&barrel.buildUpCue);
        stopHeld(&barrel.sustainCue);
        if (onLiveShip()) endAmbientCharge(builderIndex);
        if (barrel.charge > 0.0f) {
            if (onLiveShip()) {
                const f32 c = chargeFraction(barrel);
                const ClVec3 at = xyz(entity->getWorldPosition());
                if (c < CHARGE_CUES_MEDIUM) {
                    playSoundCueAt("ChargingWeaponReleaseEarlySmall", at);
                    playSoundCueAt("ChargingWeaponFireSmall", at);
                } else if (c < CHARGE_CUES_FULL) {
                    playSoundCueAt("ChargingWeaponReleaseEarlyMedium", at);
                    playSoundCueAt("ChargingWeaponFireMedium", at);
                } else {
                    playSoundCueAt("ChargingWeaponFireFull", at);
                }
            }
            fireBarrel(barrel);
            barrel.discharge.startFromTo(1.0f, 0.0f, params.dischargeSeconds, E_TWEEN_CURVE_LINEAR, 0.0f);
        }
        barrel.charge = 0.0f;
    }
}

void ClProcessor_PlayerChargingGun::fireBarrel(SChargingBarrel& barrel) {
    ClDNAGenerator* generator = generatorFind(E_GENCAT_PLAYER_BULLET, u32(params.bullet.myBullGen));
    if (!generator) fatalErrorf("no player bullet generator has the name hash %08x", u32(params.bullet.myBullGen));
    const SBulletParams shot = shotFor(barrel);
    ClEntity* bullet = allocEntity(entity->ownerTag);
    bullet->buildFromDNA(generator->getSharedProgram());
    bullet->root->resetAtoms();
    bullet->spawn();
    const ClMatrix44& muzzle = barrel.ball->currentWorldMatrix();
    bullet->setRootTransform(muzzle);
    bullet->activate();
    copyBulletParamsToBullet(bullet->root, shot);
    bullet->update();
    if (fxParticles())
        fxParticles()->addExpandingFlash(EXPANDING_FLASH_SMALL, ClVec3(muzzle.m[12], muzzle.m[13], muzzle.m[14]));
}

void ClProcessor_PlayerChargingGun::advanceDischarge(SChargingBarrel& barrel) {
    SFloatTween& tween = barrel.discharge;
    if (!tween.running) return;
    if (tween.delay > 0.0f) {
        tween.delay -= frameTime();
        if (tween.delay > 0.0f) return;
    }
    tween.time += frameTime();
    tween.evaluate();
}

void ClProcessor_PlayerChargingGun::drawBall(SChargingBarrel& barrel) {
    ClAtom_Bullet& look = *barrel.look;
    look.params = shotFor(barrel);
    look.paramsRead = 1;
    look.worldMatrix[g_uFramePrevious] = barrel.ball->worldMatrix[g_uFramePrevious];
    look.worldMatrix[g_uFrameCurrent] = barrel.ball->currentWorldMatrix();
    look.draw();
    const ClVec3 at = matrixRow(barrel.ball->currentWorldMatrix(), 3);
    panCueByWorldX(barrel.buildUpCue, at);
    panCueByWorldX(barrel.sustainCue, at);
}

void ClProcessor_PlayerChargingGun::update() {
    for (SChargingBarrel& barrel : barrels) {
        advanceDischarge(barrel);
        if (!barrel.node->allAtomsIntact()) continue;
        if (entity->timer != 0.0f && isBlinkOn(SHIP_BLINK_RATE, 0.0f, GAME_CLOCK_GAMEPLAY)) continue;
        drawBall(barrel);
    }
}

void ClProcessor_PlayerChargingGun::updatePreview() {
    for (SChargingBarrel& barrel : barrels) {
        if (!barrel.previewCharging) {
            barrel.previewWait -= frameTime();
            if (barrel.previewWait < 0.0f) {
                barrel.previewCharging = 1;
                barrel.previewWait = barrel.previewWaitLength;
            }
        } else {
            barrel.charge += frameTime();
            if (barrel.charge > params.fullChargeSeconds) {
                fireBarrel(barrel);
                barrel.discharge = SFloatTween{};
                barrel.charge = 0.0f;
                barrel.previewCharging = 0;
            }
        }
        advanceDischarge(barrel);
        const f32 held = barrel.discharge.running ? barrel.discharge.current : barrel.charge;
        const f32 level = std::clamp(held / params.fullChargeSeconds, 0.0f, 1.0f);
        if (uiVariable(UIVAR_IS_IN_MAIN_MENU) > 0) {
            const SMaterial* material = getMaterialForEffect("system_add_color");
            setSpriteTarget(getPreviewRenderTarget(entity->ownerTag));
            addSpriteQuad(PREVIEW_BAR_LAYER, material, PREVIEW_TRACK_COLOUR, PREVIEW_BAR_X, PREVIEW_BAR_Y,
                          PREVIEW_BAR_WIDTH, PREVIEW_BAR_HEIGHT);
            addSpriteQuad(PREVIEW_BAR_LAYER, material, PREVIEW_BAR_COLOUR, PREVIEW_BAR_X, PREVIEW_BAR_Y,
                          PREVIEW_BAR_WIDTH * level, PREVIEW_BAR_HEIGHT);
            setSpriteTarget(nullptr);
        }
        drawBall(barrel);
    }
}
