#include "audio/decoder_windows_media.h"

#include "audio/codec_registry.h"

#include "core/crit_section_pool.h"
#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using namespace decoder_test;

namespace {

constexpr u32 kRate44 = 44100;
constexpr u32 kRate48 = 48000;
// The encoders' priming and padding, and FFmpeg's trimming of them, move the length by less.
constexpr s64 kLengthToleranceFrames = 2048;
// The total reported at open comes from the container's duration, which counts priming and
// padding, or the longest stream of a video file.
constexpr f64 kEstimateToleranceSeconds = 0.15;
// Longer than the 64 buffers hold, and ending 100 frames into its last buffer, so most of that
// buffer is padding.
constexpr u32 kMonoFrames = 70 * MEDIA_AUDIO_BUFFER_FRAMES + 100;

class WindowsMediaDecoder : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = new ClTempFolder();
        s_stereo = makeChirps(2 * kRate44, 2, kRate44);
        s_mono = makeChirps(kMonoFrames, 1, kRate48);
        writeWavFile(s_folder->file("stereo44.wav"), 2, kRate44, 16, quantise16(s_stereo));
        writeWavFile(s_folder->file("mono48.wav"), 1, kRate48, 16, quantise16(s_mono));
        s_hasLame = hasFfmpegEncoder("libmp3lame");
        s_hasWma = hasFfmpegEncoder("wmav2");
        if (s_hasLame) {
            runFfmpeg("-i " + quoted(s_folder->file("stereo44.wav")) + " -c:a libmp3lame -b:a 192k " +
                      quoted(s_folder->file("stereo44.mp3")));
            runFfmpeg("-i " + quoted(s_folder->file("mono48.wav")) + " -c:a libmp3lame -b:a 128k " +
                      quoted(s_folder->file("mono48 ñandú 曲.mp3")));
            runFfmpeg("-f lavfi -i testsrc=size=64x48:rate=10:duration=2 -i " + quoted(s_folder->file("stereo44.wav")) +
                      " -map 0:v -map 1:a -c:v mpeg4 -c:a libmp3lame -b:a 192k -shortest " +
                      quoted(s_folder->file("clip.avi")));
        }
        if (s_hasWma) {
            runFfmpeg("-i " + quoted(s_folder->file("stereo44.wav")) + " -c:a wmav2 -b:a 128k " +
                      quoted(s_folder->file("stereo44.wma")));
        }
    }
    static void TearDownTestSuite() {
        delete s_folder;
        s_folder = nullptr;
    }

    static SPulledRun decodeFile(const char* name) {
        return pullJob(createCodecStreamInstanceWindowsMedia, s_folder->file(name), MEDIA_PULL);
    }

    static void expectMatchesSource(const SPulledRun& run, const std::vector<f32>& source, u32 channels, u32 rate) {
        ASSERT_EQ(run.finalState, E_CODECJOB_FINISHED);
        ASSERT_EQ(run.infoResult, 1);
        EXPECT_EQ(run.info.channels, channels);
        EXPECT_EQ(run.info.sampleRate, f32(rate));
        EXPECT_EQ(run.info.bytesPerSample, 2u);
        EXPECT_EQ(run.info.sampleFormat, u32(E_CODECSAMPLEFORMAT_INTEGER));
        const s64 sourceFrames = s64(source.size() / channels);
        EXPECT_NEAR(f64(run.info.totalBytes / (2 * channels)), f64(sourceFrames), kEstimateToleranceSeconds * rate);

        // The end of the file is padded to a whole buffer, so the decode may run on by up to one
        // buffer of silence.
        const std::vector<f32> decoded = pcm16Floats(run.bytes);
        const s64 decodedFrames = s64(decoded.size() / channels);
        EXPECT_GE(decodedFrames, sourceFrames - kLengthToleranceFrames);
        EXPECT_LE(decodedFrames, sourceFrames + kLengthToleranceFrames + s64(MEDIA_AUDIO_BUFFER_FRAMES));
        for (u32 channel = 0; channel < channels; ++channel) {
            s32 lag = 0;
            EXPECT_GT(channelCorrelation(decoded, source, channels, channel, 2048, &lag), 0.95)
                << "channel " << channel;
            EXPECT_LE(std::abs(lag), 2048);
        }
    }

    static ClTempFolder* s_folder;
    static std::vector<f32> s_stereo;
    static std::vector<f32> s_mono;
    static bool s_hasLame;
    static bool s_hasWma;
};

ClTempFolder* WindowsMediaDecoder::s_folder = nullptr;
std::vector<f32> WindowsMediaDecoder::s_stereo;
std::vector<f32> WindowsMediaDecoder::s_mono;
bool WindowsMediaDecoder::s_hasLame = false;
bool WindowsMediaDecoder::s_hasWma = false;

// ---------------------------------------------------------------------------------------------
// Decodes of good files

