#include "app/game_mode_front_end.h"

#include "app/front_end_screen.h"
#include "app/game_mode_action.h"
#include "audio/sound/sound_engine.h"
#include "core/config.h"
#include "frontend/front_end_services.h"
#include "frontend/frontend.h"
#include "frontend/music_folders_screen.h"
#include "frontend/switch_log.h"
#include "core/name_hash.h"
#include "core/random.h"
#include "app/mode_camera.h"
#include "core/string_helpers.h"
#include "input/ambient/ambient_light.h"
#include "input/input_channels.h"
#include "input/input_mappers.h"
#include "library/play_record_fill.h"
#include "library/playtest_recorder.h"
#include "frontend/presentation/mirror_lake.h"
#include "library/song_items.h"
#include "library/song_library.h"
#include "library/song_scan.h"
#include "library/user_save.h"
#include "online/busy_text.h"
#include "online/medal_queue.h"
#include "render/batcher.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/camera_stacks.h"
#include "render/particle_system.h"
#include "render/render_device.h"
#include "render/render_worker.h"
#include "render/view_slots.h"
#include "ui/switcher.h"
#include "ui/ui_input.h"
#include "ui/ui_pages.h"
#include "ui/ui_variables.h"
#include "ui/widget.h"
#include "world/services/bar_colour_scheme.h"
#include "world/entity/world.h"
#include "world/play/boss_choice.h"
#include "world/play/guardian_sequence.h"
#include "world/state/play_record.h"

#include <cstring>
#include <string>

namespace {

constexpr const char* TOP_LEVEL_SWITCHER = "TopLevelSwitcher";
constexpr const char* SPLASH_AFTER_FAILURE = "SplashScreenVel";
constexpr u32 PLAYTEST_CATEGORY_FRONT_END = 0;
constexpr s32 AMBIENT_MODE_MENUS = 0;
// Medals of the boss progress: a boss won, every boss beaten, and reaching stages 2 to 5.
constexpr s32 MEDAL_BOSS_WON = 2;
constexpr s32 MEDAL_ALL_BOSSES = 12;
constexpr s32 MEDAL_FIRST_STAGE = 5 - 2;

void setRootText(const char* name, const char* text) {
    if (ClWidget* root = getUiVariables()) root->setText(name, text);
}

// The results go by the selected song's item (made the first time a play of the song ends): shown
// until it has been identified.
bool songCollectibleUnidentified() {
    const SCollectibleRecord* item = songCollectibleAt(uiVariable(UIVAR_SELECTED_SONG_INDEX));
    return item && !item->identified;
}

}  // namespace

ClGameModeFrontEnd g_GameModeFrontEnd;

void ClGameModeFrontEnd::takeBossWin() {
    awardMedal(MEDAL_BOSS_WON);
    markBossWon();
    s32 beatenBoss = -1, beatenSub = -1;
    findNextUnbeatenBoss(&beatenBoss, &beatenSub);
    // With every boss beaten there is no pair to mark.
    recordBossBeaten(beatenBoss, beatenSub);
    s32 nextBoss = -1, nextSub = -1;
    findNextUnbeatenBoss(&nextBoss, &nextSub);
    if (nextBoss < 0) {
        setUiVariable(UIVAR_SOS_WIN, 1);
        awardMedal(MEDAL_ALL_BOSSES);
    } else if (nextBoss > beatenBoss) {
        setUiVariable(UIVAR_SOS_DO_A_PAGE_TURN_ANIM, 1);
        if (advanceBossStage()) awardMedal(MEDAL_FIRST_STAGE + songLibrary().bossStage);
    }
    collectPlayRecord(-1);
    saveWrite(1);
}

SFrontEndEntry ClGameModeFrontEnd::entryNow() const {
    SFrontEndEntry entry{};
    entry.startFailed = uiVariable(UIVAR_RETURNING_FROM_ACTION_FAIL) == 1;
    entry.returningFromPlay = uiVariable(UIVAR_RETURNING_FROM_ACTION) == 1;
    entry.voiceOverTest = configHasKey("SG_VO_TEST_ROOT") && configHasKey("SG_VO_TEST_LINE");
    entry.interviewChain = configGetInt("DO_SG_VO_INTERVIEW_CHAIN") >= 1;
    entry.skipSplash = configGetInt("DEBUG_AMENITIES") >= 1 || configGetInt("DEBUG_SKIP_SPLASH") >= 1;
    entry.forcedQuit = g_GameModeAction.m_forcedQuit != 0;
    entry.bossGame = g_GameModeAction.m_wasBossGame != 0;
    entry.bossBeaten = g_GameModeAction.m_bossBeaten != 0;
    entry.forceBossWin = configGetInt("FORCE_BOSS_WIN");
    entry.collectibleToShow = entry.returningFromPlay && songCollectibleUnidentified();
    return entry;
}

