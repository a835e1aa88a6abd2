// The menus' ship previews through the whole program: the game with scripted input is left idle
// on the title and then on the ship screen with the fixed frame step at the largest the game
// clock takes (0.15 s a frame), and the world's entity records in use are counted. The previews'
// guns fire two seconds of every three; their shots fly out of the picture and are freed, so the
// count stays small however long the clock runs.
#include "tests/app/road_data.h"
#include "tests/app/scripted_player.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The ship and its live shots: at 12 volleys a second each shot flies about 4 s of clock.
constexpr int ENTITY_BOUND = 100;

std::vector<int> countsIn(const fs::path& file) {
    std::vector<int> counts;
    std::istringstream lines(test_support::readFileText(file));
    for (int n; lines >> n;) counts.push_back(n);
    return counts;
}

TEST(MenuPreviews, AnIdleTitleAndShipScreenHoldABoundedNumberOfEntities) {
    test_support::ClTempDir root;
    const fs::path data =
        packRoadData(root.path(), 640, 360, {{"DEBUG_SKIP_SPLASH 0\n", "DEBUG_SKIP_SPLASH 1\n"}}, "FIXED_DT 0.15\n");
    const fs::path home = root.path() / "home";
    const fs::path counts = home / "entities.txt";
    ClPlayer player(data, home);
    ASSERT_TRUE(player.game().waitForTitle()) << player.trail();
    const auto countsReach = [&](size_t n) {
        return player.game().waitForLog([&](const std::string&) { return countsIn(counts).size() >= n; },
                                        std::chrono::duration_cast<std::chrono::seconds>(ROAD_TIME_LIMIT));
    };

    // 135 s of clock on the title, then 90 s on the ship screen.
    player.send("frames 100\nentities " + counts.string() + "\nframes 800\nentities " + counts.string() + "\n");
    ASSERT_TRUE(countsReach(2)) << player.trail();
    ASSERT_TRUE(player.clickTo("TitleShip", "ShipEdit")) << player.trail();
    player.send("frames 600\nentities " + counts.string() + "\n");
    ASSERT_TRUE(countsReach(3)) << player.trail();

    const std::vector<int> seen = countsIn(counts);
    EXPECT_LE(seen[0], ENTITY_BOUND) << "the title after 15 s";
    EXPECT_LE(seen[1], ENTITY_BOUND) << "the title after 135 s";
    EXPECT_LE(seen[2], ENTITY_BOUND) << "the ship screen after 90 s";
    EXPECT_GT(seen[1], 1) << "the title's ship fires";
    player.game().endCleanly(SIGTERM);
}

}  // namespace
