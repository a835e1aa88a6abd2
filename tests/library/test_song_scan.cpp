#include "library/song_scan.h"
#include "library/song_scan_work.h"

#include "audio/decode/codec_registry.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "library/cache_size.h"
#include "library/game_data.h"
#include "library/song_library.h"
#include "tests/library/library_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>

namespace {

using library_test::ClUserDataFolder;
using library_test::wide;

constexpr u32 RATE = 22050;

// Mono 16-bit: a decaying noise hit every half second.
std::vector<u8> drumSong(f32 seconds) {
    std::vector<s16> samples(size_t(seconds * RATE));
    u32 noise = 1;
    for (size_t i = 0; i < samples.size(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        const f32 sinceHit = f32(i % (RATE / 2)) / f32(RATE);
        samples[i] = s16(f32(s32(noise >> 16) - 32768) * 0.8f * std::exp(-sinceHit * 12.0f));
    }
    return test_support::wavImage(1, 1, RATE, 16, test_support::pcm16Bytes(samples));
}

class SongScan : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        configClear();
        createSongLibrary();
        initCodecRegistry();
        codecRegistration(0);
        ASSERT_TRUE(tickUntil(isCodecRegistryReady, [] {}));
    }
    void TearDown() override {
        stopSongScan();
        shutdownCodecRegistry();
        freeSongLibrary();
        setGameDataDefaults();
    }

    // Ticks until the condition holds; false after a minute.
    static bool tickUntil(bool (*done)(), void (*tick)() = songScanTick) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (std::chrono::steady_clock::now() < limit) {
            tick();
            if (done()) return true;
            osSleep(2);
        }
        return false;
    }

    ClUserDataFolder m_user;
};

bool everySongSettled() {
    return !isSongScanWalking() && !isSongScanBusy() &&
           std::all_of(g_SongLibrary.songs.begin(), g_SongLibrary.songs.end(),
                       [](const SSongRecord& song) { return song.state == E_SONGSTATE_READY || song.state == E_SONGSTATE_FAILED; });
}

TEST_F(SongScan, FindsTheSongsOfTheFoldersSkipsTheRestAndAnalysesThemOnlyWhenAllowed) {
    const test_support::ClTempDir& root = m_user.folder();
    test_support::writeFileBytes(root.file("music/long.wav"), drumSong(91.0f));
    test_support::writeFileBytes(root.file("music/deeper/short.wav"), drumSong(7.0f));
    test_support::writeFileBytes(root.file("music/tiny.wav"), drumSong(1.0f));
    test_support::writeFileText(root.file("music/notes.txt"), test_support::repeatedText(300000, "la "));
    g_GameData.options = 0;
    g_GameData.musicFolders = {wide(root.file("gone")), wide(root.file("music"))};
    const SSpawnBarRange ranges[DIFFICULTY_LEVEL_COUNT] = {{0, 1}, {1, 2}, {1, 3}, {2, 4}, {2, 5}, {3, 6}};
    startSongScanWithRanges(ranges);

    for (int i = 0; i < 20; ++i) songScanTick();
    EXPECT_TRUE(g_SongLibrary.songs.empty()) << "requests start paused";
    resumeSongScanRequests();
    ASSERT_TRUE(tickUntil(everySongSettled));

    std::set<std::u16string> paths;
    for (const SSongRecord& song : g_SongLibrary.songs) paths.insert(song.path);
    const std::u16string longPath = wide(root.file("music/long.wav"));
    const std::u16string shortPath = wide(root.file("music/deeper/short.wav"));
    EXPECT_EQ(paths, (std::set<std::u16string>{longPath, shortPath}));

    const SSongRecord* song = getSongRecord(findSongIndexByPath(longPath));
    const SSongRecord* tooShort = getSongRecord(findSongIndexByPath(shortPath));
    ASSERT_TRUE(song && tooShort);
    EXPECT_NEAR(song->duration, 91.0f, 0.01f);
    EXPECT_EQ(std::make_tuple(song->state, song->levelSpawnTargets[0] < song->levelSpawnTargets[5], tooShort->state, tooShort->failure),
              std::make_tuple(u32(E_SONGSTATE_READY), true, u32(E_SONGSTATE_FAILED), u32(E_SONGFAIL_TOO_SHORT)));

    // The analysis left its caches, which the cache-size thread adds up.
    ASSERT_TRUE(startCacheSizeCount());
    joinCacheSizeThread();
    EXPECT_TRUE(isCacheSizeCountDone() && getCacheSizeTotal() > 0u) << getCacheSizeTotal();

    // A rescan while paused issues nothing.
    pauseSongScanRequests();
    requestSongRescan();
    for (int i = 0; i < 20; ++i) songScanTick();
    EXPECT_FALSE(isSongScanBusy());
    waitForSongScanIdle();
}

// The walk takes a file of exactly the smallest song size and passes over one a byte smaller.
TEST_F(SongScan, AFileOfTheSmallestSongSizeIsFoundAndOneByteLessIsNot) {
    const test_support::ClTempDir& root = m_user.folder();
    std::vector<u8> bytes = drumSong(7.0f);
    bytes.resize(size_t(SONG_SCAN_MIN_FILE_BYTES), 0);
    test_support::writeFileBytes(root.file("edge/exact.wav"), bytes);
    bytes.pop_back();
    test_support::writeFileBytes(root.file("edge/under.wav"), bytes);

    std::set<std::u16string> found;
    const auto collect = [](std::vector<SScanFoundSong>* batch, void* user) {
        for (const SScanFoundSong& song : *batch) static_cast<std::set<std::u16string>*>(user)->insert(song.path);
        return true;
    };
    EXPECT_TRUE(walkMusicFolders({wide(root.file("edge"))}, collect, &found));
    EXPECT_EQ(found, (std::set<std::u16string>{wide(root.file("edge/exact.wav"))}));
}

}  // namespace
