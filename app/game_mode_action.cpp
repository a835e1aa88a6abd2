#include "app/game_mode_action.h"

#include "app/menu_input.h"
#include "app/mode_camera.h"
#include "audio/analysis/beat_cache.h"
#include "audio/analysis/spawn_bars.h"
#include "audio/analysis/spectral_cache.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "audio/sound/sound_engine.h"
#include "core/config.h"
#include "core/game_clock.h"
#include "core/string_helpers.h"
#include "frontend/frontend.h"
#include "input/ambient/ambient_light.h"
#include "input/input_channels.h"
#include "input/input_mappers.h"
#include "library/audio_volumes.h"
#include "library/play_record_fill.h"
#include "library/playtest_recorder.h"
#include "frontend/presentation/front_end_particles.h"
#include "frontend/presentation/mirror_lake.h"
#include "library/song_caches.h"
#include "library/song_library.h"
#include "library/song_scan.h"
#include "library/user_save.h"
#include "render/batcher.h"
#include "render/camera.h"
#include "render/camera_inputs.h"
#include "render/camera_list.h"
#include "render/camera_stacks.h"
#include "render/debris_particles.h"
#include "render/fx_particles.h"
#include "render/mega_particles.h"
#include "render/particle_system.h"
#include "render/render_device.h"
#include "render/render_worker.h"
#include "render/scene_inputs.h"
#include "render/view_slots.h"
#include "ui/switcher.h"
#include "ui/ui_input.h"
#include "ui/ui_pages.h"
#include "ui/ui_system.h"
#include "ui/ui_variables.h"
#include "ui/widget.h"
#include "waves/session_pickups.h"
#include "waves/wave_pool.h"
#include "waves/waves.h"
#include "world/services/bar_colour_scheme.h"
#include "world/collision/kill_queue.h"
#include "world/collision/world_collision.h"
#include "world/effects/backdrop.h"
#include "world/effects/beat_analysis_view.h"
#include "world/effects/corruption.h"
#include "world/effects/equaliser_display.h"
#include "world/effects/equaliser_state.h"
#include "world/effects/flying_notes.h"
#include "world/entity/frame_parity.h"
#include "world/entity/world.h"
#include "world/play/boss_choice.h"
#include "world/play/boss_meter.h"
#include "world/play/guardian_sequence.h"
#include "world/state/play_record.h"
#include "world/play/player_ship.h"
#include "world/play/player_state.h"
#include "world/play/score_hud.h"
#include "world/play/song_sound.h"
#include "world/processors/path_follower.h"
#include "world/processors/beat_subscribers.h"
#include "world/services/note_list.h"
#include "world/services/scratch_list.h"
#include "world/services/session_timers.h"
#include "world/services/world_quad_pass.h"
#include "world/world_step.h"

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* TOP_LEVEL_SWITCHER = "TopLevelSwitcher";
constexpr const char* CREDITS_SWITCHER = "NUXCreditsOverlaySwitcher";
constexpr const char* UIVAR_MOCKED = "GS_mocked_us";
// The partner credits show this long into play, and again this long before the song ends.
constexpr f32 FIRST_CREDITS_DELAY = 2.5f;
constexpr f32 SECOND_CREDITS_BEFORE_END = 8.0f + 5.0f;
constexpr u32 PLAYTEST_CATEGORY_PLAY = 1;
constexpr s32 AMBIENT_MODE_PLAY = 1;
constexpr s32 AMBIENT_MODE_PAUSED = 2;
constexpr s32 AMBIENT_MODE_BOSS_PLAY = 3;

bool beatsViewOnly() { return configHasKey("VISUAL_BEAT_ANALYSIS"); }

s32 checkLibrarySongCaches(s32 songIndex) { return loadSongCaches(getSongRecord(songIndex)); }

s32 analyseSongForPlay(const char16_t* path, const SSongIdentity& identity, bool viewOnly) {
    s32 result = 0;
    if (!analyseSongSpectrum(path, identity, &result, 1, 0)) return 0;
    // The view shows the analysis itself, so it never takes the beats from the cache.
    return loadOrAnalyseBeats(path, identity, viewOnly ? 1 : 0);
}

