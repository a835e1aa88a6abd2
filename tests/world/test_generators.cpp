// The generator registry, the bullet generators' programs, the enemy-destroyed rules and the
// score pickups' arena grid.
#include <gtest/gtest.h>

#include "core/name_hash.h"
#include "tests/support/fatal_catch.h"
#include "world/atoms/atom.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/generators/bullet_generators.h"
#include "world/generators/dna_generator.h"
#include "world/play/enemy_destroyed.h"
#include "world/play/inspiration_pickups.h"
#include "world/play/play_record.h"
#include "world/play/player_state.h"

#include <vector>

using namespace test_support;

namespace {

// A program of one empty node, for enemies and pickups that need no parts.
class ClEmptyGenerator : public ClDNAGenerator {
public:
    ClEmptyGenerator(u32 category, const char* name, u32 kind, s32 inspiration)
        : ClDNAGenerator(category, name), m_kind(kind), m_inspiration(inspiration) {}
    ClDNAProgram* generate(ClRandObjSFMT*, const SGeneratorParams*) override {
        ClDNAProgram* program = new ClDNAProgram();
        program->init();
        program->kind = m_kind;
        program->inspirationScore = m_inspiration;
        program->emitNewNode(ClMatrix44());
        program->emitCloseNode();
        return program;
    }

private:
    u32 m_kind;
    s32 m_inspiration;
};

class ClTestAtom : public ClAtom {
public:
    void draw() override {}
    void computeWorldBounds() override {}
    void rebuildCollisionShape() override {}
};

class GeneratorTest : public FatalThrowingTest {
protected:
    void SetUp() override {
        FatalThrowingTest::SetUp();
        initWorld();
        resetPlayRecord();
        resetPlayerStates();
        resetInspirationPickups();
        g_PlayRecord.song.scoreScale[0] = 2.0f;
        generatorRegister(&m_pickup);
    }
    void TearDown() override {
        shutdownWorld();
        generatorUnregisterAll();
        m_pickup.releaseSharedProgram();
        m_enemy.releaseSharedProgram();
        FatalThrowingTest::TearDown();
    }
    static std::pair<s32, s32> cellOf(const ClEntity* pickup) {
        return {pickup->root->params.get("inspgridx")->integer, pickup->root->params.get("inspgridz")->integer};
    }

    ClEmptyGenerator m_pickup{E_GENCAT_PICKUP, SCORE_PICKUP_GENERATOR, E_PROGRAM_PICKUP, 0};
    ClEmptyGenerator m_enemy{E_GENCAT_ENEMY_SMALL, "Drone", E_PROGRAM_ENEMY, 15};
};

}  // namespace

TEST_F(GeneratorTest, RegistryFindsByCategoryAndNameAndRefusesDuplicates) {
    generatorRegister(&m_enemy);
    EXPECT_EQ(generatorFind(E_GENCAT_ENEMY_SMALL, crc32TextNoCase("drone")), &m_enemy);
    EXPECT_EQ(generatorFind(E_GENCAT_ENEMY_MEDIUM, crc32TextNoCase("Drone")), nullptr);
    EXPECT_EQ(generatorFind(13, crc32TextNoCase("Drone")), nullptr);
    EXPECT_EQ(fatalReasonOf([&] { generatorRegister(&m_enemy); }), "generator \"Drone\" registered twice in category 8");
    generatorUnregister(&m_enemy);
    EXPECT_EQ(generatorFind(E_GENCAT_ENEMY_SMALL, crc32TextNoCase("Drone")), nullptr);
}

