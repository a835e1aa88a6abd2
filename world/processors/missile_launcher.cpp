#include "world/processors/missile_launcher.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "input/ambient/ambient_light.h"
#include "render/draw_lists.h"
#include "render/fx_particles.h"
#include "render/materials.h"
#include "render/particle_system.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_bullet.h"
#include "world/atoms/atom_draw.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/param_value.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/processors/player_ctrl.h"
#include "world/services/positioned_sound.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

ClNamedMaterial g_glow("game_colorizeRed_addBlue_additiveBlend", "Images/fx-with-big-orange-glow");
ClNamedMaterial g_smoke("system_sub_perspective", "Images/Cloud");
ClNamedMaterial g_lightSmoke("system_add_perspective", "Images/Cloud");

constexpr u32 GLOW_LAYERS = 0x2C;
constexpr u32 SMOKE_LAYERS = 0x2000;
constexpr f32 FLASH_SIZE = 52.5f;
constexpr f32 FLASH_SIZE_SPREAD = 45.0f;
constexpr f32 FLASH_SCALE = 1.5f;
constexpr u32 FLASH_COLOUR = 0xFFFF900Cu;
constexpr f32 TRAIL_LIFETIME = 0.85f;
constexpr f32 TRAIL_START_SIZE = 1.01f;
constexpr f32 TRAIL_END_SIZE = 10.0f;
constexpr s32 BEAM_BULLET_TYPE = 15;  // its smoke glows instead of darkening

ClVec3 xyz(const ClVec4& v) { return ClVec3(v.x, v.y, v.z); }

}  // namespace

// --- the launcher --------------------------------------------------------------------------------

void ClProcessor_PlayerMissileLauncher::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_PLAYER_MISSILE_LAUNCHER);
    bays.init(MISSILE_BAY_INITIAL_CAPACITY);
    reloadTimer = launchTimer = 0.0f;
    loadedCount = 0;
    salvo = 0;
    reloadPeriod = 1.0f;
}

void ClProcessor_PlayerMissileLauncher::release() { bays.release(); }

void ClProcessor_PlayerMissileLauncher::reloadParameters() {
    bays.init(MISSILE_BAY_INITIAL_CAPACITY);
    for (ClAtom* atom : node->atoms)
        if (std::strcmp(atom->name, "MislBay") == 0) bays.push(atom);
    const u32 usable = usableBays();
    reloadPeriod = usable ? MISSILE_FULL_RELOAD_SECONDS / f32(usable) : INFINITY;
    SGunParams::readFromNode(node, &params);
    ctrl = node->params.get("ctrl")->integer;
}

u32 ClProcessor_PlayerMissileLauncher::usableBays() const { return std::min(bays.count, MISSILE_SLOT_COUNT); }

void ClProcessor_PlayerMissileLauncher::onSpawn() { reloadParameters(); }
void ClProcessor_PlayerMissileLauncher::onPreviewSpawn() { reloadParameters(); }

void ClProcessor_PlayerMissileLauncher::forgetReleased() {
    u32 kept = 0;
    for (u32 i = 0; i < loadedCount; ++i)
        if (entityRefGet(loaded[i].entity)) loaded[kept++] = loaded[i];
    loadedCount = kept;
}

void ClProcessor_PlayerMissileLauncher::updateWorldFrames() {
    forgetReleased();
    for (u32 i = 0; i < loadedCount; ++i) entityRefGet(loaded[i].entity)->setRootTransform(bays[i]->currentWorldMatrix());
}

void ClProcessor_PlayerMissileLauncher::loadMissile() {
    if (loadedCount >= usableBays()) return;
    ClDNAGenerator* generator = generatorFind(E_GENCAT_PLAYER_BULLET, u32(params.bullet.myBullGen));
    if (!generator) fatalErrorf("no player bullet generator has the name hash %08x", u32(params.bullet.myBullGen));
    ClEntity* missileEntity = allocEntity(entity->ownerTag);
    missileEntity->buildFromDNA(generator->getSharedProgram());
    missileEntity->root->resetAtoms();
    copyBulletParamsToBullet(missileEntity->root, params.bullet);
    missileEntity->spawn();
    missileEntity->setRootTransform(bays[loadedCount]->currentWorldMatrix());
    missileEntity->activate();
    auto* missile = static_cast<ClProcessor_Missile*>(missileEntity->root->findProcessor(E_PROC_MISSILE));
    loaded[loadedCount] = SLoadedMissile{makeEntityRef(missileEntity), missile};
    missile->attached = 1;
    missile->launcher = this;
    missileEntity->update();
    ++loadedCount;
}

void ClProcessor_PlayerMissileLauncher::detachMissile(ClProcessor_Missile* missile) {
    forgetReleased();
    for (u32 i = loadedCount; i-- > 0;) {
        if (loaded[i].missile != missile) continue;
        missile->attached = 0;
        for (u32 k = i; k + 1 < loadedCount; ++k) loaded[k] = loaded[k + 1];
        --loadedCount;
        return;
    }
    fatalError("a missile was detached from a launcher it is not loaded on");
}

void ClProcessor_PlayerMissileLauncher::wreck() {
    forgetReleased();
    for (u32 i = 0; i < loadedCount; ++i) {
        loaded[i].missile->attached = 0;
        ClEntity* missile = entityRefGet(loaded[i].entity);
        if (missile->state != E_ENTITY_DESTROYED) missile->destroy();
    }
    loadedCount = 0;
    // While the ship itself goes, its kill is already under way.
    const u32 quiet = entity->state == E_ENTITY_DESTROYED ? 1u : 0u;
    for (ClAtom* atom : node->atoms)
        if (atom->kind == E_ATOM_BODY && atom->active) atom->deactivate(quiet);
    node->updateAliveFlags();
}