void prepareLibrarySongPlay(bool viewOnly) {
    if (!viewOnly) createPlayerShipProgram();
    setGameStep(PRE_ROLL_FRAME_STEP);
    if (!viewOnly) rollAllPacks(playRecord());
    computeSongFeatures(currentDifficulty());
    if (!viewOnly) {
        waveScheduleGenerate(&playRecordForWaveSchedule());
        chooseSessionBoss(playRecord().song);
    }
}

void retireDebrisSystems() {
    retireParticleSystem(debrisLineParticles());
    setDebrisLineSystem(nullptr);
    retireParticleSystem(debrisTriParticles());
    setDebrisTriSystem(nullptr);
}

}  // namespace

const SActionPlayServices kDefaultActionPlayServices = {
    checkLibrarySongCaches,
    analyseSongForPlay,
    prepareLibrarySongPlay,
    startSongCue,
};
SActionPlayServices g_ActionPlayServices = kDefaultActionPlayServices;

ClGameModeActionZuno g_GameModeAction;

ClGameModeActionZuno::ClGameModeActionZuno() {
    m_songPath[0] = 0;
    m_tipName[0] = 0;
}

bool ClGameModeActionZuno::isBossGame() const { return bossEntity() != nullptr; }

void ClGameModeActionZuno::setPauseFlagsForCamera() {
    setCameraPauseFlags(m_paused, m_paused ? m_pauseKind : 0, m_tipPending);
}

void ClGameModeActionZuno::removeCamera() {
    ClCamera* camera = m_camera;
    m_camera = nullptr;
    releaseModeCamera(camera, m_cameraListed);
}

void ClGameModeActionZuno::releaseSongAndCamera() {
    releaseSongAnalysis();
    releaseBeatAnalysis();
    removeCamera();
    freeWorldScratchList();
    setSongVolumeFactor(1.0f);
    setUiPointerDisplay(true);
    setUiInputEnabled(true);
    applyAudioVolumes();
}

s32 ClGameModeActionZuno::failEntry(bool worldRunning, bool shipProgramBuilt) {
    setUiVariable(UIVAR_RETURNING_FROM_ACTION_FAIL, 1);
    setInGameFlag(0);
    setMenuInputFlag(1);
    for (int slot = 0; slot < VIEW_SLOT_COUNT; ++slot) popPlayerInputMapper(slot);
    popViewCamera(0, 0.0f);
    if (worldRunning) {
        resetFlyingNotes();
        releaseBackdrop();
        releaseHitEffects();
        // The ship's entities go with the world before the program they were built from.
        shutdownWorld();
        if (shipProgramBuilt) freeSessionDNAProgram();
        resetSessionEffects();
        releaseSessionBoss();
    }
    releaseSongWaves();
    if (!g_iQuitGame) initWorld();
    releaseSongAndCamera();
    m_songPath[0] = 0;
    return 0;
}

