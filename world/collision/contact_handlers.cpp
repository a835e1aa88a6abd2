#include "world/collision/contact_handlers.h"

#include "input/ambient/ambient_light.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/fx_particles.h"
#include "render/materials.h"
#include "render/mega_particles.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_body.h"
#include "world/atoms/gun_params.h"
#include "world/collision/collision_imports.h"
#include "world/collision/world_collision.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/param_table.h"
#include "world/entity/param_value.h"
#include "world/entity/tree_walks.h"
#include "world/generators/dna_generator.h"
#include "world/services/positioned_sound.h"
#include "world/state/player_records.h"

s32 g_iPickupBurstSuppressed = 0;

namespace {

constexpr u32 WHITE = 0xFFFFFFFFu;
constexpr u32 PICKUP_BURST_COLOUR = 0xFFF0A000u;
constexpr u32 RAM_FLASH_COLOUR = 0xFFFF0000u;
constexpr u32 PICKUP_FLASH_KIND = 1;
constexpr f32 SHAKE_SECONDS = 1.0f;
constexpr f32 SHAKE_MAGNITUDE = 3.0f;
constexpr f32 BULLET_DIRECTION_SCALE = 0.1f;
constexpr f32 BULLET_DIRECTION_MIN_LENGTH = 0.0001f;

// One burst of the shared particle system: count, material and the emit operation's eleven
// floats (spread in degrees, speed and its variance, streak, size, flicker, size variance,
// gravity, life and its variance, drift).
struct SBurst {
    s32 count;
    const char* effect;
    const char* texture;
    f32 spread, speed, speedVariance, streak, size, flicker, sizeVariance, gravity, life, lifeVariance, drift;
};

constexpr const char* ADD_LIMITED = "Fixed_Add_Bias_Limited";
constexpr const char* EXPLOSION_PART = "Images/ExplosionPart";
constexpr const char* BAR_BIG = "Images/BarBig";

constexpr SBurst PICKUP_BURST = {15,  "game_colorizeRed_addBlue_additiveBlend", "Images/BulletWithGlow",
                                 80,  200, 0.4f, 0.0215f, 4, 1, 0.4f, 0, 0.808f, 0.5f, 1};
constexpr SBurst KILL_BURSTS[] = {
    {6, ADD_LIMITED, EXPLOSION_PART, 180, 10, 0.4f, 0, 75, 1, 0.4f, 0, 0.5f, 0.5f, 0.35f},
    {1, ADD_LIMITED, EXPLOSION_PART, 180, 0, 0, 0, 300, 0, 0, 0, 0.1f, 0, 0.35f},
    {2, ADD_LIMITED, BAR_BIG, 180, 10, 0.4f, 0, 60, 1, 0.4f, 0, 0.25f, 0.5f, 0.35f},
};
constexpr SBurst HIT_BURSTS[] = {
    {5, "Bullet_Add", EXPLOSION_PART, 180, 15, 0.4f, 0, 14, 1, 0.4f, 0, 0.4f, 0.5f, 1},
    {2, ADD_LIMITED, EXPLOSION_PART, 180, 30, 0.4f, 0, 75, 1, 0.4f, 0, 0.1f, 0.5f, 1},
    {1, ADD_LIMITED, BAR_BIG, 180, 30, 0.4f, 0, 20, 1, 0.4f, 0, 0.08f, 0.5f, 1},
};
constexpr SBurst HIT_TRAIL_BURST = {10, ADD_LIMITED, EXPLOSION_PART, 5, 0, 0.84f, 0.031f, 2.8f, 1, 0.4f, 0, 1.4f, 0.5f, 1};
constexpr SBurst RAM_BURSTS[] = {
    {5, "Bullet_Add", EXPLOSION_PART, 180, 15, 0.4f, 0, 15, 1, 0.4f, 0, 0.4f, 0.5f, 1},
    {2, ADD_LIMITED, EXPLOSION_PART, 180, 30, 0.4f, 0, 45, 1, 0.4f, 0, 0.1f, 0.5f, 1},
    {1, ADD_LIMITED, BAR_BIG, 180, 30, 0.4f, 0, 20, 1, 0.4f, 0, 0.08f, 0.5f, 1},
    {30, "Bullet_Add", EXPLOSION_PART, 90, 50, 0.4f, 0.01f, 2, 1, 0.4f, -30.5f, 2, 0.25f, 1},
};

const ClVec3 UP(0.0f, 1.0f, 0.0f, 0.0f);

void emitBurst(const SBurst& burst, const ClVec3& position, const ClVec3& direction = UP, u32 colour = WHITE) {
    if (!megaParticles()) return;
    const SMegaEmit request = {burst.count, getMaterialForEffectAndTextureName(burst.effect, burst.texture),
                               colour,      position,
                               direction,   burst.spread,
                               burst.speed, burst.speedVariance,
                               burst.streak, burst.size,
                               burst.flicker, burst.sizeVariance,
                               burst.gravity, burst.life,
                               burst.lifeVariance, burst.drift};
    megaParticles()->emit(0, request);
}

template <u32 N>
void emitBursts(const SBurst (&bursts)[N], const ClVec3& position) {
    for (const SBurst& burst : bursts) emitBurst(burst, position);
}

// The hit normal a hit writes, hashed once rather than at every hit (the other bullet names are
// the gun parameters').
const SParamName BULLET_NORMAL_NAME("BullNorm");

u32 kindOf(const ClAtom* atom) { return atom->entity->program->kind; }

ClVec3 worldPosition(const ClAtom* atom) { return atom->currentWorldMatrix().getTranslation(); }

bool invincible() { return g_aPlayerState[0].invincibilityTime > 0.0f; }

void shakeCamera(const ClVec3& axis) { shakeViewCamera(axis, SHAKE_SECONDS, SHAKE_MAGNITUDE); }

void killAtom(ClAtom* atom) {
    atom->onKilled(HIT_KILL_SPIN);
    atom->deactivate(0);
}

// Only a body has impact cues.
void playImpactCue(ClAtom* target, f32 damage, const ClAtom* bullet) {
    if (target->kind == E_ATOM_BODY) static_cast<ClAtom_Body*>(target)->playImpactCue(damage, bullet);
}

void killTarget(ClAtom* target) {
    killAtom(target);
    if (!target->registered) return;
    emitBursts(KILL_BURSTS, worldPosition(target));
    if (kindOf(target) == E_PROGRAM_ENEMY) g_CollisionImports.onEnemyDestroyed(target, 1);
}

// The bullet stops on the part it hit and draws there once, with where and how it hit.
void useUpBullet(ClAtom* bullet, ClAtom* target, const SContact& contact) {
    bullet->deactivate(0);
    ClEntity* bulletEntity = bullet->entity;
    bulletEntity->setRootPosition(worldPosition(target));
    bulletEntity->draw();
    bulletEntity->findOrAddParam(BULLET_HIT_NAME)->setInt(1);
    const ClVec3& n = contact.normal;
    bulletEntity->findOrAddParam(BULLET_NORMAL_NAME)->setVector(n.x, n.y, n.z, n.w);
}

}  // namespace

