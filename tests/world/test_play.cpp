// Boss choice and progress over stub generators in all 15 entries, and the score rules of the
// play state, with the worked values of the rules.
#include <gtest/gtest.h>

#include "core/config.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "core/random.h"
#include "core/script_cache.h"
#include "tests/support/fatal_catch.h"
#include "tests/support/memory_script_source.h"
#include "ui/widget.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/frame_parity.h"
#include "world/entity/world.h"
#include "world/generators/dna_generator.h"
#include "world/entity/entity_node.h"
#include "world/play/boss_choice.h"
#include "world/play/gun_params.h"
#include "world/play/wave_record.h"
#include "world/play/boss_wave_hook.h"
#include "world/play/play_record.h"
#include "world/play/player_ship.h"
#include "world/play/player_state.h"
#include "world/play/score_hud.h"
#include "world/play/score_popups.h"
#include "world/processors/player_ctrl.h"

#include <cfloat>
#include <cstring>
#include <tuple>
#include <memory>
#include <string>
#include <vector>

using namespace test_support;

namespace {

// A program of one empty node, of the given kind.
ClDNAProgram* oneNodeProgram(u32 kind, s32 inspirationScore) {
    ClDNAProgram* program = new ClDNAProgram();
    program->init();
    program->kind = kind;
    program->inspirationScore = inspirationScore;
    program->emitNewNode(ClMatrix44());
    program->emitCloseNode();
    return program;
}

class ClStubBossGenerator : public ClDNAGenerator {
public:
    explicit ClStubBossGenerator(const std::string& name) : ClDNAGenerator(E_GENCAT_BOSS, name.c_str()) {}
    ClDNAProgram* generate(ClRandObjSFMT*, const SGeneratorParams*) override {
        return oneNodeProgram(E_PROGRAM_ENEMY, 0);
    }
};

// Wave members as the wave layer would list them: an entity and its spawn time.
struct SFakeMember {
    ClEntity entity;
    f32 spawnTime;
};
std::vector<std::unique_ptr<SFakeMember>> s_members;
ClDNAProgram s_memberProgram;

void visitMembers(BossWaveMemberVisitor visit, void* user) {
    for (size_t i = s_members.size(); i-- > 0;) visit(user, &s_members[i]->entity, s_members[i]->spawnTime);
}
const SBossWaveHooks s_waveHooks = {visitMembers, nullptr};

class PlayTest : public FatalThrowingTest {
protected:
    void SetUp() override {
        FatalThrowingTest::SetUp();
        scriptRegistriesInit();
        m_script.files["playbalance.txt"] =
            "score_wavekill_base_bonus = 100.0;"
            "death_penalty { -20.0; -500.0; -750.0; -1000.0; -1500.0; -2000.0; };"
            "boss_total_time_before_escape { { 100.0; 100.0; 100.0; }; { 100.0; 100.0; 100.0; };"
            "  { 100.0; 100.0; 100.0; }; { 100.0; 100.0; 100.0; }; { 100.0; 100.0; 100.0; }; };"
            "boss_kelvath_eine_kleine_2_notes { };"
            "boss_kelvath_don_giovanni_2_notes { 4; 0; 7; };";
        m_script.files["guardian_movies.txt"] =
            "boss_1_0 { InGameIntro { sound_file = \"SG_Intro_Boss1\"; events { }; }; };";
        setScriptSource(&m_script);
        configClear();
        initWorld();
        resetPlayRecord();
        resetPlayerStates();
        resetSessionChoice();
        g_PlayRecord.song.duration = 300.0f;
        g_PlayRecord.song.scoreScale[0] = 1.0f;
        g_PlayRecord.boss.enabled = 1;
        g_PlayRecord.boss.skip = 1;
        for (u32 b = 0; b < BOSS_COUNT; ++b) {
            for (u32 s = 0; s < SUBBOSS_COUNT; ++s) {
                m_bosses.push_back(std::make_unique<ClStubBossGenerator>("boss_" + std::to_string(b) + "_" + std::to_string(s)));
                setBossGenerator(b, s, m_bosses.back().get());
            }
        }
        s_memberProgram.inspirationScore = 10;
        setBossWaveHooks(&s_waveHooks);
        addMember(150.0f);
    }
    void TearDown() override {
        releaseSessionBoss();
        shutdownWorld();
        setBossWaveHooks(nullptr);
        s_members.clear();
        generatorUnregisterAll();
        configFree();
        freeAllScripts();
        setScriptSource(nullptr);
        FatalThrowingTest::TearDown();
    }
    static void addMember(f32 spawnTime) {
        s_members.push_back(std::make_unique<SFakeMember>());
        s_members.back()->entity.program = &s_memberProgram;
        s_members.back()->spawnTime = spawnTime;
    }
    static void beatAll() {
        for (auto& row : g_PlayRecord.boss.beaten)
            for (s32& flag : row) flag = 1;
    }

