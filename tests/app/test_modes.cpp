// The two game modes' entries and exits: the input mappers, cameras and flags they set up are
// undone on every path, failures included; the run-up ends at song time 0; the play's ends. Also
// the unusual road a data file leaves them on: the front end without its camera frame keeps the
// camera's reset pose.
#include "app/front_end_screen.h"
#include "app/game_mode_action.h"
#include "app/game_mode_front_end.h"
#include "app/layer_imports.h"
#include "app/startup.h"
#include "audio/play/song_clock.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/file_layer.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "frontend/presentation/front_end_particles.h"
#include "input/input_channels.h"
#include "input/input_mappers.h"
#include "library/song_items.h"
#include "library/song_library.h"
#include "library/song_scan.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/camera_stacks.h"
#include "render/fx_particles.h"
#include "render/render_device.h"
#include "render/scene_inputs.h"
#include "render/view_slots.h"
#include "tests/support/audio_songs.h"
#include "tests/support/fatal_catch.h"
#include "tests/support/memory_script_source.h"
#include "tests/support/temp_dir.h"
#include "ui/switcher.h"
#include "ui/ui_system.h"
#include "ui/ui_variables.h"
#include "waves/waves.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/world.h"
#include "world/play/guardian_sequence.h"
#include "world/play/inspiration_pickups.h"
#include "world/state/play_record.h"
#include "world/play/player_state.h"
#include "world/processors/path_follower.h"
#include "world/services/world_imports.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace test_support;

// The input mapper and camera stacks' depths, and whether play is on.
struct SStacks {
    u32 mappers[VIEW_SLOT_COUNT];
    u32 cameras, listedCameras, inGame;
};

SStacks stacksNow() {
    SStacks s{{}, g_aCameraStacks[0].count, cameraCount(), inGameFlag()};
    for (int slot = 0; slot < VIEW_SLOT_COUNT; ++slot) s.mappers[slot] = g_aViewSlots[slot].mappers.count;
    return s;
}

// Each depth as it was at an earlier reading.
void expectStacksAsBefore(const SStacks& before) {
    const SStacks now = stacksNow();
    for (int slot = 0; slot < VIEW_SLOT_COUNT; ++slot) EXPECT_EQ(now.mappers[slot], before.mappers[slot]) << "slot " << slot;
    EXPECT_EQ(now.cameras, before.cameras);
    EXPECT_EQ(now.listedCameras, before.listedCameras);
    EXPECT_EQ(now.inGame, before.inGame);
}

enum class EFail { NONE, CACHES, ANALYSIS, CUE, NO_SONG };
EFail g_fail = EFail::NONE;
std::vector<f32> g_preRollSongTimes;

class Modes : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        setFatalErrorHook(throwOnFatal);
        fileLayerInit();
        configClear();
        setUserDataDirW(widePath(m_home.str() + "/").c_str());
        createSaveDataDir();
        initUi();
        initInput(0, 38);
        resetViewSlots();
        resetCameraStacks();
        createSongLibrary();
        g_SongLibrary.songs.push_back(makeSongRecord(u"/music/song.wav", 1 << 20));
        g_SongLibrary.songs.back().state = E_SONGSTATE_READY;
        initWorld();
        wavesSetUp();
        installLayerImports();
        g_iQuitGame = 0;
        g_fail = EFail::NONE;
        g_ActionPlayServices = {
            [](s32) -> s32 { return g_fail != EFail::CACHES; },
            [](const char16_t*, const SSongIdentity&, bool) -> s32 { return g_fail != EFail::ANALYSIS; },
            [](bool) {},
            []() -> u32 { return g_fail != EFail::CUE; },
        };
    }
    void TearDown() override {
        g_ActionPlayServices = kDefaultActionPlayServices;
        shutdownWorld();
        clearLayerImports();
        wavesShutdown();
        freeSongLibrary();
        releaseCameras();
        shutdownInput();
        shutdownUi();
        configFree();
        fileLayerShutdown();
        setFatalErrorHook(nullptr);
    }

    // The front end entered from start-up, left, play entered; returns what the entry gave.
    s32 enterPlayFromFrontEnd() {
        m_menus.enter(0);
        m_menus.exit();
        return m_play.enter(1);
    }

    // A rising edge on player 0's channel a second on, when the input lock of a mode's camera
    // push and the switcher's transition are over.
    static void pressChannel(int channel) {
        g_iInputLockCounter = 0;
        setClockDelta(GAME_CLOCK_SYSTEM, 1.0f);
        SInputChannel* pressed = getPlayerChannel(0, channel);
        pressed->value[g_uInputFlipIndex] = 1.0f;
        pressed->value[1 - g_uInputFlipIndex] = 0.0f;
    }

    ClTempDir m_home;
    ClGameModeActionZuno& m_play = g_GameModeAction;
    ClGameModeFrontEnd& m_menus = g_GameModeFrontEnd;
};

