#include "audio/sound/sound_bank_format.h"
#include "audio/sound/sound_engine.h"
#include "core/config.h"
#include "core/game_clock.h"
#include "library/audio_volumes.h"
#include "library/data_file.h"
#include "library/game_data.h"
#include "library/music_folders.h"
#include "library/playtest_recorder.h"
#include "library/song_library.h"
#include "library/song_scan.h"
#include "library/song_caches.h"
#include "library/song_record.h"
#include "tests/library/library_test_support.h"
#include "tests/support/audio_songs.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// The library with its game data at the defaults over a temporary user folder.
class LibraryFiles : public ::testing::Test {
protected:
    void SetUp() override { setGameDataDefaults(); }
    void TearDown() override { setGameDataDefaults(); }

    library_test::ClUserDataFolder m_user;
};

TEST_F(LibraryFiles, GameDataRoundTripsASecondReadDoesNotDoubleTheFoldersAndADamagedFileIsSetAside) {
    g_GameData.options = 0;
    EXPECT_TRUE(addGameDataMusicFolder(u"\\home\\ann\\Songs"));
    EXPECT_FALSE(addGameDataMusicFolder(u"\\home\\ann\\Songs"));
    EXPECT_TRUE(addGameDataMusicFolder(u"\\mnt\\\u00e9t\u00e9"));
    g_GameData.disabledExtensions = {".mp3"};
    const std::vector<u8> written = encodeGameData();
    ASSERT_EQ(writeGameDataFile(), 1);
    setGameDataDefaults();

    ASSERT_EQ(readGameDataFile(), 1);
    ASSERT_EQ(readGameDataFile(), 1);
    EXPECT_EQ(encodeGameData(), written);

    // A damaged file is set aside.
    const std::string path = m_user.file("GAMEDATA/GM-DATA");
    test_support::writeFileBytes(path, {1, 2, 3});

    EXPECT_EQ(readGameDataFile(), 0);
    EXPECT_EQ(test_support::readFileBytes(path + ".damaged"), (std::vector<u8>{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(libraryDamagedFileFlags(), u32(E_DAMAGED_GAME_DATA));
}

// As heard: a cue of the bank's volume 0.5 in each slot.
class AudioVolumes : public test_support::SoundPackageTest {};

TEST_F(AudioVolumes, TheDisableSettingsSilenceTheirSlotsAndTheSongTakesItsFactor) {
    const struct {
        const char* cue;
        u32 slot;
        f32 heard;
    } rows[] = {{"Music", E_SOUNDSCALE_MUSIC, 0.5f},
                {"Song", E_SOUNDSCALE_SONG_VOLUME, 0.25f},
                {"Effects", E_SOUNDSCALE_EFFECTS, 0.0f},
                {"Voice", E_SOUNDSCALE_VOICE, 0.5f}};
    writeAudio("blip.wav", test_support::sineWav(4800, 48000));
    std::vector<SSoundBankInput> cues;
    for (const auto& row : rows) {
        cues.push_back(test_support::bankCue(row.cue, {"blip.wav"}));
        cues.back().definition.scaleSlots[0] = row.slot;
    }
    packBank(cues);
    startEngine();
    configClear();
    configSetValue("DISABLE_SFX", "1");
    setSongVolumeFactor(0.5f);
    applyAudioVolumes();
    for (const auto& row : rows) {
        const SCueHandle cue = playCueHeld(row.cue);
        updateAudioEngine(0.0f);
        EXPECT_NEAR(test_support::heardPeaks(480).left / test_support::SINE_CENTRE_PEAK, row.heard, 0.002f) << row.cue;
        stopCue(cue, -1.0f);
    }
    setSongVolumeFactor(1.0f);
    configClear();
    applyAudioVolumes();
}

TEST_F(LibraryFiles, PlaytestFramesAfterTheThresholdAreWrittenPerCategory) {
    setUpPlaytestRecorder(3);
    const auto frame = [](f32 seconds, u32 category) {
        setClockDelta(GAME_CLOCK_SYSTEM, seconds);
        addPlaytestFrameTime(category, 15.0f);
    };
    frame(10.0f, 0);  // 10 s elapsed: still loading
    frame(6.0f, 0);   // 16 s: counted, and slow
    frame(0.01f, 1);
    frame(0.01f, 3);  // no such category
    ASSERT_TRUE(flushPlaytestData());
    EXPECT_EQ(test_support::readFileText(m_user.file("GAMEDATA/Playtest_v1_dat.lg")),
              "category 0 frames 1 seconds 6.000 mean_ms 6000.000 worst_ms 6000.000 slow 1\n"
              "category 1 frames 1 seconds 0.010 mean_ms 10.000 worst_ms 10.000 slow 0\n");
}

// A folder inside one searched already is not added again; another is, and a walk is asked for.
TEST_F(LibraryFiles, AFolderIsAddedOnceWithAWalkAskedForAndARemovedFoldersSongsLeaveTheLibrary) {
    g_GameData.options = 0;
    EXPECT_EQ(addMusicFolder(u"\\music"), E_MUSICFOLDER_ADDED);
    EXPECT_TRUE(isSongScanWalking());
    EXPECT_EQ(addMusicFolder(u"\\music"), E_MUSICFOLDER_ALREADY_SEARCHED);
    EXPECT_EQ(addMusicFolder(u"\\music\\jazz"), E_MUSICFOLDER_ALREADY_SEARCHED);
    EXPECT_EQ(addMusicFolder(u"\\musicals"), E_MUSICFOLDER_ADDED);
    setGameDataDefaults();
    ASSERT_EQ(readGameDataFile(), 1);
    EXPECT_EQ(g_GameData.musicFolders.size(), size_t(2));

    // The songs of a removed folder leave the library, but not one that a folder still searched
    // holds, nor one of a folder whose name only begins like it.
    createSongLibrary();
    g_GameData.musicFolders = {u"\\a", u"\\a\\x", u"\\ab"};
    for (const char16_t* path : {u"\\a\\1.mp3", u"\\a\\x\\2.mp3", u"\\a\\y\\3.mp3", u"\\ab\\4.mp3"})
        g_SongLibrary.songs.push_back(makeSongRecord(path, 1000));
    EXPECT_TRUE(removeMusicFolder(u"\\a"));
    EXPECT_FALSE(removeMusicFolder(u"\\a"));
    ASSERT_EQ(g_SongLibrary.songs.size(), size_t(2));
    EXPECT_EQ(g_SongLibrary.songs[0].path, u"\\a\\x\\2.mp3");
    EXPECT_EQ(g_SongLibrary.songs[1].path, u"\\ab\\4.mp3");
    // What a walk still under way finds in the removed folder is not taken.
    EXPECT_FALSE(isInSearchedFolder(u"\\a\\5.mp3"));
    EXPECT_TRUE(isInSearchedFolder(u"\\a\\x\\5.mp3"));
    freeSongLibrary();
}

TEST_F(LibraryFiles, SongCachesFailOnlyASongThatCannotBePlayedAndMarkAVanishedFile) {
    const std::string file = m_user.folder().write("song.wav", std::string(10, 'x'));
    SSongRecord present = makeSongRecord(library_test::wide(file), 10);
    SSongRecord gone = makeSongRecord(library_test::wide(m_user.file("gone.wav")), 10);
    SSongRecord failed = present;
    failed.state = E_SONGSTATE_FAILED;
    // No cache exists for any of them: that alone is no failure.
    EXPECT_EQ(loadSongCaches(&present), 1);
    EXPECT_EQ(loadSongCaches(&gone), 0);
    EXPECT_EQ(loadSongCaches(&failed), 0);
    EXPECT_EQ(loadSongCaches(nullptr), 0);
    EXPECT_TRUE(gone.missing);
    EXPECT_EQ(gone.state, u32(E_SONGSTATE_PENDING)) << "what the song was stays for when its file comes back";
}

}  // namespace
