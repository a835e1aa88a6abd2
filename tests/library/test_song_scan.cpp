#include "library/song_scan.h"
#include "library/song_scan_work.h"

#include "audio/analysis/spectrum_analysis.h"
#include "audio/decode/codec_registry.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "library/game_data.h"
#include "library/song_library.h"
#include "library/user_save.h"
#include "tests/library/library_test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <set>

namespace {

using library_test::ClUserDataFolder;
using library_test::wide;

constexpr u32 RATE = 22050;
const SSpawnBarRange RANGES[DIFFICULTY_LEVEL_COUNT] = {{0, 1}, {1, 2}, {1, 3}, {2, 4}, {2, 5}, {3, 6}};

// Mono 16-bit: a decaying noise hit every half second, or for another tune a little faster.
std::vector<u8> drumSong(f32 seconds, u32 tune = 0) {
    std::vector<s16> samples(size_t(seconds * RATE));
    const u32 beat = RATE / 2 - tune * RATE / 20;
    u32 noise = 1;
    for (size_t i = 0; i < samples.size(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        const f32 sinceHit = f32(i % beat) / f32(RATE);
        samples[i] = s16(f32(s32(noise >> 16) - 32768) * 0.8f * std::exp(-sinceHit * 12.0f));
    }
    return test_support::wavImage({.channels = 1, .rate = RATE}, test_support::pcm16Bytes(samples));
}

class SongScan : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        configClear();
        initCodecRegistry();
        codecRegistration(0);
        ASSERT_TRUE(tickUntil(isCodecRegistryReady, [] {}));
    }
    void TearDown() override {
        stopSongScan();
        shutdownCodecRegistry();
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

    // Starts the scan over the folders (every one given, nothing else), its requests paused.
    void startScan(const std::vector<std::string>& folders) {
        g_GameData.options = 0;
        g_GameData.musicFolders.clear();
        for (const std::string& folder : folders) g_GameData.musicFolders.push_back(wide(m_user.file(folder)));
        startSongScanWithRanges(RANGES);
    }
    void rescan() {
        requestSongRescan();
        ASSERT_TRUE(tickUntil(everySongSettled));
    }
    static bool everySongSettled() {
        return !isSongScanWalking() && !isSongScanBusy() &&
               std::all_of(g_SongLibrary.songs.begin(), g_SongLibrary.songs.end(),
                           [](const SSongRecord& song) { return song.state == E_SONGSTATE_READY || song.state == E_SONGSTATE_FAILED; });
    }
    // Starts the scan over the folders (its start asks for a walk) with its requests let through,
    // and ticks until done.
    void scanUntil(const std::vector<std::string>& folders, bool (*done)()) {
        startScan(folders);
        resumeSongScanRequests();
        ASSERT_TRUE(tickUntil(done));
    }
    // Walks the folders and analyses what it finds, to the end.
    void scanFolders(const std::vector<std::string>& folders) { scanUntil(folders, everySongSettled); }
    static bool walked() { return !isSongScanWalking(); }
    // The next start of the game on the same files: the library saved, the scan stopped and the
    // library read back from the save; then, by restart, the folders walked and analysed again.
    static void reloadLibrary() {
        const std::vector<u8> save = encodeUserSave();
        stopSongScan();
        freeSongLibrary();
        createSongLibrary();
        ASSERT_TRUE(decodeUserSave(save, false));
    }
    void restart(const std::vector<std::string>& folders) {
        reloadLibrary();
        scanFolders(folders);
    }
    s32 bestAt(const std::string& relative) {
        const SSongRecord* song = getSongRecord(findSongIndexByPath(wide(m_user.file(relative))));
        return song ? song->bestScores[2] : -1;
    }

    // A played song: analysed, with a best score and the settled score fields.
    SSongRecord* playedSong(const std::string& relative, s32 best = 1100000) {
        SSongRecord* song = getSongRecord(findSongIndexByPath(wide(m_user.file(relative))));
        if (!song) return nullptr;
        song->bestScores[2] = best;
        song->scoreTargets[2][1] = 4321;
        song->randomState.draws = 77;
        return song;
    }

    // Two played songs of the same size: a.wav with a best of 1111, and other music in b.wav
    // with 2222.
    void twoPlayedSongsOfOneSize() {
        test_support::writeFileBytes(m_user.file("music/a.wav"), drumSong(91.0f));
        test_support::writeFileBytes(m_user.file("music/b.wav"), drumSong(91.0f, 1));
        scanFolders({"music"});
        ASSERT_NE(playedSong("music/a.wav", 1111), nullptr);
        ASSERT_NE(playedSong("music/b.wav", 2222), nullptr);
    }

    ClUserDataFolder m_user;
};

TEST_F(SongScan, FindsTheSongsOfTheFoldersSkipsTheRestAndAnalysesThemOnlyWhenAllowed) {
    test_support::writeFileBytes(m_user.file("music/long.wav"), drumSong(91.0f));
    test_support::writeFileBytes(m_user.file("music/deeper/short.wav"), drumSong(7.0f));
    test_support::writeFileBytes(m_user.file("music/tiny.wav"), drumSong(1.0f));
    test_support::writeFileText(m_user.file("music/notes.txt"), test_support::repeatedText(300000, "la "));
    startScan({"gone", "music"});

    for (int i = 0; i < 20; ++i) songScanTick();
    EXPECT_TRUE(g_SongLibrary.songs.empty()) << "requests start paused";
    resumeSongScanRequests();
    ASSERT_TRUE(tickUntil(everySongSettled));

    EXPECT_EQ(g_SongLibrary.songs.size(), 2u);
    const SSongRecord* song = getSongRecord(findSongIndexByPath(wide(m_user.file("music/long.wav"))));
    ASSERT_NE(song, nullptr);
    EXPECT_NEAR(song->duration, 91.0f, 0.01f);
    EXPECT_LT(song->levelSpawnTargets[0], song->levelSpawnTargets[5]);

    // A rescan while paused issues nothing.
    pauseSongScanRequests();
    requestSongRescan();
    for (int i = 0; i < 20; ++i) songScanTick();
    EXPECT_FALSE(isSongScanBusy());
    EXPECT_TRUE(waitForSongScanIdle());
}

// The same music with a tag chunk added after its samples: the file grows, the sound is the same.
std::vector<u8> retagged(std::vector<u8> wav) {
    const std::string tag = "LISTINFO tags added later by a tag editor.";
    const u32 chunk = u32(tag.size());
    wav.insert(wav.end(), {'L', 'I', 'S', 'T', u8(chunk), u8(chunk >> 8), 0, 0});
    wav.insert(wav.end(), tag.begin(), tag.end());
    const u32 riff = u32(wav.size() - 8);
    for (u32 i = 0; i < 4; ++i) wav[4 + i] = u8(riff >> (8 * i));
    return wav;
}

TEST_F(SongScan, ARetaggedSongKeepsItsScoresAndSoDoesOneDamagedThenMended) {
    const std::vector<u8> music = drumSong(91.0f);
    test_support::writeFileBytes(m_user.file("music/song.wav"), music);
    scanFolders({"music"});
    SSongRecord* song = playedSong("music/song.wav");
    ASSERT_NE(song, nullptr);
    ASSERT_EQ(song->state, u32(E_SONGSTATE_READY));
    EXPECT_FALSE(song->fingerprint.empty());
    std::memcpy(g_SongLibrary.boss.pendingIdentity, song->identity.bytes, SONG_IDENTITY_BYTES);

    test_support::writeFileBytes(m_user.file("music/song.wav"), retagged(music));
    rescan();
    ASSERT_EQ(g_SongLibrary.songs.size(), 1u);
    const SSongRecord& kept = g_SongLibrary.songs[0];
    EXPECT_EQ(kept.state, u32(E_SONGSTATE_READY));
    EXPECT_EQ(kept.fileSize, u64(retagged(music).size()));
    EXPECT_EQ(kept.bestScores[2], 1100000);
    EXPECT_EQ(kept.scoreTargets[2][1], 4321);
    EXPECT_EQ(kept.randomState.draws, 77u);
    EXPECT_EQ(std::memcmp(g_SongLibrary.boss.pendingIdentity, kept.identity.bytes, SONG_IDENTITY_BYTES), 0)
        << "the boss waits for the same song";

    // Damaged for a while, then mended: what the player earned waits for the music to come back.
    std::vector<u8> damaged = retagged(music);
    std::fill(damaged.begin() + 12, damaged.begin() + 44, u8(0xEE));
    damaged.push_back(0);
    test_support::writeFileBytes(m_user.file("music/song.wav"), damaged);
    rescan();
    ASSERT_EQ(g_SongLibrary.songs.size(), 1u);
    EXPECT_EQ(g_SongLibrary.songs[0].state, u32(E_SONGSTATE_FAILED));
    EXPECT_EQ(g_SongLibrary.songs[0].bestScores[2], 1100000);
    test_support::writeFileBytes(m_user.file("music/song.wav"), music);
    rescan();
    EXPECT_EQ(g_SongLibrary.songs[0].state, u32(E_SONGSTATE_READY));
    EXPECT_EQ(g_SongLibrary.songs[0].bestScores[2], 1100000);
}

// Two songs of the same size swap their file names between two starts of the game (only the
// times of the files tell that they changed): each song's best stays with its music.
TEST_F(SongScan, SongsThatSwapTheirFileNamesKeepTheirScores) {
    ASSERT_NO_FATAL_FAILURE(twoPlayedSongsOfOneSize());

    std::filesystem::rename(m_user.file("music/a.wav"), m_user.file("music/c.wav"));
    std::filesystem::rename(m_user.file("music/b.wav"), m_user.file("music/a.wav"));
    std::filesystem::rename(m_user.file("music/c.wav"), m_user.file("music/b.wav"));
    restart({"music"});
    EXPECT_EQ(g_SongLibrary.songs.size(), 2u);
    EXPECT_EQ(bestAt("music/a.wav"), 2222);
    EXPECT_EQ(bestAt("music/b.wav"), 1111);
}

// A library moved in two steps, between starts: copied, then the original deleted. The played
// song's record takes the copy, in its own place in the list.
TEST_F(SongScan, ASongCopiedThenDeletedKeepsItsScoresAtTheCopy) {
    test_support::writeFileBytes(m_user.file("music/other.wav"), drumSong(92.0f, 1));
    test_support::writeFileBytes(m_user.file("music/song.wav"), drumSong(91.0f));
    scanFolders({"music"});
    ASSERT_NE(playedSong("music/song.wav", 1111), nullptr);
    const s32 place = findSongIndexByPath(wide(m_user.file("music/song.wav")));

    std::filesystem::create_directories(m_user.file("music/copy"));
    std::filesystem::copy_file(m_user.file("music/song.wav"), m_user.file("music/copy/song.wav"));
    restart({"music"});
    EXPECT_EQ(bestAt("music/copy/song.wav"), 0) << "the original still holds the scores";
    std::filesystem::remove(m_user.file("music/song.wav"));
    restart({"music"});
    ASSERT_EQ(g_SongLibrary.songs.size(), 2u);
    EXPECT_EQ(findSongIndexByPath(wide(m_user.file("music/copy/song.wav"))), place);
    EXPECT_EQ(bestAt("music/copy/song.wav"), 1111);
    EXPECT_TRUE(isSongPlayable(g_SongLibrary.songs[size_t(place)]));
}

// Another song of the same size copied over a played one: the name and the size stay, the scores
// and the analysis do not.
TEST_F(SongScan, AnotherSongOfTheSameSizeUnderAPlayedSongsNameIsAnalysedAndTakesNoScores) {
    ASSERT_NO_FATAL_FAILURE(twoPlayedSongsOfOneSize());
    const std::vector<u8> bMusic = getSongRecord(findSongIndexByPath(wide(m_user.file("music/b.wav"))))->fingerprint;
    ASSERT_NE(getSongRecord(findSongIndexByPath(wide(m_user.file("music/a.wav"))))->fingerprint, bMusic);

    std::filesystem::copy_file(m_user.file("music/b.wav"), m_user.file("music/a.wav"),
                               std::filesystem::copy_options::overwrite_existing);
    restart({"music"});
    const SSongRecord* a = getSongRecord(findSongIndexByPath(wide(m_user.file("music/a.wav"))));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->bestScores[2], 0);
    EXPECT_EQ(a->scoreTargets[2][1], 0);
    EXPECT_EQ(a->fingerprint, bMusic) << "analysed again";
    EXPECT_EQ(bestAt("music/b.wav"), 2222);
}