void onPickupContact(const SContact& contact) {
    ClAtom* pickup = contact.first->kind == E_ATOM_PICKUPABLE ? contact.first : contact.second;
    ClEntity* entity = pickup->entity;
    if (entity->program->generator) entity->program->generator->onCollect(entity, &contact);
    if (!g_iPickupBurstSuppressed) {
        pickup->deactivate(0);
        if (fxParticles()) fxParticles()->addExpandingFlash(PICKUP_FLASH_KIND, worldPosition(pickup));
        emitBurst(PICKUP_BURST, contact.point, UP, PICKUP_BURST_COLOUR);
    }
    g_iPickupBurstSuppressed = 0;
}

void onBulletHit(const SContact& contact) {
    const u32 firstKind = kindOf(contact.first);
    const bool firstIsBullet = firstKind == E_PROGRAM_PLAYER_SHOT || firstKind == E_PROGRAM_ENEMY_SHOT;
    ClAtom* bullet = firstIsBullet ? contact.first : contact.second;
    ClAtom* target = firstIsBullet ? contact.second : contact.first;
    const bool targetIsShip = kindOf(target) == E_PROGRAM_PLAYER;

    // The entry stays where it is for the whole hit: a table's entries never move.
    SParamValue* damageParam = bullet->entity->findOrAddParam(BULLET_DAMAGE_NAME);
    f32 damage = damageParam->real;
    if (targetIsShip && invincible()) {
        if (damage == BULLET_DAMAGE_UNSTOPPABLE) return;
        damage = 0.0f;
    }
    const f32 applied = damage < target->hitPoints ? damage : target->hitPoints;
    target->hitPoints -= applied;
    if (target->hitPoints > 0.0f) {
        playImpactCue(target, applied, bullet);
        broadcastDamaged(target->node, target);
    } else {
        killTarget(target);
    }

    if (damage > applied)
        damageParam->setFloat(damage - applied);
    else
        useUpBullet(bullet, target, contact);

    if (targetIsShip)
        shakeCamera(UP);
    else if (target->hitPointClass == HIT_FLASH_CLASS)
        target->addEffect(SAtomEffectDesc{0, HIT_FLASH_SECONDS, 0, 0});

    ClVec3 travel = bullet->worldMatrix[g_uFrameCurrent].getTranslation() -
                    bullet->worldMatrix[g_uFramePrevious].getTranslation();
    pushImpact(SImpact{contact.point, scaleVec3(travel, BULLET_DIRECTION_SCALE), HIT_IMPACT_RADIUS,
                       HIT_IMPACT_STRENGTH});
    emitBursts(HIT_BURSTS, contact.point);
    emitBurst(HIT_TRAIL_BURST, contact.point, travel.length() < BULLET_DIRECTION_MIN_LENGTH ? UP : travel.normalized());
}

// A fading enemy (fading in, or away at the boss's arrival) rams nothing, whichever of the two
// stands first in the pair.
void onBodyContact(const SContact& contact) {
    const bool shipFirst = kindOf(contact.first) == E_PROGRAM_PLAYER;
    ClAtom* ship = shipFirst ? contact.first : contact.second;
    ClAtom* enemy = shipFirst ? contact.second : contact.first;
    if (enemy->entity->tween.current < 1.0f) return;

    playSoundCueAt("PlayerImpact", contact.point);
    requestAmbientFlash(RAM_FLASH_COLOUR);
    const ClDNAGenerator* generator = enemy->entity->program->generator;
    if (generator && generator->getCategory() == E_GENCAT_BOSS) {
        killAtom(ship);
        g_iPlayerRammed = 0;
    } else {
        killAtom(enemy);
        if (!invincible()) {
            killAtom(ship);
            g_iPlayerRammed = 1;
            ClVec3 away = worldPosition(ship) - contact.point;
            away.y = 0.0f;
            away.normalize();
            shakeCamera(away);
        }
        if (enemy->registered) g_CollisionImports.onEnemyDestroyed(enemy, 0);
    }
    pushImpact(SImpact{contact.point, ClVec3(), HIT_IMPACT_RADIUS, HIT_IMPACT_STRENGTH});
    emitBursts(RAM_BURSTS, contact.point);
}
