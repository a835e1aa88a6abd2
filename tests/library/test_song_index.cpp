#include "library/song_library.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr s32 RECORDS = 5000;

std::u16string pathOf(s32 i) {
    const std::string text = "\\music\\album " + std::to_string(i / 10) + "\\track " + std::to_string(i) + ".ogg";
    return std::u16string(text.begin(), text.end());
}

// Music of its own for each record: its level spawn targets.
void giveMusic(s32 index, s32 seed) {
    const s32 targets[DIFFICULTY_LEVEL_COUNT] = {seed, seed + 1, seed + 2, seed + 3, seed + 4, seed + 5};
    const std::vector<u8> fingerprint = {u8(seed), u8(seed >> 8), 7};
    setSongAudioIdentity(index, {150.0f + f32(seed % 7), 44100.0f, targets, &fingerprint});
}

bool anyRecord(const SSongRecord&) { return true; }

class SongIndex : public ::testing::Test {
protected:
    void SetUp() override {
        createSongLibrary();
        for (s32 i = 0; i < RECORDS; ++i) addSongRecord(makeSongRecord(pathOf(i), 1000000 + u64(i)));
    }
    void TearDown() override { freeSongLibrary(); }
};

TEST_F(SongIndex, ReplacedRecordsTakeTheOthersPlacesAndEveryRecordAfterThemIsFoundOnePlaceOn) {
    const SSongIdentity taken = g_SongLibrary.songs[4000].identity;
    replaceSongRecords({{10, 4000}, {20, 4500}});

    ASSERT_EQ(g_SongLibrary.songs.size(), size_t(RECORDS - 2));
    EXPECT_EQ(g_SongLibrary.songs[10].path, pathOf(4000));
    EXPECT_EQ(findSongIndexByPath(pathOf(4000)), 10);
    EXPECT_EQ(findSongIndexByIdentity(taken), 10);
    EXPECT_EQ(findSongIndexByPath(pathOf(10)), -1);
    EXPECT_EQ(findSongIndexByPath(pathOf(4500)), 20);
    EXPECT_EQ(findSongIndexByPath(pathOf(3999)), 3999);
    EXPECT_EQ(findSongIndexByPath(pathOf(4001)), 4000);
    EXPECT_EQ(findSongIndexByPath(pathOf(4501)), 4499);
    EXPECT_EQ(findSongIndexByPath(pathOf(RECORDS - 1)), RECORDS - 3);
}

TEST_F(SongIndex, TheRecordWithAMusicIsFoundAmongThousandsAndTheFirstInListOrderWhenSeveralHaveIt) {
    for (s32 i = 0; i < RECORDS; ++i) giveMusic(i, i * 10);
    const SSongRecord& wanted = g_SongLibrary.songs[3210];
    EXPECT_EQ(findSongWithAudio(getSongAudioIdentity(wanted), -1, anyRecord), 3210);
    EXPECT_EQ(findSongWithAudio(getSongAudioIdentity(wanted), 3210, anyRecord), -1) << "the record left out";
    SSongAudioIdentity longer = getSongAudioIdentity(wanted);
    longer.duration += 2.0f * SONG_SAME_AUDIO_DURATION_TOLERANCE;
    EXPECT_EQ(findSongWithAudio(longer, -1, anyRecord), -1) << "longer music";

    giveMusic(4999, 3210 * 10);
    giveMusic(17, 3210 * 10);
    EXPECT_EQ(findSongWithAudio(getSongAudioIdentity(g_SongLibrary.songs[4999]), 4999, anyRecord), 17);
    giveMusic(17, 5);
    EXPECT_EQ(findSongWithAudio(getSongAudioIdentity(g_SongLibrary.songs[4999]), 4999, anyRecord), 3210)
        << "a record given other music is found by it no more";
}

TEST_F(SongIndex, ThePendingSongsComeInListOrderAndOneMadePendingAgainComesFirst) {
    std::vector<SSongRecord>& songs = g_SongLibrary.songs;
    songs[1].missing = true;
    EXPECT_EQ(firstPendingSongIndex(), 0);
    songs[0].state = E_SONGSTATE_READY;
    EXPECT_EQ(firstPendingSongIndex(), 2) << "a record whose file is missing waits";
    for (s32 i = 2; i < RECORDS - 1; ++i) songs[size_t(i)].state = E_SONGSTATE_FAILED;
    EXPECT_EQ(firstPendingSongIndex(), RECORDS - 1);
    songs[size_t(RECORDS - 1)].state = E_SONGSTATE_READY;
    EXPECT_EQ(firstPendingSongIndex(), -1);

    songs[1].missing = false;
    notePendingSong(1);
    songs[2500].state = E_SONGSTATE_PENDING;
    notePendingSong(2500);
    EXPECT_EQ(firstPendingSongIndex(), 1);
    songs[1].state = E_SONGSTATE_READY;
    EXPECT_EQ(firstPendingSongIndex(), 2500);
    EXPECT_EQ(addSongRecord(makeSongRecord(u"\\music\\new.ogg", 5)), RECORDS);
    songs[2500].state = E_SONGSTATE_READY;
    EXPECT_EQ(firstPendingSongIndex(), RECORDS);
}

}  // namespace