TEST_F(WindowsMediaDecoder, StereoMp3MatchesItsSource) {
    if (!s_hasLame) GTEST_SKIP() << "ffmpeg has no libmp3lame encoder";
    expectMatchesSource(decodeFile("stereo44.mp3"), s_stereo, 2, kRate44);
}

TEST_F(WindowsMediaDecoder, MonoMp3WithNonAsciiNameMatchesItsSource) {
    if (!s_hasLame) GTEST_SKIP() << "ffmpeg has no libmp3lame encoder";
    expectMatchesSource(decodeFile("mono48 ñandú 曲.mp3"), s_mono, 1, kRate48);
}

TEST_F(WindowsMediaDecoder, StereoWmaMatchesItsSource) {
    if (!s_hasWma) GTEST_SKIP() << "ffmpeg has no wmav2 encoder";
    expectMatchesSource(decodeFile("stereo44.wma"), s_stereo, 2, kRate44);
}

TEST_F(WindowsMediaDecoder, VideoFileDecodesItsAudio) {
    if (!s_hasLame) GTEST_SKIP() << "ffmpeg has no libmp3lame encoder";
    expectMatchesSource(decodeFile("clip.avi"), s_stereo, 2, kRate44);
}

// ---------------------------------------------------------------------------------------------
// Buffers

TEST_F(WindowsMediaDecoder, FirstFillFillsAllSixtyFourBuffersAndAFreedBufferIsRefilled) {
    if (!s_hasLame) GTEST_SKIP() << "ffmpeg has no libmp3lame encoder";
    auto* job = static_cast<ClCodecStreamInstance_WindowsMedia*>(createCodecStreamInstanceWindowsMedia());
    critSectionPoolInit();
    ASSERT_EQ(initCodecJob(job, 0, widePath(s_folder->file("mono48 ñandú 曲.mp3")).c_str()), 1);
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
    EXPECT_EQ(sound.defaultFrequency, kRate48);
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
    if (!s_hasLame) GTEST_SKIP() << "ffmpeg has no libmp3lame encoder";
    const SPulledRun run = decodeFile("mono48 ñandú 曲.mp3");
    ASSERT_EQ(run.finalState, E_CODECJOB_FINISHED);
    const size_t bufferBytes = MEDIA_AUDIO_BUFFER_FRAMES * 2;
    EXPECT_EQ(run.bytes.size() % bufferBytes, 0u);
    // The source ends early in the last buffer; everything after it is silence.
    const size_t silentFrom = size_t(kMonoFrames + kLengthToleranceFrames) * 2;
    ASSERT_LT(silentFrom, run.bytes.size());
    EXPECT_TRUE(std::all_of(run.bytes.begin() + s64(silentFrom), run.bytes.end(), [](u8 byte) { return byte == 0; }));
}

// ---------------------------------------------------------------------------------------------
// Damaged and wrong files

TEST_F(WindowsMediaDecoder, FilesWithoutUsableAudioFailToOpen) {
    writeFileBytes(s_folder->file("empty.mp3"), {});
    writeFileBytes(s_folder->file("words.mp3"), plainTextBytes());
    std::vector<u8> noise(40000);
    u32 seed = 12345;
    for (u8& byte : noise) {
        seed = seed * 1664525u + 1013904223u;
        byte = u8(seed >> 24);
    }
    writeFileBytes(s_folder->file("noise.wma"), noise);
    runFfmpeg("-f lavfi -i testsrc=size=64x48:rate=10:duration=1 -c:v mpeg4 " + quoted(s_folder->file("silent.avi")));

    for (const char* name : {"empty.mp3", "words.mp3", "noise.wma", "silent.avi", "missing.mp3"}) {
        const SPulledRun run = decodeFile(name);
        EXPECT_EQ(run.readyState, E_CODECJOB_OPEN_FAILED) << name;
        EXPECT_TRUE(run.bytes.empty()) << name;
    }
}

TEST_F(WindowsMediaDecoder, TruncatedFilesEndWithWhatTheyHold) {
    std::vector<std::pair<const char*, const char*>> cases;
    if (s_hasLame) cases.emplace_back("stereo44.mp3", "cut.mp3");
    if (s_hasWma) cases.emplace_back("stereo44.wma", "cut.wma");
    if (cases.empty()) GTEST_SKIP() << "ffmpeg has neither libmp3lame nor wmav2";
    for (const auto& [whole, cut] : cases) {
        const std::vector<u8> bytes = readFileBytes(s_folder->file(whole));
        writeFileBytes(s_folder->file(cut), firstBytes(bytes, bytes.size() * 2 / 5));
        const SPulledRun run = decodeFile(cut);
        EXPECT_TRUE(run.finalState == E_CODECJOB_FINISHED || run.finalState == E_CODECJOB_DECODE_FAILED) << cut;
        const u64 frames = run.bytes.size() / 4;
        EXPECT_GT(frames, 0u) << cut;
        EXPECT_LT(frames, s_stereo.size() / 2 * 3 / 5) << cut;
    }
}

}  // namespace
