// Boss choice and progress over stub generators in all 15 entries, and the score rules of the
// play state, with the worked values of the rules.
#include <gtest/gtest.h>

#include "core/config.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "tests/support/memory_script_source.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "ui/widget.h"
#include "world/atoms/gun_params.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"
#include "world/play/boss_choice.h"
#include "world/play/boss_wave_hook.h"
#include "world/play/player_ship.h"
#include "world/play/player_state.h"
#include "world/play/score_hud.h"
#include "world/play/score_popups.h"
#include "world/processors/player_ctrl.h"
#include "world/services/world_imports.h"
#include "world/state/wave_record.h"

#include <cfloat>
#include <cstring>
#include <tuple>
using namespace test_support;

namespace {

// Wave members as the wave layer would list them: a world entity and its spawn time.
struct SFakeMember {
    ClEntity* entity;
    f32 spawnTime;
};
std::vector<SFakeMember> g_members;
ClDNAProgram g_memberProgram;

void visitMembers(BossWaveMemberVisitor visit, void* user) {
    for (size_t i = g_members.size(); i-- > 0;) visit(user, g_members[i].entity, g_members[i].spawnTime);
}
const SBossWaveHooks g_waveHooks = {visitMembers, nullptr};

// A ship of one anchor node and no parts, with the player's control on its root: it lives until
// something destroys it.
ClDNAProgram* anchoredShipProgram() {
    auto* ship = new ClDNAProgram();
    ship->init();
    ship->kind = E_PROGRAM_PLAYER;
    ship->emitNewNode(ClMatrix44());
    ship->emitAddProcessor(E_PROC_PLAYER_CTRL);
    ship->emitParamInt("anchID", 0);
    ship->emitCloseNode();
    return ship;
}

void runFrame() {
    flipFrameBuffers();
    updatePlayerLife();
    flushDestroyedEntities();
    flushFreedEntities();
}

class PlayTest : public FatalThrowingTest {
protected:
    void SetUp() override {
        FatalThrowingTest::SetUp();
        configClear();
        initWorld();
        resetPlayerStates();
        resetSessionChoice();
        freshRecord(300.0f);
        for (u32 b = 0; b < BOSS_COUNT; ++b) {
            for (u32 s = 0; s < SUBBOSS_COUNT; ++s) {
                const std::string name = "boss_" + std::to_string(b) + "_" + std::to_string(s);
                m_bosses.push_back(std::make_unique<ClOneNodeGenerator>(E_GENCAT_BOSS, name.c_str(), E_PROGRAM_ENEMY));
                setBossGenerator(b, s, m_bosses.back().get());
            }
        }
        g_memberProgram.inspirationScore = 10;
        SWorldImports imports;
        imports.bossWaves = &g_waveHooks;
        setWorldImports(&imports);
        addMember(150.0f);
    }
    void TearDown() override {
        releaseSessionBoss();
        shutdownWorld();
        freeSessionDNAProgram();
        setWorldImports(nullptr);
        g_members.clear();
        generatorUnregisterAll();
        configFree();
        FatalThrowingTest::TearDown();
    }
    // A new play record: a song of the length at score scale 1, bosses on and skippable.
    static void freshRecord(f32 duration) {
        world_test::resetPlayRecord();
        g_PlayRecord.song.duration = duration;
        g_PlayRecord.song.scoreScale[0] = 1.0f;
        g_PlayRecord.boss.enabled = g_PlayRecord.boss.skip = 1;
    }
    static void addMember(f32 spawnTime) {
        ClEntity* entity = allocEntity(OWNER_LIVE_GAME);
        entity->program = &g_memberProgram;
        g_members.push_back(SFakeMember{entity, spawnTime});
    }
    static void beatAll() {
        for (auto& row : g_PlayRecord.boss.beaten)
            for (s32& flag : row) flag = 1;
    }
    // Player 0 gets a ship of one empty node.
    void giveShip() {
        m_shipDna.node().close();
        setPlayerShip(0, world_test::buildEntity(&m_shipDna.program));
    }
    // The session's ship program made by the anchored ship's builder.
    static void createAnchoredShipProgram() {
        SWorldImports imports = worldImports();
        imports.buildShipProgram = anchoredShipProgram;
        setWorldImports(&imports);
        createPlayerShipProgram();
    }
    // Player 0's ship spawned through the ship builder, as at the start of play.
    static SPlayerState& spawnAnchoredShip() {
        createAnchoredShipProgram();
        spawnPlayerShip(0, 1);
        return g_aPlayerState[0];
    }

