#include <gtest/gtest.h>

#include "tests/support/memory_script_source.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/atoms/gun_params.h"
#include "world/collision/contact_handlers.h"
#include "world/collision/kill_queue.h"
#include "world/collision/swept_contact.h"
#include "world/collision/world_collision.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/state/boss_encounter.h"

#include <algorithm>
#include <set>
#include <utility>

using namespace test_support;

namespace {

// A sphere of the radius swept along x from x0 to x1, at the height y.
SCollisionSphere swept(f32 x0, f32 x1, f32 radius, f32 y = 0.0f) {
    return SCollisionSphere{E_BOUNDS_SWEPT_SPHERE, radius, ClVec3(x0, y, 0), ClVec3(x1, y, 0)};
}

TEST(SweptContact, FastSphereHitsAtItsEntryTimeNotAtTheEndOfTheStep) {
    const SCollisionSphere target = swept(0, 0, 2.0f);
    SSweptContact contact{};
    ASSERT_TRUE(findSweptContact(swept(-100, 100, 1.0f), target, &contact));
    // At the bullet's front, facing the target, after 97 of the 200 units.
    EXPECT_EQ(contact.point.x, -2.0f);
    EXPECT_EQ(contact.normal.x, 1.0f);
    // A pass at exactly the sum of the radii only touches.
    EXPECT_FALSE(findSweptContact(swept(-100, 100, 1.0f, 3.0f), target, &contact));
}

// ---------------------------------------------------------------------------------------------
// The pass, the handlers and the kill queue over real entities: one node, one bullet atom of
// the given radius placed directly (no motion processors), its radius and damage in the bullet
// block of the root, its hit points from the program.

using Contacts = std::vector<std::pair<f32, ClEntity*>>;  // time, and the entity of the second atom
Contacts g_contacts;

void recordContact(const SContact& contact) { g_contacts.push_back({contact.time, contact.second->entity}); }

class CollisionTest : public PickupWorldTest {
protected:
    void SetUp() override {
        PickupWorldTest::SetUp();
        recordKinds(E_PROGRAM_ENEMY, E_PROGRAM_PLAYER_SHOT);  // the pass's tests record these, not handle them
        g_contacts.clear();
    }

    // With nodes = 2 a child node carries a second atom of the same radius (not placed).
    ClEntity* make(u32 kind, ClVec3 at, f32 radius, s32 hitPoints, f32 damage = 0.0f,
                   ClDNAGenerator* generator = nullptr, u32 nodes = 1) {
        ClDNAProgram* program = m_programs.emplace_back(new ClDNAProgram()).get();
        program->init();
        program->kind = kind;
        program->generator = generator ? generator : &m_enemyGenerator;
        for (u32 node = 0; node < nodes; ++node) {
            program->emitNewNode(ClMatrix44());
            program->emitNewAtom(E_ATOM_BULLET, -1, ClMatrix44(), 0);
            if (node == 0) program->emitRegisterAtom();
            program->emitAtomHitPoints(hitPoints);
        }
        for (u32 node = 0; node < nodes; ++node) program->emitCloseNode();
        ClEntity* entity = world_test::buildEntity(program);
        SBulletParams bullet{};
        bullet.bullRad = radius;
        bullet.bullDmg = damage;
        for (ClEntityNode* node = entity->root; node; node = node->children.count ? node->children[0] : nullptr)
            copyBulletParamsToBullet(node, bullet);
        entity->spawn();
        entity->activate();
        place(entity, at);
        return entity;
    }
    static void place(ClEntity* entity, ClVec3 at) {
        atomOf(entity)->setWorldMatrix(world_test::translation(at.x, at.y, at.z));
    }
    static ClAtom* atomOf(ClEntity* entity) { return entity->registeredAtoms[0]; }
    static void recordKinds(u32 a, u32 b) {
        g_aContactHandlers[a * CONTACT_KIND_COUNT + b] = recordContact;
        g_aContactHandlers[b * CONTACT_KIND_COUNT + a] = recordContact;
    }
    // The next step with the entities at their new places, and its collision pass.
    static void stepTo(std::initializer_list<std::pair<ClEntity*, ClVec3>> moves) {
        flipFrameBuffers();
        for (auto [entity, at] : moves) place(entity, at);
        updateWorldCollisions();
    }
    static SContact contactOf(ClEntity* a, ClEntity* b) {
        return SContact{ClVec3(), ClVec3(0.0f, 0.0f, 1.0f), 0.5f, atomOf(a), atomOf(b)};
    }

