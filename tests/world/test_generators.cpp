// The generator registry, the bullet generators' programs, the enemy-destroyed rules and the
// score pickups' arena grid.
#include <gtest/gtest.h>

#include "core/name_hash.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/entity/entity_node.h"
#include "world/entity/entity_ref.h"
#include "world/entity/world.h"
#include "world/play/enemy_destroyed.h"
#include "world/play/inspiration_pickups.h"

using namespace test_support;

namespace {

class GeneratorTest : public PickupWorldTest {
protected:
    void SetUp() override {
        PickupWorldTest::SetUp();
        g_PlayRecord.song.scoreScale[0] = 2.0f;
    }
    static std::pair<s32, s32> cellOf(const ClEntity* pickup) {
        return {pickup->root->params.get("inspgridx")->integer, pickup->root->params.get("inspgridz")->integer};
    }

    ClOneNodeGenerator m_enemy{E_GENCAT_ENEMY_SMALL, "Drone", E_PROGRAM_ENEMY, 15, E_ATOM_BODY};
};

}  // namespace

TEST_F(GeneratorTest, RegistryFindsByCategoryAndNameAndRefusesDuplicates) {
    generatorRegister(&m_enemy);
    const u32 drone = crc32TextNoCase("Drone");
    EXPECT_EQ(generatorFind(E_GENCAT_ENEMY_SMALL, crc32TextNoCase("drone")), &m_enemy);
    EXPECT_EQ(generatorFind(E_GENCAT_ENEMY_MEDIUM, drone), nullptr);
    EXPECT_EQ(generatorFind(13, drone), nullptr);
    EXPECT_EQ(fatalReasonOf([&] { generatorRegister(&m_enemy); }), "generator \"Drone\" registered twice in category 8");
    EXPECT_EQ(m_enemy.getSharedProgram(), m_enemy.getSharedProgram()) << "written once, then shared";
    generatorUnregister(&m_enemy);
    EXPECT_EQ(fatalReasonOf([] { generatorFindOrDie(E_GENCAT_ENEMY_SMALL, "Drone"); }), "no generator \"Drone\" in category 8");
}

// A shot's one atom is its main atom (the world registers the bullet generators).
TEST_F(GeneratorTest, BulletGeneratorsRegisterTheirOneAtom) {
    for (auto [category, name] : {std::pair{6u, "DefBullGen"}, {12u, "DefBullGenE"}, {12u, "DefBullRSG"}, {12u, "DefBullGEF"}}) {
        u32 registered = 0;
        for (const SDNAInstruction& op : generatorFindOrDie(category, name)->getSharedProgram()->instructions)
            registered += op.opcode == E_DNA_REGISTER_ATOM;
        EXPECT_EQ(registered, 1u) << name;
    }
}

TEST_F(GeneratorTest, DestroyedEnemyCountsAKillAndDropsItsPointsOnTheGrid) {
    ClEntity* enemy = world_test::buildEntity(m_enemy.getSharedProgram());
    ClAtom* atom = enemy->atoms[0];
    atom->setWorldMatrix(world_test::translation(100.0f, 0.0f, 50.0f));

    onEnemyDestroyed(atom, 1);
    onEnemyDestroyed(atom, 0);
    EXPECT_EQ(g_aPlayerState[0].kills, 2);
    ASSERT_EQ(world_test::liveCount(E_PROGRAM_PICKUP), 1u);
    const ClEntity* pickup = entityListAt(E_LIST_ACTIVATED, entityListCount(E_LIST_ACTIVATED) - 1);
    const ClVec4 p = pickup->getWorldPosition();
    // Its value is 2.0 x 15.
    const SParamTable& table = pickup->root->params;
    EXPECT_EQ(table.get("inspvalue")->integer, 30);
    EXPECT_EQ(table.get("inspbig")->integer, 0);
    const auto [cellX, cellZ] = cellOf(pickup);
    EXPECT_EQ(cellX, 6);
    EXPECT_EQ(cellZ, 3);
    EXPECT_EQ(p.x, 104.0f);
    EXPECT_EQ(p.z, 56.0f);

    // A boss is left to the kill queue.
    ClOneNodeGenerator boss(E_GENCAT_BOSS, "Boss", E_PROGRAM_ENEMY, 15);
    enemy->program->generator = &boss;
    onEnemyDestroyed(atom, 1);
    EXPECT_EQ(g_aPlayerState[0].kills, 2);
    EXPECT_EQ(world_test::liveCount(E_PROGRAM_PICKUP), 1u);
    enemy->program->generator = &m_enemy;
    boss.releaseSharedProgram();
}

