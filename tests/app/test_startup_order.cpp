// The order in which the game comes up before its first frame and goes down after its last.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> asStrings(const std::vector<const char*>& names) { return {names.begin(), names.end()}; }

// Settings before anything that reads them; the library before its log and its data; the
// sprite queue and the batcher's buffers before the textures; the guardian events reset before
// the sound layer before the effects bank; the front end entered last.
TEST(StartupOrder, StartUpRunsItsStepsInTheirOrder) {
    const std::vector<std::string> expected = {
        "installTerminationHandler", "installLayerImports", "clearQueuedDocument", "leaderboardClientStartup", "setModeState",
        "frameTimerInit", "setDataDir", "stringTablesInit", "timersInit", "fileLayerInit", "cipherLockInit",
        "packagesInit", "mountPackages", "loadSettings", "seedRandom", "buildLangDir", "initUserDataDir",
        "createSaveDataDir", "loadPlatformStringTable", "initGlobalBucketTables",
        "loadStringTables", "lockUserDataDir", "loadingStateSetUp", "initUi", "scriptRegistriesInit", "openScripts",
        "packRegistryInit", "clearSongListFilters", "createSongLibrary", "logManagerInit", "readGameData",
        "readUserSave", "padMonkeyLogin", "initAmbientLighting", "initDisplayOptionTable", "initRenderer",
        "initSpriteQueue", "initShaderRegistry", "initMaterialPools", "initDrawBatchPool", "createBatchBuffers",
        "initTextureTable", "defineCanvases", "initInput", "taskLayerInit", "resetViewSlots",
        "createDebugCamera", "loadCameraFrames", "pushDefaultStateStacks",
        "stopAllRumble", "loadLensFlareTextures", "initFlipbookTable", "resetGuardianSequence",
        "initAudioEngine", "readGameDataAndStartScan", "loadSoundBank", "loadTextures",
        "loadUiImages", "loadFeaturedArtists", "loadUiFonts", "createParticleSystems", "initWorld",
        "wavePoolsInit", "resetSessionChoice", "applyAudioVolumes", "loadUiPages", "finishUiPageLoad",
        "installHooks", "settleFirstPage", "initBarColourScheme", "medalQueueStartup", "leaderboardWorkerStart",
        "switchGameMode", "setUpPlaytestRecorder", "createMegaParticleSystem"};
    EXPECT_EQ(asStrings(startupStepNames()), expected);
}

// The scan asked to stop before the mode's exit, which waits for it, and the mode's exit before
// the scan stops and the save is written; the guardian events released
// with the flipbooks; the cache-size count joined before the task layer goes; the
// renderer after its resources and the files last.
TEST(StartupOrder, ShutdownRunsItsStepsInTheirOrder) {
    const std::vector<std::string> expected = {
        "leaderboardClientShutdown", "releaseSongFeatureBuffer", "retireMegaParticleSystem", "flushPlaytestData",
        "setQuitFlag", "askSongScanToStop", "exitCurrentMode", "stopSongScanAndSave", "releaseGlobalBucketTables",
        "releaseGuardianSequence", "releaseAllFlipbooks", "shutdownSessionChoice",
        "loadingStateRelease", "clearWavePools", "freeAllScripts", "releaseBatchBuffers", "joinCacheSizeThread",
        "taskLayerShutdown", "freeSongLibrary", "releaseLensFlares", "destroyAllTextures",
        "releaseAllDrawBatches", "releaseAllMaterials", "shutdownRumble", "releaseFilm", "shutdownAudioEngine",
        "medalQueueShutdown", "shutdownAmbientLighting", "clearLayerImports", "releaseUIDeviceBuffers",
        "releaseCanvases", "shutdownFrontEndScreens", "shutdownUi", "releaseCameras", "releaseCameraBlenders",
        "shutdownSpriteQueue", "configFree", "shutdownInput", "releaseShaderRegistry",
        "shutdownRenderer", "logManagerShutdown", "fileLayerShutdown",
        "timersShutdown", "destroyRetiredParticleSystems", "stringTablesShutdown", "cipherLockShutdown",
        "packagesShutdown", "releaseUserDataDir", "openQueuedDocument"};
    EXPECT_EQ(asStrings(shutdownStepNames()), expected);
}

}  // namespace
