// The gun of the small enemies: half a second after its entity is activated (and once the
// entity is faded in, inside the arena and the gun's node still has a part) it grows one enemy
// bullet on its node, holds it there until the bullet's look reports it ready, then lets it fly
// at the player's ship. One bullet per activation.
#pragma once

#include "core/types.h"
#include "world/entity/entity_ref.h"
#include "world/entity/processor.h"

class ClAtom_Bullet;

constexpr f32 ENEMY_GUN_FIRST_DELAY = 0.5f;  // seconds from activation to the first try

class ClProcessor_EnemyGun : public ClProcessor {
public:
    SEntityRef heldBullet;  // empty once the bullet's record is released
    ClAtom_Bullet* heldBulletAtom = nullptr;  // read only while heldBullet is live
    f32 reloadTimer = 0.0f;  // counts down while no bullet is held

    void attach(ClEntity* owner, ClEntityNode* hangingOn) override;
    void onActivate() override;
    void update() override;
    void updateWorldFrames() override;
    void onDestroy() override;
    void onBulletEnded(ClEntity* bullet) override;

private:
    void growBullet();
    void fire();
    // The held bullet's processor forgets this gun; the gun forgets the bullet.
    void letGo();
    // The held bullet; a bullet whose record went without word is forgotten.
    ClEntity* held();
};
