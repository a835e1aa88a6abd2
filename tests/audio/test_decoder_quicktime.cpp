#include "audio/decoder_quicktime.h"

#include "audio/codec_registry.h"
#include "audio/decoder_windows_media.h"

#include "core/crit_section_pool.h"
#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

using namespace decoder_test;

namespace {

constexpr u32 kRate44 = 44100;
constexpr u32 kRate48 = 48000;
// AAC's 1,024 priming frames stay in ADTS streams, and every stream ends on a whole frame.
constexpr s64 kLengthToleranceFrames = 2048;
// The total reported at open comes from the container's duration, which counts priming and
// padding, or the longest stream of a video file.
constexpr f64 kEstimateToleranceSeconds = 0.15;
constexpr u32 kSliceBytesStereo = QUICKTIME_SLICE_FRAMES * 2 * sizeof(f32);

class QuickTimeDecoder : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = new ClTempFolder();
        s_stereo = makeChirps(2 * kRate44, 2, kRate44);
        s_mono = makeChirps(3 * kRate48 / 2, 1, kRate48);
        // Longer than the 32 slices hold, so the first fill leaves the end unread.
        const std::vector<f32> square = makeFullScaleSquare(7 * kRate44 / 2, 2, kRate44);
        writeWavFile(s_folder->file("stereo44.wav"), 2, kRate44, 16, quantise16(s_stereo));
        writeWavFile(s_folder->file("mono48.wav"), 1, kRate48, 16, quantise16(s_mono));
        writeWavFile(s_folder->file("square.wav"), 2, kRate44, 16, quantise16(square));
        const std::string stereoWav = quoted(s_folder->file("stereo44.wav"));
        runFfmpeg("-i " + stereoWav + " -c:a aac -b:a 160k " + quoted(s_folder->file("stereo44.m4a")));
        runFfmpeg("-i " + stereoWav + " -c:a aac -b:a 160k -movflags +faststart " +
                  quoted(s_folder->file("faststart.m4a")));
        runFfmpeg("-i " + quoted(s_folder->file("mono48.wav")) + " -c:a aac -b:a 96k -f adts " +
                  quoted(s_folder->file("mono48 ñandú 曲.aac")));
        runFfmpeg("-i " + quoted(s_folder->file("square.wav")) + " -c:a aac -b:a 128k " +
                  quoted(s_folder->file("square.m4a")));
        s_hasLame = hasFfmpegEncoder("libmp3lame");
        if (s_hasLame) {
            runFfmpeg("-i " + stereoWav + " -c:a libmp3lame -b:a 192k " + quoted(s_folder->file("stereo44.mp3")));
        }
    }
    static void TearDownTestSuite() {
        delete s_folder;
        s_folder = nullptr;
    }

    static SPulledRun decodeFile(const char* name) {
        return pullJob(createCodecStreamInstanceQuickTime, s_folder->file(name), MEDIA_PULL);
    }

    static void expectMatchesSource(const SPulledRun& run, const std::vector<f32>& source, u32 channels, u32 rate) {
        ASSERT_EQ(run.finalState, E_CODECJOB_FINISHED);
        ASSERT_EQ(run.infoResult, 1);
        EXPECT_EQ(run.info.channels, channels);
        EXPECT_EQ(run.info.sampleRate, f32(rate));
        EXPECT_EQ(run.info.bytesPerSample, 4u);
        EXPECT_EQ(run.info.sampleFormat, u32(E_CODECSAMPLEFORMAT_FLOAT));
        const s64 sourceFrames = s64(source.size() / channels);
        EXPECT_NEAR(f64(run.info.totalBytes / (4 * channels)), f64(sourceFrames), kEstimateToleranceSeconds * rate);

        const std::vector<f32> decoded = floatsOf(run.bytes);
        EXPECT_NEAR(f64(decoded.size() / channels), f64(sourceFrames), f64(kLengthToleranceFrames));
        for (u32 channel = 0; channel < channels; ++channel) {
            s32 lag = 0;
            EXPECT_GT(channelCorrelation(decoded, source, channels, channel, 2048, &lag), 0.95)
                << "channel " << channel;
        }
    }

    static ClTempFolder* s_folder;
    static std::vector<f32> s_stereo;
    static std::vector<f32> s_mono;
    static bool s_hasLame;
};

ClTempFolder* QuickTimeDecoder::s_folder = nullptr;
std::vector<f32> QuickTimeDecoder::s_stereo;
std::vector<f32> QuickTimeDecoder::s_mono;
bool QuickTimeDecoder::s_hasLame = false;

// ---------------------------------------------------------------------------------------------
// Decodes of good files

TEST_F(QuickTimeDecoder, StereoM4aMatchesItsSource) {
    expectMatchesSource(decodeFile("stereo44.m4a"), s_stereo, 2, kRate44);
}