TEST_F(Modes, EveryEntryAndExitLeavesTheMapperAndCameraStacksAsTheyWere) {
    const SStacks before = stacksNow();
    // NO_SONG: neither a library song nor GAME_MUSIC_FILE.
    for (EFail fail : {EFail::NONE, EFail::CACHES, EFail::ANALYSIS, EFail::CUE, EFail::NO_SONG}) {
        SCOPED_TRACE(int(fail));
        const s32 fails = fail == EFail::NONE ? 0 : 1;
        g_fail = fail;
        setUiVariable(UIVAR_SELECTED_SONG_INDEX, fail == EFail::NO_SONG ? 5 : 0);
        EXPECT_EQ(enterPlayFromFrontEnd(), 1 - fails);
        EXPECT_EQ(uiVariable(UIVAR_RETURNING_FROM_ACTION_FAIL), fails);
        EXPECT_EQ(s32(inGameFlag()), 1 - fails);
        m_play.exit();
        expectStacksAsBefore(before);
        EXPECT_TRUE(isWorldReady()) << "the front end gets its world back";
        if (!fails) continue;
        // A failed start comes back to the scan wait, which says why, and the scan goes on.
        m_menus.enter(2);
        EXPECT_EQ(std::string(shownChildName("TopLevelSwitcher")), "WaitForDirScan");
        EXPECT_FALSE(areSongScanRequestsPaused());
        m_menus.exit();
        expectStacksAsBefore(before);
    }
}

TEST_F(Modes, TheSongsEndAQuickExitAndTheEarlyEndFinishPlay) {
    const auto play = [this](const char* quickExit, const char* endEarly) {
        configSetValue("QUICK_EXIT", quickExit);
        configSetValue("END_GAME_EARLY_TIME", endEarly);
        EXPECT_EQ(enterPlayFromFrontEnd(), 1);
    };
    // The song's end scores the pickups left in the arena.
    play("0", "0");
    // A ship of one empty node stands in for the player's.
    ClDNAProgram shipProgram;
    shipProgram.init();
    shipProgram.kind = E_PROGRAM_PLAYER;
    shipProgram.emitNewNode(ClMatrix44());
    shipProgram.emitCloseNode();
    ClEntity* ship = allocEntity(OWNER_LIVE_GAME);
    ship->buildFromDNA(&shipProgram);
    g_aPlayerState[0].ship = makeEntityRef(ship);
    ASSERT_NE(spawnInspirationPickups(ClVec3(100.0f, 0.0f, 100.0f), 25, 0, 0), nullptr);
    const s32 before = shownScore(g_aPlayerState[0]);
    // A cue the engine does not know counts as a finished song.
    alignas(16) static u8 unknownCue[64];
    setSongCue(SCueHandle{reinterpret_cast<SCueRecord*>(unknownCue), 1});
    m_play.checkSongEnd();
    setSongCue({});
    EXPECT_EQ(m_play.m_finished, 1u);
    EXPECT_EQ(shownScore(g_aPlayerState[0]) - before, 25);
    g_aPlayerState[0].ship = SEntityRef{};
    freeEntity(ship);
    m_play.exit();
    shipProgram.release();

    play("1", "0");
    setSongTime(2.0f);
    m_play.checkSongEnd();
    const u32 finishedAtTwo = m_play.m_finished;
    setSongTime(2.01f);
    m_play.checkSongEnd();
    EXPECT_EQ(s32(finishedAtTwo), 0);
    EXPECT_EQ(s32(m_play.m_finished), 1);
    EXPECT_EQ(shownScore(g_aPlayerState[0]), 100000);
    m_play.exit();

    play("0", "20");
    m_play.tickEndEarly(19.5f);
    const u32 finishedBefore = m_play.m_finished;
    m_play.tickEndEarly(0.5f);
    EXPECT_EQ(finishedBefore, 0u);
    EXPECT_EQ(m_play.m_finished, 1u);
    m_play.exit();

    play("0", "-1");
    m_play.tickEndEarly(1000.0f);
    EXPECT_EQ(m_play.m_finished, 0u);
    m_play.exit();
}

