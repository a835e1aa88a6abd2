// The road of a song through the whole program: start-up, the demo song found and analysed, two
// plays chosen by the random input tester reaching the results, the song list again, a clean end
// on SIGTERM, and each play's score saved as the best at its difficulty. The front end's switch
// log is followed.
//
// The plays are real and end after 10 s of play. The ship cannot die: random input loses every
// point to the death penalties within seconds. The window is 320x180, which keeps the software
// rasteriser's share of the run small.
#include "world/play/player_state.h"
#include "tests/app/game_process.h"
#include "tests/app/road_data.h"
#include "tests/app/save_read.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;
using test_support::readFileText;

constexpr auto ROAD_TIME_LIMIT = std::chrono::minutes(10);

// Two "Results" lines, then the song list again.
bool roadDone(const std::string& log) {
    const size_t first = log.find("page Results");
    if (first == std::string::npos) return false;
    const size_t second = log.find("page Results", first + 1);
    return second != std::string::npos && log.find("page SongList", second) != std::string::npos;
}

TEST(WholeRoad, TwoPlaysOfTheDemoSongReachTheResultsAndTheirScoresAreSavedAsTheBest) {
    test_support::ClTempDir root;
    // The built data with the road's own settings, packed, and the demo song as a loose file
    // beside the package.
    const fs::path data = packRoadData(root.path(), 320, 180,
                                       {{"USE_PAD_MONKEY 0\n", "USE_PAD_MONKEY 1\n"},
                                        {"END_GAME_EARLY_TIME 0\n", "END_GAME_EARLY_TIME 20\n"},
                                        {"RANDOM_SEED 0\n", "RANDOM_SEED 7\n"}},
                                       "FIXED_DT 0.016666\nPLAYER_INVINCIBLE 1\n");
    const fs::path home = root.path() / "home";

    ClGameProcess road(data.string(), home.string());
    const bool reached = road.waitForLog(roadDone, ROAD_TIME_LIMIT), endedEarly = road.ended;
    road.endCleanly(SIGTERM);
    ASSERT_TRUE(reached) << (endedEarly ? "the game ended early: " + road.endText() + "\n" : "no two results in 10 minutes\n")
                         << road.log << road.errorText;

    // Each play's difficulty and shown score, from its results line; the best of them at each
    // difficulty played is what the save holds.
    const std::regex resultsLine("page Results song=\"Velodrix Demo.wav\" difficulty=([0-5]) score=([0-9]+)");
    std::map<int, s32> best;
    int plays = 0;
    s32 total = 0;
    for (std::sregex_iterator it(road.log.begin(), road.log.end(), resultsLine), end; it != end; ++it, ++plays) {
        const int level = std::stoi((*it)[1]);
        const s32 shown = std::stoi((*it)[2]);
        best[level] = std::max(best[level], shown);
        total += shown;
    }
    ASSERT_EQ(plays, 2) << road.log;
    EXPECT_GT(total, 0) << "the plays scored nothing\n" << road.log;

    const ClSaveUnderHome save(home);
    ASSERT_EQ(songLibrary().songs.size(), 1u);
    EXPECT_EQ(songLibrary().songs[0].state, u32(E_SONGSTATE_READY));
    for (const auto& [level, shown] : best)
        EXPECT_EQ(songLibrary().songs[0].bestScores[level] / SCORE_ENCODING_FACTOR, shown) << level;
}

}  // namespace
