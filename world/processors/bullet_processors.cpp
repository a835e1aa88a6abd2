#include "world/processors/bullet_processors.h"

#include "core/game_clock.h"
#include "core/matrix44.h"
#include "core/random.h"
#include "render/fx_particles.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_staff.h"
#include "world/atoms/gun_params.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/frame_parity.h"
#include "world/entity/world.h"
#include "world/processors/staff_enemies.h"
#include "world/services/play_area.h"
#include "world/state/player_records.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr f32 COLLAPSED_AXIS_SQUARED = 1e-7f;
const ClVec3 WORLD_UP(0.0f, 1.0f, 0.0f);

ClVec3 xyz(const ClVec4& v) { return ClVec3(v.x, v.y, v.z); }
ClVec3 rowOf(const ClMatrix44& m, u32 r) { return ClVec3(m.m[4 * r], m.m[4 * r + 1], m.m[4 * r + 2]); }

// Only an activated bullet may be destroyed; one already destroyed this frame stays so once.
void endBullet(ClEntity* bullet) {
    if (bullet->state != E_ENTITY_ACTIVE) return;
    bullet->findOrAddParam(BULLET_HIT_NAME)->setInt(0);
    bullet->destroy();
}

void tellOwner(ClProcessor*& owner, ClEntity* bullet) {
    if (!owner) return;
    ClProcessor* told = owner;
    owner = nullptr;
    told->onBulletEnded(bullet);
}

// The bullet's root moves from its previous position along axis (scaled to "BullVel", through the
// flying processor's kept value, x the frame step; a collapsed axis flies along +z). Beyond
// BULLET_ESCAPE_DISTANCE it is destroyed with "BullHit" 0. Inline: the flight of nearly every shot.
inline void flyBulletStraight(ClEntity* bullet, const ClVec3& axis, f32 speed) {
    ClVec3 step = axis;
    if (step.dot(step) < COLLAPSED_AXIS_SQUARED) step = ClVec3(0.0f, 0.0f, 1.0f);
    step.normalize();
    const ClVec3 position = rowOf(bullet->root->previousWorldMatrix(), 3) + scaleVec3(step, speed * frameTime());
    bullet->setRootPosition(position);
    if (position.length() > BULLET_ESCAPE_DISTANCE) endBullet(bullet);
}

}  // namespace

s32 SBulletFlightParams::typeOf(const ClEntity* bullet) {
    if (bullet->root != typeRoot) {
        type = bullet->root->params.get(BULLET_TYPE_NAME)->integer;
        typeRoot = bullet->root;
    }
    return type;
}

f32 SBulletFlightParams::speedOf(const ClEntity* bullet) {
    if (bullet->root != speedRoot) {
        speed = bullet->root->params.get(BULLET_SPEED_NAME)->real;
        speedRoot = bullet->root;
    }
    return speed;
}

// --- general bullet -------------------------------------------------------------------------------

void ClProcessor_Bullet::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_BULLET);
    moving = 1;
    ownerProcessor = nullptr;
    pelletStarted = 0;
    frameCount = 0;
    flight = SBulletFlightParams();
}

void ClProcessor_Bullet::update() {
    const s32 type = flight.typeOf(entity);
    if (type == BULLET_TYPE_FLASH) {
        if (++frameCount >= 2) endBullet(entity);
    } else if (type >= BULLET_TYPE_SHOTGUN_FIRST && type <= BULLET_TYPE_SHOTGUN_LAST) {
        flyPellet();
    } else if (type >= BULLET_TYPE_SEEKER_FIRST && type <= BULLET_TYPE_SEEKER_LAST) {
        seek();
    } else if (moving) {
        flyBulletStraight(entity, rowOf(entity->root->previousWorldMatrix(), 0), flight.speedOf(entity));
    }
}

void ClProcessor_Bullet::onDestroy() { tellOwner(ownerProcessor, entity); }

void ClProcessor_Bullet::flyPellet() {
    if (!pelletStarted) {
        const f32 turn = 0.8f * randomUnitFloat() - PELLET_MAX_TURN;
        const f32 range = PELLET_MIN_RANGE + PELLET_RANGE_SPREAD * randomUnitFloat();
        ClVec3 offset = xyz(entity->getPreviousWorldAxisX());
        if (offset.dot(offset) < COLLAPSED_AXIS_SQUARED) offset = ClVec3(0.0f, 0.0f, 1.0f);
        offset.setLength(range);
        ClMatrix44 rotation;
        rotation.setRotationAxisAngle(WORLD_UP, turn);
        offset = rotation.transformPoint(offset);
        const ClVec3 start = xyz(entity->getPreviousWorldPosition());
        const f32 seconds = randomFloatInRange(PELLET_MIN_SECONDS, PELLET_MAX_SECONDS);
        pelletTween.startFromTo(start, start + offset, seconds, E_TWEEN_CURVE_EIGHTH_POWER_OUT, 0.0f);
        pelletStarted = 1;
    } else {
        pelletTween.advance(frameTime());
    }
    entity->setRootPosition(pelletTween.getValue());
    if (!pelletTween.running) endBullet(entity);
}

