// The whole program played by the random input tester under the sanitizers: plays of the demo song
// (each ended by the play-time countdown), beside a folder of damaged music files the scan must
// refuse, the results and the song list between them, and a clean end on SIGTERM. Any report of the
// address or undefined-behaviour sanitizer ends the game at once, so the run must reach its end with
// nothing on standard error from them. Built without the sanitizers it is skipped: the plain build
// has nothing to report.
#include "tests/app/game_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>

namespace {

namespace fs = std::filesystem;
using test_support::readFileText;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool SANITIZED = true;
#else
constexpr bool SANITIZED = false;
#endif

constexpr int PLAYS = 2;
constexpr auto RUN_LIMIT = std::chrono::minutes(8);

// The demo song cut, truncated and with flipped bits, as WAV files: what a damaged collection
// holds. The flips are seeded, so every run meets the same files.
void writeDamagedSongs(const fs::path& demo, const fs::path& folder) {
    const std::string song = readFileText(demo);
    ASSERT_GT(song.size(), 100000u);
    std::ofstream(folder / "cut header.wav", std::ios::binary) << song.substr(0, 30);
    std::ofstream(folder / "cut in the middle.wav", std::ios::binary) << song.substr(0, song.size() / 2);
    std::mt19937 random(29);
    std::string flipped = song;
    for (int i = 0; i < 64; ++i) flipped[random() % 256] = char(random());
    for (int i = 0; i < 256; ++i) flipped[random() % flipped.size()] ^= char(1 << (random() % 8));
    std::ofstream(folder / "flipped bits.wav", std::ios::binary) << flipped;
}

// The built data with its own settings, packed, the demo song and the damaged files beside it.
fs::path packPlayData(const fs::path& root) {
    const fs::path stage = root / "stage";
    const fs::path data = root / "data";
    fs::copy(VELODRIX_DATA_STAGE_DIR, stage, fs::copy_options::recursive);
    std::string settings = readFileText(stage / "project.ini");
    for (const auto& [from, to] : {std::pair{"USE_PAD_MONKEY 0\n", "USE_PAD_MONKEY 1\n"},
                                   std::pair{"END_GAME_EARLY_TIME 0\n", "END_GAME_EARLY_TIME 40\n"},
                                   std::pair{"RANDOM_SEED 0\n", "RANDOM_SEED 29\n"},
                                   std::pair{"HARD_FORCED_WIDTH 0\n", "HARD_FORCED_WIDTH 320\n"},
                                   std::pair{"HARD_FORCED_HEIGHT 0\n", "HARD_FORCED_HEIGHT 180\n"},
                                   std::pair{"DEBUG_SKIP_SPLASH 0\n", "DEBUG_SKIP_SPLASH 1\n"}}) {
        const size_t at = settings.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) settings.replace(at, std::string(from).size(), to);
    }
    settings += "FIXED_DT 0.016666\nNOVSYNC 1\nPLAYER_INVINCIBLE 1\n";
    std::ofstream(stage / "project.ini") << settings;
    fs::create_directories(data / "Soundtrack");
    const std::string pack = std::string(VELODRIX_PACK_BINARY) + " --compress '*.txt' --compress '*.ini' " +
                             "--compress '*.lang' '" + stage.string() + "' '" + data.string() + "' ASPEC > /dev/null";
    EXPECT_EQ(std::system(pack.c_str()), 0);
    const fs::path demo = fs::path(VELODRIX_BUILD_DATA_DIR) / "Soundtrack" / "Velodrix Demo.wav";
    fs::copy(demo, data / "Soundtrack");
    writeDamagedSongs(demo, data / "Soundtrack");
    return data;
}

size_t countOf(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// The plays' results, then the song list again.
bool playsDone(const std::string& log) {
    if (countOf(log, "page Results") < PLAYS) return false;
    return log.find("page SongList", log.rfind("page Results")) != std::string::npos;
}

TEST(SanitizedPlay, TheRandomTesterPlaysTheDemoSongBesideDamagedFilesWithNothingReported) {
    if (!SANITIZED) GTEST_SKIP() << "built without the sanitizers";
    test_support::ClTempDir root;
    const fs::path data = packPlayData(root.path());
    ClGameProcess game(data.string(), (root.path() / "home").string());
    const bool reached = game.waitForLog(playsDone, RUN_LIMIT), endedEarly = game.ended;
    game.end(SIGTERM);
    EXPECT_EQ(game.errorText.find("Sanitizer"), std::string::npos) << game.errorText;
    EXPECT_EQ(game.errorText.find("runtime error"), std::string::npos) << game.errorText;
    ASSERT_TRUE(reached) << (endedEarly ? "the game ended early\n" : "the plays did not end in time\n") << game.log;
    game.expectCleanEnd();
}

}  // namespace
