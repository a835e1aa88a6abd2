// The stream player over a real WAV decode job and the sound layer's manual null clock: the song
// comes out sample-exact and ends at its length; illegal calls change nothing.
#include "audio/decode/codec_registry.h"
#include "audio/sound/codec_stream_player.h"
#include "audio/decode/decode_thread.h"
#include "core/crit_section_pool.h"
#include "tests/audio/decoder_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace decoder_test;

class CodecStreamPlayer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(startSingleFamilyRegistry(createCodecStreamInstanceWAV));
        m_lock = critSectionCreateOrDie("stream player test");
        ASSERT_EQ(m_system.setOutput(E_SOUNDOUTPUT_NOSOUND_MANUAL), E_SOUND_OK);
        ASSERT_EQ(m_system.init(SOUND_MAX_CHANNELS, 0, nullptr), E_SOUND_OK);
    }
    void TearDown() override {
        // The streams go before the jobs they read.
        m_system.close();
        shutdownCodecRegistry();
        resetDecodeThreadInterval();
        critSectionDestroy(m_lock);
    }

    // One step; the state after it.
    static s32 step(SCodecStreamPlayer* player) {
        stepCodecStreamPlayer(player);
        return player->state;
    }
    // Steps until the state is reached or a bounded number of steps has passed.
    void stepUntil(SCodecStreamPlayer* player, s32 state) {
        for (u32 i = 0; i < 5000 && player->state != state && player->state != E_STREAMPLAYER_ERROR; ++i) {
            stepCodecStreamPlayer(player);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    ClTempFolder m_folder;
    SCritSection* m_lock = nullptr;
    ClSoundSystem m_system;
};

TEST_F(CodecStreamPlayer, DecodedSongPlaysSampleExactEndsAtItsLengthAndPausesResumesAndStops) {
    const u32 frames = 24011;
    std::vector<s32> samples = makeSignal(frames, 2, 48000, 16);
    std::string path = m_folder.file("song.wav");
    writeWavFile(path, 2, 48000, 16, samples);

    SCodecStreamPlayer player;
    ASSERT_EQ(initCodecStreamPlayer(&player, E_CODECFORMAT_WAV, widePath(path).c_str(), &m_system, m_lock), 1);
    EXPECT_EQ(playCodecStreamPlayer(&player, false), 0);
    stepUntil(&player, E_STREAMPLAYER_READY);
    ASSERT_EQ(player.state, E_STREAMPLAYER_READY);
    // Ready but not playing: nothing to pause, resume or stop.
    EXPECT_EQ(pauseCodecStreamPlayer(&player), 0);
    EXPECT_EQ(resumeCodecStreamPlayer(&player), 0);
    EXPECT_EQ(stopCodecStreamPlayer(&player), 0);
    EXPECT_EQ(player.state, E_STREAMPLAYER_READY);

    // Started paused, it plays once unpaused and stays in state 5.
    ASSERT_EQ(playCodecStreamPlayer(&player, true), 1);
    std::vector<f32> silent(2 * 512, 1.0f);
    m_system.advanceNullOutput(512, silent.data());
    EXPECT_EQ(silent, std::vector<f32>(2 * 512, 0.0f));
    ASSERT_EQ(unpauseCodecStreamPlayer(&player), 1);
    ASSERT_EQ(s32(player.state), s32(E_STREAMPLAYER_PLAYING));
    ASSERT_EQ(resumeCodecStreamPlayer(&player), 0);

    std::vector<f32> out(2 * frames);
    ASSERT_EQ(m_system.advanceNullOutput(frames - 1, out.data()), E_SOUND_OK);
    EXPECT_EQ(step(&player), E_STREAMPLAYER_PLAYING);
    ASSERT_EQ(m_system.advanceNullOutput(1, out.data() + 2 * (frames - 1)), E_SOUND_OK);
    EXPECT_EQ(out, scaledFloats(samples, 16));
    EXPECT_EQ(step(&player), s32(E_STREAMPLAYER_STOPPING));
    EXPECT_EQ(step(&player), s32(E_STREAMPLAYER_STOPPED));
    releaseCodecStreamPlayer(&player);
    EXPECT_EQ(player.job, nullptr);

    // Pause, resume and stop follow the states.
    initCodecStreamPlayer(&player, E_CODECFORMAT_WAV, widePath(path).c_str(), &m_system, m_lock);
    stepUntil(&player, E_STREAMPLAYER_READY);
    ASSERT_EQ(playCodecStreamPlayer(&player, false), 1);
    m_system.advanceNullOutput(4800, nullptr);
    EXPECT_EQ(pauseCodecStreamPlayer(&player), 1);
    EXPECT_EQ(s32(player.state), s32(E_STREAMPLAYER_PAUSED));
    EXPECT_EQ(unpauseCodecStreamPlayer(&player), 0);
    m_system.advanceNullOutput(4800, nullptr);
    u32 position = 0;
    ASSERT_EQ(player.channel.getPosition(&position, E_SOUNDTIMEUNIT_MS), E_SOUND_OK);
    EXPECT_EQ(position, 100u);
    ASSERT_EQ(resumeCodecStreamPlayer(&player), 1);
    EXPECT_EQ(stopCodecStreamPlayer(&player), 1);
    EXPECT_EQ(s32(player.state), s32(E_STREAMPLAYER_STOPPING));
    EXPECT_EQ(step(&player), s32(E_STREAMPLAYER_STOPPED));
    EXPECT_EQ(stopCodecStreamPlayer(&player), 0);
    releaseCodecStreamPlayer(&player);
}

TEST_F(CodecStreamPlayer, MissingFileAndStreamWithoutJobFail) {
    SCodecStreamPlayer player;
    initCodecStreamPlayer(&player, E_CODECFORMAT_WAV, widePath(m_folder.file("none.wav")).c_str(), &m_system, m_lock);
    stepUntil(&player, E_STREAMPLAYER_READY);
    EXPECT_EQ(player.state, E_STREAMPLAYER_ERROR);
    releaseCodecStreamPlayer(&player);

    initCodecStreamPlayer(&player, E_CODECFORMAT_FLAC, u"song.flac", &m_system, m_lock);
    stepUntil(&player, E_STREAMPLAYER_READY);
    EXPECT_EQ(player.state, E_STREAMPLAYER_ERROR);  // no family for the format

    u8 data[16];
    EXPECT_EQ(codecStreamPlayerReadCallback(ClSound(), data, sizeof(data)), E_SOUND_ERR_INVALID_PARAM);
    EXPECT_EQ(codecStreamPlayerSetPositionCallback(ClSound(), 0, 0, E_SOUNDTIMEUNIT_PCM), E_SOUND_OK);
}

}  // namespace