TEST_F(QuickTimeDecoder, MonoAdtsAacWithNonAsciiNameMatchesItsSource) {
    expectMatchesSource(decodeFile("mono48 ñandú 曲.aac"), s_mono, 1, kRate48);
}

TEST_F(QuickTimeDecoder, FullScaleOvershootIsClampedToUnitRange) {
    const SPulledRun run = decodeFile("square.m4a");
    ASSERT_EQ(run.finalState, E_CODECJOB_FINISHED);
    const std::vector<f32> decoded = floatsOf(run.bytes);
    ASSERT_FALSE(decoded.empty());
    const auto [low, high] = std::minmax_element(decoded.begin(), decoded.end());
    EXPECT_GE(*low, -1.0f);
    EXPECT_LE(*high, 1.0f);
    EXPECT_EQ(*high, 1.0f);
}

// ---------------------------------------------------------------------------------------------
// Registry order

s32 cannotStart() { return 0; }

TEST_F(QuickTimeDecoder, RegistryOpensMp3WithQuickTimeOnlyWhenWindowsMediaCannotStart) {
    if (!s_hasLame) GTEST_SKIP() << "ffmpeg has no libmp3lame encoder";
    const std::u16string path = widePath(s_folder->file("stereo44.mp3"));
    critSectionPoolInit();
    for (const bool windowsMediaStarts : {true, false}) {
        SCOPED_TRACE(windowsMediaStarts ? "Windows Media starts" : "Windows Media cannot start");
        initCodecRegistry();
        SCodecRecord record;
        initCodecRecord(&record, windowsMediaStarts ? codecThreadInitWindowsMedia : cannotStart,
                        codecThreadExitWindowsMedia, createCodecStreamInstanceWindowsMedia);
        addCodecRecordExtension(&record, ".mp3", E_CODECFORMAT_MP3);
        addCodecRecordExtension(&record, ".wma", E_CODECFORMAT_WMA);
        registerCodec(record);
        initCodecRecord(&record, codecThreadInitQuickTime, codecThreadExitQuickTime,
                        createCodecStreamInstanceQuickTime);
        addCodecRecordExtension(&record, ".mp3", E_CODECFORMAT_MP3);
        addCodecRecordExtension(&record, ".m4a", E_CODECFORMAT_M4A);
        addCodecRecordExtension(&record, ".aac", E_CODECFORMAT_AAC);
        registerCodec(record);
        ASSERT_EQ(stepCodecManager(), 1);

        s32 format = E_CODECFORMAT_NONE;
        EXPECT_EQ(findCodecFormatForPath(path.c_str(), &format), 1);
        EXPECT_EQ(format, E_CODECFORMAT_MP3);
        ClCodecStreamInstance* job = openCodecJob(format, path.c_str());
        ASSERT_NE(job, nullptr);
        EXPECT_EQ(dynamic_cast<ClCodecStreamInstance_WindowsMedia*>(job) != nullptr, windowsMediaStarts);
        EXPECT_EQ(dynamic_cast<ClCodecStreamInstance_QuickTime*>(job) != nullptr, !windowsMediaStarts);
        for (u32 pass = 0; pass < DECODE_STEP_LIMIT && getCodecJobState(job) < E_CODECJOB_READY; ++pass) {
            stepCodecManager();
        }
        EXPECT_EQ(getCodecJobState(job), E_CODECJOB_READY);
        SCommonCodecInfo info = {};
        EXPECT_EQ(job->getCommonCodecInfo(&info), 1);
        EXPECT_EQ(info.sampleFormat, u32(windowsMediaStarts ? E_CODECSAMPLEFORMAT_INTEGER : E_CODECSAMPLEFORMAT_FLOAT));
        releaseCodecJob(job);
        shutdownCodecRegistry();
        EXPECT_EQ(getLiveCodecJobCount(), 0u);
    }
}

// ---------------------------------------------------------------------------------------------
// Slices

