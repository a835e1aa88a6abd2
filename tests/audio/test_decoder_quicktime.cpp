#include "audio/decode/decoder_quicktime.h"

#include "audio/decode/codec_registry.h"
#include "audio/decode/decoder_windows_media.h"

#include "core/crit_section_pool.h"
#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

using namespace decoder_test;

namespace {

constexpr u32 kSliceBytesStereo = QUICKTIME_SLICE_FRAMES * 2 * sizeof(f32);

class QuickTimeDecoder : public ::testing::Test {
protected:
    const SMediaFixtures& m_media = mediaFixtures();

    SPulledRun decodeFile(const char* name) const {
        return pullJob(createCodecStreamInstanceQuickTime, m_media.file(name), MEDIA_PULL);
    }
};

// ---------------------------------------------------------------------------------------------
// Decodes of good files

// AAC's 1,024 priming frames stay in ADTS streams, and every stream ends on a whole frame.
TEST_F(QuickTimeDecoder, StereoM4aAndMonoAdtsAacWithNonAsciiNameMatchTheirSources) {
    for (const auto& [name, source, channels, rate] : {std::tuple("stereo44.m4a", &m_media.stereo, 2u, 44100u),
                                                       std::tuple("mono48 ñandú 曲.aac", &m_media.mono, 1u, 48000u)}) {
        expectLossyMatch(name, decodeFile(name), *source, channels, rate, 4, E_CODECSAMPLEFORMAT_FLOAT);
    }
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
    if (!m_media.hasLame) GTEST_SKIP() << "ffmpeg has no libmp3lame encoder";
    const std::u16string path = widePath(m_media.file("stereo44.mp3"));
    critSectionPoolInit();
    for (const bool windowsMediaStarts : {true, false}) {
        SCOPED_TRACE(windowsMediaStarts ? "Windows Media starts" : "Windows Media cannot start");
        initCodecRegistry();
        registerCodecFamily(windowsMediaStarts ? codecThreadInitWindowsMedia : cannotStart,
                            codecThreadExitWindowsMedia, createCodecStreamInstanceWindowsMedia,
                            {{".mp3", E_CODECFORMAT_MP3}, {".wma", E_CODECFORMAT_WMA}});
        registerCodecFamily(codecThreadInitQuickTime, codecThreadExitQuickTime, createCodecStreamInstanceQuickTime,
                            {{".mp3", E_CODECFORMAT_MP3}, {".m4a", E_CODECFORMAT_M4A}, {".aac", E_CODECFORMAT_AAC}});
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
    ASSERT_EQ(initCodecJob(job, 0, widePath(m_media.file("square.m4a")).c_str()), 1);
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
    EXPECT_EQ(sound.defaultFrequency, 44100u);

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
    writeFileBytes(m_media.file("empty.m4a"), {});
    writeFileBytes(m_media.file("words.aac"), plainTextBytes());
    const std::vector<u8> whole = readFileBytes(m_media.file("stereo44.m4a"));
    // Without faststart the movie's index is at the end, so the cut loses it.
    writeFileBytes(m_media.file("no index.m4a"), firstBytes(whole, whole.size() / 2));
    for (const char* name : {"empty.m4a", "words.aac", "no index.m4a", "silent.mp4", "missing.m4a"}) {
        testing::internal::CaptureStdout();
        const SPulledRun run = decodeFile(name);
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(run.readyState, E_CODECJOB_OPEN_FAILED) << name;
        EXPECT_TRUE(run.bytes.empty()) << name;
        if (name == std::string("missing.m4a")) {
            EXPECT_NE(printed.find("loadMovieFromFile() -> File with path [" + m_media.file(name) + "] not found!"),
                      std::string::npos) << printed;
        }
    }
}

TEST_F(QuickTimeDecoder, TruncatedFilesEndWithWhatTheyHold) {
    const std::vector<u8> faststart = readFileBytes(m_media.file("faststart.m4a"));
    writeFileBytes(m_media.file("cut.m4a"), firstBytes(faststart, faststart.size() * 2 / 5));
    const std::vector<u8> adts = readFileBytes(m_media.file("mono48 ñandú 曲.aac"));
    writeFileBytes(m_media.file("cut.aac"), firstBytes(adts, adts.size() * 2 / 5));

    for (const auto& [name, channels, sourceFrames] :
         {std::tuple("cut.m4a", 2u, m_media.stereo.size() / 2), std::tuple("cut.aac", 1u, m_media.mono.size())}) {
        const SPulledRun run = decodeFile(name);
        EXPECT_TRUE(run.finalState == E_CODECJOB_FINISHED || run.finalState == E_CODECJOB_DECODE_FAILED) << name;
        const u64 frames = run.bytes.size() / (4 * channels);
        EXPECT_GT(frames, 0u) << name;
        EXPECT_LT(frames, sourceFrames * 3 / 5) << name;
    }
}

}  // namespace
