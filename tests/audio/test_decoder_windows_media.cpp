#include "audio/decode/decoder_windows_media.h"

#include "audio/decode/codec_registry.h"

#include "core/crit_section_pool.h"
#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace decoder_test;

namespace {

class WindowsMediaDecoder : public ::testing::Test {
protected:
    const SMediaFixtures& m_media = mediaFixtures();

    SPulledRun decodeFile(const char* name) const {
        return pullJob(createCodecStreamInstanceWindowsMedia, m_media.file(name), MEDIA_PULL);
    }
    // The end of the file is padded to a whole buffer, so the decode may run on by up to one
    // buffer of silence.
    void expectMatch(const char* name, const std::vector<f32>& source, u32 channels, u32 rate) const {
        expectLossyMatch(name, decodeFile(name), source, channels, rate, 2, E_CODECSAMPLEFORMAT_INTEGER,
                         MEDIA_AUDIO_BUFFER_FRAMES);
    }
};

// ---------------------------------------------------------------------------------------------
// Decodes of good files

TEST_F(WindowsMediaDecoder, Mp3StereoMonoWithNonAsciiNameAndInAVideoMatchTheirSources) {
    if (!m_media.hasLame) GTEST_SKIP() << "ffmpeg has no libmp3lame encoder";
    expectMatch("stereo44.mp3", m_media.stereo, 2, 44100);
    expectMatch("mono48 ñandú 曲.mp3", m_media.mono, 1, 48000);
    // Only the audio stream is selected.
    expectMatch("clip.avi", m_media.stereo, 2, 44100);
}

TEST_F(WindowsMediaDecoder, StereoWmaMatchesItsSource) {
    if (!m_media.hasWma) GTEST_SKIP() << "ffmpeg has no wmav2 encoder";
    expectMatch("stereo44.wma", m_media.stereo, 2, 44100);
}

// ---------------------------------------------------------------------------------------------
// Buffers

TEST_F(WindowsMediaDecoder, FirstFillFillsAllSixtyFourBuffersAndAFreedBufferIsRefilled) {
    if (!m_media.hasLame) GTEST_SKIP() << "ffmpeg has no libmp3lame encoder";
    auto* job = static_cast<ClCodecStreamInstance_WindowsMedia*>(createCodecStreamInstanceWindowsMedia());
    critSectionPoolInit();
    ASSERT_EQ(initCodecJob(job, 0, widePath(m_media.file("mono48 ñandú 曲.mp3")).c_str()), 1);
    ASSERT_EQ(stepJobUntil(job, E_CODECJOB_READY), E_CODECJOB_READY);
    const u32 bufferBytes = job->mp_syncDecoder.bytesPerBuffer();
    EXPECT_EQ(bufferBytes, MEDIA_AUDIO_BUFFER_FRAMES * 2);
    SCodecRing* ring = job->mp_syncDecoder.ring();
    ASSERT_EQ(ring->bufferCount, WINDOWS_MEDIA_BUFFER_COUNT);
    for (u32 i = 0; i < WINDOWS_MEDIA_BUFFER_COUNT; ++i) {
        EXPECT_EQ(ring->states[i], u32(E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE)) << "buffer " << i;
        EXPECT_EQ(ring->byteCounts[i], bufferBytes) << "buffer " << i;
    }
    EXPECT_EQ(ring->writeIndex, 0u);
    EXPECT_EQ(job->isDecodingFinished(), 0);
    EXPECT_EQ(job->canDecodeMoreData(), 0);

    SCodecCreateSoundExInfo sound = {};
    ASSERT_EQ(job->fillCreateSoundExInfo(&sound), 1);
    EXPECT_EQ(sound.format, E_CODECSOUNDFORMAT_PCM16);
    EXPECT_EQ(sound.numChannels, 1u);
    EXPECT_EQ(sound.defaultFrequency, 48000u);
    EXPECT_EQ(sound.decodeBufferSize, bufferBytes / 2 / 2);
    EXPECT_EQ(sound.userData, &ring->streamRead);

    std::vector<u8> data(bufferBytes);
    job->handleFMODReadCallback(data.data(), bufferBytes);
    EXPECT_EQ(ring->states[0], u32(E_CODECBS_FREE));
    EXPECT_EQ(job->canDecodeMoreData(), 1);
    EXPECT_EQ(job->continueDecoding(), 1);
    EXPECT_EQ(ring->states[0], u32(E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE));
    EXPECT_EQ(ring->writeIndex, 1u);
    shutdownCodecJob(job);
    delete job;
}

TEST_F(WindowsMediaDecoder, FileEndingMidBufferGivesWholeZeroPaddedBuffers) {
    if (!m_media.hasLame) GTEST_SKIP() << "ffmpeg has no libmp3lame encoder";
    const SPulledRun run = decodeFile("mono48 ñandú 曲.mp3");
    ASSERT_EQ(run.finalState, E_CODECJOB_FINISHED);
    const size_t bufferBytes = MEDIA_AUDIO_BUFFER_FRAMES * 2;
    EXPECT_EQ(run.bytes.size() % bufferBytes, 0u);
    // The source ends early in the last buffer; everything after it is silence.
    const size_t silentFrom = size_t(MEDIA_MONO_FRAMES + 2048) * 2;
    ASSERT_LT(silentFrom, run.bytes.size());
    EXPECT_TRUE(std::all_of(run.bytes.begin() + s64(silentFrom), run.bytes.end(), [](u8 byte) { return byte == 0; }));
}

// ---------------------------------------------------------------------------------------------
// Damaged and wrong files

TEST_F(WindowsMediaDecoder, FilesWithoutUsableAudioFailToOpen) {
    writeFileBytes(m_media.file("empty.mp3"), {});
    writeFileBytes(m_media.file("words.mp3"), plainTextBytes());
    writeFileBytes(m_media.file("noise.wma"), garbageBytes(40000));
    for (const char* name : {"empty.mp3", "words.mp3", "noise.wma", "silent.mp4", "missing.mp3"}) {
        const SPulledRun run = decodeFile(name);
        EXPECT_EQ(run.readyState, E_CODECJOB_OPEN_FAILED) << name;
        EXPECT_TRUE(run.bytes.empty()) << name;
    }
}

TEST_F(WindowsMediaDecoder, TruncatedFilesEndWithWhatTheyHold) {
    std::vector<std::pair<const char*, const char*>> cases;
    if (m_media.hasLame) cases.emplace_back("stereo44.mp3", "cut.mp3");
    if (m_media.hasWma) cases.emplace_back("stereo44.wma", "cut.wma");
    if (cases.empty()) GTEST_SKIP() << "ffmpeg has neither libmp3lame nor wmav2";
    for (const auto& [whole, cut] : cases) {
        const std::vector<u8> bytes = readFileBytes(m_media.file(whole));
        writeFileBytes(m_media.file(cut), firstBytes(bytes, bytes.size() * 2 / 5));
        const SPulledRun run = decodeFile(cut);
        EXPECT_TRUE(run.finalState == E_CODECJOB_FINISHED || run.finalState == E_CODECJOB_DECODE_FAILED) << cut;
        const u64 frames = run.bytes.size() / 4;
        EXPECT_GT(frames, 0u) << cut;
        EXPECT_LT(frames, m_media.stereo.size() / 2 * 3 / 5) << cut;
    }
}

}  // namespace