s32 ClGameModeActionZuno::enter(s32) {
    setInputSettleFrames(ACTION_INPUT_HOLD_OFF_FRAMES);
    m_wasBossGame = 0;
    m_bossBeaten = 0;
    const SSongRecord* selected = getSongRecord(uiVariable(UIVAR_SELECTED_SONG_INDEX));
    m_songIdentity = selected ? selected->identity : SSongIdentity{};
    m_librarySong = false;
    setUiVariable(UIVAR_RETURNING_FROM_ACTION_FAIL, 0);
    setUiVariable(UIVAR_SCORES_HAVE_BEEN_RECORDED, 0);
    setUiVariable(UIVAR_FORCE_QUIT_GAME, 0);
    // The wait is bounded: a scan still analysing (a stalled music file) fails the start.
    const bool scanIdle = waitForSongScanIdle();
    m_finished = 1;

    // A song named by the mode's path or by GAME_MUSIC_FILE is played outside the library: it
    // needs no library record, and its caches are named from its path.
    // The scan may have moved the record while it was waited for.
    const SSongRecord* record = selected ? findSongByIdentity(m_songIdentity) : nullptr;
    const s32 songIndex = record ? s32(record - songLibrary().songs.data()) : -1;
    if (record) setUiVariable(UIVAR_SELECTED_SONG_INDEX, songIndex);
    const bool librarySong = m_songPath[0] == 0 && record;
    if (!scanIdle || (librarySong && !g_ActionPlayServices.checkSongCaches(songIndex))) {
        setUiVariable(UIVAR_RETURNING_FROM_ACTION_FAIL, 1);
        setInGameFlag(0);
        setMenuInputFlag(1);
        releaseSongWaves();
        if (!g_iQuitGame) initWorld();
        setUiPointerDisplay(true);
        setUiInputEnabled(true);
        return 0;
    }
    if (librarySong) fillPlayRecordForSong(songIndex, s32(currentDifficulty()));
    m_librarySong = librarySong;

    for (int slot = 0; slot < VIEW_SLOT_COUNT; ++slot) pushPlayerInputMapper(slot, gameplayInputMapper());
    initWorldScratchList();
    setViewSlotCameraStack(0, 0, 0);
    m_camera = new ClCameraInGame();
    m_cameraListed = registerCamera(m_camera);
    m_camera->resetMotion();
    m_camera->active = 1;
    pushViewCamera(0, m_camera, 0.0f, false);

    resetSongAnalysis();
    char16_t path[ACTION_SONG_PATH_LENGTH];
    if (m_songPath[0]) {
        wstrCopyN(path, m_songPath, ACTION_SONG_PATH_LENGTH);
    } else if (record) {
        wstrCopyN(path, record->path.c_str(), ACTION_SONG_PATH_LENGTH);
    } else if (const char* setting = configGetString("GAME_MUSIC_FILE"); setting && setting[0]) {
        char narrow[ACTION_SONG_PATH_LENGTH];
        std::strncpy(narrow, setting, ACTION_SONG_PATH_LENGTH - 1);
        narrow[ACTION_SONG_PATH_LENGTH - 1] = 0;
        wstrFromNarrow(path, narrow);
    } else {
        return failEntry(false, false);
    }

    const bool viewOnly = beatsViewOnly();
    if (!viewOnly) initWorld();
    resetNoteList();
    resetPlayerStates();
    initHitEffects();
    resetBeatAnalysis();
    resetBeatSubscriptions();
    resetBackdrop();

    SSongIdentity identity;
    if (librarySong) {
        identity = record->identity;
    } else {
        songIdentityFromPath(path, &identity);
    }
    if (!g_ActionPlayServices.analyseSong(path, identity, viewOnly)) return failEntry(true, false);

    g_ActionPlayServices.prepareSongPlay(viewOnly);
    loadNoteListFromSpawnEvents();
    preRollWorld();
    applyAudioVolumes();

    if (!g_ActionPlayServices.startSongCue()) return failEntry(true, true);

    setMenuInputFlag(0);
    enableFirstPlayer();
    if (!viewOnly) spawnPlayerShip(0, 1);
    setupSessionPickups(playRecord());
    setDebrisLineSystem(new ClDebrisLineParticleSystem());
    registerParticleSystem(debrisLineParticles());
    setDebrisTriSystem(new ClDebrisTriParticleSystem());
    registerParticleSystem(debrisTriParticles());
    // Wave members burst into the shared effect system as they arrive.
    setPathFxParticles(fxParticles());
    // The notes leave for the ship once it is in play; the pre-roll sent none.
    resetFlyingNotes();
    initFlyingNotes();
    resetWorldEffects();
    startCorruptionSound();
    m_paused = 0;
    m_pauseKind = E_ACTION_PAUSE_TIP;
    m_tipPending = 0;
    m_tipName[0] = 0;
    setPauseFlagsForCamera();
    setUiVariable(UIVAR_TUTORIAL_PAUSE_FINISHED, 0);
    systemAllowQuit();
    m_finished = 0;
    m_forcedQuit = 0;

    const f32 endEarly = configGetFloat("END_GAME_EARLY_TIME");
    m_endEarlyCountdown = endEarly > 0.0f ? endEarly : 0.0f;
    saveWrite(1);
    setUiPointerDisplay(false);
    setInGameFlag(1);
    setCameraActionRunning(1);
    if (!viewOnly) switchWidgetByName(TOP_LEVEL_SWITCHER, "InGame");

    m_creditsShown[0] = 0;
    m_creditsCountdown[0] = FIRST_CREDITS_DELAY;
    m_creditsShown[1] = 0;
    m_creditsCountdown[1] = getCueDuration(getSongCue()) - SECOND_CREDITS_BEFORE_END;
    setAmbientMode(AMBIENT_MODE_PLAY);
    return 1;
}

