#include "app/startup.h"

#include "app/frame.h"
#include "app/game_mode.h"
#include "app/game_mode_action.h"
#include "app/layer_imports.h"
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
#include "core/timers.h"
#include "input/ambient/ambient_light.h"
#include "input/input_channels.h"
#include "frontend/front_end_services.h"
#include "frontend/frontend.h"
#include "input/input_devices.h"
#include "library/audio_volumes.h"
#include "library/song_library.h"
#include "library/library_setup.h"
#include "library/playtest_recorder.h"
#include "frontend/presentation/front_end_particles.h"
#include "frontend/presentation/loading_state.h"
#include "online/credentials.h"
#include "online/http_transport.h"
#include "online/leaderboard.h"
#include "online/medal_queue.h"
#include "platform/os/os.h"
#include "platform/window/window.h"
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
#include "render/state_stacks.h"
#include "render/texture.h"
#include "render/view_slots.h"
#include "ui/switcher.h"
#include "ui/ui_pointer.h"
#include "ui/ui_system.h"
#include "ui/ui_variables.h"
#include "ui/widget.h"
#include "waves/pack_registry.h"
#include "waves/waves.h"
#include "world/services/bar_colour_scheme.h"
#include "world/entity/world.h"
#include "world/play/boss_choice.h"
#include "world/play/guardian_sequence.h"

#include <cstdlib>
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

constexpr u32 PLAYTEST_CATEGORY_COUNT = 3;

void loadStartupUiImage(const char* name) { loadUiImage(name, 0); }

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