TEST_F(QuickTimeDecoder, SlicesCycleFromReadyToFreeAndBack) {
    auto* job = static_cast<ClCodecStreamInstance_QuickTime*>(createCodecStreamInstanceQuickTime());
    critSectionPoolInit();
    ASSERT_EQ(initCodecJob(job, 0, widePath(s_folder->file("square.m4a")).c_str()), 1);
    ASSERT_EQ(stepJobUntil(job, E_CODECJOB_READY), E_CODECJOB_READY);
    for (u32 i = 0; i < QUICKTIME_SLICE_COUNT; ++i) {
        EXPECT_EQ(job->getSliceFlags(i), u32(kScheduledAudioSliceFlag_BeganToRender)) << "slice " << i;
    }
    EXPECT_EQ(job->isDecodingFinished(), 0);
    EXPECT_EQ(job->canDecodeMoreData(), 0);

    SCodecCreateSoundExInfo sound = {};
    ASSERT_EQ(job->fillCreateSoundExInfo(&sound), 1);
    EXPECT_EQ(sound.format, E_CODECSOUNDFORMAT_PCMFLOAT);
    EXPECT_EQ(sound.decodeBufferSize, QUICKTIME_SLICE_COUNT * QUICKTIME_SLICE_FRAMES / 2);
    EXPECT_EQ(sound.numChannels, 2u);
    EXPECT_EQ(sound.defaultFrequency, kRate44);

    // Half a slice leaves it ready; the other half frees it and moves the read on.
    std::vector<u8> data(kSliceBytesStereo / 2);
    job->handleFMODReadCallback(data.data(), u32(data.size()));
    EXPECT_EQ(job->getSliceFlags(0), u32(kScheduledAudioSliceFlag_BeganToRender));
    EXPECT_EQ(job->getReadIndex(), 0u);
    job->handleFMODReadCallback(data.data(), u32(data.size()));
    EXPECT_EQ(job->getSliceFlags(0), u32(E_SLICEFLAG_COMPLETE));
    EXPECT_EQ(job->getSliceFlags(1), u32(kScheduledAudioSliceFlag_BeganToRender));
    EXPECT_EQ(job->getReadIndex(), 1u);

    EXPECT_EQ(job->canDecodeMoreData(), 1);
    EXPECT_EQ(job->continueDecoding(), 1);
    EXPECT_EQ(job->getSliceFlags(0), u32(kScheduledAudioSliceFlag_BeganToRender));
    EXPECT_EQ(job->getReadIndex(), 1u);

    // Draining the rest through the stream reaches the end of the movie, and reads past what was
    // decoded are silent.
    std::vector<u8> slice(kSliceBytesStereo);
    for (u32 step = 0; step < 4 * QUICKTIME_SLICE_COUNT && !job->isDecodingFinished(); ++step) {
        job->handleFMODReadCallback(slice.data(), u32(slice.size()));
        ASSERT_EQ(job->continueDecoding(), 1);
    }
    EXPECT_EQ(job->isDecodingFinished(), 1);
    for (u32 step = 0; step < QUICKTIME_SLICE_COUNT + 1; ++step) {
        job->handleFMODReadCallback(slice.data(), u32(slice.size()));
    }
    EXPECT_TRUE(std::all_of(slice.begin(), slice.end(), [](u8 byte) { return byte == 0; }));
    shutdownCodecJob(job);
    delete job;
}

// ---------------------------------------------------------------------------------------------
// Damaged and wrong files

TEST_F(QuickTimeDecoder, FilesWithoutUsableAudioFailToOpen) {
    writeFileBytes(s_folder->file("empty.m4a"), {});
    writeFileBytes(s_folder->file("words.aac"), plainTextBytes());
    const std::vector<u8> whole = readFileBytes(s_folder->file("stereo44.m4a"));
    // Without faststart the movie's index is at the end, so the cut loses it.
    writeFileBytes(s_folder->file("no index.m4a"), firstBytes(whole, whole.size() / 2));
    runFfmpeg("-f lavfi -i testsrc=size=64x48:rate=10:duration=1 -c:v mpeg4 " + quoted(s_folder->file("silent.mp4")));

    for (const char* name : {"empty.m4a", "words.aac", "no index.m4a", "silent.mp4", "missing.m4a"}) {
        const SPulledRun run = decodeFile(name);
        EXPECT_EQ(run.readyState, E_CODECJOB_OPEN_FAILED) << name;
        EXPECT_TRUE(run.bytes.empty()) << name;
    }

    testing::internal::CaptureStdout();
    decodeFile("missing.m4a");
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("loadMovieFromFile() -> File with path ["), std::string::npos) << printed;
    EXPECT_NE(printed.find("missing.m4a] not found!"), std::string::npos) << printed;
}

TEST_F(QuickTimeDecoder, TruncatedFilesEndWithWhatTheyHold) {
    const std::vector<u8> faststart = readFileBytes(s_folder->file("faststart.m4a"));
    writeFileBytes(s_folder->file("cut.m4a"), firstBytes(faststart, faststart.size() * 2 / 5));
    const std::vector<u8> adts = readFileBytes(s_folder->file("mono48 ñandú 曲.aac"));
    writeFileBytes(s_folder->file("cut.aac"), firstBytes(adts, adts.size() * 2 / 5));

    for (const auto& [name, channels, sourceFrames] :
         {std::tuple("cut.m4a", 2u, s_stereo.size() / 2), std::tuple("cut.aac", 1u, s_mono.size())}) {
        const SPulledRun run = decodeFile(name);
        EXPECT_TRUE(run.finalState == E_CODECJOB_FINISHED || run.finalState == E_CODECJOB_DECODE_FAILED) << name;
        const u64 frames = run.bytes.size() / (4 * channels);
        EXPECT_GT(frames, 0u) << name;
        EXPECT_LT(frames, sourceFrames * 3 / 5) << name;
    }
}

}  // namespace
