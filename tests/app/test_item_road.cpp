// A player's item road through the whole program: a seeded play of the demo song wins its item,
// the collectible screen identifies it, the ship screen fits it to the hull, and in the next play
// the ship fires the item's shots, which the first play, with the ship's own gun, never did; in
// that play the player steers the ship onto the level-up pickup, which raises the hull's item a
// level for the rest of the ship's life.
//
// The game with scripted input is played by the mouse: fire held for a second, then let go for a
// sixth of one (the charging gun fires on release), the shots in flight and the hull's state
// written by the scripted game as it goes. Each play ends after 12 s.
#include "library/song_items.h"
#include "tests/app/road_data.h"
#include "tests/app/save_read.h"
#include "tests/app/scripted_player.h"
#include "tests/support/temp_dir.h"
#include "waves/generators/item_generators.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The hull's state as the scripted game wrote it, a line each time it was asked.
struct SHull {
    s32 upgrade = -1, levelled = -1, level = -1, messages = -1;
};

std::vector<SHull> hullStates(const fs::path& file) {
    std::vector<SHull> states;
    std::istringstream in(test_support::readFileText(file));
    for (SHull hull; in >> hull.upgrade >> hull.levelled >> hull.level >> hull.messages;) states.push_back(hull);
    return states;
}

std::vector<std::string> linesOf(const fs::path& file) {
    std::vector<std::string> lines;
    std::istringstream in(test_support::readFileText(file));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// From the song list: the song chosen once analysed, the lowest difficulty, and a play fired
// through, the pointer low in the middle, until the page after it; the pickup sought when asked.
// The hull's state is written every ten frames, the shots in flight after each release.
bool playTheSong(ClPlayer& player, const fs::path& shots, const fs::path& hull, bool seekPickup,
                 const std::string& after) {
    if (!player.repeatUntilPage("Difficulty", [&] { player.send(quickClick("SongListRows", "0")); })) return false;
    if (!player.play(quickClick("DifficultyLevel0")) || !player.waitForPage("InGame")) return false;
    const std::string step = "frames 10\nhull " + hull.string() + "\n" + (seekPickup ? "point-pickup\n" : "");
    std::string cycle = "press left\n";
    for (int i = 0; i < 6; ++i) cycle += step;
    cycle += "release left\n" + step + "shots " + shots.string() + "\n";
    player.send("move 240 202\n");
    // The song ends after 12 s of game time, about ten cycles; a page that never comes fails the
    // road after ten times that.
    for (int played = 0; !player.waitForPage(after, std::chrono::seconds(0)); ++played) {
        if (played == 100 || !player.play(cycle)) return false;
    }
    return true;
}

TEST(ItemRoad, APlayWinsTheSongsItemTheShipScreenFitsItTheNextPlayFiresItAndALevelUpRaisesIt) {
    // The built data with the road's settings: a seed, the window at 480 x 270, no splash, plays
    // that end after 12 s and a ship that cannot die.
    test_support::ClTempDir root;
    const fs::path data = packRoadData(root.path(), 480, 270,
                                       {{"RANDOM_SEED 0\n", "RANDOM_SEED 7\n"},
                                        {"END_GAME_EARLY_TIME 0\n", "END_GAME_EARLY_TIME 12\n"},
                                        {"DEBUG_SKIP_SPLASH 0\n", "DEBUG_SKIP_SPLASH 1\n"}},
                                       "FIXED_DT 0.016666\nPLAYER_INVINCIBLE 1\n");
    const fs::path home = root.path() / "home";
    ClPlayer player(data, home);
    ASSERT_TRUE(player.game().waitForTitle()) << player.trail();

    ASSERT_TRUE(player.clickTo("TitlePlay", "SongList")) << player.trail();
    ASSERT_TRUE(playTheSong(player, home / "shots1.txt", home / "hull1.txt", false, "SongCollectibleIdentified"))
        << player.trail();
    ASSERT_TRUE(player.play("frames 20\ntext CollectibleName " + (home / "texts.txt").string() + "\n" +
                            quickClick("CollectibleContinue")));
    ASSERT_TRUE(player.waitForPage("Results")) << player.trail();
    ASSERT_TRUE(player.clickTo("ResultsContinue", "SongList")) << player.trail();
    ASSERT_TRUE(player.clickTo("SongListBack", "TitleMenu")) << player.trail();
    ASSERT_TRUE(player.clickTo("TitleShip", "ShipEdit")) << player.trail();
    ASSERT_TRUE(player.play(quickClick("ShipEditSlot0") + "frames 2\ntext ShipEditSlot0 " + (home / "texts.txt").string() +
                            "\n" + quickClick("ShipEditBack")));
    ASSERT_TRUE(player.waitForPage("TitleMenu")) << player.trail();
    ASSERT_TRUE(player.clickTo("TitlePlay", "SongList")) << player.trail();
    ASSERT_TRUE(playTheSong(player, home / "shots2.txt", home / "hull2.txt", true, "Results")) << player.trail();
    player.game().endCleanly(SIGTERM);

    const std::vector<std::string> texts = linesOf(home / "texts.txt");
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_FALSE(texts[0].empty()) << "the identified item's name";
    EXPECT_EQ(texts[1], "Hull: " + texts[0]);
    std::string key;
    {
        const ClSaveUnderHome save(home);
        key = equippedItemKey(0);
    }
    EShipItemKind kind;
    ASSERT_TRUE(shipItemKindForKey(key.c_str(), &kind)) << key;
    const std::string itemLook = std::to_string(shipItemStats(kind, 0).look), blasterLook = std::to_string(BLASTER_LOOK);
    const std::vector<std::string> firstShots = linesOf(home / "shots1.txt"), secondShots = linesOf(home / "shots2.txt");
    EXPECT_EQ(std::count(firstShots.begin(), firstShots.end(), itemLook), 0) << "the first play fires the ship's own gun only";
    EXPECT_GT(std::count(firstShots.begin(), firstShots.end(), blasterLook), 0) << "the first play fired";
    EXPECT_GT(std::count(secondShots.begin(), secondShots.end(), itemLook), 0) << "the second play fires the item";
    // The hull's upgrade value: none without an item, then the value of the item's next level.
    const std::vector<SHull> firstHull = hullStates(home / "hull1.txt"), secondHull = hullStates(home / "hull2.txt");
    ASSERT_FALSE(firstHull.empty());
    ASSERT_FALSE(secondHull.empty());
    EXPECT_EQ(firstHull[0].upgrade, 0);
    EXPECT_EQ(secondHull[0].upgrade, 2);
    // The level-up pickup collected: the hull's item at level 1 (the value 2), and the message.
    const auto levelled = std::find_if(secondHull.begin(), secondHull.end(), [](const SHull& h) { return h.levelled == 1; });
    ASSERT_NE(levelled, secondHull.end()) << "never levelled up";
    EXPECT_EQ(levelled->level, 1);
    EXPECT_EQ(levelled->messages, 1);
}

}  // namespace