    ClInstalledScripts m_script{{
        {"playbalance.txt",
         "score_wavekill_base_bonus = 100.0; death_penalty { -20.0; -500.0; -750.0; -1000.0; -1500.0; -2000.0; };"
         "boss_total_time_before_escape { { 100.0; 100.0; 100.0; }; { 100.0; 100.0; 100.0; };"
         "  { 100.0; 100.0; 100.0; }; { 100.0; 100.0; 100.0; }; { 100.0; 100.0; 100.0; }; };"
         "boss_kelvath_eine_kleine_2_notes { }; boss_kelvath_don_giovanni_2_notes { 4; 0; 7; };"},
        {"guardian_movies.txt", "boss_1_0 { InGameIntro { sound_file = \"SG_Intro_Boss1\"; events { }; }; };"}}};
    std::vector<std::unique_ptr<ClOneNodeGenerator>> m_bosses;
    world_test::DnaWriter m_shipDna{E_PROGRAM_PLAYER};
};

}  // namespace

TEST_F(PlayTest, TheBossTableIsReadAndWrittenOnlyWithinItsPairs) {
    SBossLibraryState& table = g_PlayRecord.boss;
    table.pending = 1;
    table.met[0] = 2;
    table.met[SUBBOSS_COUNT] = 2;
    // A sub-boss past the last, or a boss before the first, would land on a neighbouring pair.
    recordBossBeaten(0, s32(SUBBOSS_COUNT));
    recordBossBeaten(-1, s32(SUBBOSS_COUNT));
    lowerBossMetCount(0, s32(SUBBOSS_COUNT));
    lowerBossMetCount(-1, s32(SUBBOSS_COUNT));
    EXPECT_EQ(table.pending, 0);
    EXPECT_EQ(table.beaten[0][0], 0);
    EXPECT_EQ(table.beaten[1][0], 0);
    EXPECT_EQ(table.met[0], 2);
    EXPECT_EQ(table.met[SUBBOSS_COUNT], 2);
    lowerBossMetCount(0, 0);
    EXPECT_EQ(table.met[0], 1);

    s32 boss = 0, sub = 0;
    beatAll();
    setBossGenerator(4, 2, nullptr);
    EXPECT_EQ(fatalReasonOf([&] { findNextUnbeatenBoss(&boss, &sub); }), "no generator for boss 4 sub-boss 2");
}

TEST_F(PlayTest, BossChoiceRefusals) {
    for (auto [name, duration, memberSpawn, allBeaten] :
         {std::tuple{"short song", 186.9f, 150.0f, false}, {"empty window", 300.0f, 113.0f, false},
          {"all beaten", 300.0f, 150.0f, true}}) {
        SCOPED_TRACE(name);
        g_members.clear();
        addMember(memberSpawn);
        freshRecord(duration);
        if (allBeaten) beatAll();
        chooseSessionBoss(g_PlayRecord.song);
        EXPECT_EQ(g_BossEncounter.phaseTimer, FLT_MAX);
        EXPECT_EQ(bossEntity(), nullptr);
    }
}

TEST_F(PlayTest, ForcedBossComesAtFiveSecondsEvenOnAShortSong) {
    configSetValue("FORCE_BOSS", "1");
    g_PlayRecord.song.duration = 60.0f;
    g_PlayRecord.song.identity[0] = 77;
    addMember(50.0f);
    chooseSessionBoss(g_PlayRecord.song);
    EXPECT_EQ(g_BossEncounter.phaseTimer, 5.0f);
    EXPECT_EQ(g_PlayRecord.boss.pending, 1);
    EXPECT_EQ(g_PlayRecord.boss.pendingIdentity[0], 77u);
}

