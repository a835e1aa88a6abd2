// The media decoder in its two registrations: each delivers its own sample form through its own
// ring and reports exactly the length it then decodes; a file it cannot open fails the job with
// the reason in the audio log. What the reader measures and decodes is tested with the reader.
#include "audio/decode/decoder_media.h"

#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace decoder_test;

namespace {

// The media families decode a whole buffer per pass and are read in large chunks. They are not
// asked for the stream's creation info, which binds their ring to a stream.
constexpr SPullOptions MEDIA_PULL = {65536, false, DECODE_STEP_LIMIT, 1000};

// Decoded bytes read back as native floats.
std::vector<f32> floatsOf(const std::vector<u8>& bytes) {
    std::vector<f32> out(bytes.size() / 4);
    if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * 4);
    return out;
}

// A mono chirp at 48 kHz as WAV and, under names that are not ASCII, as ADTS AAC and (where ffmpeg
// has libmp3lame) MP3, encoded once for the suite: longer than the 64 buffers of the larger ring,
// ending 100 frames into its last buffer.
class MediaDecoder : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        g_folder = new ClTempFolder;
        const u32 frames = 70 * MEDIA_AUDIO_BUFFER_FRAMES + 100;
        g_mono.resize(frames);
        for (u32 i = 0; i < frames; ++i) {
            const f64 t = i / 48000.0;
            g_mono[i] = f32(0.5 * std::sin(2.0 * M_PI * (220.0 * t + 1540.0 * t * t * 48000.0 / (2.0 * frames))));
        }
        writeWavFile(file("mono48.wav"), 1, 48000, 16, quantise16(g_mono));
        const std::string ffmpeg = "ffmpeg -nostdin -y -i " + quoted(file("mono48.wav"));
        runTool(ffmpeg + " -c:a aac -b:a 96k -f adts " + quoted(file("mono48 ñandú 曲.aac")));
        g_hasLame = runTool(ffmpeg + " -c:a libmp3lame -b:a 128k " + quoted(file("mono48 ñandú 曲.mp3")));
    }
    static void TearDownTestSuite() { delete g_folder; }
    static std::string file(const std::string& name) { return g_folder->file(name); }

    static inline ClTempFolder* g_folder = nullptr;
    static inline std::vector<f32> g_mono;
    static inline bool g_hasLame = false;
};

struct SRegistrationCase {
    CodecFactoryFn factory;
    const char* file;
    u32 bytesPerSample, sampleFormat, bufferCount;
    ECodecSoundFormat soundFormat;
    u32 decodeBufferFrames;
};

// Each registration pulled whole delivers its own sample form at the reported length (no buffer is
// padded), closely like the source (its length is the reader's to test). Stepped, the first fill
// fills every buffer of its ring whole; the ring's reads and refills are the ring's own to test.
TEST_F(MediaDecoder, EachRegistrationDecodesItsFormThroughItsRing) {
    if (!g_hasLame) GTEST_SKIP() << "ffmpeg has no libmp3lame encoder";
    for (const SRegistrationCase& c : {SRegistrationCase{createCodecStreamInstanceWindowsMedia, "mono48 ñandú 曲.mp3", 2,
                                                         E_CODECSAMPLEFORMAT_INTEGER, 64, E_CODECSOUNDFORMAT_PCM16,
                                                         MEDIA_AUDIO_BUFFER_FRAMES / 2},
                                       SRegistrationCase{createCodecStreamInstanceQuickTime, "mono48 ñandú 曲.aac", 4,
                                                         E_CODECSAMPLEFORMAT_FLOAT, 32, E_CODECSOUNDFORMAT_PCMFLOAT,
                                                         32 * MEDIA_AUDIO_BUFFER_FRAMES / 2}}) {
        SCOPED_TRACE(c.file);
        const SDecodeRun run = pullJob(c.factory, file(c.file), MEDIA_PULL);
        ASSERT_EQ(run.state, E_CODECJOB_FINISHED);
        ASSERT_EQ(run.infoResult, 1);
        EXPECT_EQ(run.info.channels, 1u);
        EXPECT_EQ(run.info.sampleRate, 48000.0f);
        EXPECT_EQ(run.info.bytesPerSample, c.bytesPerSample);
        EXPECT_EQ(run.info.sampleFormat, c.sampleFormat);
        EXPECT_EQ(run.bytes.size(), run.info.totalBytes);
        EXPECT_EQ(run.info.durationMs, run.info.totalBytes / c.bytesPerSample / 48);
        const std::vector<f32> decoded = c.bytesPerSample == 2 ? pcm16Floats(run.bytes) : floatsOf(run.bytes);
        EXPECT_GT(channelCorrelation(decoded, g_mono, 1, 0, 2048), 0.95);

        auto* job = static_cast<ClCodecStreamInstance_Media*>(openJob(c.factory, file(c.file)));
        ASSERT_EQ(stepJobUntil(job, E_CODECJOB_READY), E_CODECJOB_READY);
        SCodecRing& ring = job->m_ring;
        ASSERT_EQ(ring.bufferCount, c.bufferCount);
        EXPECT_EQ(std::vector<u32>(ring.byteCounts, ring.byteCounts + ring.bufferCount),
                  std::vector<u32>(ring.bufferCount, ring.bytesPerBuffer));
        EXPECT_EQ(job->canDecodeMoreData(), 0);
        SCodecCreateSoundExInfo sound = {};
        ASSERT_EQ(job->fillCreateSoundExInfo(&sound), 1);
        EXPECT_EQ(sound.format, c.soundFormat);
        EXPECT_EQ(sound.numChannels, 1u);
        EXPECT_EQ(sound.defaultFrequency, 48000u);
        EXPECT_EQ(sound.decodeBufferSize, c.decodeBufferFrames);
        destroyJob(job);
    }
}

// Which files the reader refuses is tested with the reader; the job fails and logs the reason.
TEST_F(MediaDecoder, FileThatCannotBeOpenedFailsTheJobWithItsReasonLogged) {
    const ClTempFolder folder;
    ClAudioLogCapture capture(folder.str());
    EXPECT_EQ(pullJob(createCodecStreamInstanceQuickTime, file("missing.m4a"), MEDIA_PULL).state,
              E_CODECJOB_OPEN_FAILED);
    const std::string log = capture.finish();
    EXPECT_NE(log.find("QuickTime decoder: cannot open [" + file("missing.m4a") + "]: file not found"),
              std::string::npos) << log;
}

}  // namespace
