// The options a player sets, through the whole program: a music folder added by a click in the
// folder browser, its song found and listed; each option changed by a click on the options pages,
// and read back by the game when it starts again (it writes what it read at its quit).
#include "core/file_layer.h"
#include "core/saved_options.h"
#include "library/data_file.h"
#include "library/song_library.h"
#include "library/user_save.h"
#include "tests/app/road_data.h"
#include "tests/app/scripted_player.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// The built data at a 640x360 window, without the soundtrack; the pointer the summed mouse
// motion, which its sensitivity scales.
fs::path packOptionsData(const fs::path& root) {
    return packSettingsData(root,
                            {{"DEBUG_SKIP_SPLASH 0\n", "DEBUG_SKIP_SPLASH 1\n"},
                             {"HARD_FORCED_WIDTH 0\n", "HARD_FORCED_WIDTH 640\n"},
                             {"HARD_FORCED_HEIGHT 0\n", "HARD_FORCED_HEIGHT 360\n"},
                             {"USE_ABSOLUTE_WM_MOUSE_POSITION 1\n", "USE_ABSOLUTE_WM_MOUSE_POSITION 0\n"}},
                            "");
}

// The options the save under the home holds.
SSavedOptions savedOptionsIn(const fs::path& home) {
    const std::u16string path = (home / ".local/share/Orlenvane/Velodrix/SAVEDATA/USR-DATA").u16string();
    std::vector<u8> content;
    fileLayerInit();
    EXPECT_EQ(readDataFile(path, USER_SAVE_TRAILER_VALUE, &content), E_DATAFILE_READ_OK);
    fileLayerShutdown();
    g_SavedOptions = defaultSavedOptions();
    createSongLibrary();
    EXPECT_TRUE(decodeUserSave(content, true));
    freeSongLibrary();
    const SSavedOptions options = g_SavedOptions;
    g_SavedOptions = defaultSavedOptions();
    return options;
}

// One road: a music folder added in the browser, its song found and listed; then each option
// changed by a click. The next start reads the save and writes it again at its quit.
TEST(OptionsRoad, AFolderAddedIsListedAndEachOptionChangedByAClickIsReadBackWhenTheGameStartsAgain) {
    test_support::ClTempDir root;
    const fs::path data = packOptionsData(root.path());
    const fs::path home = root.path() / "home";
    // The home holds one folder the browser lists, and in it the demo song.
    fs::create_directories(home / "Tunes");
    for (const fs::directory_entry& song : fs::directory_iterator(fs::path(VELODRIX_BUILD_DATA_DIR) / "Soundtrack"))
        fs::copy(song.path(), home / "Tunes" / song.path().filename());
    {
        ClPlayer player(data, home);
        ASSERT_TRUE(player.game().waitForTitle()) << player.trail();
        ASSERT_TRUE(player.play(quickClick("TitleOptions")));
        ASSERT_TRUE(player.play(quickClick("OptionsMusicFoldersPage")));
        ASSERT_TRUE(player.waitForPage("MusicFolders")) << player.trail();
        ASSERT_TRUE(player.play(quickClick("MusicFoldersAdd")));
        ASSERT_TRUE(player.waitForPage("MusicFolderBrowser")) << player.trail();
        ASSERT_TRUE(player.play(quickClick("MusicFolderBrowserRows", "0")));
        ASSERT_TRUE(player.play(quickClick("MusicFolderBrowserAdd")));
        ASSERT_TRUE(player.waitForPage("WaitForDirScan")) << player.trail();
        // Continue takes clicks once the walk has ended.
        ASSERT_TRUE(player.repeatUntilPage("MusicFolders", [&] { player.send(quickClick("WaitForDirScanContinue")); }))
            << player.trail();
        ASSERT_TRUE(player.play(quickClick("MusicFoldersBack")));
        ASSERT_TRUE(player.play(quickClick("OptionsBack")));
        ASSERT_TRUE(player.play(quickClick("TitlePlay")));
        ASSERT_TRUE(player.waitForPage("SongList")) << player.trail();
        // The song's row takes a click once it is analysed.
        ASSERT_TRUE(player.repeatUntilPage("Difficulty", [&] { player.send(quickClick("SongListRows", "0")); }))
            << player.trail();
        ASSERT_TRUE(player.play(quickClick("DifficultyBack")));
        ASSERT_TRUE(player.play(quickClick("SongListBack")));
        ASSERT_TRUE(player.waitForPage("TitleMenu")) << player.trail();

        ASSERT_TRUE(player.play(quickClick("TitleOptions")));
        ASSERT_TRUE(player.waitForPage("OptionsMenu")) << player.trail();
        ASSERT_TRUE(player.play(quickClick("OptionsWater")));
        ASSERT_TRUE(player.play(quickClick("OptionsGraphicsPage")));
        ASSERT_TRUE(player.waitForPage("OptionsGraphics")) << player.trail();
        for (const char* toggle :
             {"OptionsBloom", "OptionsLines", "OptionsLagReduction", "OptionsFullScreen", "OptionsVerticalSync"})
            ASSERT_TRUE(player.play(quickClick(toggle))) << toggle;
        ASSERT_TRUE(player.play(quickClick("OptionsGraphicsBack")));
        ASSERT_TRUE(player.waitForPage("OptionsMenu")) << player.trail();
        ASSERT_TRUE(player.play(quickClick("OptionsControlsPage")));
        ASSERT_TRUE(player.waitForPage("OptionsControls")) << player.trail();
        for (const char* step : {"OptionsPlayPointerMore", "OptionsPadSpeedLess", "OptionsPadSpeedLess", "OptionsLatchedFire"})
            ASSERT_TRUE(player.play(quickClick(step))) << step;
        // Last: from here the menu's pointer moves at its new speed.
        ASSERT_TRUE(player.play(quickClick("OptionsMenuPointerMore")));
        player.game().end(SIGTERM);
        player.game().expectCleanEnd();
    }
    {
        ClPlayer player(data, home);
        ASSERT_TRUE(player.game().waitForTitle()) << player.trail();
        player.game().end(SIGTERM);
        player.game().expectCleanEnd();
    }
    const SSavedOptions options = savedOptionsIn(home);
    EXPECT_EQ(options.waterReflection, 0u);
    EXPECT_EQ(options.bloom, 0u);
    EXPECT_EQ(options.animatedLines, 0u);
    EXPECT_EQ(options.inputLagReduction, 1u);
    EXPECT_EQ(options.fullScreen, 1u);
    EXPECT_EQ(options.verticalSync, 0u);
    EXPECT_EQ(options.inGamePointerSensitivity, 6.0f);
    EXPECT_EQ(options.controllerSensitivity, 3.0f);
    EXPECT_EQ(options.latchedFire, 1u);
    EXPECT_EQ(options.interfacePointerSensitivity, 6.0f);
}

}  // namespace
