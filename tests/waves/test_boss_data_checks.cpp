// The bosses on the built data with one tuning value or part made bad: each stops at its spawn
// with a message naming the value, and an empty healing-point list stops the fight's first
// healing. And WhipIt's lash shot, which never moves, hits a ship that does not move either.
#include <gtest/gtest.h>

#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "core/game_clock.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "tests/support/audio_songs.h"
#include "tests/support/fatal_catch.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "waves/generators/boss_generators.h"
#include "waves/waves.h"
#include "world/atoms/atom.h"
#include "world/collision/kill_queue.h"
#include "world/collision/world_collision.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/play/boss_encounter.h"
#include "world/play/boss_meter.h"
#include "world/play/guardian_sequence.h"
#include "world/play/player_state.h"
#include "world/processors/boss_support.h"
#include "world/processors/boss_whip_it.h"
#include "world/processors/path_follower.h"
#include "world/world_step.h"

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace world_test;

namespace {

constexpr f32 STEP = 1.0f / 60.0f;

void noCollect() {}
const SBossEncounterHooks s_hooks = {noCollect};

// Where the shots that met the ship were.
std::vector<ClVec3> s_shotsOnShip;
void recordShipHit(const SContact& contact) {
    const ClEntity* ship = g_aPlayerState[0].ship;
    const ClEntity* shot = contact.first->entity == ship ? contact.second->entity : contact.first->entity;
    s_shotsOnShip.push_back(worldPositionOf(shot));
}

ClScriptNode* child(const ClScriptNode* node, std::initializer_list<u32> path) {
    for (u32 index : path) node = node->getChild(index);
    return const_cast<ClScriptNode*>(node);
}

class BossDataChecks : public NullDrawTest {
protected:
    void SetUp() override {
        NullDrawTest::SetUp();
        setFatalErrorHook(test_support::throwOnFatal);
        setClockDelta(GAME_CLOCK_GAMEPLAY, STEP);
        g_fGameStep = STEP;
        ASSERT_TRUE(openEncounterStage());
        resetBeatAnalysis();
        for (u32 i = 0; i < 20; ++i) test_support::addSongBeat(0.25f + 0.5f * f32(i));
        initWorld();
        resetPlayerStates();
        resetGuardianSequence();
        wavesSetUp();
        std::memset(&g_BossEncounter, 0, sizeof(g_BossEncounter));
        setBossEncounterHooks(&s_hooks);
        installBossEncounter();
        g_fSongTime = 0.0f;
        m_ship.node().processor(E_PROC_UPDATE_WORLD_FRAMES).mainBody(m_ship.addGeometry(makeRingMesh(6, 3.0f)));
        m_ship.close();
        g_aPlayerState[0].active = 1;
        g_aPlayerState[0].ship = spawnActiveEntity(&m_ship.program);
    }
    void TearDown() override {
        undoEdits();
        g_aPlayerState[0].ship = nullptr;
        releaseGuardianSequence();
        uninstallBossEncounter();
        setBossEncounterHooks(nullptr);
        shutdownWorld();
        for (ClDNAProgram* program : m_programs) {
            program->release();
            delete program;
        }
        wavesShutdown();
        releaseBeatAnalysis();
        closeEncounterStage();
        setFatalErrorHook(nullptr);
        g_fSongTime = 0.0f;
        NullDrawTest::TearDown();
    }

    // The boss of the kind, built with its atoms at their spawn values, not spawned.
    ClEntity* buildBoss(u32 kind) {
        ClDNAGenerator* generator = getBossGenerator(kind, 0);
        ClDNAProgram* program = generator->generate(nullptr, nullptr);
        program->generator = generator;
        m_programs.push_back(program);
        ClEntity* boss = buildEntity(program);
        boss->root->resetAtoms();
        return boss;
    }
public:
    // Arrays cut short and script values changed for one case; all come back before anything
    // is freed.
    template <typename T>
    void cut(ClArray<T>& array, u32 count) {
        m_undo.push_back([&array, was = array.count] { array.count = was; });
        array.count = count;
    }
    void setFloat(ClScriptNode* node, f32 value) {
        m_undo.push_back([node, was = node->getFloat()] { node->setFloat(was); });
        node->setFloat(value);
    }
    void setInt(ClScriptNode* node, s32 value) {
        m_undo.push_back([node, was = node->getInt()] { node->setInt(was); });
        node->setInt(value);
    }
    void undoEdits() {
        for (auto it = m_undo.rbegin(); it != m_undo.rend(); ++it) (*it)();
        m_undo.clear();
    }

protected:
    DnaWriter m_ship{E_PROGRAM_PLAYER};
    std::vector<ClDNAProgram*> m_programs;
    std::vector<std::function<void()>> m_undo;
};

const ClScriptNode* waveBlock(ClEntity* boss) {
    const ClScriptNode* section = getScript("playbalance.txt", 0)->findChild("boss_the_wave_params");
    return section->getChild(u32(boss->root->params.get("TW_si")->integer));
}

}  // namespace