    ClInstalledScripts m_script{{{"playbalance.txt", "boss_kill_scalar_bonus = 1.5;"}}};
    std::vector<world_test::ProgramPtr> m_programs;
    ClOneNodeGenerator m_enemyGenerator{E_GENCAT_ENEMY_SMALL, "Drone", E_PROGRAM_ENEMY};
};

TEST_F(CollisionTest, AFastBulletMeetsTheAtomOfAChildNodeItPassedThrough) {
    ClEntity* bullet = make(E_PROGRAM_PLAYER_SHOT, ClVec3(100, 0, 0), 1.0f, 1);
    ClEntity* enemy = make(E_PROGRAM_ENEMY, ClVec3(40, 0, 100), 5.0f, 10, 0.0f, nullptr, 2);
    enemy->atoms[1]->setWorldMatrix(world_test::translation(100, 0, 100));
    updateWorldCollisions();
    stepTo({{bullet, ClVec3(100, 0, 200)}});
    ASSERT_EQ(g_contacts.size(), 1u) << "the child is entered on its swept box, not on this frame's";
    EXPECT_EQ(g_contacts[0].first, 94.0f / 200.0f);
    EXPECT_EQ(g_contacts[0].second, enemy);
}

// Enough of each kind for the pass to bucket one side into its cells. Each enemy stands on a
// corner of four cells with ten bullets around it, so most pairs share several cells.
TEST_F(CollisionTest, ACrowdMeetsEachOverlappingPairOnceWhereverItsCellsAre) {
    constexpr u32 ENEMIES = 10;
    constexpr u32 BULLETS_EACH = 10;
    std::vector<ClEntity*> bullets;
    for (u32 i = 0; i < ENEMIES; ++i) make(E_PROGRAM_ENEMY, ClVec3(32.0f * f32(i), 0, 0), 2.0f, 10);
    for (u32 i = 0; i < ENEMIES; ++i) {
        for (u32 j = 0; j < BULLETS_EACH; ++j) {
            const f32 offset = 0.25f * f32(j) - 1.0f;
            bullets.push_back(make(E_PROGRAM_PLAYER_SHOT, ClVec3(32.0f * f32(i) + offset, 0, -offset), 1.0f, 1));
        }
    }
    updateWorldCollisions();
    EXPECT_EQ(g_contacts.size(), size_t(ENEMIES * BULLETS_EACH));
    for (ClEntity* bullet : bullets) {
        const auto met = std::count_if(g_contacts.begin(), g_contacts.end(),
                                       [bullet](const auto& contact) { return contact.second == bullet; });
        EXPECT_EQ(met, 1) << "bullet " << (std::find(bullets.begin(), bullets.end(), bullet) - bullets.begin());
    }
}

TEST_F(CollisionTest, AFullContactPoolDropsTheRestOfTheStepsContacts) {
    for (u32 i = 0; i < 20; ++i) make(E_PROGRAM_ENEMY, ClVec3(50, 0, 50), 2.0f, 10);
    for (u32 i = 0; i < 30; ++i) make(E_PROGRAM_PLAYER_SHOT, ClVec3(50, 0, 51), 1.0f, 1);
    updateWorldCollisions();
    EXPECT_EQ(g_contacts.size(), size_t(CONTACT_CAPACITY)) << "600 pairs overlap";
}

TEST_F(CollisionTest, OnlyKindsWithAHandlerMeetAndAShipInGraceOnlyCollectsPickups) {
    recordKinds(E_PROGRAM_PLAYER, E_PROGRAM_PICKUP);
    recordKinds(E_PROGRAM_PLAYER, E_PROGRAM_ENEMY_SHOT);
    make(E_PROGRAM_ENEMY, ClVec3(10, 0, 10), 5.0f, 10);
    make(E_PROGRAM_ENEMY, ClVec3(12, 0, 10), 5.0f, 10);                        // overlaps, same side
    ClEntity* still = make(E_PROGRAM_PLAYER_SHOT, ClVec3(10, 0, 14), 1.0f, 1);  // overlaps both, never moved
    make(E_PROGRAM_PLAYER_SHOT, ClVec3(10, 0, 25), 3.0f, 1);                   // touches the first exactly
    ClEntity* ship = make(E_PROGRAM_PLAYER, ClVec3(200, 0, 10), 5.0f, 10);
    ship->timer = 1.0f;
    ClEntity* pickup = make(E_PROGRAM_PICKUP, ClVec3(203, 0, 10), 5.0f, 1);
    make(E_PROGRAM_ENEMY_SHOT, ClVec3(197, 0, 10), 1.0f, 1);
    updateWorldCollisions();
    Contacts expected{{1.0f, still}, {1.0f, still}, {1.0f, pickup}};
    std::sort(expected.begin(), expected.end());  // equal times come in no set order
    std::sort(g_contacts.begin(), g_contacts.end());
    EXPECT_EQ(g_contacts, expected);
}

// With the pass's own handlers: a ship touching a pickup collects it through its generator once,
// and the pickup goes with the kill queue.
TEST_F(CollisionTest, AShipTouchingAPickupCollectsItOnce) {
    struct SCountingGenerator : ClOneNodeGenerator {
        using ClOneNodeGenerator::ClOneNodeGenerator;
        s32 onCollect(ClEntity*, const SContact*) override { return ++collected; }
        s32 collected = 0;
    } counting{E_GENCAT_PICKUP, "Counted", E_PROGRAM_PICKUP};
    make(E_PROGRAM_PLAYER, ClVec3(100, 0, 100), 5.0f, 10);
    ClEntity* pickup = make(E_PROGRAM_PICKUP, ClVec3(103, 0, 100), 5.0f, 1, 0.0f, &counting);
    updateWorldCollisions();
    processKillQueue();
    stepTo({});
    EXPECT_EQ(counting.collected, 1);
    EXPECT_EQ(pickup->state, u32(E_ENTITY_DESTROYED));
}

TEST_F(CollisionTest, BulletDamageKillsOrWoundsAndWhatIsLeftFliesOn) {
    // damage, hit points; hit points after, the bullet flies on, its damage after.
    for (auto [damage, hitPoints, hitPointsAfter, fliesOn, damageAfter] :
         {std::tuple{10.0f, 4, 0.0f, true, 6.0f}, {10.0f, 10, 0.0f, false, 10.0f}, {3.0f, 10, 7.0f, false, 3.0f}}) {
        SCOPED_TRACE(std::to_string(damage) + " against " + std::to_string(hitPoints));
        ClEntity* enemy = make(E_PROGRAM_ENEMY, ClVec3(50, 0, 50), 5.0f, hitPoints);
        ClEntity* bullet = make(E_PROGRAM_PLAYER_SHOT, ClVec3(50, 0, 40), 1.0f, 1, damage);
        onBulletHit(contactOf(enemy, bullet));
        processKillQueue();
        EXPECT_EQ(atomOf(enemy)->hitPoints, hitPointsAfter);
        EXPECT_EQ(enemy->state, hitPointsAfter > 0 ? u32(E_ENTITY_ACTIVE) : u32(E_ENTITY_DESTROYED));
        EXPECT_EQ(atomOf(bullet)->active != 0, fliesOn);
        EXPECT_EQ(bullet->root->params.get("BullDmg")->real, damageAfter);
        // A used-up bullet stops on the part it hit.
        if (!fliesOn) {
            EXPECT_EQ(bullet->root->params.get("BullHit")->integer, 1);
            EXPECT_EQ(bullet->getWorldPosition().z, 50.0f);
        }
    }
    EXPECT_EQ(g_aPlayerState[0].kills, 2);
    EXPECT_EQ(world_test::liveCount(E_PROGRAM_PICKUP), 2u);
}

TEST_F(CollisionTest, AnInvincibleShipTakesNoDamageAndTheLargestDamagePassesThrough) {
    g_aPlayerState[0].invincibilityTime = 2.0f;
    ClEntity* ship = make(E_PROGRAM_PLAYER, ClVec3(50, 0, 50), 5.0f, 10);
    ClEntity* bullet = make(E_PROGRAM_ENEMY_SHOT, ClVec3(50, 0, 55), 1.0f, 1, 10.0f);
    ClEntity* unstoppable = make(E_PROGRAM_ENEMY_SHOT, ClVec3(50, 0, 55), 1.0f, 1, BULLET_DAMAGE_UNSTOPPABLE);
    onBulletHit(contactOf(ship, bullet));
    onBulletHit(contactOf(ship, unstoppable));
    EXPECT_EQ(atomOf(ship)->hitPoints, 10.0f);
    EXPECT_EQ(atomOf(bullet)->active, 0u);
    EXPECT_EQ(atomOf(unstoppable)->active, 1u);
    EXPECT_EQ(unstoppable->root->params.find("BullHit"), nullptr);
}

TEST_F(CollisionTest, RammingKillsTheEnemyAndTheShipUnlessTheShipIsInvincible) {
    for (const bool invincible : {false, true}) {
        SCOPED_TRACE(invincible ? "invincible" : "not invincible");
        g_aPlayerState[0].invincibilityTime = invincible ? 2.0f : 0.0f;
        g_iPlayerRammed = 0;
        ClEntity* ship = make(E_PROGRAM_PLAYER, ClVec3(50, 0, 50), 5.0f, 10);
        ClEntity* enemy = make(E_PROGRAM_ENEMY, ClVec3(50, 0, 58), 5.0f, 10);
        onBodyContact(contactOf(ship, enemy));
        processKillQueue();
        EXPECT_EQ(enemy->state, u32(E_ENTITY_DESTROYED));
        EXPECT_EQ(atomOf(ship)->active, invincible ? 1u : 0u);
        EXPECT_EQ(g_iPlayerRammed, invincible ? 0 : 1);
    }
    EXPECT_EQ(g_aPlayerState[0].kills, 2) << "a rammed enemy counts as a kill";
}

// An entity released while its kill is queued, its record taken again by a dead-looking newcomer:
// the queue passes the newcomer over.
TEST_F(CollisionTest, AQueuedKillOfAReleasedEntityPassesOverTheRecordsNextUse) {
    ClEntity* enemy = make(E_PROGRAM_ENEMY, ClVec3(160, 0, 200), 20.0f, 10);
    queueKill(enemy);
    freeEntity(enemy);
    ClEntity* successor = make(E_PROGRAM_ENEMY, ClVec3(160, 0, 200), 20.0f, 10);
    ASSERT_EQ(successor, enemy);  // the same record, in its next use
    atomOf(successor)->deactivate(1);
    processKillQueue();
    EXPECT_EQ(successor->state, u32(E_ENTITY_ACTIVE));
}

TEST_F(CollisionTest, TheBossDiesOnceFromTheKillQueueWithThirtySixEqualPickups) {
    ClOneNodeGenerator bossGenerator(E_GENCAT_BOSS, "Boss", E_PROGRAM_ENEMY);
    g_BossEncounter.valuePool = 1000.0f;
    ClEntity* boss = make(E_PROGRAM_ENEMY, ClVec3(160, 0, 200), 20.0f, 10, 0.0f, &bossGenerator);
    ClEntity* bullet = make(E_PROGRAM_PLAYER_SHOT, ClVec3(160, 0, 170), 1.0f, 1, 50.0f);
    onBulletHit(contactOf(boss, bullet));
    queueKill(boss);
    EXPECT_EQ(killQueueCount(), 1u) << "queued by the kill and again: one record";
    EXPECT_EQ(g_BossEncounter.dead, 0) << "not from the hit handler";
    processKillQueue();
    queueKill(boss);
    processKillQueue();
    onBossDeath();
    EXPECT_EQ(boss->state, u32(E_ENTITY_DESTROYED));
    EXPECT_EQ(g_BossEncounter.dead, 1);
    ASSERT_EQ(world_test::liveCount(E_PROGRAM_PICKUP), 36u);
    std::set<s32> values;
    for (const ClEntity* pickup : world_test::liveOfKind(E_PROGRAM_PICKUP))
        values.insert(pickup->root->params.get("inspvalue")->integer);
    EXPECT_EQ(values, std::set<s32>{41}) << "trunc(1.5 x 1000 / 36)";
    freeEntity(boss);
    bossGenerator.releaseSharedProgram();
}

}  // namespace
