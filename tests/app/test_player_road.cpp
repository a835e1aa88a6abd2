// A player's own devices through the whole program: the game with scripted input turns the test's
// lines into SDL events in its own event loop (tests/scripted_game/scripted_input.h), so the mouse,
// the keys and a pad (SDL's virtual joystick) take the road a player's do. Each road goes title,
// song list, difficulty, play, pause, play again, the item the play won, results and the song
// list, once by mouse and keys and once by pad; the front end's switch log names the pages
// reached. A picture shows the pointer drawn where the mouse is.
//
// The plays end after 6 s of play; the ship cannot be harmed, so no tip stops them. The window is
// 640x360, which keeps the software rasteriser's share small.
#include "tests/app/game_process.h"
#include "tests/app/road_data.h"
#include "tests/app/scripted_player.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

constexpr int WINDOW_WIDTH = 640;
constexpr int WINDOW_HEIGHT = 360;

// One device's way through the road's steps: each page gives the focus to its first choice.
struct SDevice {
    std::function<void(ClPlayer&)> toSongs, chooseSong, chooseLevel, pause, resume, leaveItem, leaveResults;
};

// Title, song list, difficulty, play, pause, play again, the item the play won (the song's first
// play wins it), results and the song list again.
void playTheSong(ClPlayer& player, const SDevice& device) {
    device.toSongs(player);
    ASSERT_TRUE(player.waitForPage("SongList")) << player.trail();
    ASSERT_TRUE(player.repeatUntilPage("Difficulty", [&] { device.chooseSong(player); })) << player.trail();
    device.chooseLevel(player);
    ASSERT_TRUE(player.waitForPage("InGame")) << player.trail();
    ASSERT_TRUE(player.repeatUntilPage("PauseMenu", [&] { device.pause(player); })) << player.trail();
    device.resume(player);
    ASSERT_TRUE(player.waitForPage("InGame")) << player.trail();
    ASSERT_TRUE(player.waitForPage("SongCollectibleIdentified", std::chrono::seconds(300))) << player.trail();
    ASSERT_TRUE(player.repeatUntilPage("Results", [&] { device.leaveItem(player); })) << player.trail();
    device.leaveResults(player);
    ASSERT_TRUE(player.waitForPage("SongList")) << player.trail();
}

// The built data with the road's settings, packed, and the demo song beside the package; the
// game started on it, at its title.
class PlayerRoad : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(player.game().waitForTitle()) << player.trail(); }

    test_support::ClTempDir root;
    const fs::path data = packRoadData(root.path(), WINDOW_WIDTH, WINDOW_HEIGHT,
                                       {{"END_GAME_EARLY_TIME 0\n", "END_GAME_EARLY_TIME 6\n"},
                                        {"DEBUG_SKIP_SPLASH 0\n", "DEBUG_SKIP_SPLASH 1\n"}},
                                       "PLAYER_INVINCIBLE 1\n");
    const fs::path home = root.path() / "home";
    ClPlayer player{data, home};
};

// The mouse and keys: quick clicks (0 ms) and held ones (150 ms). After the play, a song whose
// file goes between its choice and its start cannot be played: the game comes back to the scan
// wait, which says why, and goes on from there. Last, the quit dialog's buttons stand side by
// side: from "No" (its first choice) Left and Right come back to "No", which Return takes back to
// the title; Left then Return takes "Yes", and the game ends.
TEST_F(PlayerRoad, TheMouseAndKeysTakeTheGameThroughAPlayASongGoneAndTheQuitDialog) {

    // The pointer is drawn where the mouse is, over a quiet part of the title page.
    const int mouseX = 60, mouseY = 300;
    const std::string picture = (home / "pointer.png").string();
    const SPicture image =
        player.shot("move " + std::to_string(mouseX) + " " + std::to_string(mouseY) + "\nframes 3\n", picture);
    EXPECT_EQ(image.w, u32(WINDOW_WIDTH));
    EXPECT_EQ(image.h, u32(WINDOW_HEIGHT));
    // Inside the arrow, below and right of its tip: white. Left of the tip: the page.
    const auto white = [](int r, int g, int b) { return r > 200 && g > 200 && b > 200; };
    EXPECT_EQ(image.count({mouseX + 2, mouseY + 5, mouseX + 4, mouseY + 9}, white), 2u * 4) << picture;
    EXPECT_EQ(image.count({mouseX - 6, mouseY + 5, mouseX - 2, mouseY + 9}, white), 0u) << picture;

    const SDevice mouse{
        [](ClPlayer& p) { p.send(quickClick("TitlePlay")); },
        [](ClPlayer& p) { heldClick(p, "SongListRows", "0"); },
        [](ClPlayer& p) { p.send(quickClick("DifficultyLevel0")); },
        [](ClPlayer& p) { heldKey(p, "Escape"); },
        [](ClPlayer& p) { heldClick(p, "PauseResume"); },
        [](ClPlayer& p) { p.send(quickClick("CollectibleContinue")); },
        [](ClPlayer& p) { p.send(quickClick("ResultsContinue")); },
    };
    playTheSong(player, mouse);
    if (HasFatalFailure()) return;

    ASSERT_TRUE(player.repeatUntilPage("Difficulty", [&] { heldClick(player, "SongListRows", "0"); })) << player.trail();
    fs::remove_all(data / "Soundtrack");
    player.send(quickClick("DifficultyLevel0"));
    ASSERT_TRUE(player.waitForPage("WaitForDirScan")) << player.trail();
    ASSERT_TRUE(player.repeatUntilPage("TitleMenu", [&] { player.send(quickClick("WaitForDirScanContinue")); }))
        << player.trail();

    const std::string quitDialog = "MenuAreYouSureYouWantToQuit";
    ASSERT_TRUE(player.repeatUntilPage(quitDialog, [&] { heldKey(player, "Escape"); })) << player.trail();
    heldKey(player, "Left");
    heldKey(player, "Right");
    heldKey(player, "Return");
    ASSERT_TRUE(player.waitForPage("TitleMenu")) << player.trail();
    ASSERT_TRUE(player.repeatUntilPage(quitDialog, [&] { heldKey(player, "Escape"); })) << player.trail();
    heldKey(player, "Left");
    heldKey(player, "Return");
    player.game().waitForLog([](const std::string&) { return false; }, std::chrono::seconds(60));
    EXPECT_TRUE(player.game().ended) << player.trail();
    player.game().endCleanly(0);
}

// A pad: the d-pad moves the focus, A takes it, Start pauses.
TEST_F(PlayerRoad, APadTakesTheGameFromTheTitleThroughAPlayAndItsPauseToTheSongListAgain) {
    player.send("pad-attach\nframes 2\n");
    const auto a = [](ClPlayer& p) { heldPadButton(p, "a"); };
    const SDevice pad{
        [](ClPlayer& p) {
            heldPadButton(p, "a");
            ASSERT_TRUE(p.waitForSongAnalysed()) << p.trail();
            heldPadButton(p, "dpdown");
        },
        a, a, [](ClPlayer& p) { heldPadButton(p, "start"); }, a, a, a,
    };
    playTheSong(player, pad);
    player.game().endCleanly(SIGTERM);
}

}  // namespace