TEST_F(BossDataChecks, EachBadTuningValueOrPartStopsTheSpawnWithItsMessage) {
    struct SCase {
        u32 boss;
        std::function<void(BossDataChecks*, ClEntity*)> spoil;
        const char* message;
    };
    const std::vector<SCase> cases = {
        {E_BOSS_DANCER,
         [](BossDataChecks* t, ClEntity* b) { t->cut(child(findBossTuningBlock(b, "boss_dancer_params"), {2})->children, 0); },
         "lists no position"},
        {E_BOSS_THE_WAVE, [](BossDataChecks* t, ClEntity* b) { t->setFloat(child(waveBlock(b), {21}), 0.0f); },
         "bar speed must be above 0"},
        {E_BOSS_THE_WAVE, [](BossDataChecks* t, ClEntity* b) { t->setFloat(child(waveBlock(b), {18}), -1.0f); },
         "longest travel time must be above 0"},
        {E_BOSS_THE_WAVE, [](BossDataChecks* t, ClEntity* b) { t->cut(child(waveBlock(b), {20, 1})->children, 0); },
         "stage 1 has no pattern"},
        {E_BOSS_THE_WAVE, [](BossDataChecks* t, ClEntity* b) { t->setInt(child(waveBlock(b), {20, 2, 0, 1}), 8); },
         "pattern 0 of stage 2 names segment 8"},
        {E_BOSS_THE_WAVE, [](BossDataChecks* t, ClEntity* b) { t->cut(b->root->children[3]->atoms, 7); },
         "bar 3 has too few segments"},
        {E_BOSS_THE_WAVE, [](BossDataChecks* t, ClEntity* b) { t->cut(b->root->children, 10); },
         "has 10 of its 11 parts"},
        {E_BOSS_FIRST, [](BossDataChecks*, ClEntity* b) { b->root->params.get("HHMNHS")->setInt(0); },
         "\"HHMNHS\" is 0"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.message);
        ClEntity* boss = buildBoss(c.boss);
        c.spoil(this, boss);
        EXPECT_NE(test_support::fatalReasonOf([&] { boss->spawn(); }).find(c.message), std::string::npos);
        undoEdits();
    }
}

TEST_F(BossDataChecks, AnEmptyHealingPointListStopsTheFirstHealing) {
    ClEntity* boss = buildBoss(E_BOSS_OPPS);
    SBossEncounter& e = g_BossEncounter;
    e.entity = g_pCurrentBossEntity = boss;
    e.phase = E_BOSSPHASE_FIGHT;
    e.phaseTimer = FLT_MAX;
    e.healingCountdown = 0.0f;
    SPlayerState& player = g_aPlayerState[0];
    player.anchorCount = 1;
    player.anchors[0].node = player.ship->root;
    player.ship->atoms[0]->buildStamp = 0;
    cut(getScript("playbalance.txt", 0)->findChild("boss_spawn_points_for_healing")->children, 0);
    EXPECT_NE(test_support::fatalReasonOf([] { updateBossEncounter(); }).find("healing lists no points"), std::string::npos);
}

TEST_F(BossDataChecks, WhipItsLashShotHitsAShipThatDoesNotMove) {
    ClEntity* boss = buildBoss(E_BOSS_WHIP_IT);
    boss->spawn();
    boss->activate();
    SBossEncounter& e = g_BossEncounter;
    e.entity = g_pCurrentBossEntity = boss;
    e.boss = E_BOSS_WHIP_IT;
    e.phase = E_BOSSPHASE_FIGHT;
    e.phaseTimer = FLT_MAX;
    ClEntity* ship = g_aPlayerState[0].ship;
    ship->setRootPosition(ClVec3(0.0f, 0.0f, 60.0f));
    auto* whip = static_cast<ClProcessor_Enemy_Boss_WhipIt*>(boss->root->findProcessor(E_PROC_BOSS_WHIP_IT));
    ASSERT_NE(whip, nullptr);
    initHitEffects();
    g_aContactHandlers[E_PROGRAM_PLAYER * CONTACT_KIND_COUNT + E_PROGRAM_ENEMY_SHOT] = recordShipHit;
    s_shotsOnShip.clear();
    while (whip->lashShots == 0 && g_fSongTime < 8.0f) {
        g_fSongTime += STEP;
        updateBossEncounter();
        flipFrameBuffers();
        dispatchBeats();
        updateLiveEntities();
        processKillQueue();
        flushDestroyedEntities();
        flushFreedEntities();
    }
    ASSERT_GT(whip->lashShots, 0u);
    updateWorldCollisions();
    // The lash's shot stands on the ship; the head guns' shots fly elsewhere.
    const ClVec3 at = worldPositionOf(ship);
    EXPECT_TRUE(std::any_of(s_shotsOnShip.begin(), s_shotsOnShip.end(),
                            [&](const ClVec3& p) { return (p - at).length() < 1e-3f; }));
    releaseHitEffects();
}