// Play also puts the arrival bursts into the effect system until it is left.
TEST_F(Modes, TipsArePausedForOnceTheRepairTipComesOncePerProfileAndTheWindowsPauseOpensTheMenu) {
    frontEndParticleSetUp();
    ASSERT_NE(fxParticles(), nullptr);
    ASSERT_EQ(enterPlayFromFrontEnd(), 1);
    EXPECT_EQ(g_pPathFxParticles, fxParticles());
    const SStacks playing = stacksNow();
    const s32 first = m_play.queueMegaTip("TipOne");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(m_play.queueMegaTip("TipTwo"), 0) << "one is pending";
    m_play.handlePauseAndTips();
    EXPECT_EQ(m_play.m_paused, 1u);
    EXPECT_EQ(g_GuardianSequence.paused, 1) << "the story waits too";
    EXPECT_EQ(std::string(shownChildName("Tutorial")), "TipOne");
    EXPECT_EQ(m_play.queueMegaTip("TipThree"), 0) << "paused";
    EXPECT_EQ(g_aViewSlots[0].mappers.top(), menusInputMapper());
    setUiVariable(UIVAR_TUTORIAL_PAUSE_FINISHED, 1);
    m_play.handlePauseAndTips();
    EXPECT_EQ(m_play.m_paused, 0u);
    EXPECT_EQ(g_GuardianSequence.paused, 0);
    EXPECT_EQ(g_aViewSlots[0].mappers.top(), gameplayInputMapper());
    expectStacksAsBefore(playing);

    // The window's pause: the menu opens, and closing it resumes play.
    setUiVariable(UIVAR_ALLOW_QUIT, 0);
    EXPECT_EQ(m_play.pauseGame(), 1);
    EXPECT_EQ(std::string(shownChildName("TopLevelSwitcher")), "PauseMenu");
    setUiVariable(UIVAR_PAUSE_GAME, 0);
    m_play.handlePauseAndTips();
    EXPECT_EQ(m_play.m_paused, 0u);
    expectStacksAsBefore(playing);

    // The ship's repair tip comes once per player profile: the library keeps that it was shown.
    worldImports().queueMegaTip("MegaTip_Repair");
    EXPECT_EQ(m_play.m_tipPending, 1u);
    EXPECT_EQ(g_SongLibrary.shownTips, onceTipBit("MegaTip_Repair"));
    m_play.handlePauseAndTips();
    setUiVariable(UIVAR_TUTORIAL_PAUSE_FINISHED, 1);
    m_play.handlePauseAndTips();
    worldImports().queueMegaTip("MegaTip_Repair");
    EXPECT_EQ(m_play.m_tipPending, 0u) << "shown before";
    // Tips that are not once-only still come whenever their moment does.
    worldImports().queueMegaTip("BossFailResults_Step1");
    EXPECT_EQ(m_play.m_tipPending, 1u);
    m_play.exit();
    EXPECT_EQ(g_pPathFxParticles, nullptr);
    frontEndParticleShutdown();
}