namespace {

// What gameStartup was given, for the steps that need it.
const char* g_startDataDirectory = "./";
u32 g_startInputChannelCount = 0;

// A step's operation; what it returns is each operation's own business (failures that matter
// stop the program inside them).
template <auto Operation>
void call() {
    (void)Operation();
}

// One named step of start-up or shutdown. The lists below are the order.
struct SLifeStep {
    const char* name;
    void (*run)();
};

void setModeState() {
    g_iCurrentGameModeId = E_GAMEMODE_FRONT_END;
    g_iPreviousGameModeId = E_GAMEMODE_NONE;
    g_pCurrentGameMode = g_apGameModes[E_GAMEMODE_FRONT_END];
    g_iQuitGame = 0;
}

void mountPackages() {
    // Every data file is read through the game's package; the second is optional.
    if (!archiveMount("ASPEC", 4, nullptr)) fatalError("cannot mount the package ASPEC (ASPEC_win32.mdf/.mtc), which holds project.ini");
    archiveMount("AAM", 4, nullptr);
}

void loadStringTables() {
    stringTableLoad("All");
    stringTableLoad("All_NO_TRANS");
    stringTableLoad("SOSOnly");
}

// Two games on one profile would write the same save and logs: a second one says that the game
// is running and ends, leaving the first alone. A profile that cannot hold a lock file (read only)
// is used without one.
void lockUserDataDirOrEnd() {
    if (lockUserDataDir() != E_USERDATALOCK_HELD) return;
    windowErrorBox(osWideToUtf8(localisedOrEmpty("WINDOW_TITLE")).c_str(),
                   osWideToUtf8(localisedOrEmpty("MB_ALREADY_RUNNING")).c_str());
    std::exit(1);
}

void openStartupScripts() {
    getScript("playbalance.txt", 0);
    getScript("guardian_movies.txt", 0);
    getScript("sos.txt", 0);
}

void clearSongListFilters() {
    setUiVariable(UIVAR_SHOW_ONLY_IDENTIFIED_SONGS, 0);
    setUiVariable(UIVAR_SHOW_ONLY_UNLOCKED_SONGS, 0);
}

void readGameData() {
    createGameDataDir();
    librarySetUpAndReadGameData();
}

void readUserSave() { setUiVariable(UIVAR_ALLOW_MAIN_MENU_CONTINUE, libraryReadUserSave()); }

void startAmbientLighting() {
    initAmbientLighting(localisedOrEmpty("WINDOW_TITLE"), localisedOrEmpty("GAME_VERSION"), 1.0f / 30.0f, 5);
}

void setUpDisplayOptions() {
    initDisplayOptionTable();
    copySavedDisplayOptions();
}

// Nothing can be drawn without the batcher's buffers.
void createBatchBuffersOrDie() {
    if (!createBatchBuffers(true)) fatalError("cannot create the geometry batcher's vertex and index buffers on the device");
}

// Each canvas must be found once defined.
void defineCanvases() {
    defineStartupCanvases(screenWidth(), screenHeight());
    for (const char* name : {"FULL", "43CORE", "SAFE"}) getCanvas(name);
}

void startInput() { initInput(0, g_startInputChannelCount); }
// The codec registry takes the user's audio-log option itself.
void startAudioEngine() { initAudioEngine(0); }
void loadEffectsBank() { loadSoundBank("ZUNO_SFX", 0); }

void loadStartupTextures() {
    for (const char* name : STARTUP_TEXTURES) loadTexture(name);
    loadFlipbook("Animations/eye", 15.0f);
}

void loadStartupUiImages() { forEachStartupUiImage(loadStartupUiImage); }

void setUpSceneRender() {
    setUpCameraBlenders();
    setSpriteTarget(nullptr);
    installSceneRender();
}

void settleFirstPage() {
    switchWidgetByName("TooltipSwitcher", "AllTooltips");
    setUiVariable(UIVAR_RETURNING_FROM_ACTION, 0);
    setUiPointerImage(0, "PointerDefault");
    for (const char* name : {"DebugInfo1", "DebugInfo2", "DebugInfo3", "DebugInfo4"}) {
        if (ClWidget* widget = findWidgetByName(name)) widget->setLocalizedId("localizedID", 0);
    }
}

void enterFrontEnd() { switchGameMode(E_GAMEMODE_NONE); }
void setUpPlaytest() { setUpPlaytestRecorder(PLAYTEST_CATEGORY_COUNT); }

// The worker sends its requests over HTTP.
void startLeaderboardWorker() {
    setLeaderboardTransport(httpLeaderboardTransport());
    leaderboardWorkerStart();
}

void createMegaParticleSystem() {
    setMegaParticleSystem(new ClMegaParticleSystem());
    registerParticleSystem(megaParticles());
}

// Differences from the classic order, each for a reason of this system:
// - the termination handler is ours (signals end the game through its own shutdown);
// - the generator is seeded once the settings are loaded, so RANDOM_SEED can repeat a run;
// - the cipher lock, the UI variables and the view slots are our own set-up of shared state;
// - the user-data directory is locked for this process once the string tables can word a
//   refusal, before anything is written there;
// - the pack registry comes with its built-in pack in one step, right after the scripts;
// - the game data is read again after the sound layer, so that the extensions the player turned
//   off reach the codec records, and the song scan starts then;
// - the camera blenders and the hooks the lower layers call up through are installed last,
//   once everything they reach exists.
const SLifeStep STARTUP_STEPS[] = {
    {"installTerminationHandler", call<osInstallTerminationHandler>},
    {"installLayerImports", call<installLayerImports>},
    // Online and mode state.
    {"clearQueuedDocument", call<clearQueuedDocument>},
    {"leaderboardClientStartup", call<leaderboardClientStartup>},
    {"setModeState", call<setModeState>},
    // Timers.
    {"frameTimerInit", [] {
         frameTimerInit();
         resetFirstFrame();
     }},
    // Directories, files and packages.
    {"setDataDir", [] { setDataDir(g_startDataDirectory); }},
    {"stringTablesInit", call<stringTablesInit>},
    {"timersInit", call<timersInit>},
    {"fileLayerInit", call<fileLayerInit>},
    {"cipherLockInit", call<cipherLockInit>},
    {"packagesInit", call<packagesInit>},
    {"mountPackages", call<mountPackages>},
    // Settings.
    {"loadSettings", call<loadSettingsOrDie>},
    {"seedRandom", call<seedRandomFromSettings>},
    {"buildLangDir", call<buildLangDir>},
    {"initUserDataDir", call<initUserDataDir>},
    {"createSaveDataDir", call<createSaveDataDir>},
    // String tables and global tables.
    {"loadPlatformStringTable", call<loadPlatformStringTable>},
    {"initGlobalBucketTables", call<initGlobalBucketTables>},
    {"loadStringTables", call<loadStringTables>},
    {"lockUserDataDir", call<lockUserDataDirOrEnd>},
    {"loadingStateSetUp", call<loadingStateSetUp>},
    {"initUi", call<initUi>},
    // Scripts, generators and library.
    {"scriptRegistriesInit", call<scriptRegistriesInit>},
    {"openScripts", call<openStartupScripts>},
    {"packRegistryInit", call<packRegistryInit>},
    {"clearSongListFilters", call<clearSongListFilters>},
    {"createSongLibrary", call<createSongLibrary>},
    {"logManagerInit", call<logManagerInit>},
    {"readGameData", call<readGameData>},
    {"readUserSave", call<readUserSave>},
    {"padMonkeyLogin", call<applyPadMonkeyLogin>},
    {"initAmbientLighting", call<startAmbientLighting>},
    // Display, renderer and input.
    {"initDisplayOptionTable", call<setUpDisplayOptions>},
    {"initRenderer", call<initRenderer>},
    {"initSpriteQueue", call<initSpriteQueue>},
    {"initShaderRegistry", call<initShaderRegistry>},
    {"initMaterialPools", call<initMaterialPools>},
    {"initDrawBatchPool", call<initDrawBatchPool>},
    {"createBatchBuffers", call<createBatchBuffersOrDie>},
    {"initTextureTable", call<initTextureTable>},
    {"defineCanvases", call<defineCanvases>},
    {"initInput", call<startInput>},
    {"taskLayerInit", call<taskLayerInit>},
    {"resetViewSlots", call<resetViewSlots>},
    {"createDebugCamera", call<createDebugCamera>},
    {"loadCameraFrames", call<loadCameraFrames>},
    {"pushDefaultStateStacks", call<pushDefaultStateStacks>},
    {"stopAllRumble", call<stopAllRumble>},
    {"loadLensFlareTextures", call<loadLensFlareTextures>},
    {"initFlipbookTable", call<initFlipbookTable>},
    {"resetGuardianSequence", call<resetGuardianSequence>},
    // Audio.
    {"initAudioEngine", call<startAudioEngine>},
    {"readGameDataAndStartScan", call<librarySetUpAfterAudio>},
    {"loadSoundBank", call<loadEffectsBank>},
    // Images, fonts and pages.
    {"loadTextures", call<loadStartupTextures>},
    {"loadUiImages", call<loadStartupUiImages>},
    {"loadFeaturedArtists", call<loadFeaturedArtists>},
    {"loadUiFonts", call<loadUiFonts>},
    {"createParticleSystems", call<frontEndParticleSetUp>},
    {"initWorld", call<initWorld>},
    {"wavePoolsInit", call<wavesSetUp>},
    {"resetSessionChoice", call<resetSessionChoice>},
    {"applyAudioVolumes", call<applyAudioVolumes>},
    {"loadUiPages", call<buildFrontEndPages>},
    {"finishUiPageLoad", call<finishUiPageLoad>},
    {"installHooks", call<setUpSceneRender>},
    {"settleFirstPage", call<settleFirstPage>},
    {"initBarColourScheme", call<initBarColourScheme>},
    {"medalQueueStartup", call<medalQueueStartup>},
    {"leaderboardWorkerStart", startLeaderboardWorker},
    // Go.
    {"switchGameMode", call<enterFrontEnd>},
    {"setUpPlaytestRecorder", call<setUpPlaytest>},
    {"createMegaParticleSystem", call<createMegaParticleSystem>},
};

void retireMegaParticleSystem() {
    retireParticleSystem(megaParticles());
    setMegaParticleSystem(nullptr);
}

// Ours beside the classic order: the song scan is asked to stop before the mode's exit waits for
// it, so that quitting never waits for a song's analysis; the film's sound stream goes before the
// sound layer closes; the layers' imports, the UI's device buffers, the front end's screens, the
// camera blenders and the sprite queue are released with the objects they belong to; the
// user-data directory's lock goes once nothing more is written there.
const SLifeStep SHUTDOWN_STEPS[] = {
    {"leaderboardClientShutdown", call<leaderboardClientShutdown>},
    {"releaseSongFeatureBuffer", call<releaseSongFeatureBuffer>},
    {"retireMegaParticleSystem", call<retireMegaParticleSystem>},
    {"flushPlaytestData", [] { flushPlaytestData(); }},
    {"setQuitFlag", [] { g_iQuitGame = 1; }},
    {"askSongScanToStop", call<libraryAskScanToStop>},
    {"exitCurrentMode", [] { g_pCurrentGameMode->exit(); }},
    {"stopSongScanAndSave", call<libraryStopScanAndSave>},
    {"releaseGlobalBucketTables", call<releaseGlobalBucketTables>},
    {"releaseGuardianSequence", call<releaseGuardianSequence>},
    {"releaseAllFlipbooks", call<releaseAllFlipbooks>},
    {"shutdownSessionChoice", call<shutdownSessionChoice>},
    {"loadingStateRelease", call<loadingStateRelease>},
    {"clearWavePools", call<wavesShutdown>},
    {"freeAllScripts", call<freeAllScripts>},
    {"releaseBatchBuffers", call<releaseBatchBuffers>},
    {"taskLayerShutdown", call<taskLayerShutdown>},
    {"freeSongLibrary", [] {
         libraryShutdown();
         frontEndParticleShutdown();
     }},
    {"releaseLensFlares", call<releaseLensFlares>},
    {"destroyAllTextures", call<destroyAllTextures>},
    {"releaseAllDrawBatches", call<releaseAllDrawBatches>},
    {"releaseAllMaterials", call<releaseAllMaterials>},
    {"shutdownRumble", call<shutdownRumble>},
    {"releaseFilm", call<fmvRelease>},
    {"shutdownAudioEngine", call<shutdownAudioEngine>},
    {"medalQueueShutdown", call<medalQueueShutdown>},
    {"shutdownAmbientLighting", [] { shutdownAmbientLighting(); }},
    {"clearLayerImports", call<clearLayerImports>},
    {"releaseUIDeviceBuffers", call<releaseUIDeviceBuffers>},
    {"releaseCanvases", call<releaseCanvases>},
    {"shutdownFrontEndScreens", call<shutdownFrontEndScreens>},
    {"shutdownUi", call<shutdownUi>},
    {"releaseCameras", call<releaseCameras>},
    {"releaseCameraBlenders", call<releaseCameraBlenders>},
    {"shutdownSpriteQueue", call<shutdownSpriteQueue>},
    {"configFree", call<configFree>},
    {"shutdownInput", [] { shutdownInput(); }},
    {"releaseShaderRegistry", call<releaseShaderRegistry>},
    {"shutdownRenderer", call<shutdownRenderer>},
    {"logManagerShutdown", call<logManagerShutdown>},
    {"fileLayerShutdown", call<fileLayerShutdown>},
    {"timersShutdown", call<timersShutdown>},
    {"destroyRetiredParticleSystems", call<destroyRetiredParticleSystems>},
    {"stringTablesShutdown", call<stringTablesShutdown>},
    {"cipherLockShutdown", call<cipherLockShutdown>},
    {"packagesShutdown", call<packagesShutdown>},
    {"releaseUserDataDir", call<releaseUserDataDir>},
    {"openQueuedDocument", [] { openQueuedDocument(); }},
};

}  // namespace

void gameStartup(const char*, const char* dataDirectory, u32 inputChannelCount) {
    g_startDataDirectory = dataDirectory;
    g_startInputChannelCount = inputChannelCount;
    for (const SLifeStep& step : STARTUP_STEPS) step.run();
}

s32 gameShutdown() {
    for (const SLifeStep& step : SHUTDOWN_STEPS) step.run();
    return 1;
}

