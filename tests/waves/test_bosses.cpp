// Each of the five bosses in a scripted play on the built data: it waits for its arrival, comes in
// with the encounter, acts on the song's beats
// (a beat every half second) in the fight, and is shot down once, dropping the 36 pickups of a
// dead boss and leaving the beats. Then the processors' own rules on worked values, the bosses
// stopped by bad tuning values or parts, and a whole song played at the highest difficulty.
#include <gmock/gmock.h>

#include "core/config.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "render/draw_lists.h"
#include "tests/support/fatal_catch.h"
#include "tests/waves/wave_test_song.h"
#include "tests/world/atom_test_support.h"
#include "waves/generators/boss_generators.h"
#include "waves/pack_registry.h"
#include "waves/wave_families.h"
#include "world/atoms/atom.h"
#include "world/entity/entity_node.h"
#include "world/entity/frame_parity.h"
#include "world/play/boss_meter.h"
#include "world/processors/boss_dancer.h"
#include "world/processors/boss_first.h"
#include "world/processors/boss_opps.h"
#include "world/processors/boss_support.h"
#include "world/processors/boss_the_wave.h"
#include "world/processors/boss_whip_it.h"
#include "world/processors/cube_station.h"
#include "world/processors/motion_processors.h"
#include "world/services/bar_colour_scheme.h"
#include "world/processors/beat_subscribers.h"
#include "world/state/boss_encounter.h"
#include "world/world_step.h"

#include <cfloat>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace world_test;
using test_support::fatalReasonOf;
using testing::HasSubstr;

namespace {

constexpr f32 ARRIVAL = 5.0f;

// A fresh world on an open boss stage with the waves set up and imported, drawing to the null
// device: game steps of 1/60 s, a beat every half second, a fatal error thrown, the encounter's
// pickups collected nowhere, and a piloted ship. The kept programs go after the world's entities,
// the waves after them.
class BossPlayTest : public NullDrawTest, public ::testing::WithParamInterface<u32> {
protected:
    void SetUp() override {
        NullDrawTest::SetUp();
        setFatalErrorHook(test_support::throwOnFatal);
        ASSERT_TRUE(openEncounterStage());
        setUpWaveWorld();
        installEncounter(&kCollectNothing);
        addBeats(0.25f, 0.5f, 240);
        g_aPlayerState[0].active = 1;
        spawnPilotedShip(m_ship);
    }
    void TearDown() override {
        setPlayerShip(0, nullptr);
        closeBossStage();
        tearDownWaveWorld(m_programs);
        setFatalErrorHook(nullptr);
        NullDrawTest::TearDown();
    }

    // The boss of the table entry waiting for ARRIVAL, as the boss choice leaves it.
    ClEntity* chooseBoss(u32 boss, u32 subBoss) {
        ClDNAGenerator* generator = getBossGenerator(boss, subBoss);
        m_programs.emplace_back(generator->generate(nullptr, nullptr))->generator = generator;
        g_BossEncounter.boss = s32(boss);
        g_BossEncounter.subBoss = s32(subBoss);
        g_BossEncounter.valuePool = 3600.0f;
        ClEntity* arrived = awaitBoss(m_programs.back().get(), generator->getName(), ARRIVAL);
        g_CurrentBossEntity = makeEntityRef(arrived);
        return arrived;
    }
    // The boss of the kind as the fight's boss, its atoms at their spawn values, not yet spawned.
    ClEntity* fightingBoss(u32 kind) {
        ClEntity* boss = chooseBoss(kind, 0);
        boss->root->resetAtoms();
        g_BossEncounter.phase = E_BOSSPHASE_FIGHT;
        g_BossEncounter.phaseTimer = FLT_MAX;
        return boss;
    }
    // The boss of the kind already fighting, with only the given beats in the song.
    template <typename T>
    T* fightNow(u32 kind, std::initializer_list<f32> beats) {
        releaseBeatAnalysis();
        resetBeatAnalysis();
        resetBeatSubscriptions();
        for (f32 t : beats) test_support::addSongBeat(t);
        ClEntity* boss = fightingBoss(kind);
        boss->spawn();
        boss->activate();
        return static_cast<T*>(bossAi(boss));
    }
    static ClProcessor* bossAi(const ClEntity* boss) {
        for (ClProcessor* p : boss->root->processors)
            if (p->typeId >= E_PROC_BOSS_1 && p->typeId <= E_PROC_BOSS_DANCER) return p;
        return nullptr;
    }

