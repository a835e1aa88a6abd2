#include "app/startup.h"

#include "app/frame.h"
#include "app/game_mode.h"
#include "app/game_mode_action.h"
#include "app/mode_hooks.h"
#include "app/startup_ui_images.h"
#include "audio/analysis/song_fingerprint.h"
#include "audio/sound/sound_bank.h"
#include "audio/sound/sound_engine.h"
#include "core/cipher.h"
#include "core/config.h"
#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/file_layer.h"
#include "core/global_objects.h"
#include "core/log_manager.h"
#include "core/packages.h"
#include "core/random.h"
#include "core/saved_options.h"
#include "core/script_cache.h"
#include "core/string_helpers.h"
#include "core/string_table.h"
#include "core/task_layer.h"
#include "core/text_reader.h"
#include "core/timers.h"
#include "input/ambient/ambient_light.h"
#include "input/input_channels.h"
#include "frontend/front_end_services.h"
#include "frontend/frontend.h"
#include "input/input_devices.h"
#include "library/audio_volumes.h"
#include "library/library_setup.h"
#include "library/playtest_recorder.h"
#include "library/presentation/front_end_particles.h"
#include "library/presentation/loading_state.h"
#include "online/credentials.h"
#include "online/leaderboard.h"
#include "online/medal_queue.h"
#include "platform/os/os.h"
#include "render/batcher.h"
#include "render/camera_list.h"
#include "render/canvases.h"
#include "render/lens_flares.h"
#include "render/scene_inputs.h"
#include "render/scene_render.h"
#include "render/screen_quad.h"
#include "render/sprite_queue.h"
#include "render/display_modes.h"
#include "render/draw_lists.h"
#include "render/materials.h"
#include "render/render_device.h"
#include "render/shader.h"
#include "render/flipbook_table.h"
#include "render/fmv_player.h"
#include "render/debris_particles.h"
#include "render/fx_particles.h"
#include "render/mega_particles.h"
#include "render/spline_registry.h"
#include "render/state_stacks.h"
#include "render/texture.h"
#include "render/transform_node.h"
#include "render/view_slots.h"
#include "ui/switcher.h"
#include "ui/ui_pointer.h"
#include "ui/ui_system.h"
#include "ui/ui_variables.h"
#include "ui/widget.h"
#include "waves/waves.h"
#include "world/bar_colour_scheme.h"
#include "world/entity/world.h"
#include "world/play/boss_choice.h"
#include "world/effects/equaliser_state.h"

#include <iterator>

namespace {

// The game-data folder under the user-data directory, with every missing parent; the audio log
// and the game data file live there.
void createGameDataDir() {
    char16_t path[FILE_PATH_LIMIT];
    if (wstrCopyN(path, getUserDataDirW(), FILE_PATH_LIMIT) != E_TEXTCOPY_COMPLETE ||
        wstrAppendNarrowN(path, "GAMEDATA\\", FILE_PATH_LIMIT) != E_TEXTCOPY_COMPLETE) {
        return;
    }
    createDirectoryW(path);
}

// A text the tables may lack reads as empty.
const char16_t* localisedOrEmpty(const char* key) {
    const char16_t* text = getLocalisedString(key);
    return text ? text : u"";
}

// The images every run needs, loaded in this order.
const char* const STARTUP_TEXTURES[] = {
    "Images/Bar_WhiteTight", "Images/square", "Images/BulletWithGlow", "Images/BulletWithGlow-sub",
    "Images/Bullet-Enemy-Rays-rot1", "Images/Bullet-Enemy-Rays-rot2", "Images/Bullet-Player-Double1",
    "Images/Bullet-Player-Double2", "Images/Bullet-Player-Double3", "Images/Bullet-Player-Double1-black",
    "Images/Bullet-Player-Double2-black", "Images/Bullet-Player-Double3-black", "Images/EQ", "Images/Arrow",
    "Images/BarBig", "Images/Cloud", "Images/Geosphere", "Images/WaterBump", "Images/ExplosionPart",
    "Images/Explosion-core", "Images/ExplosionPart_Blue", "Images/BarBrightLine", "Images/Noise",
    "Images/NoiseDots", "Images/FlyingNote-1", "Images/FlyingNote-1-Bright", "Images/FlyingNote-2",
    "Images/FlyingNote-2-Bright", "Images/FlyingNote-2-Bright-sub", "Images/FlyingNote-Rest", "Images/NoteGlow",
    "Images/fx-with-big-orange-glow", "Images/Bar-New-White", "Images/hud-solkey", "Images/hud-strokes",
    "Images/StaffTex", "Images/Shockwave", "Images/Shockwave_small", "Images/GuardianBG", "Images/smallcircle",
    "Images/bossEye1", "Images/bossEye2", "Images/bossEye3", "Images/ExplosionRed", "Images/Particle-1",
    "Images/Particle-2", "Images/Particle-3", "Images/Bullet-Blaster", "Images/Bullet-Misc", "Images/Bullet-Shotgun",
};
static_assert(std::size(STARTUP_TEXTURES) == 50);

// Objects whose nodes follow them each frame, per frame half.
constexpr u32 ATTACHED_NODE_LIST_CAPACITY = 1024;
constexpr u32 PLAYTEST_CATEGORY_COUNT = 3;

void loadStartupUiImage(const char* name) { loadUiImage(name, 0); }

// Every member of the play's waves: what the results' kill percentage is out of.
s32 enemiesOffered() { return g_GameModeAction.m_enemiesOffered; }

// project.ini must exist and hold settings; an empty one is as fatal as a missing one.
void loadSettingsOrDie() {
    configClear();
    if (!configLoad("project.ini")) fatalError("cannot read project.ini from the data packages");
    if (configEntryCount() == 0) fatalError("project.ini holds no settings");
}

}  // namespace