// A play's own ticks: the run-up ends at song time exactly 0 from wherever it starts (no wave
// pending: the largest float); the play time is the song played, also when frames are slower than
// the gameplay step's 0.15 s; the boss's arrival zeroes both credits countdowns.
TEST_F(Modes, ThePlaysTicksRunUpToZeroCountTheSongPlayedAndStopTheCreditsAtTheBoss) {
    ASSERT_EQ(enterPlayFromFrontEnd(), 1);
    EXPECT_EQ(currentSongTime(), 0.0f);
    for (f32 start : {FLT_MAX, 7.25f, -10.0f, -3.01f, -0.01f}) {
        m_play.preRollWorldFrom(start);
        EXPECT_EQ(currentSongTime(), 0.0f) << start;
    }

    g_aPlayerState[0].playTime = 0.0f;
    setSongTime(10.5f);
    m_play.tickPlayTime(10.0f, 0.15f);
    EXPECT_EQ(g_aPlayerState[0].playTime, 0.5f);

    m_play.m_creditsCountdown[1] = 60.0f;
    m_play.tickCredits(0.5f);
    g_PlayRecord.bossArrived = 1;
    m_play.tickCredits(0.0f);
    EXPECT_EQ(m_play.m_creditsCountdown[0], 0.0f);
    EXPECT_EQ(m_play.m_creditsCountdown[1], 0.0f);
    m_play.exit();
}

TEST_F(Modes, TheFrontEndEndsAStorySequenceStillRunningWhenLeft) {
    ClInstalledScripts scripts;
    scripts.files["guardian_movies.txt"] = "Menu { Hold { events { { 0.0; set_visible = 1; }; }; }; };";
    resetGuardianSequence();
    const SGuardianSequence& g = g_GuardianSequence;
    m_menus.enter(0);
    startGuardianSequence("Hold", "Menu", 2);
    setClockDelta(GAME_CLOCK_GAMEPLAY, 0.25f);
    updateGuardianEvents();
    m_menus.exit();
    EXPECT_EQ(g.active, 0);
    EXPECT_EQ(g.fade.current, 0.0f);
    EXPECT_EQ(lastEndedGuardianTag(), 2u);
}

TEST_F(Modes, PauseAndBackPressesOpenTheMenusOrQuitAsTheSettingsSay) {
    struct SRow {
        s32 allowQuit;
        const char* debugAmenities;
        const char* padMonkey;
        // Play: paused, the pause menu shown, play left by a forced quit.
        bool paused, pauseMenu, forcedQuit;
        // Front end, a story sequence playing or not: the quit menu shown at the press, the quit
        // confirmed then and a frame later.
        s32 storyPlaying;
        bool quitMenu, quitAtPress, quitNextFrame;
    };
    const SRow rows[] = {
        {0, "0", "0", false, false, false, 0, false, false, false},
        {0, "2", "0", false, false, false, 0, false, false, false},
        {1, "0", "0", true, true, false, 0, true, false, false},
        {1, "0", "0", true, true, false, 1, false, false, false},
        {1, "1", "0", true, true, false, 0, true, false, true},
        {1, "1", "1", true, true, false, 0, true, false, false},
        {1, "2", "0", true, false, true, 0, true, false, true},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(testing::Message() << row.allowQuit << row.debugAmenities << row.padMonkey << row.storyPlaying);
        configSetValue("DEBUG_AMENITIES", row.debugAmenities);
        configSetValue("USE_PAD_MONKEY", row.padMonkey);
        ASSERT_EQ(enterPlayFromFrontEnd(), 1);
        setUiVariable(UIVAR_ALLOW_QUIT, row.allowQuit);
        pressChannel(E_CHANNEL_ESCAPE_IN_PLAY);
        m_play.handlePauseAndTips();
        EXPECT_EQ(m_play.m_paused != 0, row.paused);
        EXPECT_EQ(shownChildName("TopLevelSwitcher") == std::string("PauseMenu"), row.pauseMenu);
        EXPECT_EQ(m_play.m_forcedQuit != 0, row.forcedQuit);
        EXPECT_EQ(m_play.m_finished != 0, row.forcedQuit);
        m_play.exit();
        clearPlayerChannels();

        m_menus.enter(0);
        setUiVariable(UIVAR_ALLOW_QUIT, row.allowQuit);
        g_GuardianSequence.active = row.storyPlaying;
        pressChannel(E_CHANNEL_MENU_ESCAPE);
        m_menus.handleQuitMenu();
        const bool quitMenu = m_menus.m_quitMenuShown != 0, quitAtPress = m_menus.m_quitConfirmed != 0;
        m_menus.handleQuitMenu();
        EXPECT_EQ(quitMenu, row.quitMenu);
        EXPECT_EQ(quitAtPress, row.quitAtPress);
        EXPECT_EQ(m_menus.m_quitConfirmed != 0, row.quitNextFrame);
        m_menus.exit();
        clearPlayerChannels();
    }
}

