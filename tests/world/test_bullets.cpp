// Bullet flight (straight, the far limit, pellets, the seeker's turn) and the small enemies' gun
// (grown inside the arena, carried, fired at the ship once).
#include "core/game_clock.h"
#include "core/random.h"
#include "tests/support/fatal_catch.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_bullet.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/generators/bullet_generators.h"
#include "world/generators/dna_generator.h"
#include "world/play/player_state.h"
#include "world/processors/bullet_processors.h"
#include "world/processors/enemy_gun.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr f32 STEP = 1.0f / 60.0f;

ClVec3 at(const ClEntity* e) {
    const ClVec4 p = e->getWorldPosition();
    return ClVec3(p.x, p.y, p.z);
}

ClVec3 heading(const ClEntity* e) {
    const ClVec4 x = e->getWorldAxisX();
    return ClVec3(x.x, x.y, x.z);
}

class BulletTest : public test_support::FatalThrowingTest {
protected:
    void SetUp() override {
        FatalThrowingTest::SetUp();
        initWorld();
        registerBulletGenerators();
        resetPlayerStates();
        sfmtInitGenRand(3);
        setClockDelta(GAME_CLOCK_GAMEPLAY, STEP);
    }
    void TearDown() override {
        g_aPlayerState[0].ship = nullptr;
        shutdownWorld();
        unregisterBulletGenerators();
        for (ClDNAProgram& program : m_programs) program.release();
        FatalThrowingTest::TearDown();
    }

    ClEntity* bullet(s32 type, f32 speed, const ClMatrix44& placement) {
        ClEntity* b = allocEntity(OWNER_LIVE_GAME);
        b->buildFromDNA(generatorFindOrDie(E_GENCAT_PLAYER_BULLET, "DefBullGen")->getSharedProgram());
        b->root->resetAtoms();
        b->spawn();
        b->setRootTransform(placement);
        b->activate();
        SBulletParams params = {};
        params.bullType = type;
        params.bullVel = speed;
        copyBulletParamsToBullet(b->root, params);
        return b;
    }
    static ClMatrix44 placedAt(const ClVec3& position) {
        ClMatrix44 m;
        m.setTranslationXYZ(position.x, position.y, position.z);
        return m;
    }
    // An enemy of one registered part that holds its place frame after frame (straight flight at
    // speed 0); with a gun, a child node 5 units ahead in z carries it.
    ClEntity* enemy(const ClVec3& position, bool withGun, u32 slot) {
        ClDNAProgram& p = m_programs[slot];
        p.init();
        p.kind = E_PROGRAM_ENEMY;
        p.emitNewNode(ClMatrix44());
        p.emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
        p.emitAddProcessor(E_PROC_GO_STRAIGHT);
        p.emitParamFloat("vel", 0.0f);
        p.emitNewAtom(E_ATOM_ATTACH_POINT, -1, ClMatrix44(), 0);
        p.emitRegisterAtom();
        if (withGun) {
            p.emitNewNode(placedAt(ClVec3(0.0f, 0.0f, 5.0f)));
            p.emitAddProcessor(E_PROC_UPDATE_WORLD_FRAMES);
            p.emitAddProcessor(E_PROC_ENEMY_GUN);
            p.emitParamFloat("GunRate", 1.0f);
            p.emitParamInt("GunPel", 1);
            p.emitParamInt("GunPat", 0);
            for (const char* name : {"MyBullGen", "BullLev", "BullCol", "BullFlag"}) p.emitParamInt(name, 0);
            p.emitParamInt("BullType", 18);
            for (const char* name : {"BullRad", "BullRndRad", "BullDmg", "BullVelVar"}) p.emitParamFloat(name, 1.0f);
            p.emitParamFloat("BullVel", 600.0f);
            p.emitNewAtom(E_ATOM_ATTACH_POINT, -1, ClMatrix44(), 0);
            p.emitCloseNode();
        }
        p.emitCloseNode();
        ClEntity* e = allocEntity(OWNER_LIVE_GAME);
        e->buildFromDNA(&p);
        e->spawn();
        e->setRootPosition(position);
        e->activate();
        return e;
    }
    static void step() {
        flipFrameBuffers();
        updateLiveEntities();
        flushDestroyedEntities();
        flushFreedEntities();
    }
    static u32 enemyShots() {
        u32 n = 0;
        for (u32 i = 0; i < entityListCount(E_LIST_LIVE); ++i)
            n += entityListAt(E_LIST_LIVE, i)->program->kind == E_PROGRAM_ENEMY_SHOT;
        return n;
    }

    ClDNAProgram m_programs[2];
};

TEST_F(BulletTest, ABulletWithoutAHeadingFliesAlongZAndEndsOnlyBeyondTheFarLimit) {
    setClockDelta(GAME_CLOCK_GAMEPLAY, 0.0625f);
    ClMatrix44 collapsed = placedAt(ClVec3(0.0f, 0.0f, 1190.0f));
    collapsed.m[0] = 0.0f;
    ClEntity* b = bullet(0, 160.0f, collapsed);
    flipFrameBuffers();
    b->update();
    EXPECT_EQ(std::make_pair(at(b).z, b->state), std::make_pair(1200.0f, u32(E_ENTITY_ACTIVE)));
    flipFrameBuffers();
    b->update();
    EXPECT_EQ(b->state, u32(E_ENTITY_DESTROYED));
    EXPECT_EQ(b->root->params.get("BullHit")->integer, 0);

    ClEntity* flash = bullet(BULLET_TYPE_FLASH, 0.0f, ClMatrix44());
    flash->update();
    EXPECT_EQ(flash->state, u32(E_ENTITY_ACTIVE));
    flash->update();
    EXPECT_EQ(flash->state, u32(E_ENTITY_DESTROYED)) << "a flash lives two updates";
}