    std::vector<ProgramPtr> m_programs;
    DnaWriter m_ship{E_PROGRAM_PLAYER}, m_stillShip{E_PROGRAM_PLAYER};

private:
    static void collectNothing() {}
    static constexpr SBossEncounterHooks kCollectNothing = {collectNothing};
};

template <typename T>
const T& as(const ClProcessor* p) { return *static_cast<const T*>(p); }

// What each boss has done after a few seconds of fight on the half-second beats: the first rides
// the figure-eight, the wave launches bars, the opps slides a block towards the ship, the whip
// aims at the ship, the dancer jumps.
void expectActedOnTheBeat(u32 kind, const ClEntity* boss, const ClProcessor* p) {
    switch (kind) {
        case E_BOSS_FIRST:
            EXPECT_GT(as<ClProcessor_Enemy_Boss_1>(p).orbitAngle, 0.0f);
            EXPECT_NE(positionOf(boss).x, FIRST_BOSS_CENTRE.x);
            break;
        case E_BOSS_THE_WAVE:
            EXPECT_GT(as<ClProcessor_Enemy_Boss_TheWave>(p).waveCounter, 2);
            EXPECT_GT(as<ClProcessor_Enemy_Boss_TheWave>(p).nextBar, 0);
            break;
        case E_BOSS_OPPS:
            EXPECT_GE(as<ClProcessor_Enemy_Boss_Opps>(p).nextBeatIndex, 0);
            EXPECT_NE(as<ClProcessor_Enemy_Boss_Opps>(p).movedBlock, nullptr);
            break;
        case E_BOSS_WHIP_IT: EXPECT_GT(as<ClProcessor_Enemy_Boss_WhipIt>(p).lastAimDirection.length(), 0.99f); break;
        case E_BOSS_DANCER: EXPECT_GT(as<ClProcessor_Enemy_Boss_Dancer>(p).nextBeatIndex, 0); break;
        default: ADD_FAILURE() << "no such boss " << kind;
    }
}

// The boss's own part: it arrives, acts on the beat, and its main atom is what kills it (the death's
// pickups and its once-only end belong to the kill queue and the encounter, tested with the world).
TEST_P(BossPlayTest, ArrivesActsOnTheBeatAndDiesOfItsMainAtom) {
    const u32 kind = GetParam();
    const u32 subscriptionsBefore = liveBeatSubscriptions();
    ClEntity* boss = chooseBoss(kind, 1);
    playUntilPhase(E_BOSSPHASE_FIGHT);
    EXPECT_EQ(boss->root->params.get("NDKFBH")->real, 1.0f) << "at full strength";

    playUntil(currentSongTime() + 3.0f);
    expectActedOnTheBeat(kind, boss, bossAi(boss));

    ClAtom* main = boss->registeredAtoms[0];
    shootAtom(main);
    EXPECT_EQ(boss->state, u32(E_ENTITY_DESTROYED));
    playBossFrame();
    EXPECT_EQ(liveBeatSubscriptions(), subscriptionsBefore);
}

INSTANTIATE_TEST_SUITE_P(EveryBoss, BossPlayTest,
                         ::testing::Values(E_BOSS_FIRST, E_BOSS_THE_WAVE, E_BOSS_OPPS, E_BOSS_WHIP_IT, E_BOSS_DANCER));

TEST_F(BossPlayTest, OppsSplitsALongGapIntoSpacedSlides) {
    auto* opps = fightNow<ClProcessor_Enemy_Boss_Opps>(E_BOSS_OPPS, {0.5f, 1.0f, 5.5f});
    playUntil(1.0f + STEP);
    // 4.5 s to the next beat: two slides 0.9 x 4.5 / 2 apart, the first now.
    const f32 gap = 5.5f - currentSongTime() + STEP;
    EXPECT_EQ(opps->stepCount, 1);
    EXPECT_NEAR(opps->stepInterval, 0.9f * gap / 2.0f, 1e-4f);
    EXPECT_NEAR(opps->blockTween.duration, 0.7f * opps->stepInterval, 1e-4f);
    ASSERT_NE(opps->movedBlock, nullptr);
    playUntil(currentSongTime() + opps->stepInterval + STEP);
    // The second slide has just begun.
    EXPECT_EQ(opps->stepCount, 0);
    EXPECT_LT(opps->blockTween.time, 0.1f);
}

TEST_F(BossPlayTest, DancerFillsALongGapWithSpacedJumpsAndIsHittableOnlyAfterThem) {
    auto* dancer = fightNow<ClProcessor_Enemy_Boss_Dancer>(E_BOSS_DANCER, {0.5f, 2.0f, 6.0f});
    ClEntity* boss = dancer->entity;
    // 0.5 s after its jump it takes no more hits.
    playUntil(1.5f);
    EXPECT_EQ(dancer->positionIndex, 1);
    EXPECT_EQ(boss->timer, BOSS_NO_CONTACT_GRACE);
    playUntil(2.0f + STEP);
    // 4 s to the next beat: two spaced jumps (the first at once, its timer never having run),
    // then a closing one 0.5 s later.
    EXPECT_EQ(dancer->positionIndex, 3);
    EXPECT_EQ(dancer->stepCount, 1);
    EXPECT_EQ(boss->timer, 0.0f);
    EXPECT_NEAR(dancer->lastStepDelay, 0.5f, 2.0f * STEP);
    EXPECT_EQ(positionOf(boss).x, dancer->positions[3].x);
    playUntil(5.9f);
    EXPECT_EQ(dancer->positionIndex, 5);
    EXPECT_EQ(dancer->stepCount, 0);
    EXPECT_EQ(dancer->lastStepDelay, 0.0f);
}

TEST_F(BossPlayTest, FirstBossLinksItsStandingArmsSpinsFasterAsTheyFallAndFiresWithNoneLeft) {
    auto* first = fightNow<ClProcessor_Enemy_Boss_1>(E_BOSS_FIRST, {1.0f});
    playBossFrame();
    // Arms shot away one by one.
    const auto shootArm = [&](u32 arm) {
        first->node->children[arm]->children[0]->atoms[0]->deactivate(0);
        processKillQueue();
    };
    shootArm(1);
    clearDrawListHalf(PRODUCER_HALF);
    first->drawOverlay();
    ASSERT_EQ(drawListCounts(PRODUCER_HALF).lines, first->standingArms());
    const u32 coreColour = g_BarColourScheme.colour(E_BARSCHEME_ENEMY_CORE_COLOUR).current | 0x40000000u;
    for (u32 i = 0; i < first->standingArms(); ++i) EXPECT_EQ(drawListLines(PRODUCER_HALF)[i].colour, coreColour) << i;

    for (u32 arm = 2; arm <= 3; ++arm) shootArm(arm);
    playBossFrame();
    const auto* rotator = static_cast<ClProcessor_Rotator*>(first->node->children[4]->findProcessor(E_PROC_ROTATOR));
    EXPECT_EQ(first->standingArms(), 3u);
    EXPECT_FLOAT_EQ(rotator->speed1, 3.5f / 3.0f);
    for (u32 arm = 4; arm <= 6; ++arm) shootArm(arm);
    playBossFrame();
    const auto* gun = static_cast<ClProcessor_Enemy_AI_Head_Gun*>(first->node->children[7]->findProcessor(E_PROC_ENEMY_HEAD_GUN));
    EXPECT_EQ(first->spinFactor(), 1.0f);
    EXPECT_EQ(gun->enabled, 1);
    EXPECT_EQ(gun->shotInterval, first->gunInterval);
}

TEST_F(BossPlayTest, WhipItLashesAShipThatStaysClose) {
    auto* whip = fightNow<ClProcessor_Enemy_Boss_WhipIt>(E_BOSS_WHIP_IT, {0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f});
    // A still ship whose world frames its update keeps.
    m_stillShip.node().processor(E_PROC_UPDATE_WORLD_FRAMES).mainBody(m_stillShip.addGeometry(makeRingMesh(6, 3.0f)));
    setPlayerShip(0, spawnActiveEntity(&m_stillShip.close().program));
    playerShip(0)->setRootPosition(ClVec3(0.0f, 0.0f, 60.0f));
    // Charging after 2 s within range at stage 0, and hittable; lashing, the fan at the ship.
    playUntil(2.1f);
    EXPECT_EQ(whip->whipState, s32(E_WHIP_CHARGING));
    EXPECT_EQ(whip->entity->timer, 0.0f);
    const f32 charging = currentSongTime();
    // The lash's shot, which never moves, stands on the ship; the head guns' shots fly elsewhere.
    while (whip->lashShots == 0 && currentSongTime() < 8.0f) playBossFrame();
    bool shotOnShip = false;
    for (const ClEntity* shot : liveOfKind(E_PROGRAM_ENEMY_SHOT))
        shotOnShip |= (worldPositionOf(shot) - worldPositionOf(playerShip(0))).length() < 1e-3f;
    playUntil(charging + 1.0f + 1.5f + 0.1f);
    EXPECT_EQ(whip->whipState, s32(E_WHIP_LASHING));
    EXPECT_EQ(whip->entity->timer, BOSS_NO_CONTACT_GRACE);
    EXPECT_EQ(shotOnShip, true);
    playUntil(currentSongTime() + 2.5f);
    EXPECT_EQ(whip->whipState, s32(E_WHIP_TRACKING));
}

TEST(WhipItFan, PointsInsideAreStrictlyInside) {
    const auto inside = [](f32 x, f32 z) { return pointInTriangle(ClVec3(x, 0, z), ClVec3(0, 0, 0), ClVec3(10, 0, 0), ClVec3(0, 0, 10), nullptr); };
    EXPECT_TRUE(inside(2, 2));
    EXPECT_FALSE(inside(5, 5));  // on the far edge
    EXPECT_FALSE(inside(-1, 2));
}

TEST_F(BossPlayTest, WaveSplitsATooSlowBarIntoShorterLaunches) {
    auto* wave = fightNow<ClProcessor_Enemy_Boss_TheWave>(E_BOSS_THE_WAVE, {0.5f});
    // A run of 299.75 units at 29.975 units/s: 10 s, against a longest travel of 4 s.
    const_cast<ClScriptNode*>(wave->params->getChild(21))->setFloat(29.975f);
    wave->launchBar(12.0f);
    // 10 s is within the 12 s to the beat: three launches 0.9 x 10 / 3 apart follow, each bar 3 s.
    EXPECT_EQ(wave->stepCount, 3);
    EXPECT_EQ(wave->nextBar, 1);
    EXPECT_EQ(wave->waveCounter, 1);
    EXPECT_NEAR(wave->stepInterval, 3.0f, 1e-5f);
    EXPECT_NEAR(wave->barTweens[0].duration, 3.0f, 1e-5f);
    playUntil(currentSongTime() + 3.0f + 2.0f * STEP);
    EXPECT_EQ(wave->stepCount, 2);
    EXPECT_EQ(wave->nextBar, 2);
}

ClScriptNode* child(const ClScriptNode* node, std::initializer_list<u32> path) {
    for (u32 index : path) node = node->getChild(index);
    return const_cast<ClScriptNode*>(node);
}
const ClScriptNode* waveBlock(ClEntity* boss) {
    return child(getScript("playbalance.txt", 0)->findChild("boss_the_wave_params"), {u32(boss->root->params.get("TW_si")->integer)});
}
u32& paramBits(ClEntity* boss, const char* name) { return reinterpret_cast<u32&>(boss->root->params.get(name)->integer); }

// Each case sets one count, script number or parameter of a fresh boss, and puts it back after the
// spawn, before anything is freed.
TEST_F(BossPlayTest, EachBadTuningValueOrPartStopsTheSpawnWithItsMessage) {
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
        {E_BOSS_THE_WAVE, [](ClEntity* b) -> u32& { return child(waveBlock(b), {18})->number; }, 0, "longest travel time must be above 0"},
        {E_BOSS_THE_WAVE, [](ClEntity* b) -> u32& { return child(waveBlock(b), {20, 1})->children.count; }, 0, "stage 1 has no pattern"},
        {E_BOSS_THE_WAVE, [](ClEntity* b) -> u32& { return child(waveBlock(b), {20, 2, 0, 1})->number; }, 8,
         "pattern 0 of stage 2 names segment 8"},
        {E_BOSS_THE_WAVE, [](ClEntity* b) -> u32& { return b->root->children[3]->atoms.count; }, 7, "bar 3 has too few segments"},
        {E_BOSS_THE_WAVE, [](ClEntity* b) -> u32& { return b->root->children.count; }, 10, "has 10 of its 11 parts"},
        {E_BOSS_THE_WAVE, [](ClEntity* b) -> u32& { return paramBits(b, "TW_si"); }, 3, "\"TW_si\" 3 is past the 3 blocks"},
        {E_BOSS_FIRST, [](ClEntity* b) -> u32& { return paramBits(b, "HHMNHS"); }, 0, "\"HHMNHS\" is 0"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.message);
        ClEntity* boss = fightingBoss(c.boss);
        u32& field = c.field(boss);
        const u32 was = std::exchange(field, c.value);
        EXPECT_THAT(fatalReasonOf([&] { boss->spawn(); }), HasSubstr(c.message));
        field = was;
    }
}