    ClMemoryScriptSource m_script;
    std::vector<std::unique_ptr<ClStubBossGenerator>> m_bosses;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Boss progress

TEST_F(PlayTest, ProgressFindsTheFirstUnbeatenPairAndItsFraction) {
    s32 boss = 0, sub = 0;
    g_PlayRecord.boss.beaten[0][0] = g_PlayRecord.boss.beaten[0][1] = g_PlayRecord.boss.beaten[0][2] = 1;
    g_PlayRecord.boss.beaten[1][0] = 1;
    findNextUnbeatenBoss(&boss, &sub);
    EXPECT_EQ(std::make_pair(boss, sub), std::make_pair(1, 1));
    EXPECT_EQ(getBossProgressFraction(), 1.0f / 3.0f);
    beatAll();
    findNextUnbeatenBoss(&boss, &sub);
    EXPECT_EQ(std::make_pair(boss, sub), std::make_pair(-1, -1));
    EXPECT_EQ(getBossProgressFraction(), 1.0f);
    setBossGenerator(4, 2, nullptr);
    EXPECT_EQ(fatalReasonOf([&] { findNextUnbeatenBoss(&boss, &sub); }), "no generator for boss 4 sub-boss 2");
}

// ---------------------------------------------------------------------------------------------
// Boss choice

TEST_F(PlayTest, NextUnbeatenBossArrivesWithTheSongsLastStretchAndIsBuilt) {
    g_PlayRecord.boss.beaten[0][0] = 1;
    chooseSessionBoss(g_PlayRecord.song);
    const SBossEncounter& e = g_BossEncounter;
    EXPECT_EQ(std::make_pair(e.boss, e.subBoss), std::make_pair(0, 1));
    // No intro cue plays without a sound engine: 300 - (0 + 175 + 12).
    EXPECT_EQ(e.phaseTimer, 113.0f);
    EXPECT_EQ(e.valuePool, 10.0f);
    ASSERT_NE(e.entity, nullptr);
    EXPECT_EQ(e.entity->state, u32(E_ENTITY_BUILT));
    EXPECT_STREQ(e.bossName, "boss_0_1");
    EXPECT_EQ(e.forced, 0);
}

TEST_F(PlayTest, BossChoiceRefusals) {
    struct SCase {
        const char* name;
        f32 duration;
        f32 memberSpawn;
        bool allBeaten;
    };
    for (const SCase& c : {SCase{"short song", 186.9f, 150.0f, false}, SCase{"empty window", 300.0f, 113.0f, false},
                           SCase{"all beaten", 300.0f, 150.0f, true}}) {
        s_members.clear();
        addMember(c.memberSpawn);
        resetPlayRecord();
        g_PlayRecord.song.duration = c.duration;
        g_PlayRecord.song.scoreScale[0] = 1.0f;
        g_PlayRecord.boss.enabled = g_PlayRecord.boss.skip = 1;
        if (c.allBeaten) beatAll();
        chooseSessionBoss(g_PlayRecord.song);
        EXPECT_EQ(g_BossEncounter.phaseTimer, FLT_MAX) << c.name;
        EXPECT_EQ(g_BossEncounter.entity, nullptr) << c.name;
    }
}

TEST_F(PlayTest, ForcedBossComesAtFiveSecondsEvenOnAShortSong) {
    configSetValue("FORCE_BOSS", "1");
    g_PlayRecord.song.duration = 60.0f;
    g_PlayRecord.song.identity[0] = 77;
    addMember(50.0f);
    chooseSessionBoss(g_PlayRecord.song);
    EXPECT_EQ(g_BossEncounter.phaseTimer, 5.0f);
    EXPECT_EQ(g_BossEncounter.forced, 1);
    EXPECT_EQ(g_PlayRecord.boss.pending, 1);
    EXPECT_EQ(g_PlayRecord.boss.pendingIdentity[0], 77u);
}

TEST_F(PlayTest, ForcedIndexWithEveryPairBeatenTakesARealSubBoss) {
    beatAll();
    configSetValue("FORCE_BOSS_INDEX", "3");
    chooseSessionBoss(g_PlayRecord.song);
    EXPECT_EQ(std::make_pair(g_BossEncounter.boss, g_BossEncounter.subBoss), std::make_pair(3, 0));
    EXPECT_NE(g_BossEncounter.entity, nullptr);

    releaseSessionBoss();
    configSetValue("FORCE_SUBBOSS_INDEX", "2");
    chooseSessionBoss(g_PlayRecord.song);
    EXPECT_EQ(g_BossEncounter.subBoss, 2);
    EXPECT_EQ(g_PlayRecord.boss.beaten[3][2], 0);
    EXPECT_EQ(g_PlayRecord.boss.beaten[3][1], 1);
}

TEST_F(PlayTest, RandomForcedBossIsDrawnFromTheGlobalGenerator) {
    beatAll();
    configSetValue("FORCE_BOSS", "2");
    addMember(50.0f);
    sfmtInitGenRand(1234);
    const s32 boss = s32((sfmtGenRand32() % 0x7FFFFFFFu) % 5);
    const s32 sub = s32((sfmtGenRand32() % 0x7FFFFFFFu) % 3);
    sfmtInitGenRand(1234);
    chooseSessionBoss(g_PlayRecord.song);
    EXPECT_EQ(std::make_pair(g_BossEncounter.boss, g_BossEncounter.subBoss), std::make_pair(boss, sub));
    EXPECT_EQ(g_BossEncounter.phaseTimer, 5.0f);
}

TEST_F(PlayTest, IntroNameIsTheChosenBossesAndIsClearedForTheNext) {
    g_PlayRecord.boss.beaten[0][0] = g_PlayRecord.boss.beaten[0][1] = g_PlayRecord.boss.beaten[0][2] = 1;
    chooseSessionBoss(g_PlayRecord.song);
    EXPECT_STREQ(g_BossEncounter.introSoundName, "SG_Intro_Boss1");
    releaseSessionBoss();
    g_PlayRecord.boss.beaten[1][0] = 1;
    chooseSessionBoss(g_PlayRecord.song);
    EXPECT_STREQ(g_BossEncounter.introSoundName, "");
}

TEST_F(PlayTest, BossNotesFollowTheSequenceOnEverySecondCallAndAnEmptyOneIsRandom) {
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
    EXPECT_GE(note, 1);
    EXPECT_LE(note, 14);
}

// ---------------------------------------------------------------------------------------------
// Score rules

TEST_F(PlayTest, DeathPenaltyStopsAtZeroAndCountsEvenWithoutAFreePopup) {
    ClDNAProgram* shipProgram = oneNodeProgram(E_PROGRAM_PLAYER, 0);
    ClEntity* ship = allocEntity(OWNER_LIVE_GAME);
    ship->buildFromDNA(shipProgram);
    g_aPlayerState[0].ship = ship;
    g_aPlayerState[0].score = 5 * SCORE_ENCODING_FACTOR;
    while (takeScorePopup()) {
    }
    applyDeathPenalty(0);
    EXPECT_EQ(g_aPlayerState[0].score, 0);
    EXPECT_EQ(g_aPlayerState[0].pointsLost, 5);
    EXPECT_EQ(g_aPlayerState[0].deaths, 1);
    freeEntity(ship);
    shipProgram->release();
    delete shipProgram;
}

TEST_F(PlayTest, ChainBonusRisesToThreeTimesBaseThenHoldsAtTwice) {
    std::vector<u32> medals;
    static std::vector<u32>* s_medals;
    s_medals = &medals;
    setAwardMedalHook([](u32 id) { s_medals->push_back(id); });
    std::vector<s32> gains;
    for (int step = 1; step <= 12; ++step) {
        const s32 before = g_aPlayerState[0].score;
        awardWaveKillChainBonus(0, ClVec3(10.0f, 0.0f, 20.0f));
        gains.push_back((g_aPlayerState[0].score - before) / SCORE_ENCODING_FACTOR);
    }
    setAwardMedalHook(nullptr);
    EXPECT_EQ(gains, (std::vector<s32>{120, 140, 160, 180, 200, 220, 240, 260, 280, 300, 200, 200}));
    EXPECT_EQ(medals, (std::vector<u32>{3, 3, 3, 3, 3, 4, 4, 4}));
    ASSERT_EQ(scorePopupCount(), 1u);
    EXPECT_EQ(scorePopupAt(0)->chain, 12);
    EXPECT_EQ(scorePopupAt(0)->textId, crc32TextNoCase("bonus_text_chain"));
}

TEST_F(PlayTest, ScorePickupsShareOnePopupAndTakeNoneWithoutAShip) {
    addPickupScore(7);
    EXPECT_EQ(scorePopupCount(), 0u);
    ClDNAProgram* shipProgram = oneNodeProgram(E_PROGRAM_PLAYER, 0);
    ClEntity* ship = allocEntity(OWNER_LIVE_GAME);
    ship->buildFromDNA(shipProgram);
    g_aPlayerState[0].ship = ship;
    addPickupScore(30);
    addPickupScore(12);
    EXPECT_EQ(shownScore(g_aPlayerState[0]), 49);
    EXPECT_EQ(g_aPlayerState[0].score, 49 * 11);
    ASSERT_EQ(scorePopupCount(), 1u);
    EXPECT_EQ(scorePopupAt(0)->value, 42);
    EXPECT_EQ(scorePopupAt(0)->lifetime, 2.69f);
    freeEntity(ship);
    shipProgram->release();
    delete shipProgram;
}

// ---------------------------------------------------------------------------------------------
// The ship's life

namespace {

// A ship of one anchor node and no parts, with the player's control on its root: it lives until
// something destroys it.
ClDNAProgram* anchoredShipProgram() {
    ClDNAProgram* program = new ClDNAProgram();
    program->init();
    program->kind = E_PROGRAM_PLAYER;
    program->emitNewNode(ClMatrix44());
    program->emitAddProcessor(E_PROC_PLAYER_CTRL);
    program->emitParamInt("anchID", 0);
    program->emitCloseNode();
    return program;
}

void runFrame() {
    flipFrameBuffers();
    updatePlayerLife();
    flushDestroyedEntities();
    flushFreedEntities();
}

}  // namespace

TEST_F(PlayTest, DeadShipRespawnsOnTheFrameItsCountdownReachesZero) {
    setShipProgramBuilder(anchoredShipProgram);
    createPlayerShipProgram();
    spawnPlayerShip(0, 1);
    SPlayerState& player = g_aPlayerState[0];
    ASSERT_NE(player.ship, nullptr);
    EXPECT_EQ(player.anchorCount, 1);
    EXPECT_EQ(player.ship->timer, SPAWN_GRACE_SECONDS);
    EXPECT_EQ(player.invincibilityTime, 0.0f);
    const ClVec4 start = player.ship->getWorldPosition();
    EXPECT_EQ(std::make_pair(start.x, start.z), std::make_pair(162.5f, 242.775f));

    setClockDelta(GAME_CLOCK_GAMEPLAY, 1.0f / 60.0f);
    player.ship->destroy();
    runFrame();
    EXPECT_EQ(player.ship, nullptr);
    EXPECT_EQ(player.deaths, 1);
    EXPECT_EQ(player.respawnCountdown, 4.0f);
    // 240 steps of 1/60 s in f32 leave a sliver of the 4 s; the 241st reaches below 0.
    for (int frame = 1; frame < 241; ++frame) runFrame();
    EXPECT_EQ(player.ship, nullptr);
    runFrame();
    ASSERT_NE(player.ship, nullptr);
    EXPECT_EQ(player.respawnCountdown, 0.0f);
    EXPECT_EQ(usedEntityCount(), 1u);

    g_iPlayerRammed = 1;
    runFrame();
    EXPECT_EQ(player.ship->timer, RAM_GRACE_SECONDS);
    EXPECT_EQ(g_iPlayerRammed, 0);
    freeEntity(player.ship);
    player.ship = nullptr;
    freeSessionDNAProgram();
    setShipProgramBuilder(nullptr);
}

TEST_F(PlayTest, InvincibleShipHasNoSpawnGraceAndEndlessRamGrace) {
    configSetValue("PLAYER_INVINCIBLE", "1");
    setShipProgramBuilder(anchoredShipProgram);
    createPlayerShipProgram();
    spawnPlayerShip(0, 1);
    SPlayerState& player = g_aPlayerState[0];
    EXPECT_EQ(player.ship->timer, 0.0f);
    EXPECT_EQ(player.invincibilityTime, FLT_MAX);
    g_iPlayerRammed = 1;
    runFrame();
    EXPECT_EQ(player.ship->timer, FLT_MAX);
    freeEntity(player.ship);
    player.ship = nullptr;
    freeSessionDNAProgram();
    setShipProgramBuilder(nullptr);
}

TEST_F(PlayTest, ShipSpawnedWhileTheBossArrivesFliesToItsMeetingPoint) {
    ClDNAProgram bossProgram;
    bossProgram.init();
    bossProgram.kind = E_PROGRAM_ENEMY;
    bossProgram.emitNewNode(ClMatrix44());
    bossProgram.emitParamVector("BPYP", 100.0f, 0.0f, 60.0f, 1.0f);
    bossProgram.emitCloseNode();
    ClEntity* boss = allocEntity(OWNER_LIVE_GAME);
    boss->buildFromDNA(&bossProgram);
    g_BossEncounter.entity = boss;
    configSetValue("PLAYER_INVINCIBLE", "1");
    setShipProgramBuilder(anchoredShipProgram);
    createPlayerShipProgram();

    std::vector<std::tuple<u32, f32, f32, f32>> moves;  // flag, target x and z, grace
    for (s32 phase : {E_BOSSPHASE_WAITING, E_BOSSPHASE_ARRIVED}) {
        g_BossEncounter.phase = phase;
        spawnPlayerShip(0, 1);
        ClEntity* ship = g_aPlayerState[0].ship;
        const ClProcessor_PlayerCtrl* ctrl = findPlayerCtrl(ship);
        moves.emplace_back(ctrl->scriptedMove, ctrl->moveTween.to.x, ctrl->moveTween.to.z, ship->timer);
        freeEntity(ship);
    }
    EXPECT_EQ(moves[0], std::make_tuple(0u, 0.0f, 0.0f, 0.0f));
    EXPECT_EQ(moves[1], std::make_tuple(1u, 100.0f, 60.0f, 2.0f)) << "grace even for an invincible ship";
    g_aPlayerState[0].ship = nullptr;
    g_BossEncounter.entity = nullptr;
    freeEntity(boss);
    bossProgram.release();
    freeSessionDNAProgram();
    setShipProgramBuilder(nullptr);
}

TEST_F(PlayTest, ScoreTargetStates) {
    SPlaySong& song = g_PlayRecord.song;
    song.scoreTargets[0][0] = 1000;
    song.scoreTargets[0][1] = 5000;
    song.progressThresholds[0][0] = song.progressThresholds[0][1] = 100.0f;
    EXPECT_EQ(std::vector<s32>({scoreTargetState(999), scoreTargetState(1000), scoreTargetState(5000)}),
              std::vector<s32>({-1, 0, 1}));
    song.progressValue = 100.0f;
    EXPECT_EQ(scoreTargetState(0), 1);
}

// ---------------------------------------------------------------------------------------------
// Wave plans and parameter blocks

TEST(WavePlan, PathSpeedsAndTimedPlanDuration) {
    EXPECT_EQ(std::vector<f32>({getPathSpeed(0, 0), getPathSpeed(1, 1), getPathSpeed(2, 2), getPathSpeed(3, 3),
                                getPathSpeed(4, 7)}),
              std::vector<f32>({120.0f, 75.0f, 40.0f, 10.0f, 25.0f}));
    ClWaveDNA plan;
    plan.speedClass = 2;
    SWaveMember& member = plan.members[0];
    member.wave = &plan;
    member.segments.init(8);
    auto add = [&](u32 kind, ClVec3 a, s32 c) {
        SMotionSegment segment = {};
        segment.kind = kind;
        segment.a.setVector(a.x, a.y, a.z, 0.0f);
        segment.c.setInt(c);
        member.segments.push(segment);
    };
    add(E_SEG_START, ClVec3(0, 0, 0), 0);
    add(E_SEG_FACE, ClVec3(0, 0, 1), 0);
    add(E_SEG_TIMED_MOVE, ClVec3(40, 0, 0), 2);  // 40 units at 40 units/s
    add(E_SEG_TIMED_MOVE, ClVec3(40, 0, 30), 0);  // 30 units at 80 units/s
    add(E_SEG_END, ClVec3(), 0);
    add(E_SEG_STEER, ClVec3(), 0);  // past the end: never read
    EXPECT_EQ(member.computeDuration(), 1.375f);
    EXPECT_EQ(member.totalPathTime, 1.375f);
    plan.release();
}

TEST(GunParams, BulletBlockTravelsFromGunToBulletAndAMissingKeyStops) {
    setFatalErrorHook(throwOnFatal);
    ClEntityNode gun;
    gun.init();
    SParamTable& p = gun.params;
    p.findOrAdd("GunRate")->setFloat(0.25f);
    p.findOrAdd("GunPel")->setInt(3);
    p.findOrAdd("GunPat")->setInt(1);
    p.findOrAdd("MyBullGen")->setInt(s32(crc32TextNoCase("DefBullGen")));
    p.findOrAdd("BullType")->setInt(18);
    p.findOrAdd("BullLev")->setInt(2);
    p.findOrAdd("BullRad")->setFloat(6.5f);
    p.findOrAdd("BullRndRad")->setInt(40);  // a whole number written as an integer reads as its float
    p.findOrAdd("BullDmg")->setFloat(10.0f);
    p.findOrAdd("BullVel")->setFloat(300.0f);
    p.findOrAdd("BullVelVar")->setFloat(0.1f);
    p.findOrAdd("BullCol")->setInt(s32(0xFF2060FFu));
    p.findOrAdd("BullFlag")->setInt(4);
    SGunParams gunParams = {};
    SGunParams::readFromNode(&gun, &gunParams);
    EXPECT_EQ(std::make_tuple(gunParams.gunRate, gunParams.gunPel, gunParams.gunPat), std::make_tuple(0.25f, 3, 1));

    ClEntityNode bullet;
    bullet.init();
    copyBulletParamsToBullet(&bullet, gunParams.bullet);
    SBulletParams copied = {};
    SBulletParams::readFromNode(&bullet, &copied);
    EXPECT_EQ(std::memcmp(&copied, &gunParams.bullet, sizeof(copied)), 0);
    EXPECT_EQ(copied.bullRndRad, 40.0f);

    ClEntityNode charging;
    charging.init();
    copyBulletParamsToBullet(&charging, gunParams.bullet);
    SChargingGunParams chargingParams = {};
    EXPECT_NE(fatalReasonOf([&] { SChargingGunParams::readFromNode(&charging, &chargingParams); }), "");
    charging.params.findOrAdd("CHD")->setText("slow");
    charging.params.findOrAdd("CHT")->setFloat(1.0f);
    charging.params.findOrAdd("CHMIN")->setFloat(0.1f);
    EXPECT_EQ(fatalReasonOf([&] { SChargingGunParams::readFromNode(&charging, &chargingParams); }),
              "parameter \"CHD\" is not a number (type 1)");
    gun.releaseContents();
    bullet.releaseContents();
    charging.releaseContents();
    setFatalErrorHook(nullptr);
}

TEST_F(PlayTest, ScoreHudWritesTheWidgetsAndRetiresSpentPopups) {
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
    EXPECT_STREQ(findWidgetByName("Score")->getText("dynamicText"), "12,465");
    EXPECT_EQ(findWidgetByName("WaveKillChain")->getInt("textColor"), s32(0x7FFFFFFFu));
    EXPECT_EQ(findWidgetByName("WaveKillChain_BG2")->tint().colour, 0x7FFFFFFFu);
    EXPECT_STREQ(findWidgetByName("hud_target_score")->getText("dynamicText"), "90,000");
    EXPECT_EQ(g_aPlayerState[0].nextTargetShown, 1);
    EXPECT_EQ(scorePopupCount(), 1u);

    g_fWaveKillChainWindow = 0.0f;
    setClockDelta(GAME_CLOCK_GAMEPLAY, 1.5f);
    updateScoreHud();
    EXPECT_FALSE(findWidgetByName("WaveKillChain_BG1")->isVisible());
    EXPECT_EQ(scorePopupCount(), 0u);
    releaseWidgetRegistry();
}