TEST_F(BulletTest, APelletEndsWhereItsTweenEndsWithinItsRangeAndSpread) {
    ClEntity* pellet = bullet(6, 1000.0f, placedAt(ClVec3(100.0f, 0.0f, 100.0f)));
    u32 frames = 0;
    ClVec3 last;
    while (pellet->state != E_ENTITY_DESTROYED && frames < 200) {
        flipFrameBuffers();
        pellet->update();
        last = at(pellet);
        ++frames;
    }
    EXPECT_LE(frames, 80u) << "1.3125 s at most";
    const ClVec3 travel = last - ClVec3(100.0f, 0.0f, 100.0f);
    EXPECT_GE(travel.length(), 100.0f);
    EXPECT_LE(travel.length(), 300.0f);
    EXPECT_LE(std::fabs(std::atan2(travel.z, travel.x)), 0.4f + 1e-5f);
}

TEST_F(BulletTest, ASeekerTurnsAtMostItsRateTowardTheEnemyAheadAndIgnoresOnesBehind) {
    enemy(ClVec3(0.0f, 0.0f, 100.0f), false, 0);
    ClEntity* ignoring = bullet(8, 60.0f, placedAt(ClVec3(100.0f, 0.0f, 100.0f)));
    step();
    EXPECT_EQ(std::make_pair(at(ignoring).x, heading(ignoring).x), std::make_pair(101.0f, 1.0f));

    enemy(ClVec3(200.0f, 0.0f, 200.0f), false, 1);
    ClEntity* seeker = bullet(8, 0.0f, placedAt(ClVec3(100.0f, 0.0f, 100.0f)));
    const f32 limit = STEP * SEEKER_TURN_RATE;
    f32 angle = 0.0f;
    for (int frame = 1; frame <= 9; ++frame) {
        step();
        const ClVec3 h = heading(seeker);
        const f32 now = std::atan2(h.z, h.x);
        EXPECT_NEAR(now - angle, limit, 1e-5f) << "frame " << frame << ": toward the enemy, by the limit";
        angle = now;
    }
    EXPECT_NEAR(limit, 0.0833f, 1e-4f);
    step();
    EXPECT_NEAR(std::atan2(heading(seeker).z, heading(seeker).x), 0.785398f, 1e-5f) << "the last bit is taken whole";
}

TEST_F(BulletTest, TheEnemyGunGrowsInsideTheArenaCarriesItsBulletAndFiresOnceAtTheShip) {
    ClEntity* shooter = enemy(ClVec3(-50.0f, 0.0f, 100.0f), true, 0);
    auto* gun = static_cast<ClProcessor_EnemyGun*>(shooter->root->children[0]->findProcessor(E_PROC_ENEMY_GUN));
    for (int i = 0; i < 60; ++i) step();
    EXPECT_EQ(enemyShots(), 0u) << "outside the arena";

    shooter->setRootPosition(ClVec3(100.0f, 0.0f, 100.0f));
    step();
    ASSERT_NE(gun->heldBullet, nullptr);
    ClEntity* shot = gun->heldBullet;
    EXPECT_EQ(gun->heldBulletAtom->satellitesDone, 0u);
    shooter->setRootPosition(ClVec3(120.0f, 0.0f, 100.0f));
    step();
    EXPECT_EQ(std::make_pair(at(shot).x, at(shot).z), std::make_pair(120.0f, 105.0f)) << "it rides on the gun";

    ClEntity* ship = enemy(ClVec3(120.0f, 0.0f, 205.0f), false, 1);
    ship->program->kind = E_PROGRAM_PLAYER;
    g_aPlayerState[0].ship = ship;
    gun->heldBulletAtom->satellitesDone = 1;
    step();
    EXPECT_EQ(gun->heldBullet, nullptr);
    step();
    EXPECT_NEAR(at(shot).z, 115.0f, 1e-4f) << "toward the ship at 10 units a frame";
    EXPECT_NEAR(at(shot).x, 120.0f, 1e-4f);
    for (int i = 0; i < 300; ++i) step();
    EXPECT_EQ(enemyShots(), 0u) << "one bullet per activation, gone beyond the far limit";
}

TEST_F(BulletTest, WithoutAShipOrWithItsEnemyGoneTheHeldBulletIsDestroyed) {
    ClEntity* shooter = enemy(ClVec3(100.0f, 0.0f, 100.0f), true, 0);
    auto* gun = static_cast<ClProcessor_EnemyGun*>(shooter->root->children[0]->findProcessor(E_PROC_ENEMY_GUN));
    for (int i = 0; i < 31; ++i) step();
    ASSERT_NE(gun->heldBullet, nullptr);
    gun->heldBulletAtom->satellitesDone = 1;
    step();
    EXPECT_EQ(std::make_pair(gun->heldBullet, enemyShots()), std::make_pair(static_cast<ClEntity*>(nullptr), 0u));

    ClEntity* second = enemy(ClVec3(100.0f, 0.0f, 100.0f), true, 1);
    auto* secondGun = static_cast<ClProcessor_EnemyGun*>(second->root->children[0]->findProcessor(E_PROC_ENEMY_GUN));
    for (int i = 0; i < 31; ++i) step();
    ASSERT_NE(secondGun->heldBullet, nullptr);
    second->destroy();
    step();
    EXPECT_EQ(enemyShots(), 0u);
}

}  // namespace
