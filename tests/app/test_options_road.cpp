// The options a player sets, through the whole program: a music folder added by a click in the
// folder browser, its song found and listed; a log-in typed on the options page reaches a
// leaderboard service the test runs on 127.0.0.1, which reads the request, and the page's notice
// then tells the reply; each option changed by a click on the options pages, and read back by the
// game when it starts again (it writes what it read at its quit).
#include "online/credentials.h"
#include "tests/app/road_data.h"
#include "tests/app/save_read.h"
#include "tests/app/scripted_player.h"
#include "tests/support/file_bytes.h"
#include "tests/support/leaderboard_decode.h"
#include "tests/support/local_http_server.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

// A text field of the options page clicked, each letter pressed and released as a player types
// it, and Return.
bool fillField(ClPlayer& player, const std::string& field, const std::string& letters) {
    std::string lines = quickClick(field) + "frames 2\n";
    for (char c : letters) {
        const std::string key(1, char(c - 'a' + 'A'));  // SDL names the letter keys in upper case
        lines += "key-down " + key + "\nframes 1\nkey-up " + key + "\nframes 1\n";
    }
    return player.play(lines + "key-down Return\nframes 1\nkey-up Return\nframes 1\n");
}

// One road: a music folder added in the browser, its song found and listed; a log-in; then each
// option changed by a click. The next start reads the save and writes it again at its quit.
TEST(OptionsRoad, AFolderAddedIsListedALogInIsToldAndEachOptionChangedByAClickIsReadBackWhenTheGameStartsAgain) {
    test_support::ClLocalHttpServer service("0");
    test_support::ClTempDir root;
    // The built data at a 640x360 window, without the soundtrack, and the leaderboard service at
    // the address; the pointer the summed mouse motion, which its sensitivity scales.
    const fs::path data = packSettingsData(root.path(), 640, 360,
                                           {{"DEBUG_SKIP_SPLASH 0\n", "DEBUG_SKIP_SPLASH 1\n"},
                                            {"USE_ABSOLUTE_WM_MOUSE_POSITION 1\n", "USE_ABSOLUTE_WM_MOUSE_POSITION 0\n"}},
                                           "LEADERBOARD_IP " + service.address() + "\n");
    const fs::path home = root.path() / "home";
    // The home holds one folder the browser lists, and in it the demo song.
    fs::create_directories(home / "Tunes");
    for (const fs::directory_entry& song : fs::directory_iterator(fs::path(VELODRIX_BUILD_DATA_DIR) / "Soundtrack"))
        fs::copy(song.path(), home / "Tunes" / song.path().filename());
    {
        ClPlayer player(data, home);
        ASSERT_TRUE(player.game().waitForTitle()) << player.trail();
        ASSERT_TRUE(player.play(quickClick("TitleOptions")));
        ASSERT_TRUE(player.clickTo("OptionsMusicFoldersPage", "MusicFolders")) << player.trail();
        ASSERT_TRUE(player.clickTo("MusicFoldersAdd", "MusicFolderBrowser")) << player.trail();
        ASSERT_TRUE(player.play(quickClick("MusicFolderBrowserRows", "0")));
        ASSERT_TRUE(player.clickTo("MusicFolderBrowserAdd", "WaitForDirScan")) << player.trail();
        // Continue takes clicks once the walk has ended.
        ASSERT_TRUE(player.repeatUntilPage("MusicFolders", [&] { player.send(quickClick("WaitForDirScanContinue")); }))
            << player.trail();
        ASSERT_TRUE(player.play(quickClick("MusicFoldersBack")));
        ASSERT_TRUE(player.play(quickClick("OptionsBack")));
        ASSERT_TRUE(player.clickTo("TitlePlay", "SongList")) << player.trail();
        // The song's row takes a click once it is analysed.
        ASSERT_TRUE(player.repeatUntilPage("Difficulty", [&] { player.send(quickClick("SongListRows", "0")); }))
            << player.trail();
        ASSERT_TRUE(player.play(quickClick("DifficultyBack")));
        ASSERT_TRUE(player.clickTo("SongListBack", "TitleMenu")) << player.trail();

        ASSERT_TRUE(player.clickTo("TitleOptions", "OptionsMenu")) << player.trail();
        ASSERT_TRUE(fillField(player, "OptionsLoginName", "ace"));
        ASSERT_TRUE(fillField(player, "OptionsPassword", "secret"));
        ASSERT_TRUE(fillField(player, "OptionsVerifyPassword", "secret"));
        player.send(quickClick("OptionsLogin"));
        ASSERT_TRUE(player.game().waitForLog([&](const std::string&) { return service.requestLines().size() >= 2; },
                                             std::chrono::seconds(60)))
            << player.trail();
        // The service's side: the first request is the start-up's page fetch, the second the log-in.
        EXPECT_EQ(service.requestLines()[1], "POST /XLBPage.aspx HTTP/1.1");
        const std::string line = test_support::decodeLeaderboardBody(service.lastBody());
        SLeaderboardCredentials account;
        makeCredentials("ace", "secret", &account);
        EXPECT_EQ(test_support::leaderboardField(line, "action"), "login");
        EXPECT_EQ(test_support::leaderboardField(line, "user"), "ace");
        EXPECT_EQ(test_support::leaderboardField(line, "digest"), test_support::hexText(account.passwordDigest, sizeof account.passwordDigest));
        EXPECT_EQ(test_support::leaderboardField(line, "check"), test_support::expectedLeaderboardCheck(line));
        // The notice under the buttons tells the reply, in the notice colour.
        const std::string picture = (home / "logged_in.png").string();
        const SPicture image = player.shot("move 5 5\nframes 10\n", picture);
        const auto notice = [](int r, int g, int b) { return r > 150 && r > g + 60 && r > b + 60; };
        EXPECT_GT(image.count({0, 340, image.w, image.h}, notice), 60u) << picture;

        ASSERT_TRUE(player.play(quickClick("OptionsWater")));
        ASSERT_TRUE(player.clickTo("OptionsGraphicsPage", "OptionsGraphics")) << player.trail();
        for (const char* toggle :
             {"OptionsBloom", "OptionsLines", "OptionsLagReduction", "OptionsFullScreen", "OptionsVerticalSync"})
            ASSERT_TRUE(player.play(quickClick(toggle))) << toggle;
        ASSERT_TRUE(player.clickTo("OptionsGraphicsBack", "OptionsMenu")) << player.trail();
        ASSERT_TRUE(player.clickTo("OptionsControlsPage", "OptionsControls")) << player.trail();
        for (const char* step : {"OptionsPlayPointerMore", "OptionsPadSpeedLess", "OptionsPadSpeedLess", "OptionsLatchedFire"})
            ASSERT_TRUE(player.play(quickClick(step))) << step;
        // Last: from here the menu's pointer moves at its new speed.
        ASSERT_TRUE(player.play(quickClick("OptionsMenuPointerMore")));
        player.game().endCleanly(SIGTERM);
    }
    {
        ClPlayer player(data, home);
        ASSERT_TRUE(player.game().waitForTitle()) << player.trail();
        player.game().endCleanly(SIGTERM);
    }
    const ClSaveUnderHome save(home);
    const SSavedOptions& options = g_SavedOptions;
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