void seedRandomFromSettings() {
    const s32 seed = configGetInt("RANDOM_SEED");
    sfmtInitGenRand(seed != 0 ? u32(seed) : osTickCount());
}

void gameStartup(const char*, const char* dataDirectory, u32 inputChannelCount) {
    // Again, for runs that start here rather than at the program's entry.
    osInstallTerminationHandler();

    // Online and mode state.
    clearQueuedDocument();
    leaderboardClientStartup();
    g_iCurrentGameModeId = E_GAMEMODE_FRONT_END;
    g_iPreviousGameModeId = E_GAMEMODE_NONE;
    g_pCurrentGameMode = g_apGameModes[E_GAMEMODE_FRONT_END];
    g_iQuitGame = 0;

    // Timers.
    frameTimerInit();
    resetFirstFrame();

    // Directories, files and packages.
    setDataDir(dataDirectory);
    stringTablesInit();
    timersInit();
    fileLayerInit();
    cipherLockInit();
    packagesInit();
    // Every data file is read through the game's package; the second is optional.
    if (!archiveMount("ASPEC", 4, nullptr)) fatalError("cannot mount the package ASPEC (ASPEC_win32.mdf/.mtc), which holds project.ini");
    archiveMount("AAM", 4, nullptr);

    // Settings, and the generator seeded once they are known.
    loadSettingsOrDie();
    seedRandomFromSettings();
    buildLangDir();
    initUserDataDir();
    closeTextSource();
    createSaveDataDir();

    // String tables and global tables.
    loadPlatformStringTable();
    initGlobalBucketTables();
    stringTableLoad("All");
    stringTableLoad("All_NO_TRANS");
    stringTableLoad("SOSOnly");
    loadingStateSetUp();
    initUi();

    // Scripts, the logs, the library with the game data and the user save.
    scriptRegistriesInit();
    getScript("playbalance.txt", 0);
    getScript("guardian_movies.txt", 0);
    getScript("sos.txt", 0);
    setUiVariable(UIVAR_SHOW_ONLY_IDENTIFIED_SONGS, 0);
    setUiVariable(UIVAR_SHOW_ONLY_UNLOCKED_SONGS, 0);
    logManagerInit();
    createGameDataDir();
    librarySetUpAndReadGameData();
    setUiVariable(UIVAR_ALLOW_MAIN_MENU_CONTINUE, libraryReadUserSave());
    applyPadMonkeyLogin();
    initAmbientLighting(localisedOrEmpty("WINDOW_TITLE"), localisedOrEmpty("GAME_VERSION"), 1.0f / 30.0f, 5);

    // Display options, the window, the device and the render worker; effects, materials, draw
    // batches, the batcher's buffers and the texture table need the device.
    initDisplayOptionTable();
    copySavedDisplayOptions();
    initRenderer();
    initShaderRegistry();
    initMaterialPools();
    initDrawBatchPool();
    createBatchBuffers(true);
    initTextureTable();

    // The 2D queue and the canvases over the back buffer; each canvas must be found once defined.
    initSpriteQueue();
    defineStartupCanvases(screenWidth(), screenHeight());
    for (const char* name : {"FULL", "43CORE", "SAFE"}) getCanvas(name);

    // Input, tasks and the view slots.
    initInput(0, inputChannelCount);
    taskLayerInit();
    resetViewSlots();
    createDebugCamera();
    loadCameraFrames();
    pushDefaultStateStacks();
    initAttachedNodeLists(ATTACHED_NODE_LIST_CAPACITY);
    stopAllRumble();
    loadLensFlareTextures();
    initFlipbookTable();
    initSplineRegistry();

    // Audio: the sound system, the codec registry with its decode thread; then the game data
    // again, so that the extensions the player turned off reach the codec records, and the scan
    // thread; the effects bank.
    initAudioEngine(g_SavedOptions.audioLog);
    librarySetUpAfterAudio();
    loadSoundBank("ZUNO_SFX", 0);

    // Images, fonts and pages.
    for (const char* name : STARTUP_TEXTURES) loadTexture(name);
    loadFlipbook("Animations/eye", 15.0f);
    forEachStartupUiImage(loadStartupUiImage);
    loadFeaturedArtists();
    loadUiFonts();

    // The world's effects, the world, the waves with every generator the world needs.
    frontEndParticleSetUp();
    initWorld();
    wavesSetUp();
    resetSessionChoice();
    applyAudioVolumes();

    buildFrontEndPages();
    finishUiPageLoad();
    setResultsEnemyCountSource(enemiesOffered);
    setUpCameraBlenders();
    setSpriteTarget(nullptr);
    installSceneRender();
    installEqualiserDisplayHooks();
    installModeHooks();
    switchWidgetByName("TooltipSwitcher", "AllTooltips");
    setUiVariable(UIVAR_RETURNING_FROM_ACTION, 0);
    setUiPointerImage(0, "PointerDefault");
    for (const char* name : {"DebugInfo1", "DebugInfo2", "DebugInfo3", "DebugInfo4"}) {
        if (ClWidget* widget = findWidgetByName(name)) widget->setLocalizedId("localizedID", 0);
    }

    initBarColourScheme();
    medalQueueStartup();
    leaderboardWorkerStart();

    switchGameMode(E_GAMEMODE_NONE);

    setUpPlaytestRecorder(PLAYTEST_CATEGORY_COUNT);
    g_megaParticleSystem = new ClMegaParticleSystem();
    registerParticleSystem(g_megaParticleSystem);
}

