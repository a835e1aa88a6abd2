// Bullet flight (straight, the far limit, pellets, the seeker's turn) and the small enemies' gun
// (grown inside the arena, carried until its converging look is drawn ready, fired at the ship
// once).
#include "core/game_clock.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom_bullet.h"
#include "world/atoms/gun_params.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/processors/bullet_processors.h"
#include "world/processors/enemy_gun.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace world_test;

namespace {

f32 headingAngle(const ClEntity* e) { return std::atan2(e->getWorldAxisX().z, e->getWorldAxisX().x); }

class BulletTest : public Seeded<WorldDrawTest, 3> {
protected:
    static ClEntity* bullet(s32 type, f32 speed, const ClMatrix44& placement) {
        ClEntity* b = spawnActiveEntity(generatorFindOrDie(E_GENCAT_PLAYER_BULLET, "DefBullGen")->getSharedProgram());
        b->setRootTransform(placement);
        SBulletParams params = {};
        params.bullType = type;
        params.bullVel = speed;
        copyBulletParamsToBullet(b->root, params);
        return b;
    }
    // An enemy of one main part holding its place (straight flight at speed 0); with a gun, on a
    // child node 5 units ahead in z.
    ClEntity* enemy(const ClVec3& position, bool withGun, u32 slot) {
        DnaWriter& w = m_dna[slot];
        w.node().processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_GO_STRAIGHT).param("vel", 0.0f).mainBody();
        if (withGun) {
            w.node(nullptr, translation(0.0f, 0.0f, 5.0f)).processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_ENEMY_GUN);
            w.param("GunRate", 1.0f).param("GunPel", 1).param("GunPat", 0).bulletBlock("DefBullGenE", 18, 600.0f, 0.0f, 0.0f);
            w.atom(E_ATOM_ATTACH_POINT);
            w.close();
        }
        w.close();
        return spawnActiveEntity(&w.program, position);
    }
    static ClProcessor_EnemyGun* gunOf(ClEntity* e) {
        return static_cast<ClProcessor_EnemyGun*>(e->root->children[0]->findProcessor(E_PROC_ENEMY_GUN));
    }
    static u32 enemyShots() { return liveCount(E_PROGRAM_ENEMY_SHOT); }
    // Game frames, each drawn, until the gun lets its bullet go (a second at most); the frames run.
    static int playUntilFired(ClProcessor_EnemyGun* gun) {
        int frames = 0;
        for (; entityRefGet(gun->heldBullet) && frames < 60; ++frames) {
            stepWorld();
            drawLiveEntities();
        }
        return frames;
    }

    DnaWriter m_dna[2];
};

TEST_F(BulletTest, ABulletWithoutAHeadingFliesAlongZAndEndsOnlyBeyondTheFarLimit) {
    setClockDelta(GAME_CLOCK_GAMEPLAY, 0.0625f);
    ClMatrix44 collapsed = translation(0.0f, 0.0f, 1190.0f);
    collapsed.m[0] = 0.0f;
    ClEntity* b = bullet(0, 160.0f, collapsed);
    flipFrameBuffers();
    b->update();
    EXPECT_EQ(positionOf(b).z, 1200.0f);
    EXPECT_EQ(b->state, u32(E_ENTITY_ACTIVE));
    flipFrameBuffers();
    b->update();
    EXPECT_EQ(b->state, u32(E_ENTITY_DESTROYED));
    EXPECT_EQ(b->root->params.get("BullHit")->integer, 0);

    ClEntity* flash = bullet(BULLET_TYPE_FLASH, 0.0f, ClMatrix44());
    flash->update();
    const u32 afterOne = flash->state;
    flash->update();
    EXPECT_EQ(afterOne, u32(E_ENTITY_ACTIVE));
    EXPECT_EQ(flash->state, u32(E_ENTITY_DESTROYED));
}