TEST_F(PlayTest, ForcedIndexWithEveryPairBeatenTakesARealSubBoss) {
    beatAll();
    configSetValue("FORCE_BOSS_INDEX", "3");
    chooseSessionBoss(g_PlayRecord.song);
    EXPECT_EQ(g_BossEncounter.boss, 3);
    EXPECT_EQ(g_BossEncounter.subBoss, 0);

    releaseSessionBoss();
    configSetValue("FORCE_SUBBOSS_INDEX", "2");
    chooseSessionBoss(g_PlayRecord.song);
    EXPECT_EQ(g_BossEncounter.subBoss, 2);
    EXPECT_EQ(g_PlayRecord.boss.beaten[3][2], 0);
}

TEST_F(PlayTest, AForcedIndexMarksOnlyThisPlaysProgressNeverTheSavedOne) {
    g_PlayRecord.boss.beaten[0][0] = 1;
    configSetValue("FORCE_BOSS_INDEX", "2");
    chooseSessionBoss(g_PlayRecord.song);
    ASSERT_NE(bossEntity(), nullptr);
    EXPECT_EQ(g_PlayRecord.boss.beaten[1][2], 1) << "this play counts the bosses before as beaten";
    EXPECT_EQ(g_PlayRecord.boss.beaten[2][0], 0) << "but none of the forced boss's own";
    // The forced boss won in this play: the save still gets the table as it was.
    g_PlayRecord.boss.beaten[2][1] = 1;
    SBossLibraryState saved = g_PlayRecord.boss;
    keepForcedProgressOutOfSave(&saved);
    for (u32 b = 0; b < BOSS_COUNT; ++b)
        for (u32 s = 0; s < SUBBOSS_COUNT; ++s) EXPECT_EQ(saved.beaten[b][s], b == 0 && s == 0 ? 1 : 0) << b << " " << s;

    // An unforced play's progress goes to the save as it is.
    releaseSessionBoss();
    configFree();
    configClear();
    freshRecord(300.0f);
    chooseSessionBoss(g_PlayRecord.song);
    ASSERT_NE(bossEntity(), nullptr);
    g_PlayRecord.boss.beaten[0][0] = 1;
    saved = g_PlayRecord.boss;
    keepForcedProgressOutOfSave(&saved);
    EXPECT_EQ(saved.beaten[0][0], 1);
}

TEST_F(PlayTest, TheChosenBossBringsItsNoteSequenceAndIntroAndClearsThemForTheNext) {
    g_PlayRecord.boss.beaten[0][0] = 1;
    chooseSessionBoss(g_PlayRecord.song);
    std::vector<s32> notes;
    for (int i = 0; i < 6; ++i) notes.push_back(nextBossNote());
    // The sequence advances on every call; only every second call plays.
    EXPECT_EQ(notes, (std::vector<s32>{0, 1, 0, 5, 0, 8}));

    releaseSessionBoss();
    g_PlayRecord.boss.beaten[0][0] = 0;
    chooseSessionBoss(g_PlayRecord.song);
    EXPECT_EQ(g_BossEncounter.noteSequence, nullptr);
    g_BossEncounter.noteToggle = 1;
    const s32 note = nextBossNote();
    EXPECT_GE(note, 1) << note;
    EXPECT_LE(note, 14) << note;

    releaseSessionBoss();
    g_PlayRecord.boss.beaten[0][0] = g_PlayRecord.boss.beaten[0][1] = g_PlayRecord.boss.beaten[0][2] = 1;
    chooseSessionBoss(g_PlayRecord.song);
    EXPECT_STREQ(g_BossEncounter.introSoundName, "SG_Intro_Boss1");
    releaseSessionBoss();
    g_PlayRecord.boss.beaten[1][0] = 1;
    chooseSessionBoss(g_PlayRecord.song);
    EXPECT_STREQ(g_BossEncounter.introSoundName, "");
}