// A folder of thousands of too-short files: the walk's findings are sparse files of silence.
void writeShortFiles(const test_support::ClTempDir& root, const std::string& folder, u32 count) {
    std::vector<u8> head = test_support::wavImage({.channels = 1, .rate = RATE}, {});
    const u32 dataBytes = u32(SONG_SCAN_MIN_FILE_BYTES) - u32(head.size());
    for (u32 i = 0; i < 4; ++i) head[4 + i] = u8((dataBytes + 36) >> (8 * i));
    for (u32 i = 0; i < 4; ++i) head[40 + i] = u8(dataBytes >> (8 * i));
    for (u32 i = 0; i < count; ++i) {
        const std::string path = root.file(folder + "/short " + std::to_string(i) + ".wav");
        test_support::writeFileBytes(path, head);
        std::filesystem::resize_file(path, SONG_SCAN_MIN_FILE_BYTES);
    }
}

// Thousands of songs, most in folders of a hundred and many in one folder: each is taken once,
// and the next start keeps every record in its place and adds the new songs after them.
TEST_F(SongScan, ThousandsOfSongsAreEachTakenOnceAndKeepTheirPlacesAtTheNextStart) {
    for (u32 album = 0; album < 12; ++album) writeShortFiles(m_user.folder(), "music/album " + std::to_string(album), 100);
    writeShortFiles(m_user.folder(), "music/loose", 1300);
    scanUntil({"music"}, walked);
    stopSongScan();
    ASSERT_EQ(g_SongLibrary.songs.size(), 2500u);
    std::set<std::u16string> paths;
    for (const SSongRecord& song : g_SongLibrary.songs) paths.insert(song.path);
    EXPECT_EQ(paths.size(), 2500u) << "each song taken once";
    std::vector<std::u16string> order;
    for (const SSongRecord& song : g_SongLibrary.songs) order.push_back(song.path);

    writeShortFiles(m_user.folder(), "music/album 5/more", 10);
    reloadLibrary();
    scanUntil({"music"}, walked);
    ASSERT_EQ(g_SongLibrary.songs.size(), 2510u);
    for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(g_SongLibrary.songs[i].path, order[i]) << i;
    for (size_t i = order.size(); i < 2510; ++i) EXPECT_FALSE(g_SongLibrary.songs[i].missing) << i;
}