// The game step, in order.
void ClGameModeActionZuno::worldStep(u32 fromSongPosition) {
    flipFrameBuffers();
    updateSongClock(fromSongPosition);
    // Only the beats are viewed: no world was set up, so nothing but the view runs, once the
    // song has started.
    if (beatsViewOnly()) {
        if (currentSongTime() > 0.0f) drawBeatAnalysisView();
        return;
    }
    for (s32 index; (index = nextDueBeat()) >= 0; beatDelivered()) dispatchBeat(songBeats()[u32(index)], index);
    waveSpawnTick();
    ::worldStep();
}

void ClGameModeActionZuno::preRollWorld() { preRollWorldFrom(earliestPendingWaveTime()); }

void ClGameModeActionZuno::preRollWorldFrom(f32 songTime) {
    // The song clock moves by the gameplay clock's step, and paths by the world-step time.
    const auto step = [this](f32 seconds) {
        setGameStep(seconds);
        setClockDelta(GAME_CLOCK_GAMEPLAY, seconds);
        worldStep(0);
    };
    setSongTime(songTime);
    while (currentSongTime() < PRE_ROLL_LONG_STEP_LIMIT) step(PRE_ROLL_LONG_STEP);
    while (currentSongTime() < -PRE_ROLL_FRAME_STEP) step(PRE_ROLL_FRAME_STEP);
    step(-currentSongTime());
}

s32 ClGameModeActionZuno::update(f32 dt) {
    updateInGameInputSensitivity();
    updateModeClocksAndMappers(this, dt, s32(m_paused));
    if (m_finished) {
        setUiVariable(UIVAR_RETURNING_FROM_ACTION, 1);
        return 1;
    }
    if (!renderDeviceReady()) {
        if (deviceWasLost()) pauseGame();
        finishFrame();
        return 0;
    }
    const f32 step = gameClock(GAME_CLOCK_GAMEPLAY).frameTime;

    tickCredits(step);

    // The encounter, the story events and the corruption level act on this frame's song time and
    // enemies before the world steps.
    updateBossEncounter();
    applyBarShaderConstants();
    updateGuardianEvents();
    drawGuardianBackground(step);
    if (!m_paused) tickSessionTimers();

    setGameStep(step);
    beginBatchFrame();
    setMirrorLakeShaderParams();
    if (step > 0.0f) {
        const f32 songTimeBefore = currentSongTime();
        worldStep(1);
        updatePlayerLife();
        if (!m_paused) tickPlayTime(songTimeBefore, step);
    } else {
        drawEqualiserDisplay(currentSpectrumFrame());
    }

    updateBackdrop();
    updateCameras();
    updateScoreHud();
    drawLiveEntities();
    drawFlyingNotes();
    updateParticleSystems();
    processKillQueue();
    flushDestroyedEntities();
    flushFreedEntities();
    drawWorldQuadPass();
    drawBackdropStreams();
    updateUiInput();
    tickFrontEndScreens();
    renderUiPages();
    drawMirrorLake();
    addPlaytestFrameTime(PLAYTEST_CATEGORY_PLAY, PLAYTEST_STARTUP_SECONDS);
    finishFrame();

    handlePauseAndTips();
    checkSongEnd();
    tickEndEarly(step);
    if (m_finished) setUiVariable(UIVAR_RETURNING_FROM_ACTION, 1);
    return s32(m_finished);
}

void ClGameModeActionZuno::tickCredits(f32 step) {
    // The boss's arrival ends the credits' wait at once.
    if (playRecord().bossArrived) m_creditsCountdown[0] = m_creditsCountdown[1] = 0.0f;
    for (int i = 0; i < 2; ++i) {
        m_creditsCountdown[i] -= step;
        if (m_creditsCountdown[i] < 0.0f) m_creditsCountdown[i] = 0.0f;
        if (m_creditsCountdown[i] == 0.0f && !m_creditsShown[i] && !isBossGame()) {
            switchWidgetByName(CREDITS_SWITCHER, "NUXCreditsOverlay");
            m_creditsShown[i] = 1;
        }
    }
}