TEST_F(BossPlayTest, AnEmptyHealingPointListStopsTheFirstHealing) {
    fightingBoss(E_BOSS_OPPS);
    g_BossEncounter.healingCountdown = 0.0f;
    SPlayerState& player = g_aPlayerState[0];
    player.anchorCount = 1;
    player.anchors[0].node = playerShip(0)->root;
    playerShip(0)->atoms[0]->buildStamp = 0;
    u32& points = getScript("playbalance.txt", 0)->findChild("boss_spawn_points_for_healing")->children.count;
    const u32 was = std::exchange(points, 0);
    EXPECT_THAT(fatalReasonOf([] { updateBossEncounter(); }), HasSubstr("healing lists no points"));
    points = was;
}

// A whole generated song of three minutes at the highest difficulty, played through the
// wave spawn tick and the world step as the in-game mode runs them, the ship invincible and idle.
// Its sixteen bands get louder every ten seconds (quiet, middling, loud, and round again), so
// waves of all three sizes come.
class LongPlayTest : public BossPlayTest {
protected:
    static constexpr u32 SECONDS = 180;

    void SetUp() override {
        BossPlayTest::SetUp();
        configSetValue("PLAYER_INVINCIBLE", "1");
        playerShip(0)->timer = FLT_MAX;
        setPlayDifficulty(s32(DIFFICULTY_LEVEL_COUNT - 1));
        g_PlayRecord.song.identity[0] = 19;
        constexpr f32 LOUDNESS[3] = {0.25f, 0.55f, 1.0f};
        constexpr u32 LONG_SONG_BANDS = 16;
        resetBeatSubscriptions();
        resetSpectrumAnalysis();
        resetSongFeatures();
        makeWaveTestSong(SECONDS, LONG_SONG_BANDS);
        SSpectrumHeader& h = g_SpectrumAnalysis.header;
        for (u32 f = 0; f < h.frameCount; ++f)
            for (u32 b = 0; b < h.bandCount; ++b) h.bandValues[f * h.bandCount + b] *= LOUDNESS[u32(f32(f) * h.frameDuration / 10.0f) % 3];
        g_PlayRecord.song.duration = f32(SECONDS);
    }
    void TearDown() override {
        releaseSongFeatures();
        releaseSongFeatureBuffer();
        resetSpectrumAnalysis();
        BossPlayTest::TearDown();
    }