// A moved song is matched with its own record among thousands of records whose files have gone.
TEST_F(SongScan, AMovedSongFindsItsRecordAmongThousandsWhoseFilesHaveGone) {
    test_support::writeFileBytes(m_user.file("music/song.wav"), drumSong(91.0f));
    scanFolders({"music"});
    ASSERT_NE(playedSong("music/song.wav"), nullptr);
    const SSongRecord played = g_SongLibrary.songs[0];
    for (s32 i = 0; i < 3000; ++i) {
        std::u16string path = wide(m_user.file("gone/" + std::to_string(i) + ".wav"));
        const s32 index = addSongRecord(makeSongRecord(path, 1 << 20));
        // The same rate and levels but for one, or another duration: other music.
        s32 targets[DIFFICULTY_LEVEL_COUNT];
        std::memcpy(targets, played.levelSpawnTargets, sizeof(targets));
        targets[i % DIFFICULTY_LEVEL_COUNT] += i % 2 ? 1 + i : 0;
        const f32 duration = played.duration + (i % 2 ? 0.0f : 1.0f + f32(i) * 0.01f);
        setSongAudioIdentity(index, {duration, played.sampleRate, targets, &played.fingerprint});
        g_SongLibrary.songs[size_t(index)].state = E_SONGSTATE_READY;
    }

    std::filesystem::rename(m_user.file("music/song.wav"), m_user.file("music/moved.wav"));
    restart({"music"});
    ASSERT_EQ(g_SongLibrary.songs.size(), 3001u);
    EXPECT_EQ(g_SongLibrary.songs[0].path, wide(m_user.file("music/moved.wav")));
    EXPECT_EQ(g_SongLibrary.songs[0].bestScores[2], 1100000);
    EXPECT_TRUE(g_SongLibrary.songs[1].missing) << "a song whose file has gone";
    EXPECT_FALSE(isSongPlayable(g_SongLibrary.songs[1]));
}

