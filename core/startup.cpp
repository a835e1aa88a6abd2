#include "core/startup.h"

#include "core/cipher.h"
#include "core/config.h"
#include "core/directories.h"
#include "core/frame.h"
#include "core/file_layer.h"
#include "core/game_mode.h"
#include "core/global_objects.h"
#include "core/log_manager.h"
#include "core/packages.h"
#include "core/random.h"
#include "core/script_cache.h"
#include "core/task_layer.h"
#include "core/timers.h"
#include "input/ambient_light.h"
#include "input/input_channels.h"
#include "online/medal_queue.h"
#include "platform/os/os.h"
#include "render/message_pump.h"
#include "render/state_stacks.h"
#include "render/view_slots.h"
#include "world/bar_colour_scheme.h"

void gameStartup(const char*, const char* dataDirectory, u32 inputChannelCount) {
    // Mode state.
    g_iCurrentGameModeId = E_GAMEMODE_FRONT_END;
    g_iPreviousGameModeId = E_GAMEMODE_NONE;
    g_pCurrentGameMode = g_apGameModes[E_GAMEMODE_FRONT_END];
    g_iQuitGame = 0;

    // Random numbers and timers. A non-zero RANDOM_SEED makes a run repeatable.
    const s32 seed = configGetInt("RANDOM_SEED");
    sfmtInitGenRand(seed != 0 ? u32(seed) : osTimeGetTime());
    frameTimerInit();
    resetFirstFrame();
    timersInit();

    // Directories, files and packages.
    setDataDir(dataDirectory);
    fileLayerInit();
    cipherLockInit();
    packagesInit();
    archiveMount("ASPEC", 4, nullptr);
    archiveMount("AAM", 4, nullptr);

    // Global tables, scripts and the logs.
    initGlobalBucketTables();
    scriptRegistriesInit();
    getScript("playbalance.txt", 0);
    getScript("guardian_movies.txt", 0);
    getScript("sos.txt", 0);
    logManagerInit();

    // Ambient light, then the display options and the window.
    initAmbientLighting(u"", u"", 1.0f / 30.0f, 5);
    initDisplayOptionTable();
    createMainWindow();
    osInstallTerminationHandler();

    // Input and the view slots.
    initInput(0, inputChannelCount);
    taskLayerInit();
    resetViewSlots();
    pushDefaultStateStacks();

    initBarColourScheme();
    medalQueueStartup();

    switchGameMode(E_GAMEMODE_NONE);
}

s32 gameShutdown() {
    g_iQuitGame = 1;
    g_pCurrentGameMode->exit();
    releaseGlobalBucketTables();
    freeAllScripts();
    taskLayerShutdown();
    medalQueueShutdown();
    shutdownAmbientLighting();
    shutdownInput();
    releaseDisplayOptionTable();
    logManagerShutdown();
    fileLayerShutdown();
    cipherLockShutdown();
    packagesShutdown();
    timersShutdown();
    destroyMainWindow();
    return 1;
}
