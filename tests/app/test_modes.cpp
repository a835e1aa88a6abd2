// The two game modes' entries and exits: the input mappers, cameras and flags they set up are
// undone on every path, failures included; the run-up ends at song time 0; the play's ends.
#include "app/game_mode.h"
#include "app/game_mode_action.h"
#include "app/game_mode_front_end.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/play/song_clock.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/file_layer.h"
#include "core/game_clock.h"
#include "core/packages.h"
#include "input/input_channels.h"
#include "input/input_mappers.h"
#include "platform/gfx/gfx_device.h"
#include "library/song_library.h"
#include "render/camera_list.h"
#include "render/camera_stacks.h"
#include "render/scene_inputs.h"
#include "render/shader.h"
#include "render/spline_registry.h"
#include "render/view_slots.h"
#include "tests/support/fatal_catch.h"
#include "tests/support/memory_script_source.h"
#include "tests/support/temp_dir.h"
#include "ui/switcher.h"
#include "ui/ui_system.h"
#include "ui/ui_variables.h"
#include "waves/waves.h"
#include "world/bar_colour_scheme.h"
#include "world/entity/world.h"
#include "world/play/guardian_sequence.h"
#include "world/play/play_record.h"
#include "world/play/player_state.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct SStacks {
    u32 mappers[VIEW_SLOT_COUNT];
    u32 cameras;
    u32 listedCameras;
    bool operator==(const SStacks&) const = default;
};

SStacks stacksNow() {
    SStacks s{};
    for (int slot = 0; slot < VIEW_SLOT_COUNT; ++slot) s.mappers[slot] = g_aViewSlots[slot].mappers.count;
    s.cameras = g_aCameraStacks[0].count;
    s.listedCameras = cameraCount();
    return s;
}

enum class EFail { NONE, CACHES, ANALYSIS, CUE };
EFail g_fail = EFail::NONE;
std::vector<f32> g_preRollSongTimes;

class Modes : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        setFatalErrorHook(test_support::throwOnFatal);
        fileLayerInit();
        configClear();
        const std::string home = m_home.str() + "/";
        setUserDataDirW(std::u16string(home.begin(), home.end()).c_str());
        createSaveDataDir();
        initUi();
        initInput(0, 38);
        resetViewSlots();
        resetCameraStacks();
        initSplineRegistry();
        createSongLibrary();
        g_SongLibrary.songs.push_back(makeSongRecord(u"/music/song.wav", 1 << 20));
        g_SongLibrary.songs.back().state = E_SONGSTATE_READY;
        initWorld();
        wavesSetUp();
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
        wavesShutdown();
        freeSongLibrary();
        shutdownSplineRegistry();
        releaseCameras();
        shutdownInput();
        shutdownUi();
        configFree();
        fileLayerShutdown();
        setFatalErrorHook(nullptr);
    }

    // The front end entered from start-up, left, play entered; returns what the entry gave.
    s32 enterPlayFromFrontEnd() {
        g_GameModeFrontEnd.enter(0);
        g_GameModeFrontEnd.exit();
        return g_GameModeAction.enter(1);
    }

    test_support::ClTempDir m_home;
};

TEST_F(Modes, EveryEntryAndExitLeavesTheMapperAndCameraStacksAsTheyWere) {
    const SStacks before = stacksNow();
    for (EFail fail : {EFail::NONE, EFail::CACHES, EFail::ANALYSIS, EFail::CUE}) {
        g_fail = fail;
        const s32 started = enterPlayFromFrontEnd();
        EXPECT_EQ(started, fail == EFail::NONE ? 1 : 0);
        EXPECT_EQ(uiVariable(UIVAR_RETURNING_FROM_ACTION_FAIL), fail == EFail::NONE ? 0 : 1);
        EXPECT_EQ(g_uInGameFlag, fail == EFail::NONE ? 1u : 0u);
        g_GameModeAction.exit();
        EXPECT_EQ(stacksNow(), before) << int(fail);
        EXPECT_TRUE(isWorldReady()) << "the front end gets its world back";
        EXPECT_EQ(g_uInGameFlag, 0u);
    }
    // No music path at all: neither a library song nor GAME_MUSIC_FILE.
    setUiVariable(UIVAR_SELECTED_SONG_INDEX, 5);
    EXPECT_EQ(enterPlayFromFrontEnd(), 0);
    EXPECT_EQ(uiVariable(UIVAR_RETURNING_FROM_ACTION_FAIL), 1);
    g_GameModeAction.exit();
    EXPECT_EQ(stacksNow(), before);
    EXPECT_TRUE(isWorldReady());
}