TEST_F(Modes, WhileTheDeviceIsNotReadyTheFrontEndRunsNoInterfaceButItsClocksAdvance) {
    m_menus.enter(0);
    ASSERT_FALSE(renderDeviceReady());
    setUiVariable(UIVAR_GO_TO_ACTION, 1);
    setUiVariable(UIVAR_FORCE_QUIT_GAME, 1);
    const f64 before = g_aGameClocks[GAME_CLOCK_SYSTEM].totalTime;
    EXPECT_EQ(m_menus.update(0.25f), 0);
    EXPECT_EQ(g_aGameClocks[GAME_CLOCK_SYSTEM].totalTime - before, 0.25);
    EXPECT_EQ(uiVariable(UIVAR_GO_TO_ACTION), 1);
    EXPECT_EQ(uiVariable(UIVAR_FORCE_QUIT_GAME), 1);
    EXPECT_EQ(s32(m_menus.m_quitConfirmed), 0);
    m_menus.exit();
}

// With all 15 bosses beaten there is no next boss (-1, -1): a boss won and a play without a
// boss change nothing but the pending boss, and the stacks balance on both paths.
TEST_F(Modes, AfterEveryBossIsBeatenPlaysWriteNothingOutOfRange) {
    for (auto& subs : g_PlayRecord.boss.beaten)
        for (s32& beaten : subs) beaten = 1;
    std::memset(g_PlayRecord.boss.met, 2, sizeof g_PlayRecord.boss.met);
    g_PlayRecord.boss.pending = 1;
    // An earlier play identified the song's item: the results follow the play.
    songCollectibleAt(0)->identified = 1;
    const SStacks stacks = stacksNow();
    for (bool bossGame : {true, false}) {
        SPlayRecord expected = g_PlayRecord;
        if (bossGame) {
            expected.boss.pending = 0;
            std::memset(expected.boss.pendingIdentity, 0, sizeof expected.boss.pendingIdentity);
        }
        m_play.m_forcedQuit = 0;
        m_play.m_wasBossGame = m_play.m_bossBeaten = bossGame;
        setUiVariable(UIVAR_RETURNING_FROM_ACTION, 1);
        m_menus.enter(2);
        EXPECT_EQ(std::string(shownChildName("TopLevelSwitcher")), bossGame ? "PostBossWinGS" : "Results");
        EXPECT_EQ(std::memcmp(&g_PlayRecord, &expected, sizeof expected), 0) << bossGame;
        m_menus.exit();
        expectStacksAsBefore(stacks);
    }
    EXPECT_EQ(uiVariable(UIVAR_SOS_WIN), 1);
}

TEST_F(Modes, ASeedSettingMakesPlaysDrawTheSameNumbers) {
    // How many numbers the play's entry drew, and the next one.
    struct SDraws {
        u32 made, next;
    };
    const auto drawsOfAPlay = [this](const char* seed) {
        configSetValue("RANDOM_SEED", seed);
        seedRandomFromSettings();
        EXPECT_EQ(enterPlayFromFrontEnd(), 1);
        const SDraws draws{g_sfmtState.draws, sfmtGenRand32()};
        m_play.exit();
        return draws;
    };
    const SDraws first = drawsOfAPlay("7"), again = drawsOfAPlay("7"), other = drawsOfAPlay("8");
    EXPECT_EQ(again.made, first.made);
    EXPECT_EQ(again.next, first.next);
    EXPECT_NE(other.next, first.next);
}

