// The whole program played by the random input tester under the sanitizers: a play of a whole song
// (the demo song cut to 92 s, just above the shortest song the analysis takes) beside damaged music
// files, until the song ends or the ship's lives run out (the ship dies and comes back, and notes fly
// to it meanwhile), its results and the song list again, and a clean end on SIGTERM. The song plays
// in real time (the sound layer's clock), so the frame step is the measured one. Any report of the
// address or undefined-behaviour sanitizer ends the game at once, so the run must reach its end with
// nothing on standard error from them. Built without the sanitizers it is skipped: the plain build
// has nothing to report.
#include "core/types.h"
#include "tests/app/game_process.h"
#include "tests/app/road_data.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
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

constexpr auto RUN_LIMIT = std::chrono::minutes(8);
constexpr u32 SONG_SECONDS = 92;

// The first `seconds` of a PCM WAV file whose header is the plain 44 bytes: the sizes in its
// header are set to match.
std::string cutWav(const std::string& song, u32 seconds) {
    EXPECT_EQ(song.compare(36, 4, "data"), 0) << "the demo song's header is not the plain one";
    u32 byteRate = 0;
    std::memcpy(&byteRate, song.data() + 28, 4);
    const u32 dataBytes = std::min<u32>(byteRate * seconds, u32(song.size() - 44));
    std::string cut = song.substr(0, 44 + dataBytes);
    const u32 riffBytes = 36 + dataBytes;
    std::memcpy(cut.data() + 4, &riffBytes, 4);
    std::memcpy(cut.data() + 40, &dataBytes, 4);
    return cut;
}

// The song cut in its header and in the middle, and with flipped bits, as WAV files: what a
// damaged collection holds. The flips are seeded, so every run meets the same files.
void writeDamagedSongs(const std::string& song, const fs::path& folder) {
    ASSERT_GT(song.size(), 100000u);
    std::ofstream(folder / "cut header.wav", std::ios::binary) << song.substr(0, 30);
    std::ofstream(folder / "cut in the middle.wav", std::ios::binary) << song.substr(0, song.size() / 2);
    std::mt19937 random(29);
    std::string flipped = song;
    for (int i = 0; i < 64; ++i) flipped[random() % 256] = char(random());
    for (int i = 0; i < 256; ++i) flipped[random() % flipped.size()] ^= char(1 << (random() % 8));
    std::ofstream(folder / "flipped bits.wav", std::ios::binary) << flipped;
}

// A play's results, then the song list again.
bool playDone(const std::string& log) {
    const size_t results = log.find("page Results");
    return results != std::string::npos && log.find("page SongList", results) != std::string::npos;
}

TEST(SanitizedPlay, TheRandomTesterPlaysAWholeSongBesideDamagedFilesWithNothingReported) {
    if (!SANITIZED) GTEST_SKIP() << "built without the sanitizers";
    test_support::ClTempDir root;
    // The built data with its own settings, packed, the demo song and the damaged files beside it.
    const fs::path data = packSettingsData(root.path(), 320, 180,
                                           {{"USE_PAD_MONKEY 0\n", "USE_PAD_MONKEY 1\n"},
                                            {"RANDOM_SEED 0\n", "RANDOM_SEED 29\n"},
                                            {"DEBUG_SKIP_SPLASH 0\n", "DEBUG_SKIP_SPLASH 1\n"}},
                                           "NOVSYNC 1\n");
    const std::string song =
        cutWav(readFileText(fs::path(VELODRIX_BUILD_DATA_DIR) / "Soundtrack" / "Velodrix Demo.wav"), SONG_SECONDS);
    std::ofstream(data / "Soundtrack" / "Velodrix Demo.wav", std::ios::binary) << song;
    writeDamagedSongs(song, data / "Soundtrack");
    ClGameProcess game(data.string(), (root.path() / "home").string());
    const bool reached = game.waitForLog(playDone, RUN_LIMIT), endedEarly = game.ended;
    game.endCleanly(SIGTERM);
    EXPECT_EQ(game.errorText.find("Sanitizer"), std::string::npos) << game.errorText;
    EXPECT_EQ(game.errorText.find("runtime error"), std::string::npos) << game.errorText;
    ASSERT_TRUE(reached) << (endedEarly ? "the game ended early: " + game.endText() + "\n" : "no play ended in time\n") << game.log;
}

}  // namespace