TEST_F(PlayTest, DeathPenaltyStopsAtZeroAndADeathWithEveryPopupInUseIsPassedOverWhole) {
    giveShip();
    SPlayerState& player = g_aPlayerState[0];
    player.score = 5 * SCORE_ENCODING_FACTOR;
    applyDeathPenalty(0);
    EXPECT_EQ(player.score, 0);
    ASSERT_EQ(scorePopupCount(), 1u);
    EXPECT_EQ(scorePopupAt(0)->kind, s32(E_POPUP_DEATH_PENALTY));

    player.score = 5 * SCORE_ENCODING_FACTOR;
    while (takeScorePopup()) {}
    applyDeathPenalty(0);
    EXPECT_EQ(player.score, 5 * SCORE_ENCODING_FACTOR);
    EXPECT_EQ(player.pointsLost, 5);
    EXPECT_EQ(player.deaths, 1);
}

TEST_F(PlayTest, ChainBonusRisesToThreeTimesBaseThenHoldsAtTwice) {
    static std::vector<u32> medals;
    medals.clear();
    SWorldImports imports = worldImports();
    imports.awardMedal = [](u32 id) { medals.push_back(id); };
    setWorldImports(&imports);
    std::vector<s32> gains;
    for (int step = 1; step <= 12; ++step) {
        const s32 before = g_aPlayerState[0].score;
        awardWaveKillChainBonus(0, ClVec3(10.0f, 0.0f, 20.0f));
        gains.push_back((g_aPlayerState[0].score - before) / SCORE_ENCODING_FACTOR);
    }
    EXPECT_EQ(gains, (std::vector<s32>{120, 140, 160, 180, 200, 220, 240, 260, 280, 300, 200, 200}));
    EXPECT_EQ(medals, (std::vector<u32>{3, 3, 3, 3, 3, 4, 4, 4}));
    ASSERT_EQ(scorePopupCount(), 1u);
    EXPECT_EQ(scorePopupAt(0)->chain, 12);
    EXPECT_EQ(scorePopupAt(0)->textId, crc32TextNoCase("bonus_text_chain"));
}

TEST_F(PlayTest, ScorePickupsShareOnePopupAndTakeNoneWithoutAShip) {
    addPickupScore(7);
    EXPECT_EQ(scorePopupCount(), 0u);
    giveShip();
    addPickupScore(30);
    addPickupScore(12);
    EXPECT_EQ(g_aPlayerState[0].score, 49 * 11);
    ASSERT_EQ(scorePopupCount(), 1u);
    EXPECT_EQ(scorePopupAt(0)->value, 42);
    EXPECT_EQ(scorePopupAt(0)->lifetime, 2.69f);
}

TEST_F(PlayTest, DeadShipRespawnsOnTheFrameItsCountdownReachesZero) {
    SPlayerState& player = spawnAnchoredShip();
    ASSERT_NE(playerShip(0), nullptr);
    EXPECT_EQ(player.anchorCount, 1);
    EXPECT_EQ(playerShip(0)->timer, SPAWN_GRACE_SECONDS);
    EXPECT_EQ(player.invincibilityTime, 0.0f);
    const ClVec4 start = playerShip(0)->getWorldPosition();
    EXPECT_EQ(start.x, 162.5f);
    EXPECT_EQ(start.z, 242.775f);

    setClockDelta(GAME_CLOCK_GAMEPLAY, 1.0f / 60.0f);
    playerShip(0)->destroy();
    runFrame();
    EXPECT_EQ(player.deaths, 1);
    EXPECT_EQ(player.respawnCountdown, 4.0f);
    // 240 steps of 1/60 s in f32 leave a sliver of the 4 s; the 241st reaches below 0.
    for (int frame = 1; frame < 241; ++frame) runFrame();
    EXPECT_EQ(playerShip(0), nullptr);
    runFrame();
    ASSERT_NE(playerShip(0), nullptr);
    EXPECT_EQ(player.respawnCountdown, 0.0f);
    EXPECT_EQ(usedEntityCount(), 2u) << "the new ship and the wave member: the dead ship's record went back";

    g_iPlayerRammed = 1;
    runFrame();
    EXPECT_EQ(playerShip(0)->timer, RAM_GRACE_SECONDS);
    EXPECT_EQ(g_iPlayerRammed, 0);
}