s32 gameShutdown() {
    leaderboardClientShutdown();
    releaseSongFeatureBuffer();
    retireParticleSystem(g_megaParticleSystem);
    g_megaParticleSystem = nullptr;
    flushPlaytestData();
    g_iQuitGame = 1;
    g_pCurrentGameMode->exit();
    libraryStopScanAndSave();

    releaseGlobalBucketTables();
    shutdownSplineRegistry();
    releaseAllFlipbooks();
    shutdownSessionChoice();
    loadingStateRelease();
    wavesShutdown();
    freeAllScripts();
    releaseBatchBuffers();
    taskLayerShutdown();
    libraryShutdown();

    releaseLensFlares();
    destroyAllTextures();
    releaseAllDrawBatches();
    releaseAllMaterials();
    shutdownRumble();
    // The film's sound stream goes before the sound layer closes.
    fmvRelease();
    shutdownAudioEngine();
    medalQueueShutdown();
    shutdownAmbientLighting();

    removeModeHooks();
    releaseUIDeviceBuffers();
    releaseCanvases();
    shutdownFrontEndScreens();
    shutdownUi();
    releaseCameras();
    releaseCameraBlenders();
    shutdownSpriteQueue();

    configFree();
    closeTextSource();
    shutdownInput();
    releaseShaderRegistry();
    shutdownRenderer();
    releaseAttachedNodeLists();
    logManagerShutdown();
    fileLayerShutdown();
    timersShutdown();
    destroyRetiredParticleSystems();
    stringTablesShutdown();
    cipherLockShutdown();
    packagesShutdown();
    openQueuedDocument();
    return 1;
}
