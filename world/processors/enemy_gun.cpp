#include "world/processors/enemy_gun.h"

#include "audio/sound/sound_engine.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_bullet.h"
#include "world/atoms/gun_params.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/frame_parity.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/processors/bullet_processors.h"
#include "world/services/play_area.h"
#include "world/state/player_records.h"

#include <cfloat>

namespace {

ClVec3 xyz(const ClVec4& v) { return ClVec3(v.x, v.y, v.z); }

ClProcessor_Bullet* bulletProcessorOf(ClEntity* bullet) {
    return static_cast<ClProcessor_Bullet*>(bullet->root->findProcessor(E_PROC_BULLET));
}

}  // namespace

void ClProcessor_EnemyGun::attach(ClEntity* owner, ClEntityNode* hangingOn) {
    storeAttachment(owner, hangingOn, E_PROC_ENEMY_GUN);
    heldBullet = SEntityRef{};
    heldBulletAtom = nullptr;
}

ClEntity* ClProcessor_EnemyGun::held() {
    ClEntity* bullet = entityRefGet(heldBullet);
    if (!bullet) {
        heldBullet = SEntityRef{};
        heldBulletAtom = nullptr;
    }
    return bullet;
}

void ClProcessor_EnemyGun::onActivate() { reloadTimer = ENEMY_GUN_FIRST_DELAY; }

void ClProcessor_EnemyGun::update() {
    if (entity->state == E_ENTITY_SPAWNED) return;
    if (!held()) {
        reloadTimer -= frameTime();
        if (!(reloadTimer > 0.0f)) growBullet();
    } else if (heldBulletAtom->satellitesDone) {
        fire();
    }
}

void ClProcessor_EnemyGun::updateWorldFrames() {
    if (ClEntity* bullet = held()) bullet->setRootTransform(node->currentWorldMatrix());
}

void ClProcessor_EnemyGun::onDestroy() {
    ClEntity* bullet = held();
    if (!bullet) return;
    letGo();
    if (bullet->state != E_ENTITY_DESTROYED) bullet->destroy();
}

void ClProcessor_EnemyGun::onBulletEnded(ClEntity*) {
    if (held()) letGo();
}

void ClProcessor_EnemyGun::letGo() {
    if (ClEntity* bullet = held()) bulletProcessorOf(bullet)->ownerProcessor = nullptr;
    heldBullet = SEntityRef{};
    heldBulletAtom = nullptr;
}

// Every condition is tried again on the next frame when one fails, the generator's presence
// included.
void ClProcessor_EnemyGun::growBullet() {
    if (!node->anyActive || entity->tween.current != 1.0f) return;
    if (!isInsidePlayArea(xyz(entity->getWorldPosition()))) return;
    ClDNAGenerator* generator = generatorFind(E_GENCAT_ENEMY_BULLET, crc32TextNoCase("DefBullGenE"));
    if (!generator) return;

    ClEntity* bullet = allocEntity(entity->ownerTag);
    bullet->buildFromDNA(generator->getSharedProgram());
    bullet->root->resetAtoms();
    bullet->spawn();
    SGunParams gun = {};
    SGunParams::readFromNode(node, &gun);
    copyBulletParamsToBullet(bullet->root, gun.bullet);

    ClProcessor_Bullet* flight = bulletProcessorOf(bullet);
    flight->ownerProcessor = this;
    flight->moving = 0;
    if (bullet->root->atoms.count == 0 || bullet->root->atoms[0]->kind != E_ATOM_BULLET)
        fatalError("the enemy bullet's root node does not start with a bullet atom");
    heldBullet = makeEntityRef(bullet);
    heldBulletAtom = static_cast<ClAtom_Bullet*>(bullet->root->atoms[0]);
    heldBulletAtom->satellitesDone = 0;

    bullet->setRootTransform(node->currentWorldMatrix());
    bullet->activate();
    bullet->update();
    reloadTimer = FLT_MAX;
}

void ClProcessor_EnemyGun::fire() {
    ClEntity* bullet = held();
    if (!bullet) return;
    bulletProcessorOf(bullet)->moving = 1;
    playCue("SmallEnemyWeaponFire");
    const ClEntity* ship = playerShip(0);
    letGo();
    if (!ship) {
        if (bullet->state != E_ENTITY_DESTROYED) bullet->destroy();
        return;
    }
    // Both halves of the double-buffered world matrices take the new heading.
    ClVec3 direction = xyz(ship->getWorldPosition()) - xyz(bullet->getWorldPosition());
    direction.normalize();
    const ClVec3 up(0.0f, 1.0f, 0.0f);
    bullet->setFacing(direction, up);
    flipFrameBuffers();
    bullet->setFacing(direction, up);
    flipFrameBuffers();
}