void ClGameModeActionZuno::tickPlayTime(f32 songTimeBefore, f32 step) {
    // The play time is the song played: the song clock follows the audible position, where the
    // gameplay step is held to 0.15 s a frame and falls behind the song whenever frames are
    // slower than that.
    addPlayerPlayTime(0, std::max(0.0f, currentSongTime() - songTimeBefore));
    runDownPlayerInvincibility(0, step);
}

void ClGameModeActionZuno::checkSongEnd() {
    if (const SCueHandle cue = getSongCue(); cue && isCueFinished(cue)) {
        m_finished = 1;
        collectAllPickups();
    }
    if (configGetInt("QUICK_EXIT") == 1 && currentSongTime() > QUICK_EXIT_SONG_TIME) {
        setPlayerScore(0, QUICK_EXIT_STORED_SCORE);
        m_finished = 1;
    }
}

void ClGameModeActionZuno::tickEndEarly(f32 step) {
    if (configGetFloat("END_GAME_EARLY_TIME") <= 0.0f) return;
    m_endEarlyCountdown -= step;
    if (m_endEarlyCountdown <= 0.0f) {
        m_endEarlyCountdown = 0.0f;
        m_finished = 1;
    }
}

void ClGameModeActionZuno::leaveMenuInput() { menuInputOff(); }

void ClGameModeActionZuno::resume() {
    leaveMenuInput();
    resumeAllCues();
    resumeGuardianSequence();
    m_pauseKind = E_ACTION_PAUSE_TIP;
    m_paused = 0;
    setPauseFlagsForCamera();
    setAmbientMode(isBossGame() ? AMBIENT_MODE_BOSS_PLAY : AMBIENT_MODE_PLAY);
}

void ClGameModeActionZuno::forceQuit(bool clearRequest) {
    leaveMenuInput();
    if (clearRequest) {
        // Left from the pause menu or a tip: the fight and any story sequence end with the play.
        setUiVariable(UIVAR_FORCE_QUIT_GAME, 0);
        resetBossMeter();
        abortGuardianSequence();
    }
    m_forcedQuit = 1;
    m_finished = 1;
}

void ClGameModeActionZuno::handlePauseAndTips() {
    const SInputChannel* pauseChannel = getPlayerChannel(0, E_CHANNEL_ESCAPE_IN_PLAY);
    const SInputChannel* backChannel = getPlayerChannel(0, E_CHANNEL_MENU_ESCAPE);
    if (!m_paused) {
        if (m_tipPending) {
            m_paused = 1;
            m_pauseKind = E_ACTION_PAUSE_TIP;
            pauseGuardianSequence();
            menuInputOn();
            pauseAllCues();
            setAmbientMode(AMBIENT_MODE_PAUSED);
            switchWidgetByName("Tutorial", m_tipName);
            setTutorialWidget(findWidgetByName(m_tipName));
        } else if (pauseChannel && isChannelPressed(pauseChannel) && isWidgetSettledByName(TOP_LEVEL_SWITCHER) &&
                   uiVariable(UIVAR_ALLOW_QUIT) == 1) {
            m_paused = 1;
            m_pauseKind = E_ACTION_PAUSE_MENU;
            pauseGuardianSequence();
            menuInputOn();
            pauseAllCues();
            setAmbientMode(AMBIENT_MODE_PAUSED);
            if (configGetInt("DEBUG_AMENITIES") < 2) {
                setUiVariable(UIVAR_PAUSE_GAME, 1);
                switchWidgetByName(TOP_LEVEL_SWITCHER, "PauseMenu");
            } else {
                setUiVariable(UIVAR_FORCE_QUIT_GAME, 1);
                forceQuit(false);
            }
        }
        setPauseFlagsForCamera();
        return;
    }
    if (m_tipPending) {
        if (uiVariable(UIVAR_TUTORIAL_PAUSE_FINISHED) == 1) {
            leaveMenuInput();
            resumeAllCues();
            resumeGuardianSequence();
            setUiVariable(UIVAR_TUTORIAL_PAUSE_FINISHED, 0);
            setUiVariable(UIVAR_ALLOW_QUIT, 1);
            m_tipPending = 0;
            m_paused = 0;
            setAmbientMode(isBossGame() ? AMBIENT_MODE_BOSS_PLAY : AMBIENT_MODE_PLAY);
            if (ClEntity* ship = playerShip(0)) ship->timer = SPAWN_GRACE_SECONDS;
        } else if (uiVariable(UIVAR_FORCE_QUIT_GAME) == 1) {
            forceQuit(true);
        }
        setPauseFlagsForCamera();
        return;
    }
    if (uiVariable(UIVAR_PAUSE_GAME) != 0) {
        if (backChannel && isChannelPressed(backChannel) && isWidgetSettledByName(TOP_LEVEL_SWITCHER) &&
            uiVariable(UIVAR_ALLOW_QUIT) == 1) {
            setUiVariable(UIVAR_PAUSE_GAME, 0);
            switchWidgetByName(TOP_LEVEL_SWITCHER, "InGame");
            resume();
        } else if (uiVariable(UIVAR_FORCE_QUIT_GAME) == 1) {
            forceQuit(true);
        }
        return;
    }
    resume();
}