// A pickup the world released by other means, its record taken again by a destroyed entity of
// another owner: the sweep gives back the cell and leaves the newcomer alone.
TEST_F(GeneratorTest, ASweepForgetsAPickupWhoseRecordWasReleasedAndTakenAgain) {
    ClEntity* pickup = spawnInspirationPickups(ClVec3(0.0f, 0.0f, 0.0f), 5, 0, 1);
    ASSERT_NE(pickup, nullptr);
    ClEntity* successor = world_test::reuseRecordForDestroyedNewcomer(pickup);
    ASSERT_EQ(successor, pickup);  // the same record, in its next use
    const SEntityRef held = makeEntityRef(successor);
    sweepInspirationPickups();
    flushFreedEntities();
    EXPECT_EQ(entityRefGet(held), successor);
    const auto [cellX, cellZ] = cellOf(spawnInspirationPickups(ClVec3(0.0f, 0.0f, 0.0f), 5, 0, 1));
    EXPECT_EQ(cellX, 0) << "the cell given back";
    EXPECT_EQ(cellZ, 0) << "the cell given back";
}

TEST_F(GeneratorTest, DropsTakeTheNearestFreeCellsAndDestroyedOnesGiveThemBack) {
    std::vector<std::pair<s32, s32>> cells;
    std::vector<ClEntity*> pickups;
    for (int i = 0; i < 3; ++i) {
        pickups.push_back(spawnInspirationPickups(ClVec3(0.0f, 0.0f, 0.0f), 5, 0, 1));
        cells.push_back(cellOf(pickups.back()));
    }
    const s32 nearestX[] = {0, 1, 0}, nearestZ[] = {0, 0, 1};
    for (u32 i = 0; i < 3; ++i) {
        EXPECT_EQ(cells[i].first, nearestX[i]) << "drop " << i;
        EXPECT_EQ(cells[i].second, nearestZ[i]) << "drop " << i;
    }
    // Off the grid: exactly where asked, no cell.
    ClEntity* loose = spawnInspirationPickups(ClVec3(400.0f, 0.0f, -10.0f), 5, 1, 0);
    EXPECT_EQ(loose->root->params.find("inspgridx"), nullptr);
    EXPECT_EQ(loose->getWorldPosition().x, 400.0f);

    pickups[1]->destroy();
    flushDestroyedEntities();
    sweepInspirationPickups();
    flushFreedEntities();
    EXPECT_EQ(world_test::liveCount(E_PROGRAM_PICKUP), 3u);
    const auto [refillX, refillZ] = cellOf(spawnInspirationPickups(ClVec3(20.0f, 0.0f, 0.0f), 5, 0, 1));
    EXPECT_EQ(refillX, 1);
    EXPECT_EQ(refillZ, 0);

    // The world's shutdown frees the pickups left lying: the next world's sweep must not read them.
    shutdownWorld();
    initWorld();
    sweepInspirationPickups();
    const auto [nextX, nextZ] = cellOf(spawnInspirationPickups(ClVec3(0.0f, 0.0f, 0.0f), 5, 0, 1));
    EXPECT_EQ(nextX, 0) << "the cells given back";
    EXPECT_EQ(nextZ, 0) << "the cells given back";
}