// A pipe among the songs is passed over and a link loop finds each song once; names with a
// backslash or bytes that are not UTF-8 are found and opened (each is decoded, and found too short:
// the decoder opened the file by its own bytes); a FLAC file cut short says so, as a cut MP3 or Ogg
// file does.
TEST_F(SongScan, OddFilesAndNamesAreFoundOnceEachAndShortOnesAreTooShortNotUndecodable) {
    test_support::writeFileBytes(m_user.file("music/a/short.wav"), drumSong(7.0f));
    ASSERT_EQ(mkfifo(m_user.file("music/a/pipe.mp3").c_str(), 0644), 0);
    // A link back to the top, and a second music folder that is the first under another name.
    std::filesystem::create_directory_symlink(m_user.file("music"), m_user.file("music/a/loop"));
    std::filesystem::create_directory_symlink(m_user.file("music"), m_user.file("alias"));
    for (const char* name : {"music/AC\\DC.wav", "music/caf\xE9.wav"})
        test_support::writeFileBytes(m_user.file(name), drumSong(7.0f));
    test_support::writeFileBytes(m_user.file("source.wav"), drumSong(95.0f));
    const std::string command = "flac -s -f -o '" + m_user.file("full.flac") + "' '" + m_user.file("source.wav") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::vector<u8> full = test_support::readFileBytes(m_user.file("full.flac"));
    test_support::writeFileBytes(m_user.file("music/cut.flac"), std::vector<u8>(full.begin(), full.begin() + long(full.size() * 2 / 5)));
    scanFolders({"music", "alias"});
    ASSERT_EQ(g_SongLibrary.songs.size(), 4u);
    for (const SSongRecord& song : g_SongLibrary.songs) {
        EXPECT_EQ(song.failure, u32(E_SONGFAIL_TOO_SHORT)) << osWideToUtf8(song.path.c_str());
    }
}