void ClGameModeFrontEnd::takeScreenChoice(const SFrontEndScreen& screen) {
    switch (screen.kind) {
        case E_FRONTEND_ENTRY_START_FAILED:
            setRootText(UIVAR_SWITCH_FROM_SCANNING_OPTIONS, SPLASH_AFTER_FAILURE);
            setRootText(UIVAR_SWITCH_FROM_WAIT_FOR_DIR_SCAN, SPLASH_AFTER_FAILURE);
            setUiVariable(UIVAR_FILE_CORRUPTION, 1);
            requestSongRescan();
            resumeSongScanRequests();
            break;
        case E_FRONTEND_ENTRY_FIRST:
            resumeSongScanRequests();
            if (screen.menuMusic) systemStartMainMenuMusic();
            break;
        case E_FRONTEND_ENTRY_FORCED_QUIT:
            break;
        case E_FRONTEND_ENTRY_BOSS_LOST:
            switchWidgetByName("Tutorial", "BossFailResults_Step1");
            setTutorialWidget(findWidgetByName("BossFailResults_Step1"));
            markBossFailed();
            saveWrite(1);
            break;
        case E_FRONTEND_ENTRY_BOSS_WON:
            takeBossWin();
            break;
        case E_FRONTEND_ENTRY_PLAYED: {
            s32 boss = -1, sub = -1;
            findNextUnbeatenBoss(&boss, &sub);
            // With every boss beaten there is no counter to lower.
            if (boss >= 0) {
                lowerBossMetCount(boss, sub);
                collectPlayRecord(-1);
            }
            break;
        }
    }
    if (screen.page == "Results") setUiVariable(UIVAR_RESULTS_SCREEN_INIT_FROM, 0);
    const std::string page(screen.page);
    switchWidgetByName(TOP_LEVEL_SWITCHER, page.c_str());
}

s32 ClGameModeFrontEnd::enter(s32) {
    setUiVariable(UIVAR_FORCE_QUIT_GAME, 0);
    setUiVariable(UIVAR_FILE_CORRUPTION, 0);
    setUiInputEnabled(true);
    for (int slot = 0; slot < VIEW_SLOT_COUNT; ++slot) pushPlayerInputMapper(slot, menusInputMapper());
    resetPlayerPadMap();

    setViewSlotCameraStack(0, 0, 0);
    m_camera = new ClCamera();
    m_cameraListed = registerCamera(m_camera);
    m_camera->resetTransform();
    m_camera->active = 1;
    // Without its frame the camera keeps the reset pose.
    if (const SCameraFrame* frame = findCameraFrame(crc32TextNoCase("UI"))) m_camera->applyFrame(*frame);
    pushViewCamera(0, m_camera, 0.0f, false);

    m_finished = 0;
    m_quitMenuShown = 0;
    m_cuesPausedByQuitMenu = 0;
    m_quitConfirmed = 0;
    setUiVariable(UIVAR_GO_TO_ACTION, 0);
    if (ClWidget* root = getUiVariables()) root->setBool(UIVAR_DISPLAY_LOADING_TEXT, true);

    takeScreenChoice(chooseFrontEndScreen(entryNow(), sfmtGenRand32));

    loadSosZones();
    setAmbientMode(AMBIENT_MODE_MENUS);
    return 1;
}

