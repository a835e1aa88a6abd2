// The bosses on the built data with one tuning value or part made bad: each stops at its spawn
// with a message naming the value, and an empty healing-point list stops the fight's first
// healing. And WhipIt's lash shot, which never moves, hits a ship that does not move either.
#include <gmock/gmock.h>

#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "core/game_clock.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "waves/generators/boss_generators.h"
#include "waves/waves.h"
#include "world/atoms/atom.h"
#include "world/collision/world_collision.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/play/boss_encounter.h"
#include "world/play/boss_meter.h"
#include "world/play/player_state.h"
#include "world/processors/boss_support.h"
#include "world/processors/boss_whip_it.h"
#include "world/processors/path_follower.h"

#include <bit>
#include <cfloat>
#include <utility>
#include <vector>

using namespace world_test;
using test_support::fatalReasonOf;
using testing::HasSubstr;

namespace {

const SBossEncounterHooks s_hooks = {[] {}};

ClScriptNode* child(const ClScriptNode* node, std::initializer_list<u32> path) {
    for (u32 index : path) node = node->getChild(index);
    return const_cast<ClScriptNode*>(node);
}

// The encounter on the built data with ten half-second beats and player 0's ship.
class BossDataChecks : public NullDrawTest {
protected:
    void SetUp() override {
        NullDrawTest::SetUp();
        setFatalErrorHook(test_support::throwOnFatal);
        setClockDelta(GAME_CLOCK_GAMEPLAY, 1.0f / 60.0f);
        g_fGameStep = 1.0f / 60.0f;
        resetBeatAnalysis();
        addBeats(0.25f, 0.5f, 20);
        initWorld();
        resetPlayerStates();
        wavesSetUp();
        ASSERT_TRUE(openBossStage(&s_hooks));
        g_aPlayerState[0].active = 1;
        m_ship.node().processor(E_PROC_UPDATE_WORLD_FRAMES).mainBody(m_ship.addGeometry(makeRingMesh(6, 3.0f)));
        g_aPlayerState[0].ship = spawnActiveEntity(&m_ship.close().program);
    }
    void TearDown() override {
        g_aPlayerState[0].ship = nullptr;
        closeBossStage();
        m_programs.clear();
        wavesShutdown();
        releaseBeatAnalysis();
        setFatalErrorHook(nullptr);
        g_fSongTime = 0.0f;
        NullDrawTest::TearDown();
    }

    // The boss of the kind, built with its atoms at their spawn values, not spawned, as the
    // encounter's fighting boss.
    ClEntity* buildBoss(u32 kind) {
        ClDNAGenerator* generator = getBossGenerator(kind, 0);
        m_programs.emplace_back(generator->generate(nullptr, nullptr))->generator = generator;
        ClEntity* boss = buildEntity(m_programs.back().get());
        boss->root->resetAtoms();
        SBossEncounter& e = g_BossEncounter;
        e.entity = g_pCurrentBossEntity = boss;
        e.boss = s32(kind);
        e.phase = E_BOSSPHASE_FIGHT;
        e.phaseTimer = FLT_MAX;
        return boss;
    }

    DnaWriter m_ship{E_PROGRAM_PLAYER};
    std::vector<ProgramPtr> m_programs;
};

const ClScriptNode* waveBlock(ClEntity* boss) {
    return child(getScript("playbalance.txt", 0)->findChild("boss_the_wave_params"), {u32(boss->root->params.get("TW_si")->integer)});
}

bool s_shotOnShip = false;

}  // namespace

// Each case sets one count, script number or parameter of a fresh boss, and puts it back after the
// spawn, before anything is freed.
TEST_F(BossDataChecks, EachBadTuningValueOrPartStopsTheSpawnWithItsMessage) {
    struct SCase {
        u32 boss;
        u32& (*field)(ClEntity*);
        u32 value;
        const char* message;
    };
    const SCase cases[] = {
        {E_BOSS_DANCER, [](ClEntity* b) -> u32& { return child(findBossTuningBlock(b, "boss_dancer_params"), {2})->children.count; },
         0, "lists no position"},
        {E_BOSS_THE_WAVE, [](ClEntity* b) -> u32& { return child(waveBlock(b), {21})->number; }, 0, "bar speed must be above 0"},
        {E_BOSS_THE_WAVE, [](ClEntity* b) -> u32& { return child(waveBlock(b), {18})->number; }, std::bit_cast<u32>(-1.0f),
         "longest travel time must be above 0"},
        {E_BOSS_THE_WAVE, [](ClEntity* b) -> u32& { return child(waveBlock(b), {20, 1})->children.count; }, 0, "stage 1 has no pattern"},
        {E_BOSS_THE_WAVE, [](ClEntity* b) -> u32& { return child(waveBlock(b), {20, 2, 0, 1})->number; }, 8,
         "pattern 0 of stage 2 names segment 8"},
        {E_BOSS_THE_WAVE, [](ClEntity* b) -> u32& { return b->root->children[3]->atoms.count; }, 7, "bar 3 has too few segments"},
        {E_BOSS_THE_WAVE, [](ClEntity* b) -> u32& { return b->root->children.count; }, 10, "has 10 of its 11 parts"},
        {E_BOSS_FIRST, [](ClEntity* b) -> u32& { return reinterpret_cast<u32&>(b->root->params.get("HHMNHS")->integer); }, 0,
         "\"HHMNHS\" is 0"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.message);
        ClEntity* boss = buildBoss(c.boss);
        u32& field = c.field(boss);
        const u32 was = std::exchange(field, c.value);
        EXPECT_THAT(fatalReasonOf([&] { boss->spawn(); }), HasSubstr(c.message));
        field = was;
    }
}

TEST_F(BossDataChecks, AnEmptyHealingPointListStopsTheFirstHealing) {
    buildBoss(E_BOSS_OPPS);
    g_BossEncounter.healingCountdown = 0.0f;
    SPlayerState& player = g_aPlayerState[0];
    player.anchorCount = 1;
    player.anchors[0].node = player.ship->root;
    player.ship->atoms[0]->buildStamp = 0;
    u32& points = getScript("playbalance.txt", 0)->findChild("boss_spawn_points_for_healing")->children.count;
    const u32 was = std::exchange(points, 0);
    EXPECT_THAT(fatalReasonOf([] { updateBossEncounter(); }), HasSubstr("healing lists no points"));
    points = was;
}

TEST_F(BossDataChecks, WhipItsLashShotHitsAShipThatDoesNotMove) {
    ClEntity* boss = buildBoss(E_BOSS_WHIP_IT);
    boss->spawn();
    boss->activate();
    g_aPlayerState[0].ship->setRootPosition(ClVec3(0.0f, 0.0f, 60.0f));
    auto* whip = static_cast<ClProcessor_Enemy_Boss_WhipIt*>(boss->root->findProcessor(E_PROC_BOSS_WHIP_IT));
    ASSERT_NE(whip, nullptr);
    initHitEffects();
    // The lash's shot stands on the ship; the head guns' shots fly elsewhere.
    g_aContactHandlers[E_PROGRAM_PLAYER * CONTACT_KIND_COUNT + E_PROGRAM_ENEMY_SHOT] = [](const SContact& c) {
        s_shotOnShip |= (worldPositionOf(c.first->entity) - worldPositionOf(c.second->entity)).length() < 1e-3f;
    };
    s_shotOnShip = false;
    while (whip->lashShots == 0 && g_fSongTime < 8.0f) playBossFrame();
    ASSERT_GT(whip->lashShots, 0u);
    updateWorldCollisions();
    EXPECT_TRUE(s_shotOnShip);
    releaseHitEffects();
}