TEST_F(SongScan, AWaitForTheScanEndsAtATerminationRequest) {
    test_support::writeFileBytes(m_user.file("music/song.wav"), drumSong(91.0f));
    scanUntil({"music"}, [] { return isSongScanBusy() && !isSongScanWalking(); });
    osInstallTerminationHandler();
    std::raise(SIGTERM);
    EXPECT_FALSE(waitForSongScanIdle()) << "the wait gave up while the analysis still ran";
    osClearTerminationRequest();
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
}

// Stopped during a 16-hour song's analysis, the thread ends at once: it is joined (the song waits
// to be analysed again rather than failing) and nothing of the song was written.
TEST_F(SongScan, AStopDuringALongAnalysisEndsItLeavingTheSongToAnalyseAgainAndNoCache) {
    test_support::writeSilentWav(m_user.file("music/long.wav"), RATE, 16 * 3600);
    scanUntil({"music"}, [] { return getSpectrumAnalysisProgress() > 0.0f; });
    stopSongScan();
    ASSERT_EQ(g_SongLibrary.songs.size(), 1u);
    EXPECT_EQ(g_SongLibrary.songs[0].state, u32(E_SONGSTATE_PENDING));
    EXPECT_TRUE(std::filesystem::is_empty(m_user.file("SAVEDATA")));
}

