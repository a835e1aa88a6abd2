// The boss head's gun and shield, which the bosses switch on and read: the gun fires at the ship
// every interval and holds its fire while there is no ship; the shield counts as defence while
// whole and drops its beat subscription when destroyed.
#include <gtest/gtest.h>

#include "audio/play/beat_events.h"
#include "tests/world/world_test_support.h"
#include "world/atoms/atom.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/generators/bullet_generators.h"
#include "world/play/player_state.h"
#include "world/processors/cube_station.h"

#include <tuple>

using namespace world_test;

namespace {

constexpr f32 STEP = 1.0f / 60.0f;

class HeadTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        resetBeatAnalysis();
        registerBulletGenerators();
        resetPlayerStates();
        m_ship = spawnShip(m_shipDna, ClVec3(100.0f, 0.0f, 0.0f));
    }
    void TearDown() override {
        g_aPlayerState[0].ship = nullptr;
        shutdownWorld();
        unregisterBulletGenerators();
        releaseBeatAnalysis();
        WorldTest::TearDown();
    }
    static u32 enemyShots() { return liveCount(E_PROGRAM_ENEMY_SHOT); }

    DnaWriter m_shipDna{E_PROGRAM_PLAYER};
    ClEntity* m_ship = nullptr;
};

}  // namespace

TEST_F(HeadTest, HeadGunFiresEveryIntervalAtTheShipAndHoldsWithoutIt) {
    DnaWriter dna;
    dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).param("NDKBL", s32(3)).processor(E_PROC_ENEMY_HEAD_GUN).close();
    ClEntity* head = spawnActiveEntity(&dna.program);
    auto* gun = static_cast<ClProcessor_Enemy_AI_Head_Gun*>(head->root->findProcessor(E_PROC_ENEMY_HEAD_GUN));
    for (u32 i = 0; i < 30; ++i) stepWorld(STEP);
    EXPECT_EQ(enemyShots(), 0u) << "idle until a boss enables it";

    gun->enabled = 1;
    gun->shotInterval = 0.5f;
    stepWorld(STEP);
    ASSERT_EQ(enemyShots(), 1u);
    ClEntity* bullet = entityListAt(E_LIST_LIVE, entityListCount(E_LIST_LIVE) - 1);
    EXPECT_EQ(bullet->root->params.get("BullType")->integer, 19);
    const f32 speed = bullet->root->params.get("BullVel")->real;
    EXPECT_TRUE(speed >= 170.0f * 0.6f && speed <= 170.0f * 1.4f) << speed;
    EXPECT_GT(bullet->getWorldAxisX().x, 0.99f) << "aimed at the ship";
    for (u32 i = 0; i < 29; ++i) stepWorld(STEP);
    EXPECT_EQ(enemyShots(), 1u);
    stepWorld(STEP);
    EXPECT_EQ(enemyShots(), 2u);

    g_aPlayerState[0].ship = nullptr;
    const u32 shots = enemyShots();
    for (u32 i = 0; i < 60; ++i) stepWorld(STEP);
    EXPECT_TRUE(enemyShots() == shots && gun->fireTimer <= 0.0f) << "holds its fire, due at once";
    g_aPlayerState[0].ship = m_ship;
    stepWorld(STEP);
    EXPECT_EQ(enemyShots(), shots + 1) << "fires at once when the ship is back";

    head->root->params.get("NDKBL")->setInt(5);
    gun->fireTimer = 0.0f;
    EXPECT_EQ(test_support::fatalReasonOf([] { stepWorld(STEP); }), "head gun: \"NDKBL\" 5 is outside 0 to 4");
}

TEST_F(HeadTest, HeadShieldDefendsWhileWholeAndLetsGoOfTheBeatsWhenDestroyed) {
    DnaWriter dna;
    dna.node().processor(E_PROC_UPDATE_WORLD_FRAMES).mainBody();
    dna.node().param("hd_sh_mov", s32(2)).param("hd_sh_piv", 0.0f).param("hd_sh_apb", 0.0f).param("hd_sh_def", 10.0f);
    dna.processor(E_PROC_UPDATE_WORLD_FRAMES).processor(E_PROC_ENEMY_HEAD_SHIELD);
    dna.atom(E_ATOM_BODY);
    dna.atom(E_ATOM_BODY);
    dna.close().close();
    ClEntity* head = spawnActiveEntity(&dna.program);
    ClEntityNode* shield = head->root->children[0];
    EXPECT_EQ(std::make_pair(shield->params.get("def")->real, liveBeatSubscriptions()), std::make_pair(10.0f, 1u));
    shield->atoms[1]->active = 0;
    shield->findProcessor(E_PROC_ENEMY_HEAD_SHIELD)->reloadParameters();
    f32 attack = -1.0f, defence = -1.0f;
    sumNodeTreeAttDef(head->root, &attack, &defence);
    EXPECT_EQ(std::make_tuple(shield->params.get("def")->real, attack, defence), std::make_tuple(0.0f, 0.0f, 0.0f));
    head->destroy();
    EXPECT_EQ(liveBeatSubscriptions(), 0u);
}