TEST_F(PlayTest, InvincibleShipHasNoSpawnGraceAndEndlessRamGrace) {
    configSetValue("PLAYER_INVINCIBLE", "1");
    SPlayerState& player = spawnAnchoredShip();
    EXPECT_EQ(playerShip(0)->timer, 0.0f);
    EXPECT_EQ(player.invincibilityTime, FLT_MAX);
    g_iPlayerRammed = 1;
    runFrame();
    EXPECT_EQ(playerShip(0)->timer, FLT_MAX);
}

TEST_F(PlayTest, ShipSpawnedWhileTheBossArrivesFliesToItsMeetingPoint) {
    world_test::DnaWriter bossDna;
    bossDna.node().program.emitParamVector("BPYP", 100.0f, 0.0f, 60.0f, 1.0f);
    ClEntity* boss = world_test::buildEntity(&bossDna.close().program);
    g_BossEncounter.entity = makeEntityRef(boss);
    configSetValue("PLAYER_INVINCIBLE", "1");
    createAnchoredShipProgram();

    // Phase; the scripted move, its target's x and z, and the grace (even for an invincible ship).
    for (auto [phase, flag, x, z, grace] : {std::tuple{E_BOSSPHASE_WAITING, 0u, 0.0f, 0.0f, 0.0f},
                                            {E_BOSSPHASE_ARRIVED, 1u, 100.0f, 60.0f, 2.0f}}) {
        SCOPED_TRACE(phase);
        g_BossEncounter.phase = phase;
        spawnPlayerShip(0, 1);
        ClEntity* ship = playerShip(0);
        const ClProcessor_PlayerCtrl* ctrl = findPlayerCtrl(ship);
        EXPECT_EQ(ctrl->scriptedMove, flag);
        EXPECT_EQ(ctrl->moveTween.to.x, x);
        EXPECT_EQ(ctrl->moveTween.to.z, z);
        EXPECT_EQ(ship->timer, grace);
        freeEntity(ship);
    }
    setPlayerShip(0, nullptr);
    g_BossEncounter.entity = makeEntityRef(nullptr);
    freeEntity(boss);
}

TEST(WavePlan, TimedPlanDurationFollowsTheSpeedClass) {
    ClWaveDNA plan;
    plan.speedClass = 2;
    SWaveMember& member = plan.members[0];
    member.wave = &plan;
    member.segments.init(8);
    // Segment kind, target x and z, speed class; the steer past the end is never read.
    for (auto [kind, x, z, speedClass] : {std::tuple{E_SEG_START, 0.0f, 0.0f, 0},
                                          {E_SEG_TIMED_MOVE, 40.0f, 0.0f, 2},   // 40 units at 40 units/s
                                          {E_SEG_TIMED_MOVE, 40.0f, 30.0f, 0},  // 30 units at 80 units/s
                                          {E_SEG_END, 0.0f, 0.0f, 0}, {E_SEG_STEER, 0.0f, 0.0f, 0}})
        member.segments.push({u32(kind), vectorValue(x, 0, z), {}, intValue(speedClass)});
    EXPECT_EQ(member.computeDuration(), 1.375f);
    plan.release();
}

using GunParams = FatalThrowingTest;