TEST_F(Modes, AFailedPlayComesBackToTheScanPageWithTheCorruptionFlag) {
    g_fail = EFail::ANALYSIS;
    enterPlayFromFrontEnd();
    g_GameModeAction.exit();
    g_GameModeFrontEnd.enter(2);
    EXPECT_EQ(std::string(shownChildName("TopLevelSwitcher")), "WaitForDirScan");
    EXPECT_EQ(uiVariable(UIVAR_FILE_CORRUPTION), 1);
    g_GameModeFrontEnd.exit();
}

TEST_F(Modes, TheRunUpStepsTheWorldToSongTimeExactlyZero) {
    ClGameModeActionZuno& mode = g_GameModeAction;
    g_GameModeFrontEnd.enter(0);
    g_GameModeFrontEnd.exit();
    // No wave is pending: the run-up starts from the largest float.
    ASSERT_EQ(mode.enter(1), 1);
    EXPECT_EQ(g_fSongTime, 0.0f);
    for (f32 start : {FLT_MAX, 7.25f, -10.0f, -3.01f, -0.01f}) {
        mode.preRollWorldFrom(start);
        EXPECT_EQ(g_fSongTime, 0.0f) << start;
    }
    mode.exit();
}

TEST_F(Modes, QuickExitAndTheEarlyEndFinishPlay) {
    ClGameModeActionZuno& mode = g_GameModeAction;
    g_GameModeFrontEnd.enter(0);
    g_GameModeFrontEnd.exit();
    configSetValue("QUICK_EXIT", "1");
    configSetValue("END_GAME_EARLY_TIME", "0");
    ASSERT_EQ(mode.enter(1), 1);
    g_fSongTime = 2.0f;
    mode.checkSongEnd();
    EXPECT_EQ(mode.m_finished, 0u);
    g_fSongTime = 2.01f;
    mode.checkSongEnd();
    EXPECT_EQ(mode.m_finished, 1u);
    EXPECT_EQ(shownScore(g_aPlayerState[0]), 100000);
    mode.tickEndEarly(100.0f);
    mode.exit();

    configSetValue("QUICK_EXIT", "0");
    configSetValue("END_GAME_EARLY_TIME", "20");
    g_GameModeFrontEnd.enter(0);
    g_GameModeFrontEnd.exit();
    ASSERT_EQ(mode.enter(1), 1);
    mode.tickEndEarly(19.5f);
    EXPECT_EQ(mode.m_finished, 0u);
    mode.tickEndEarly(0.5f);
    EXPECT_EQ(mode.m_finished, 1u);
    mode.exit();

    configSetValue("END_GAME_EARLY_TIME", "-1");
    g_GameModeFrontEnd.enter(0);
    g_GameModeFrontEnd.exit();
    ASSERT_EQ(mode.enter(1), 1);
    mode.tickEndEarly(1000.0f);
    EXPECT_EQ(mode.m_finished, 0u);
    mode.exit();
}

TEST_F(Modes, TipsArePausedForOnceAndThePauseMenuOpensOnlyWhenQuittingIsAllowed) {
    ClGameModeActionZuno& mode = g_GameModeAction;
    g_GameModeFrontEnd.enter(0);
    g_GameModeFrontEnd.exit();
    ASSERT_EQ(mode.enter(1), 1);
    const SStacks playing = stacksNow();
    EXPECT_EQ(mode.queueMegaTip("TipOne"), 1);
    EXPECT_EQ(mode.queueMegaTip("TipTwo"), 0) << "one is pending";
    mode.handlePauseAndTips();
    EXPECT_EQ(std::make_pair(mode.m_paused, g_GuardianSequence.paused), std::make_pair(1u, 1)) << "the story waits too";
    EXPECT_EQ(std::string(shownChildName("Tutorial")), "TipOne");
    EXPECT_EQ(mode.queueMegaTip("TipThree"), 0) << "paused";
    EXPECT_EQ(g_aViewSlots[0].mappers.top(), menusInputMapper());
    setUiVariable(UIVAR_TUTORIAL_PAUSE_FINISHED, 1);
    mode.handlePauseAndTips();
    EXPECT_EQ(std::make_pair(mode.m_paused, g_GuardianSequence.paused), std::make_pair(0u, 0));
    EXPECT_EQ(g_aViewSlots[0].mappers.top(), gameplayInputMapper());
    EXPECT_EQ(stacksNow(), playing);

    // The window's pause: the menu opens, and closing it resumes play.
    setUiVariable(UIVAR_ALLOW_QUIT, 0);
    EXPECT_EQ(mode.pauseGame(), 1);
    EXPECT_EQ(std::string(shownChildName("TopLevelSwitcher")), "PauseMenu");
    setUiVariable(UIVAR_PAUSE_GAME, 0);
    mode.handlePauseAndTips();
    EXPECT_EQ(mode.m_paused, 0u);
    EXPECT_EQ(stacksNow(), playing);
    mode.exit();
}