s32 ClGameModeActionZuno::pauseGame() {
    if (!m_paused) {
        m_paused = 1;
        m_pauseKind = E_ACTION_PAUSE_MENU;
        menuInputOn();
        pauseAllCues();
        if (ClCamera* camera = getViewSlotTopCamera(0)) camera->startShake(ClVec3(0, 0, 0), 0.0f, 0.0f);
        setAmbientMode(AMBIENT_MODE_PAUSED);
        setUiVariable(UIVAR_PAUSE_GAME, 1);
        switchWidgetByName(TOP_LEVEL_SWITCHER, "PauseMenu");
        setPauseFlagsForCamera();
    }
    return s32(m_paused);
}

s32 ClGameModeActionZuno::queueMegaTip(const char* name) {
    if (m_paused || m_tipPending) return 0;
    std::strncpy(m_tipName, name, ACTION_TIP_NAME_LENGTH - 1);
    m_tipName[ACTION_TIP_NAME_LENGTH - 1] = 0;
    m_tipPending = 1;
    setPauseFlagsForCamera();
    return 1;
}

s32 ClGameModeActionZuno::exit() {
    setPathFxParticles(nullptr);
    if (debrisLineParticles()) debrisLineParticles()->releaseAll();
    if (debrisTriParticles()) debrisTriParticles()->releaseAll();
    if (fxParticles()) fxParticles()->releaseAll();
    if (megaParticles()) megaParticles()->releaseAll();
    releaseFrontEndParticles();
    destroyRetiredParticleSystems();
    switchWidgetByName(CREDITS_SWITCHER, "HideNUXCreditsOverlay");
    if (uiVariable(UIVAR_RETURNING_FROM_ACTION_FAIL) != 0) return 1;

    m_wasBossGame = isBossGame() ? 1 : 0;
    m_bossBeaten = bossEncounter().dead ? 1 : 0;
    m_enemiesOffered = s32(waveMemberCount());
    setUiVariable(UIVAR_MOCKED, 0);
    releaseSessionPickupList();
    setInGameFlag(0);
    setCameraActionRunning(0);
    setMenuInputFlag(1);
    retireDebrisSystems();
    unsubscribeWorldBeat();
    stopCorruptionSound();
    resetFlyingNotes();
    releaseNoteList();

    for (int slot = 0; slot < VIEW_SLOT_COUNT; ++slot) popPlayerInputMapper(slot);
    popViewCamera(0, 0.0f);
    releaseBackdrop();
    releaseHitEffects();
    // The ship's entities go with the world, before the program they were built from.
    shutdownWorld();
    freeSessionDNAProgram();
    resetSessionEffects();
    releaseSessionBoss();
    releaseSongWaves();
    if (!g_iQuitGame) initWorld();
    // What the world changed in the song's record and the boss progress goes back to the library.
    // The results screen records the best score against the selected index, so it follows the
    // song; a song gone from the library leaves the results shown and saved against no song.
    if (m_librarySong) {
        const s32 songIndex = collectPlayRecordForSong(m_songIdentity);
        if (songIndex < 0) std::fprintf(stderr, "velodrix: the song played left the library during play; its score is not saved\n");
        setUiVariable(UIVAR_SELECTED_SONG_INDEX, songIndex);
    } else {
        collectPlayRecord(-1);
    }
    m_librarySong = false;
    releaseSongAndCamera();
    m_paused = 0;
    m_tipPending = 0;
    setPauseFlagsForCamera();
    if (!beatsViewOnly()) m_songPath[0] = 0;
    return 1;
}