TEST_F(GunParams, BulletBlockTravelsFromGunToBulletAndAMissingKeyStops) {
    ClEntityNode gun, bullet, charging;
    for (ClEntityNode* node : {&gun, &bullet, &charging}) node->init();
    for (auto [name, value] : {std::pair{"GunRate", 0.25f}, {"BullRad", 6.5f}, {"BullDmg", 10.0f},
                               {"BullVel", 300.0f}, {"BullVelVar", 0.1f}})
        gun.params.findOrAdd(name)->setFloat(value);
    // BullRndRad: a whole number written as an integer reads as its float.
    for (auto [name, value] : {std::pair{"GunPel", 3}, {"GunPat", 1}, {"BullType", 18}, {"BullLev", 2},
                               {"BullRndRad", 40}, {"BullCol", s32(0xFF2060FFu)}, {"BullFlag", 4},
                               {"MyBullGen", s32(crc32TextNoCase("DefBullGen"))}})
        gun.params.findOrAdd(name)->setInt(value);
    SGunParams gunParams = {};
    SGunParams::readFromNode(&gun, &gunParams);

    copyBulletParamsToBullet(&bullet, gunParams.bullet);
    SBulletParams copied = {};
    SBulletParams::readFromNode(&bullet, &copied);
    EXPECT_EQ(std::memcmp(&copied, &gunParams.bullet, sizeof(copied)), 0);
    EXPECT_EQ(copied.bullRndRad, 40.0f);

    copyBulletParamsToBullet(&charging, gunParams.bullet);
    SChargingGunParams chargingParams = {};
    EXPECT_EQ(fatalReasonOf([&] { SChargingGunParams::readFromNode(&charging, &chargingParams); }),
              "required parameter \"CHD\" is missing");
    charging.params.findOrAdd("CHD")->setText("slow");
    charging.params.findOrAdd("CHT")->setFloat(1.0f);
    charging.params.findOrAdd("CHMIN")->setFloat(0.1f);
    EXPECT_EQ(fatalReasonOf([&] { SChargingGunParams::readFromNode(&charging, &chargingParams); }),
              "parameter \"CHD\" is not a number (type 1)");
    for (ClEntityNode* node : {&gun, &bullet, &charging}) node->releaseContents();
}

TEST_F(PlayTest, ScoreHudWritesTheWidgetsRetiresSpentPopupsAndNamesTheTargetState) {
    initWidgetRegistry();
    for (const char* name : {"Score", "WaveKillChain", "WaveKillChain_BG1", "WaveKillChain_BG2", "hud_next_target",
                             "hud_target_score"})
        createWidget(name);
    g_PlayRecord.song.scoreTargets[0][0] = 2500;
    g_PlayRecord.song.scoreTargets[0][1] = 90000;
    g_PlayRecord.song.progressThresholds[0][0] = g_PlayRecord.song.progressThresholds[0][1] = 1.0f;
    g_aPlayerState[0].score = 12345 * SCORE_ENCODING_FACTOR;
    g_fWaveKillChainWindow = 4.5f;
    awardWaveKillChainBonus(0, ClVec3());
    setClockDelta(GAME_CLOCK_GAMEPLAY, 1.0f);
    updateScoreHud();
    EXPECT_EQ(std::string(findWidgetByName("Score")->getText("dynamicText")), std::string("12,465"));
    EXPECT_EQ(findWidgetByName("WaveKillChain")->getInt("textColor"), s32(0x7FFFFFFFu));
    EXPECT_EQ(findWidgetByName("WaveKillChain_BG2")->tint().colour, 0x7FFFFFFFu);
    EXPECT_EQ(std::string(findWidgetByName("hud_target_score")->getText("dynamicText")), std::string("90,000"));
    EXPECT_EQ(scorePopupCount(), 1u);

    g_fWaveKillChainWindow = 0.0f;
    setClockDelta(GAME_CLOCK_GAMEPLAY, 1.5f);
    updateScoreHud();
    EXPECT_FALSE(findWidgetByName("WaveKillChain_BG1")->isVisible());
    EXPECT_EQ(scorePopupCount(), 0u);
    releaseWidgetRegistry();

    // The target states: below the first, from the first, from the second, or by the song's progress.
    EXPECT_EQ(scoreTargetState(2499), -1);
    EXPECT_EQ(scoreTargetState(2500), 0);
    EXPECT_EQ(scoreTargetState(90000), 1);
    g_PlayRecord.song.progressValue = 1.0f;
    EXPECT_EQ(scoreTargetState(0), 1);
}