// A folder the walk cannot list (here, with no file descriptor left to list it by) joins the
// library's unreadable folders; once a whole walk reads it, it leaves them, and a folder that is
// not there never joins.
TEST_F(SongScan, AFolderThatCannotBeReadIsNamedUntilAWalkReadsIt) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers' own checks open descriptors: with none left they report false faults.
    GTEST_SKIP() << "the open-file limit this test sets leaves the sanitizers no descriptor";
#endif
    test_support::writeFileBytes(m_user.file("music/song.wav"), drumSong(91.0f));
    struct rlimit previous;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &previous), 0);
    // Every new descriptor would be at or above the lowest free one.
    const int lowestFree = dup(0);
    close(lowestFree);
    struct rlimit limited = previous;
    limited.rlim_cur = rlim_t(lowestFree);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limited), 0);
    startScan({"music"});
    resumeSongScanRequests();
    const bool walkEnded = tickUntil(walked);
    setrlimit(RLIMIT_NOFILE, &previous);
    ASSERT_TRUE(walkEnded);
    // (The soundtrack folder, when another test of the process has set it, cannot be read either.)
    const std::vector<std::u16string>& unreadable = g_SongLibrary.unreadableFolders;
    EXPECT_EQ(std::count(unreadable.begin(), unreadable.end(), wide(m_user.file("music"))), 1);

    g_GameData.musicFolders.push_back(wide(m_user.file("absent")));
    rescan();
    EXPECT_EQ(g_SongLibrary.unreadableFolders.size(), 0u);
}

// One file reached under a second name is one song.
TEST_F(SongScan, AFileUnderTwoNamesIsFoundOnce) {
    struct SCase {
        const char* name;
        const char* second;
        bool symlink;
    };
    const SCase cases[] = {
        {"hard link", "music/b/again.wav", false},
        {"link to the file", "music/b/again.wav", true},
        {"link in another music folder", "other/again.wav", true},
    };
    test_support::writeFileBytes(m_user.file("music/a/song.wav"), drumSong(7.0f));
    for (const SCase& c : cases) {
        const std::filesystem::path second = m_user.file(c.second);
        std::filesystem::create_directories(second.parent_path());
        if (c.symlink) std::filesystem::create_symlink(m_user.file("music/a/song.wav"), second);
        else std::filesystem::create_hard_link(m_user.file("music/a/song.wav"), second);
        scanFolders({"music", "other"});
        EXPECT_EQ(g_SongLibrary.songs.size(), 1u) << c.name;
        stopSongScan();
        freeSongLibrary();
        createSongLibrary();
        std::filesystem::remove(second);
    }
}

// A pause cuts the walk after the folder it is in: the songs of the folders it did not reach are
// not missing, and the walk is asked for again.
TEST_F(SongScan, AWalkCutByAPauseMarksNoSongItDidNotReachAsMissing) {
    test_support::writeFileBytes(m_user.file("first/a.wav"), drumSong(7.0f));
    test_support::writeFileBytes(m_user.file("second/b.wav"), drumSong(7.0f, 1));
    scanFolders({"first", "second"});
    requestSongRescan();
    // The walk waits at the open of the first folder's song until the pause is made.
    fileSystemLockEnter();
    songScanTick();
    pauseSongScanRequests();
    fileSystemLockLeave();
    ASSERT_TRUE(tickUntil([] { return !isSongScanBusy(); }));
    songScanTick();
    const SSongRecord* notReached = getSongRecord(findSongIndexByPath(wide(m_user.file("second/b.wav"))));
    ASSERT_NE(notReached, nullptr);
    EXPECT_FALSE(notReached->missing);
    EXPECT_TRUE(isSongScanWalking()) << "asked for again";
}

}  // namespace
