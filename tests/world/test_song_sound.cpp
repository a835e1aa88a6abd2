// The song's sound "UserMusic" made from a music file's path and started as the held song cue, on
// the sound engine's manual null output.
#include "world/play/song_sound.h"

#include "audio/play/song_clock.h"
#include "audio/sound/sound_bank_format.h"
#include "audio/sound/sound_engine.h"
#include "core/crit_section_pool.h"
#include "core/name_hash.h"

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

#include <string>

namespace {

class SongSound : public ::testing::Test {
protected:
    void SetUp() override { critSectionPoolInit(); }
    void TearDown() override {
        setSongCue({});
        shutdownAudioEngine();
        setAudioEngineOutput(E_SOUNDOUTPUT_AUTODETECT);
    }
};

TEST_F(SongSound, TheDefinitionHoldsOneStreamedSampleOfTheFileAndASecondSongReplacesItAndItsCue) {
    setAudioEngineOutput(E_SOUNDOUTPUT_NOSOUND_MANUAL);
    ASSERT_EQ(initAudioEngine(0), 1);
    ASSERT_EQ(prepareSongSound(u"C:\\Music\\Band\\track01.mp3", 187.5f, 44100.0f), 1u);
    const SSoundDefinition& d = getSongSoundDefinition();
    EXPECT_EQ(std::u16string(d.wideFileNames[0]), std::u16string(u"track01.mp3"));
    EXPECT_EQ(std::string(d.fileNames[0]), std::string("track01.mp3"));
    EXPECT_EQ(d.wideFileNames[1], nullptr);
    EXPECT_EQ(d.nameHash, crc32TextNoCase("UserMusic"));
    EXPECT_EQ(d.sampleCount, 1u);
    EXPECT_EQ(d.stream, 1u);
    EXPECT_EQ(d.defaultFrequencies[0], 44100.0f);
    ASSERT_EQ(startSongCue(), 1u);
    const SCueHandle first = getSongCue();

    ASSERT_EQ(prepareSongSound(u"C:\\Music\\second.wav", 50.0f, 48000.0f), 1u);
    EXPECT_TRUE(isCueFinished(first)) << "unloading the first song freed its cue";
    ASSERT_EQ(startSongCue(), 1u);
    EXPECT_NE(getSongCue(), first);
    EXPECT_EQ(getCueDuration(getSongCue()), 50.0f);
}

TEST_F(SongSound, WithoutTheEngineNothingStartsAndTheNameCopyOfAFailedSoundIsFreedByTheNext) {
    EXPECT_EQ(prepareSongSound(u"C:\\Music\\first.wav", 100.0f, 48000.0f), 0u);
    const char16_t* orphan = getSongSoundDefinition().wideFileNames[0];
    ASSERT_NE(orphan, nullptr) << "no loaded sound owns the copy";
    EXPECT_EQ(startSongCue(), 0u);
    EXPECT_FALSE(getSongCue());

    EXPECT_EQ(prepareSongSound(u"C:\\Music\\second.wav", 100.0f, 48000.0f), 0u);
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_TRUE(__asan_address_is_poisoned(orphan)) << "the first copy was freed";
#endif

    // A file name too long for its buffer fails before anything is touched.
    const std::u16string tooLong = u"C:\\" + std::u16string(SONG_PATH_PART_LENGTH, u'a');
    const char16_t* kept = getSongSoundDefinition().wideFileNames[0];
    EXPECT_EQ(prepareSongSound(tooLong.c_str(), 1.0f, 48000.0f), 0u);
    EXPECT_EQ(getSongSoundDefinition().wideFileNames[0], kept);
}

}  // namespace