TEST_F(Modes, TheBossArrivalZeroesBothCreditsCountdowns) {
    ClGameModeActionZuno& mode = g_GameModeAction;
    ASSERT_EQ(enterPlayFromFrontEnd(), 1);
    mode.m_creditsCountdown[1] = 60.0f;
    mode.tickCredits(0.5f);
    g_PlayRecord.bossArrived = 1;
    mode.tickCredits(0.0f);
    EXPECT_EQ(std::make_pair(mode.m_creditsCountdown[0], mode.m_creditsCountdown[1]), std::make_pair(0.0f, 0.0f));
    mode.exit();
}

std::vector<u32> s_sequencesDone;

// The built data's effects on the null device, for a frame that sets their shader constants.
struct SBuiltEffects {
    SBuiltEffects() {
        packagesInit();
        setDataDir(VELODRIX_BUILD_DATA_DIR "/");
        EXPECT_EQ(archiveMount("ASPEC", 4, nullptr), 1u);
        SGfxDeviceParams params;
        params.backend = E_GFX_BACKEND_NULL;
        params.width = 320;
        params.height = 200;
        EXPECT_EQ(gfxCreateDevice(params), E_GFX_OK);
        initShaderRegistry();
        initBarColourScheme();
    }
    ~SBuiltEffects() {
        releaseShaderRegistry();
        gfxDestroyDevice();
        packagesShutdown();
        setDataDir("");
    }
};

TEST_F(Modes, TheFrontEndPlaysAStorySequenceToItsEndAndEndsOneStillRunningWhenLeft) {
    test_support::ClInstalledScripts scripts;
    scripts.files["guardian_movies.txt"] = "Menu { Talk { events { { 0.0; set_visible = 1; }; { 1.0; exit; }; }; };"
                                           " Hold { events { { 0.0; set_visible = 1; }; }; }; };";
    const SBuiltEffects effects;
    resetGuardianSequence();
    s_sequencesDone.clear();
    const auto done = [](u32 word, u32) { s_sequencesDone.push_back(word); };
    ClGameModeFrontEnd& mode = g_GameModeFrontEnd;
    const SGuardianSequence& g = g_GuardianSequence;
    mode.enter(0);
    startGuardianSequence("Talk", "Menu", done, 1, 0);
    setClockDelta(GAME_CLOCK_GAMEPLAY, 0.25f);
    std::vector<std::pair<s32, s32>> shownAndActive;
    for (int frame = 0; frame < 4; ++frame) {
        mode.updateScreens();
        shownAndActive.emplace_back(g.visible, g.active);
    }
    EXPECT_EQ(shownAndActive, (std::vector<std::pair<s32, s32>>{{1, 1}, {1, 1}, {1, 1}, {0, 0}}));

    startGuardianSequence("Hold", "Menu", done, 2, 0);
    mode.updateScreens();
    mode.exit();
    EXPECT_EQ(std::make_tuple(g.active, g.fade.value, s_sequencesDone), std::make_tuple(0, 0.0f, std::vector<u32>{1, 2}));
}

TEST_F(Modes, TheQuitMenuOpensOnlyWhenAllowedAndNoStoryPlaysAndThePadMonkeyNeverQuits) {
    ClGameModeFrontEnd& mode = g_GameModeFrontEnd;
    mode.enter(0);
    setUiVariable(UIVAR_ALLOW_QUIT, 0);
    setUiVariable(UIVAR_FORCE_QUIT_GAME, 0);
    configSetValue("USE_PAD_MONKEY", "1");
    setUiVariable(UIVAR_FORCE_QUIT_GAME, 1);
    mode.handleQuitMenu();
    EXPECT_EQ(mode.m_quitConfirmed, 0u);
    configSetValue("USE_PAD_MONKEY", "0");
    mode.handleQuitMenu();
    EXPECT_EQ(mode.m_quitConfirmed, 1u);
    EXPECT_EQ(mode.m_quitMenuShown, 0u) << "no menu while quitting is not allowed";

    // Allowed and the back channel pressed: the menu waits for a playing story sequence.
    setUiVariable(UIVAR_ALLOW_QUIT, 1);
    g_iInputLockCounter = 0;
    setClockDelta(GAME_CLOCK_SYSTEM, 1.0f);  // the first screen's switch settles
    SInputChannel* back = getPlayerChannel(0, E_CHANNEL_MENU_ESCAPE);
    std::vector<u32> shown;
    for (const s32 playing : {1, 0}) {
        g_GuardianSequence.active = playing;
        back->value[g_uInputFlipIndex ^ 1] = 0.0f;
        back->value[g_uInputFlipIndex] = 1.0f;
        mode.handleQuitMenu();
        shown.push_back(mode.m_quitMenuShown);
    }
    EXPECT_EQ(shown, (std::vector<u32>{0, 1}));
    mode.exit();
}

}  // namespace