void ClProcessor_PlayerMissileLauncher::destroyLoaded() {
    forgetReleased();
    while (loadedCount > 0) entityRefGet(loaded[loadedCount - 1].entity)->destroy();
}

void ClProcessor_PlayerMissileLauncher::onDestroy() { destroyLoaded(); }

void ClProcessor_PlayerMissileLauncher::launchLast() {
    forgetReleased();
    if (loadedCount == 0) return;
    entityRefGet(loaded[loadedCount - 1].entity)->broadcastFirePressed();
}

void ClProcessor_PlayerMissileLauncher::onFirePressed() {
    if (loadedCount == 0) return;
    if (entity->ownerTag == OWNER_LIVE_GAME && u32(ctrl) != g_iFireTrigger) return;
    if (launchTimer > 0.0f) return;
    launchLast();
    launchTimer = MISSILE_LAUNCH_INTERVAL;
}

void ClProcessor_PlayerMissileLauncher::update() {
    if (!node->anyActive && loadedCount > 0) destroyLoaded();
    if (loadedCount < usableBays() && node->anyActive) {
        reloadTimer -= frameTime();
        if (reloadTimer < 0.0f) {
            loadMissile();
            reloadTimer = reloadPeriod;
        }
    }
    if (launchTimer > 0.0f) launchTimer -= frameTime();
}

void ClProcessor_PlayerMissileLauncher::updatePreview() {
    if (!salvo) {
        reloadTimer -= frameTime();
        if (reloadTimer < 0.0f) {
            loadMissile();
            if (loadedCount == usableBays()) {
                salvo = 1;
                launchTimer = MISSILE_PREVIEW_SALVO_WAIT;
            }
            reloadTimer = MISSILE_PREVIEW_RELOAD;
        }
        return;
    }
    launchTimer -= frameTime();
    if (launchTimer < 0.0f) {
        launchLast();
        if (loadedCount == 0) salvo = 0;
        launchTimer = MISSILE_LAUNCH_INTERVAL;
    }
}

// --- the missile ---------------------------------------------------------------------------------

void ClProcessor_Missile::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_MISSILE);
    attached = 0;
    launcher = nullptr;
    trail = nullptr;
}

void ClProcessor_Missile::onFirePressed() {
    if (!attached || !launcher) return;
    entity->timer = 0.0f;
    ClProcessor_PlayerMissileLauncher* from = launcher;
    from->detachMissile(this);
    const ClVec3 at = xyz(entity->getWorldPosition());
    {
        ClDrawOwnerScope owner(entity);
        const f32 size = (FLASH_SIZE + FLASH_SIZE_SPREAD * randomUnitFloat()) * FLASH_SCALE;
        appendSpriteCommand(at, size, FLASH_COLOUR, g_glow.get(), GLOW_LAYERS, 0.0f);
    }
    if (entity->ownerTag == OWNER_LIVE_GAME) {
        playSoundCueAt("MissileFire", at);
        requestAmbientFlash(getBulletColour(from->params.bullet));
    }
}

void ClProcessor_Missile::update() {
    if (attached) {
        if (launcher) entity->timer = launcher->entity->timer;
        return;
    }
    const f32 speed = node->params.get("BullVel")->real;
    const ClVec4 axis = entity->getWorldAxisX();
    ClVec3 step = xyz(axis);
    const f32 length = std::sqrt(step.x * step.x + step.y * step.y + step.z * step.z);
    if (length > 0.0f) step = scaleVec3(step, speed * frameTime() / length);
    const ClVec3 at = xyz(entity->getPreviousWorldPosition()) + step;
    entity->setRootPosition(at);
    drawFlight(at);
    if (at.x * at.x + at.y * at.y + at.z * at.z > MISSILE_RANGE * MISSILE_RANGE) {
        node->params.findOrAdd("BullHit")->setInt(0);
        entity->destroy();
    }
}

void ClProcessor_Missile::drawFlight(const ClVec3& at) {
    ClRenderTargetGroup* owner = getPreviewRenderTarget(entity->ownerTag);
    if (fxParticles()) {
        if (trail && fxParticleIsCurrent(trail, trailGeneration)) {
            fxParticles()->steerParticle(trail, at);
        } else if (!trail) {
            const bool light = node->params.get("BullType")->integer == BEAM_BULLET_TYPE;
            trail = fxParticles()->addSprite(at, TRAIL_LIFETIME, TRAIL_START_SIZE, TRAIL_END_SIZE, 0xFFFFFFFFu,
                                                  0x00FFFFFFu, light ? g_lightSmoke.get() : g_smoke.get(), owner,
                                                  light ? GLOW_LAYERS : SMOKE_LAYERS);
            trailGeneration = trail ? trail->generation : 0;
        }
    }
    ClDrawOwnerScope ownerScope(entity);
    appendSpriteCommand(at, randomWithVariance(75.0f, 0.3f), u32(node->params.get("BullCol")->integer), g_glow.get(),
                        GLOW_LAYERS, 0.0f);
}

void ClProcessor_Missile::onDestroy() {
    if (attached && launcher) {
        ClProcessor_PlayerMissileLauncher* from = launcher;
        from->detachMissile(this);
        from->wreck();
    }
    trail = nullptr;
}
