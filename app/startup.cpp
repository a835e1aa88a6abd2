#include "app/startup.h"

#include "app/frame.h"
#include "app/game_mode.h"
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
#include "input/ambient_light.h"
#include "input/input_channels.h"
#include "online/medal_queue.h"
#include "platform/os/os.h"
#include "render/message_pump.h"
#include "render/state_stacks.h"
#include "render/view_slots.h"
#include "world/bar_colour_scheme.h"
#include "world/effects/equaliser_state.h"

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

}  // namespace

void gameStartup(const char*, const char* dataDirectory, u32 inputChannelCount) {
    // Mode state.
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
    archiveMount("ASPEC", 4, nullptr);
    archiveMount("AAM", 4, nullptr);

    // Settings. The generator is seeded once they are known, so that RANDOM_SEED can make a run
    // repeatable; without it the time seeds it.
    configClear();
    if (!configLoad("project.ini")) fatalError("cannot read project.ini from the data packages");
    const s32 seed = configGetInt("RANDOM_SEED");
    sfmtInitGenRand(seed != 0 ? u32(seed) : osTickCount());
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

    // Scripts and the logs.
    scriptRegistriesInit();
    getScript("playbalance.txt", 0);
    getScript("guardian_movies.txt", 0);
    getScript("sos.txt", 0);
    logManagerInit();
    createGameDataDir();
    initAmbientLighting(localisedOrEmpty("WINDOW_TITLE"), localisedOrEmpty("GAME_VERSION"), 1.0f / 30.0f, 5);

    // Display options and the window.
    initDisplayOptionTable();
    createMainWindow();
    osInstallTerminationHandler();

    // Input, tasks and the view slots.
    initInput(0, inputChannelCount);
    taskLayerInit();
    resetViewSlots();
    pushDefaultStateStacks();

    // Audio: the sound system, the codec registry with its decode thread, the effects bank.
    initAudioEngine(g_SavedOptions.audioLog);
    loadSoundBank("ZUNO_SFX", 0);

    initBarColourScheme();
    installEqualiserDisplayHooks();
    medalQueueStartup();

    switchGameMode(E_GAMEMODE_NONE);
}

s32 gameShutdown() {
    releaseSongFeatureBuffer();
    g_iQuitGame = 1;
    g_pCurrentGameMode->exit();
    releaseGlobalBucketTables();
    freeAllScripts();
    taskLayerShutdown();
    medalQueueShutdown();
    shutdownAudioEngine();
    shutdownAmbientLighting();
    configFree();
    closeTextSource();
    shutdownInput();
    releaseDisplayOptionTable();
    logManagerShutdown();
    fileLayerShutdown();
    timersShutdown();
    stringTablesShutdown();
    cipherLockShutdown();
    packagesShutdown();
    destroyMainWindow();
    return 1;
}