s32 ClGameModeFrontEnd::update(f32 dt) {
    updateInputSensitivity();
    updateModeClocksAndMappers(this, dt, 0);
    if (!renderDeviceReady()) {
        if (deviceWasLost() && !m_cuesPausedByDevice) {
            pauseAllCues();
            m_cuesPausedByDevice = 1;
        }
        finishFrame();
        return 0;
    }
    if (m_cuesPausedByDevice) {
        resumeAllCues();
        m_cuesPausedByDevice = 0;
    }

    updateScreens();

    if (const char* song = configGetString("VISUAL_BEAT_ANALYSIS")) {
        switchWidgetByName(TOP_LEVEL_SWITCHER, "InGame");
        setUiVariable(UIVAR_GO_TO_ACTION, 1);
        char narrow[ACTION_SONG_PATH_LENGTH];
        std::strncpy(narrow, song, ACTION_SONG_PATH_LENGTH - 1);
        narrow[ACTION_SONG_PATH_LENGTH - 1] = 0;
        wstrFromNarrow(g_GameModeAction.m_songPath, narrow);
    }
    if (uiVariable(UIVAR_GO_TO_ACTION) == 1) {
        m_finished = 1;
        setUiVariable(UIVAR_GO_TO_ACTION, 0);
    }

    updateCameras();
    drawMirrorLake();
    addPlaytestFrameTime(PLAYTEST_CATEGORY_FRONT_END, PLAYTEST_STARTUP_SECONDS);
    finishFrame();
    if (renderWorkerRunning()) logTitleFramePresented();

    handleQuitMenu();
    if (m_quitConfirmed) {
        g_iQuitGame = 1;
        return s32(m_finished);
    }
    if (m_finished) pauseSongScanRequests();
    return s32(m_finished);
}

void ClGameModeFrontEnd::updateScreens() {
    beginBatchFrame();
    setMirrorLakeShaderParams();
    updateGuardianEvents();
    applyBarShaderConstants();
    updateUiInput();
    tickFrontEndScreens();
    renderUiPages();
    drawLeaderboardBusyText();
    updateParticleSystems();
}

void ClGameModeFrontEnd::handleQuitMenu() {
    const bool padMonkey = configGetInt("USE_PAD_MONKEY") != 0;
    const bool shownBefore = m_quitMenuShown != 0;
    const SInputChannel* back = getPlayerChannel(0, E_CHANNEL_MENU_ESCAPE);
    if (!m_quitMenuShown && !guardianSequencePlaying() && uiVariable(UIVAR_ALLOW_QUIT) == 1 && back &&
        isChannelPressed(back) && isWidgetSettledByName(TOP_LEVEL_SWITCHER)) {
        m_quitMenuShown = 1;
        m_cuesPausedByQuitMenu = 1;
        pauseAllCues();
        const ClWidget_Switcher* top = findSwitcherByName(TOP_LEVEL_SWITCHER);
        const ClWidget* shown = top ? top->shownChild() : nullptr;
        setUiVariable(UIVAR_WIDGET_TO_RETURN_TO_AFTER_QUIT_MENU, shown ? s32(shown->nameHash()) : 0);
        setUiVariable(UIVAR_PAUSE_GAME, 1);
        switchWidgetByName(TOP_LEVEL_SWITCHER, "MenuAreYouSureYouWantToQuit");
        switchWidgetByName("HelpOverlay", "HideHelpOverlay");
        switchWidgetByName("Tutorial", "HideTutorial");
        clearUiPointerDrag();
        if (configGetInt("DEBUG_AMENITIES") > 0) {
            setUiVariable(UIVAR_FORCE_QUIT_GAME, 1);
            return;
        }
    }
    if (shownBefore || m_quitMenuShown) {
        if (uiVariable(UIVAR_PAUSE_GAME) == 0) {
            resumeAllCues();
            m_quitMenuShown = 0;
            m_cuesPausedByQuitMenu = 0;
        }
    }
    if (uiVariable(UIVAR_FORCE_QUIT_GAME) == 1 && !padMonkey) {
        setUiVariable(UIVAR_FORCE_QUIT_GAME, 0);
        m_quitConfirmed = 1;
        m_finished = 1;
    }
}

s32 ClGameModeFrontEnd::exit() {
    // A story sequence of the menus goes with them: play would otherwise draw it over the game.
    endScreenSequences();
    pauseSongScanRequests();
    waitForSongScanIdle();
    shutdownWorld();
    releaseSosZones();
    resetMusicDirScan();
    popViewCamera(0, 0.0f);
    for (int slot = 0; slot < VIEW_SLOT_COUNT; ++slot) popPlayerInputMapper(slot);
    releaseModeCamera(m_camera, m_cameraListed);
    return 1;
}