TEST_F(BulletTest, APelletEndsWhereItsTweenEndsWithinItsRangeAndSpread) {
    ClEntity* pellet = bullet(6, 1000.0f, translation(100.0f, 0.0f, 100.0f));
    u32 frames = 0;
    ClVec3 travel;
    for (; pellet->state != E_ENTITY_DESTROYED && frames < 200; ++frames) {
        flipFrameBuffers();
        pellet->update();
        travel = positionOf(pellet) - ClVec3(100.0f, 0.0f, 100.0f);
    }
    EXPECT_LE(frames, 80u) << "1.3125 s at most";
    EXPECT_GE(travel.length(), 100.0f) << travel.length();
    EXPECT_LE(travel.length(), 300.0f) << travel.length();
    EXPECT_LE(std::fabs(std::atan2(travel.z, travel.x)), 0.4f + 1e-5f);
}

TEST_F(BulletTest, ASeekerTurnsAtMostItsRateTowardTheEnemyAheadAndIgnoresOnesBehind) {
    enemy(ClVec3(0.0f, 0.0f, 100.0f), false, 0);
    ClEntity* ignoring = bullet(8, 60.0f, translation(100.0f, 0.0f, 100.0f));
    stepWorld();
    EXPECT_EQ(positionOf(ignoring).x, 101.0f);
    EXPECT_EQ(headingAngle(ignoring), 0.0f);

    enemy(ClVec3(200.0f, 0.0f, 200.0f), false, 1);
    ClEntity* seeker = bullet(8, 0.0f, translation(100.0f, 0.0f, 100.0f));
    const f32 limit = 5.0f / 60.0f;  // 5 radians a second
    for (int frame = 1; frame <= 9; ++frame) {
        stepWorld();
        EXPECT_NEAR(headingAngle(seeker), f32(frame) * limit, 1e-5f) << "frame " << frame;
    }
    stepWorld();
    EXPECT_NEAR(headingAngle(seeker), 0.785398f, 1e-5f) << "the last bit is taken whole";
}

TEST_F(BulletTest, TheEnemyGunGrowsInsideTheArenaCarriesItsBulletAndFiresOnceAtTheShip) {
    ClEntity* shooter = enemy(ClVec3(-50.0f, 0.0f, 100.0f), true, 0);
    ClProcessor_EnemyGun* gun = gunOf(shooter);
    for (int i = 0; i < 60; ++i) stepWorld();
    EXPECT_EQ(enemyShots(), 0u) << "outside the arena";

    shooter->setRootPosition(ClVec3(100.0f, 0.0f, 100.0f));
    stepWorld();
    ASSERT_NE(entityRefGet(gun->heldBullet), nullptr);
    ClEntity* shot = entityRefGet(gun->heldBullet);
    EXPECT_EQ(gun->heldBulletAtom->satellitesDone, 0u);
    shooter->setRootPosition(ClVec3(120.0f, 0.0f, 100.0f));
    stepWorld();
    EXPECT_EQ(positionOf(shot).x, 120.0f) << "it rides on the gun";
    EXPECT_EQ(positionOf(shot).z, 105.0f) << "it rides on the gun";

    setPlayerShip(0, enemy(ClVec3(120.0f, 0.0f, 205.0f), false, 1));
    const int frames = playUntilFired(gun);
    EXPECT_LE(frames, 14) << "its satellites close in within a fifth of a second";
    stepWorld();
    EXPECT_EQ(positionOf(shot).x, 120.0f);
    EXPECT_EQ(positionOf(shot).z, 115.0f) << "toward the ship, 10 a frame";
    for (int i = 0; i < 300; ++i) stepWorld();
    EXPECT_EQ(enemyShots(), 0u) << "one bullet per activation, gone beyond the far limit";
}

TEST_F(BulletTest, WithoutAShipOrWithItsEnemyGoneTheHeldBulletIsDestroyed) {
    ClEntity* shooters[2] = {enemy(ClVec3(100.0f, 0.0f, 100.0f), true, 0), enemy(ClVec3(200.0f, 0.0f, 100.0f), true, 1)};
    for (int i = 0; i < 31; ++i) stepWorld();
    ASSERT_EQ(enemyShots(), 2u);
    shooters[1]->destroy();
    playUntilFired(gunOf(shooters[0]));
    EXPECT_EQ(enemyShots(), 0u);
}

}  // namespace