TEST_F(GeneratorTest, BulletGeneratorsWriteShotProgramsOfOneRegisteredAtom) {
    registerBulletGenerators();
    struct SExpect {
        u32 category;
        const char* name;
        u32 kind;
        u32 atomKind;
        u32 processors;
    };
    // Every program places its atom with the world-frame processor; all but the staff fly.
    for (const SExpect& e : {SExpect{6, "DefBullGen", E_PROGRAM_PLAYER_SHOT, E_ATOM_BULLET, 2},
                             SExpect{12, "DefBullGenE", E_PROGRAM_ENEMY_SHOT, E_ATOM_BULLET, 2},
                             SExpect{12, "DefBullRSG", E_PROGRAM_ENEMY_SHOT, E_ATOM_BULLET_ROUND_STAFF, 2},
                             SExpect{12, "DefBullGEF", E_PROGRAM_ENEMY_SHOT, E_ATOM_BULLET_STAFF, 1}}) {
        ClDNAGenerator* generator = generatorFindOrDie(e.category, e.name);
        ClDNAProgram* program = generator->getSharedProgram();
        EXPECT_EQ(program, generator->getSharedProgram()) << e.name;
        EXPECT_EQ(program->kind, e.kind) << e.name;
        u32 processors = 0, registered = 0;
        std::vector<u32> atomKinds;
        for (u32 i = 0; i < program->instructions.count; ++i) {
            const SDNAInstruction& op = program->instructions.data[i];
            processors += op.opcode == E_DNA_ADD_PROCESSOR;
            registered += op.opcode == E_DNA_REGISTER_ATOM;
            if (op.opcode == E_DNA_NEW_ATOM) atomKinds.push_back(u32(op.operand[0].integer));
        }
        EXPECT_EQ(atomKinds, std::vector<u32>{e.atomKind}) << e.name;
        EXPECT_EQ(std::make_pair(processors, registered), std::make_pair(e.processors, 1u)) << e.name;
    }
    EXPECT_NE(generatorFindOrDie(12, "DefBullRSG")->getSharedProgram(), nullptr);
    unregisterBulletGenerators();
    EXPECT_EQ(fatalReasonOf([] { generatorFindOrDie(6, "DefBullGen"); }), "no generator \"DefBullGen\" in category 6");
}

TEST_F(GeneratorTest, DestroyedEnemyCountsAKillAndDropsItsPointsOnTheGrid) {
    ClEntity* enemy = allocEntity(OWNER_LIVE_GAME);
    enemy->buildFromDNA(m_enemy.getSharedProgram());
    ClTestAtom atom;
    atom.entity = enemy;
    ClMatrix44 at;
    at.setTranslationXYZ(100.0f, 0.0f, 50.0f);
    atom.setWorldMatrix(at);

    onEnemyDestroyed(&atom, 1);
    onEnemyDestroyed(&atom, 0);
    EXPECT_EQ(g_aPlayerState[0].kills, 2);
    ASSERT_EQ(liveInspirationPickupCount(), 1u);
    const ClEntity* pickup = entityListAt(E_LIST_ACTIVATED, entityListCount(E_LIST_ACTIVATED) - 1);
    EXPECT_EQ(pickup->root->params.get("inspvalue")->integer, 30);  // 2.0 x 15
    EXPECT_EQ(pickup->root->params.get("inspbig")->integer, 0);
    EXPECT_EQ(cellOf(pickup), std::make_pair(6, 3));
    const ClVec4 p = pickup->getWorldPosition();
    EXPECT_EQ(std::make_pair(p.x, p.z), std::make_pair(104.0f, 56.0f));

    // A boss is left to the kill queue.
    ClEmptyGenerator boss(E_GENCAT_BOSS, "Boss", E_PROGRAM_ENEMY, 15);
    enemy->program->generator = &boss;
    onEnemyDestroyed(&atom, 1);
    EXPECT_EQ(g_aPlayerState[0].kills, 2);
    EXPECT_EQ(liveInspirationPickupCount(), 1u);
    enemy->program->generator = &m_enemy;
    boss.releaseSharedProgram();
}

TEST_F(GeneratorTest, DropsTakeTheNearestFreeCellsAndDestroyedOnesGiveThemBack) {
    std::vector<std::pair<s32, s32>> cells;
    std::vector<ClEntity*> pickups;
    for (int i = 0; i < 3; ++i) {
        pickups.push_back(spawnInspirationPickups(ClVec3(0.0f, 0.0f, 0.0f), 5, 0, 1));
        cells.push_back(cellOf(pickups.back()));
    }
    EXPECT_EQ(cells, (std::vector<std::pair<s32, s32>>{{0, 0}, {1, 0}, {0, 1}}));
    // Off the grid: exactly where asked, no cell.
    ClEntity* loose = spawnInspirationPickups(ClVec3(400.0f, 0.0f, -10.0f), 5, 1, 0);
    EXPECT_EQ(loose->root->params.find("inspgridx"), nullptr);
    EXPECT_EQ(loose->getWorldPosition().x, 400.0f);

    pickups[1]->destroy();
    flushDestroyedEntities();
    sweepInspirationPickups();
    flushFreedEntities();
    EXPECT_FALSE(isInspirationGridCellTaken(1, 0));
    EXPECT_TRUE(isInspirationGridCellTaken(0, 1));
    EXPECT_EQ(liveInspirationPickupCount(), 3u);
    EXPECT_EQ(cellOf(spawnInspirationPickups(ClVec3(20.0f, 0.0f, 0.0f), 5, 0, 1)), std::make_pair(1, 0));
}