TEST_F(Modes, TheFrontEndWithoutItsUiCameraFrameKeepsTheResetPose) {
    const std::string frames = "frame VBA\n0 0 150\n0 0 -1\n1 0 0\n0 1 0\n45\n";
    const std::string ui = "frame UI\n0 0 100\n0 0 -1\n1 0 0\n0 1 0\n60\n";
    // Frames added; the entered camera's z and field of view.
    struct SRow {
        const char* name;
        const std::string& text;
        f32 z, fov;
    };
    for (const SRow& row : {SRow{"without UI", frames, 0.0f, ClCamera().fov}, SRow{"with UI", ui, 100.0f, 60.0f}}) {
        SCOPED_TRACE(row.name);
        loadCameraFramesFromText(row.text.data(), u32(row.text.size()), "frames");
        m_menus.enter(0);
        const ClCamera* camera = getViewSlotTopCamera(0);
        ASSERT_NE(camera, nullptr);
        EXPECT_EQ(camera->position().x, 0.0f);
        EXPECT_EQ(camera->position().z, row.z);
        EXPECT_EQ(camera->fov, row.fov);
        m_menus.exit();
    }
}

TEST(FrontEndScreen, TheFirstScreenFollowsTheWayTheFrontEndWasEntered) {
    using Coin = u32 (*)();
    const Coin noDraw = []() -> u32 {
        ADD_FAILURE() << "a coin toss that decides nothing";
        return 0;
    };
    const Coin heads = []() -> u32 { return 0x80000000u; };
    const Coin tails = []() -> u32 { return 0x7FFFFFFFu; };
    struct SRow {
        SFrontEndEntry entry;
        Coin coin;
        SFrontEndScreen screen;
    };
    const SRow rows[] = {
        {{.startFailed = true, .returningFromPlay = true}, noDraw,
         {"WaitForDirScan", E_FRONTEND_ENTRY_START_FAILED, false}},
        {{}, noDraw, {"SplashScreenFMV", E_FRONTEND_ENTRY_FIRST, false}},
        {{.skipSplash = true}, noDraw, {"TitleMenu", E_FRONTEND_ENTRY_FIRST, true}},
        {{.interviewChain = true}, noDraw, {"SGVOInterview", E_FRONTEND_ENTRY_FIRST, false}},
        {{.voiceOverTest = true, .interviewChain = true, .skipSplash = true}, noDraw,
         {"TestSGVO", E_FRONTEND_ENTRY_FIRST, false}},
        {{.returningFromPlay = true, .forcedQuit = true, .bossGame = true}, noDraw,
         {"SplashScreenVel", E_FRONTEND_ENTRY_FORCED_QUIT, false}},
        {{.returningFromPlay = true, .bossGame = true, .bossBeaten = true}, noDraw,
         {"PostBossWinGS", E_FRONTEND_ENTRY_BOSS_WON, false}},
        {{.returningFromPlay = true, .bossGame = true, .forceBossWin = 1}, noDraw,
         {"PostBossWinGS", E_FRONTEND_ENTRY_BOSS_WON, false}},
        {{.returningFromPlay = true, .bossGame = true, .forceBossWin = 2}, heads,
         {"PostBossWinGS", E_FRONTEND_ENTRY_BOSS_WON, false}},
        {{.returningFromPlay = true, .bossGame = true, .forceBossWin = 2}, tails,
         {"Results", E_FRONTEND_ENTRY_BOSS_LOST, false}},
        {{.returningFromPlay = true, .bossGame = true, .collectibleToShow = true}, noDraw,
         {"SongCollectibleIdentified", E_FRONTEND_ENTRY_BOSS_LOST, false}},
        {{.returningFromPlay = true, .forceBossWin = 2}, noDraw, {"Results", E_FRONTEND_ENTRY_PLAYED, false}},
        {{.returningFromPlay = true, .collectibleToShow = true}, noDraw,
         {"SongCollectibleIdentified", E_FRONTEND_ENTRY_PLAYED, false}},
    };
    for (const SRow& row : rows) {
        const SFrontEndScreen chosen = chooseFrontEndScreen(row.entry, row.coin);
        EXPECT_EQ(chosen.page, row.screen.page);
        EXPECT_EQ(chosen.kind, row.screen.kind) << row.screen.page;
        EXPECT_EQ(chosen.menuMusic, row.screen.menuMusic) << row.screen.page;
    }
}

}  // namespace