    static void playStep() {
        flipFrameBuffers();
        updateSongClock(0);
        world_test::deliverDueBeats();
        waveSpawnTick();
        worldStep();
    }
};

TEST_F(LongPlayTest, AWholeSongAtTheHighestDifficultyShowsEveryFamily) {
    computeSongFeatures(currentDifficulty());
    rollAllPacks(g_PlayRecord);
    waveScheduleGenerate(&g_PlayRecord);
    setSongTime(earliestPendingWaveTime());
    while (currentSongTime() < f32(SECONDS)) playStep();

    std::set<std::string> shown;
    for (const SWaveMemberSeen& member : waveMembers())
        if (member.entity->state != E_ENTITY_BUILT) shown.insert(member.entity->program->generator->getName());
    // Every family of the packs, and every one the draws pick.
    std::set<std::string> offered;
    for (u32 category = E_GENCAT_ENEMY_SMALL; category <= E_GENCAT_ENEMY_LARGE; ++category) {
        for (u32 p = 0; p < packCount(); ++p)
            for (u32 i = 0; i < packAt(p)->generatorCount(category); ++i) offered.insert(packAt(p)->generatorAt(category, i)->getName());
        for (f32 draw = 0.0f; draw < 1.0f; draw += 0.01f)
            if (const SWaveFamily* family = pickWaveFamily(category, draw)) offered.insert(family->generator->getName());
    }
    EXPECT_EQ(shown, offered);
}

}  // namespace
