// The media decoder in its two registrations: each delivers its own sample form through its own
// ring and reports exactly the length it then decodes; a file it cannot open fails the job with
// the reason in the audio log. What the reader measures and decodes is tested with the reader.
#include "audio/decode/decoder_media.h"

#include "audio/analysis/spectral_cache.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/decode/codec_registry.h"
#include "audio/decode/decode_thread.h"
#include "core/crit_section_pool.h"
#include "core/file_layer.h"
#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace decoder_test;

namespace {

class MediaDecoder : public ::testing::Test {
protected:
    const SMediaFixtures& m_media = mediaFixtures();
};

struct SRegistrationCase {
    CodecFactoryFn factory;
    const char* file;  // the mono chirps, longer than either ring
    u32 bytesPerSample;
    u32 sampleFormat;
    u32 bufferCount;
    ECodecSoundFormat soundFormat;
    u32 decodeBufferFrames;
};

const SRegistrationCase kWindowsMedia = {createCodecStreamInstanceWindowsMedia, "mono48 ñandú 曲.mp3", 2,
                                         E_CODECSAMPLEFORMAT_INTEGER, 64, E_CODECSOUNDFORMAT_PCM16,
                                         MEDIA_AUDIO_BUFFER_FRAMES / 2};
const SRegistrationCase kQuickTime = {createCodecStreamInstanceQuickTime, "mono48 ñandú 曲.aac", 4,
                                      E_CODECSAMPLEFORMAT_FLOAT, 32, E_CODECSOUNDFORMAT_PCMFLOAT,
                                      32 * MEDIA_AUDIO_BUFFER_FRAMES / 2};

TEST_F(MediaDecoder, EachRegistrationDecodesItsFormToTheReportedLength) {
    if (!m_media.hasLame) GTEST_SKIP() << "ffmpeg has no libmp3lame encoder";
    for (const SRegistrationCase& c : {kWindowsMedia, kQuickTime}) {
        const SDecodeRun run = pullJob(c.factory, m_media.file(c.file), MEDIA_PULL);
        expectLossyMatch(c.file, run, m_media.mono, 1, 48000, c.bytesPerSample, c.sampleFormat);
        // No buffer is padded: the decode ends where the reported length does.
        EXPECT_EQ(run.bytes.size(), run.info.totalBytes) << c.file;
    }
}

// The first fill fills the whole ring; a buffer the stream has read is filled again.
TEST_F(MediaDecoder, RingFillsWholeAndAFreedBufferIsRefilled) {
    if (!m_media.hasLame) GTEST_SKIP() << "ffmpeg has no libmp3lame encoder";
    critSectionPoolInit();
    for (const SRegistrationCase& c : {kWindowsMedia, kQuickTime}) {
        SCOPED_TRACE(c.file);
        auto* job = static_cast<ClCodecStreamInstance_Media*>(openJob(c.factory, m_media.file(c.file)));
        ASSERT_EQ(stepJobUntil(job, E_CODECJOB_READY), E_CODECJOB_READY);
        SCodecRing& ring = job->m_ring;
        ASSERT_EQ(ring.bufferCount, c.bufferCount);
        EXPECT_EQ(std::vector<u32>(ring.states, ring.states + ring.bufferCount),
                  std::vector<u32>(ring.bufferCount, E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE));
        EXPECT_EQ(std::vector<u32>(ring.byteCounts, ring.byteCounts + ring.bufferCount),
                  std::vector<u32>(ring.bufferCount, ring.bytesPerBuffer));
        EXPECT_EQ(job->canDecodeMoreData(), 0);

        SCodecCreateSoundExInfo sound = {};
        ASSERT_EQ(job->fillCreateSoundExInfo(&sound), 1);
        EXPECT_EQ(std::tuple(sound.format, sound.numChannels, sound.defaultFrequency, sound.decodeBufferSize),
                  std::tuple(c.soundFormat, 1u, 48000u, c.decodeBufferFrames));

        std::vector<u8> data(ring.bytesPerBuffer);
        job->handleFMODReadCallback(data.data(), u32(data.size()));
        EXPECT_EQ(ring.states[0], u32(E_CODECBS_FREE));
        EXPECT_EQ(job->canDecodeMoreData(), 1);
        EXPECT_EQ(job->continueDecoding(), 1);
        EXPECT_EQ(ring.states[0], u32(E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE));
        EXPECT_EQ(ring.writeIndex, 1u);
        destroyJob(job);
    }
}

TEST_F(MediaDecoder, FileThatCannotBeOpenedFailsTheJobWithItsReasonLogged) {
    const ClTempFolder folder;
    ClAudioLogCapture capture(folder);
    for (const char* name : {"missing.m4a", "silent.mp4"}) {
        EXPECT_EQ(pullJob(createCodecStreamInstanceQuickTime, m_media.file(name), MEDIA_PULL).readyState,
                  E_CODECJOB_OPEN_FAILED) << name;
    }
    const std::string log = capture.finish();
    EXPECT_NE(log.find("QuickTime decoder: cannot open [" + m_media.file("missing.m4a") + "]: file not found"),
              std::string::npos) << log;
    EXPECT_NE(log.find("[" + m_media.file("silent.mp4") + "]: no audio stream found"), std::string::npos) << log;
}

// End to end through the registry and the analysis: a 92 s ADTS file whose bit rate drops after
// its first seconds, so that a length estimated from the bit rate would be about 55 s, is
// analysed as the 92 s it holds.
TEST_F(MediaDecoder, AdtsSongIsAnalysedAtTheLengthItHolds) {
    ClTempUserFolder user;
    const std::string song = user.file("song.aac");
    ASSERT_TRUE(runFfmpeg("-f lavfi -i \"aevalsrc='if(lt(t,8),0.8*(random(0)-0.5),0.3*sin(2*PI*440*t))':s=44100:d=92\" "
                          "-c:a aac -q:a 1 -f adts " + quoted(song)));
    fileLayerInit();
    ASSERT_TRUE(startSingleFamilyRegistry(createCodecStreamInstanceQuickTime, ".aac", E_CODECFORMAT_AAC));
    const std::u16string path = widePath(song);
    SSongIdentity identity;
    songIdentityFromPath(path.c_str(), &identity);
    resetSpectrumAnalysis();
    s32 result = -1;
    EXPECT_EQ(analyseSongSpectrum(path.c_str(), identity, &result, 0, 1), 1);
    EXPECT_EQ(result, E_SPECTRUM_RESULT_NONE);
    EXPECT_NEAR(g_SpectrumAnalysis.header.duration, 92.0, 0.1);
    resetSpectrumAnalysis();
    shutdownCodecRegistry();
    resetDecodeThreadInterval();
}

}  // namespace