// Turns toward the enemy most nearly ahead (by the cosine of the angle to it), at most
// SEEKER_TURN_RATE x the frame step, then flies straight along the new heading. The turn starts
// from last frame's matrix: after the flip the current buffer still holds the one before it.
void ClProcessor_Bullet::seek() {
    const ClMatrix44 world = node->previousWorldMatrix();
    const ClVec3 here = rowOf(world, 3);
    const ClVec3 heading = rowOf(world, 0);
    f32 best = -1.0f;
    ClVec3 bestDirection;
    bool found = false;
    const u32 liveCount = entityListCount(E_LIST_LIVE);
    for (u32 i = 0; i < liveCount; ++i) {
        const ClEntity* candidate = entityListAt(E_LIST_LIVE, i);
        if (!candidate->program || candidate->program->kind != E_PROGRAM_ENEMY) continue;
        if (candidate->registeredAtoms.count == 0) continue;
        ClVec3 d = xyz(candidate->getMainAtomWorldPosition()) - here;
        d.normalize();
        const f32 c = d.dot(heading);
        if (c > 0.0f && c > best) {
            best = c;
            bestDirection = d;
            found = true;
        }
    }
    if (!found) {
        entity->setFacing(xyz(entity->getPreviousWorldAxisX()), WORLD_UP);
    } else {
        const f32 angle = std::fabs(std::acos(std::clamp(best, 0.0f, 1.0f)));
        const f32 maxTurn = frameTime() * SEEKER_TURN_RATE;
        if (maxTurn <= angle) {
            ClMatrix44 rotation;
            rotation.setRotationAxisAngle(WORLD_UP, bestDirection.dot(rowOf(world, 2)) >= 0.0f ? -maxTurn : maxTurn);
            node->setWorldMatrix(world.multiply(rotation));
        } else {
            entity->setFacing(bestDirection, WORLD_UP);
        }
    }
    if (moving) flyBulletStraight(entity, xyz(entity->getWorldAxisX()), flight.speedOf(entity));
}

// --- straight bullet ------------------------------------------------------------------------------

void ClProcessor_Bullet_Seek::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_BULLET_SEEK);
    moving = 1;
    ownerProcessor = nullptr;
    flight = SBulletFlightParams();
}

void ClProcessor_Bullet_Seek::update() {
    if (moving) flyBulletStraight(entity, xyz(entity->getPreviousWorldAxisX()), flight.speedOf(entity));
}

void ClProcessor_Bullet_Seek::onDestroy() { tellOwner(ownerProcessor, entity); }

// --- round-staff bullet ---------------------------------------------------------------------------

void ClProcessor_Bullet_RoundStaff::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_BULLET_ROUND_STAFF);
    subscription = {};
    staffAtom = nullptr;
    carryingGun = nullptr;
}

void ClProcessor_Bullet_RoundStaff::release() {
    dropBeatSubscription(subscription);
    if (carryingGun) carryingGun->forgetBullet();
    carryingGun = nullptr;
    staffAtom = nullptr;
}

void ClProcessor_Bullet_RoundStaff::onActivate() {
    ClAtom* atom = node->findAtomByName("RSAT");
    staffAtom = atom && atom->kind == E_ATOM_BULLET_ROUND_STAFF ? static_cast<ClAtom_Bullet_RoundStaff*>(atom) : nullptr;
    if (!staffAtom) return;
    staffAtom->noteCount = 0;
    dropBeatSubscription(subscription);
    subscription = subscribeBeat([](const SBeat&, s32, void* user) { static_cast<ClProcessor_Bullet_RoundStaff*>(user)->onBeat(); },
                                 this, 0);
}

void ClProcessor_Bullet_RoundStaff::onBeat() {
    if (!carryingGun || !staffAtom) return;
    if (!isInsideExtendedPlayArea(xyz(entity->getWorldPosition()))) return;
    const ClEntity* gunEntity = carryingGun->entity;
    if (gunEntity->state == E_ENTITY_DESTROYED || !carryingGun->node->anyActive) return;
    const SParamValue* hold = gunEntity->root->params.isInitialised() ? gunEntity->root->params.find("dnt_shoot") : nullptr;
    if (hold && (hold->type == E_PARAM_FLOAT ? hold->real > 0.0f : hold->integer > 0)) return;
    staffAtom->addNote();
    if (staffAtom->noteCount >= staffAtom->maxNotes) carryingGun->onFirePressed();
}

void ClProcessor_Bullet_RoundStaff::onFirePressed() {
    if (staffAtom) staffAtom->setCollidable(1);
    if (const ClEntity* ship = playerShip(0)) {
        ClVec3 d = xyz(ship->getPreviousWorldPosition()) - xyz(entity->getPreviousWorldPosition());
        d.normalize();
        entity->setFacing(d, WORLD_UP);
        flipFrameBuffers();
        entity->setFacing(d, WORLD_UP);
        flipFrameBuffers();
    }
    dropBeatSubscription(subscription);
    carryingGun = nullptr;
    if (fxParticles()) fxParticles()->addExpandingFlash(0, xyz(entity->getWorldPosition()));
}

void ClProcessor_Bullet_RoundStaff::update() {
    if (carryingGun) {
        if (!carryingGun->node->anyActive) {
            carryingGun->forgetBullet();
            carryingGun = nullptr;
            if (entity->state == E_ENTITY_ACTIVE) entity->destroy();
        }
        return;
    }
    const ClVec3 step = scaleVec3(xyz(entity->getWorldAxisX()).normalized(), ROUND_STAFF_SPEED * frameTime());
    const ClVec3 position = xyz(entity->getPreviousWorldPosition()) + step;
    entity->setRootPosition(position);
    if (position.length() > ROUND_STAFF_ESCAPE_DISTANCE && entity->state == E_ENTITY_ACTIVE) entity->destroy();
}

void ClProcessor_Bullet_RoundStaff::onDestroy() {
    dropBeatSubscription(subscription);
    staffAtom = nullptr;
}
