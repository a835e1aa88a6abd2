#include "audio/analysis/spectrum_analysis.h"

#include "audio/analysis/spectral_cache.h"
#include "audio/analysis/spectrum_pass.h"
#include "audio/decode/codec_registry.h"
#include "audio/decode/decode_thread.h"
#include "audio/sound/song_sound_hook.h"
#include "core/config.h"
#include "core/file_layer.h"
#include "platform/os/os.h"
#include "tests/audio/decoder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Sample sources made in the test

// 16-bit interleaved samples from a function of (sample frame, channel), made as they are pulled.
class ClSynthSource : public ISpectrumSampleSource {
public:
    ClSynthSource(u32 channels, u64 totalFrames, std::function<s16(u64, u32)> sample)
        : m_channels(channels), m_totalFrames(totalFrames), m_sample(std::move(sample)) {}

    u32 pullSamples(void* destination, u32 bytes) override {
        const u32 frameBytes = 2u * m_channels;
        u8* out = static_cast<u8*>(destination);
        u32 delivered = 0;
        while (delivered + frameBytes <= bytes && m_position < m_totalFrames) {
            for (u32 c = 0; c < m_channels; ++c) {
                const u16 v = static_cast<u16>(m_sample(m_position, c));
                out[delivered++] = u8(v);
                out[delivered++] = u8(v >> 8);
            }
            ++m_position;
            if (m_failAtFrame != 0 && m_position >= m_failAtFrame) {
                m_failed = true;
                break;
            }
        }
        // Past the end (or the failure) the stream zero-fills, as the decode job's pull does.
        std::memset(out + delivered, 0x5A, bytes - delivered);
        return delivered;
    }
    bool hasFailed() override { return m_failed; }

    u64 m_failAtFrame = 0;

private:
    u32 m_channels;
    u64 m_totalFrames;
    u64 m_position = 0;
    bool m_failed = false;
    std::function<s16(u64, u32)> m_sample;
};

SSpectrumStreamFormat format16(u32 channels, u32 rate, u64 frames) {
    SSpectrumStreamFormat f{};
    f.channels = channels;
    f.bytesPerSample = 2;
    f.sampleRate = static_cast<f32>(rate);
    f.integerSamples = 1;
    f.totalBytes = static_cast<u32>(frames * channels * 2u);
    f.durationMs = static_cast<u32>(frames * 1000u / rate);
    return f;
}

s32 runPass(ClSynthSource* source, const SSpectrumStreamFormat& format) {
    SSpectrumGeometry geometry;
    if (!computeSpectrumGeometry(format.sampleRate, &geometry)) return -1;
    return runSpectrumPass(source, format, geometry);
}

s16 tone(u64 frame, f64 hz, u32 rate, f64 amplitude) {
    return static_cast<s16>(std::lround(amplitude * 32767.0 * std::sin(2.0 * M_PI * hz * f64(frame) / rate)));
}

struct SChunkCall {
    u32 rows;
    u32 firstFrame;
};
std::vector<SChunkCall> g_chunkCalls;

void recordChunk(u32 rowCount, u32 hop, u32 firstFrame, u32 frameCount, const f32* rows, u32 nyquist, u32 userWord) {
    g_chunkCalls.push_back({rowCount, firstFrame});
    foldSpectrumRows(rowCount, hop, firstFrame, frameCount, rows, nyquist, userWord);
}

class SpectrumPass : public ::testing::Test {
protected:
    void SetUp() override { resetSpectrumAnalysis(); }
    void TearDown() override { resetSpectrumAnalysis(); }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Validation and the worked values

TEST(SpectrumValidation, ResultCodesFollowTheFormatInOrder) {
    SSpectrumGeometry g;
    SSpectrumStreamFormat f = format16(2, 44100, 44100ull * 180);
    EXPECT_EQ(validateSpectrumStream(f, &g), E_SPECTRUM_RESULT_NONE);
    EXPECT_EQ(g.hop, 350u);

    auto with = [&](auto change) {
        SSpectrumStreamFormat copy = f;
        change(copy);
        return validateSpectrumStream(copy, &g);
    };
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) { c.channels = 0; }), E_SPECTRUM_RESULT_UNDECODABLE);
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) { c.channels = 3; }), E_SPECTRUM_RESULT_UNDECODABLE);
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) { c.bytesPerSample = 0; }), E_SPECTRUM_RESULT_UNDECODABLE);
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) { c.bytesPerSample = 5; }), E_SPECTRUM_RESULT_UNDECODABLE);
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) { c.sampleRate = 192001.0f; }), E_SPECTRUM_RESULT_UNDECODABLE);
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) { c.sampleRate = 192000.0f; }), E_SPECTRUM_RESULT_NONE);
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) { c.sampleRate = 7999.0f; }), E_SPECTRUM_RESULT_UNDECODABLE);
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) { c.sampleRate = 44056.0f; }), E_SPECTRUM_RESULT_UNDECODABLE);
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) { c.durationMs = 89999; }), E_SPECTRUM_RESULT_TOO_SHORT);
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) { c.durationMs = 90000; }), E_SPECTRUM_RESULT_NONE);
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) { c.durationMs = 59940000; }), E_SPECTRUM_RESULT_NONE);
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) { c.durationMs = 59940001; }), E_SPECTRUM_RESULT_TOO_LONG);
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) { c.totalBytes = 0; }), E_SPECTRUM_RESULT_UNDECODABLE);
    // The rate is judged before the duration.
    EXPECT_EQ(with([](SSpectrumStreamFormat& c) {
                  c.sampleRate = 7999.0f;
                  c.durationMs = 1000;
              }),
              E_SPECTRUM_RESULT_UNDECODABLE);
}

TEST_F(SpectrumPass, ThreeMinutesAtFortyFourKilohertzGiveTheWorkedHeader) {
    const u64 frames = 44100ull * 180;
    ClSynthSource source(2, frames, [](u64 i, u32 c) { return tone(i, c == 0 ? 440.0 : 880.0, 44100, 0.5); });
    ASSERT_EQ(runPass(&source, format16(2, 44100, frames)), 0);
    const SSpectrumHeader& h = g_SpectrumAnalysis.header;
    EXPECT_EQ(h.frameCount, 22680u);
    EXPECT_EQ(h.hop, 350u);
    EXPECT_EQ(h.windowLength, 700u);
    EXPECT_EQ(h.transformSize, 1024u);
    EXPECT_EQ(h.bandCount, 18u);
    EXPECT_FLOAT_EQ(h.duration, 180.0f);
    EXPECT_EQ(g_SpectrumAnalysis.energyFrameCount, 22680u);
    EXPECT_EQ(h.magnitudeRows, nullptr);  // rows and window live only during the pass
    EXPECT_EQ(g_SpectrumAnalysis.window, nullptr);
    EXPECT_EQ(getSpectrumAnalysisProgress(), SPECTRUM_DECODE_PROGRESS_END);
    f32 largest = 0.0f;
    for (u32 i = 0; i < h.frameCount * h.bandCount; ++i) {
        ASSERT_GE(h.bandValues[i], 0.0f);
        largest = std::max(largest, h.bandValues[i]);
    }
    EXPECT_LE(largest, 0.97f);
    EXPECT_GT(largest, 0.5f);
}

TEST_F(SpectrumPass, FirstChunkYieldsOneFrameLessThenWholeSecondsAndStopsAtTheCount) {
    g_chunkCalls.clear();
    g_SpectrumAnalysis.chunkCallback = recordChunk;
    const u64 frames = 44100ull * 3 + 100;  // 379 frames: the last chunk is nearly empty
    ClSynthSource source(2, frames, [](u64 i, u32) { return tone(i, 300.0, 44100, 0.3); });
    ASSERT_EQ(runPass(&source, format16(2, 44100, frames)), 0);
    ASSERT_EQ(g_SpectrumAnalysis.header.frameCount, 379u);
    ASSERT_EQ(g_chunkCalls.size(), 4u);
    EXPECT_EQ(g_chunkCalls[0].rows, 125u);
    EXPECT_EQ(g_chunkCalls[0].firstFrame, 0u);
    EXPECT_EQ(g_chunkCalls[1].rows, 126u);
    EXPECT_EQ(g_chunkCalls[1].firstFrame, 125u);
    EXPECT_EQ(g_chunkCalls[2].rows, 126u);
    EXPECT_EQ(g_chunkCalls[3].rows, 2u);
    EXPECT_EQ(g_chunkCalls[3].firstFrame, 377u);
}

TEST_F(SpectrumPass, BoundaryFrameMatchesTheFrameItStraddles) {
    // A steady tone: the frame across the chunk boundary looks like every other frame.
    const u64 frames = 44100ull * 2;
    ClSynthSource source(1, frames, [](u64 i, u32) { return tone(i, 1000.0, 44100, 0.4); });
    ASSERT_EQ(runPass(&source, format16(1, 44100, frames)), 0);
    const SSpectrumHeader& h = g_SpectrumAnalysis.header;
    for (u32 b = 0; b < h.bandCount; ++b)
        EXPECT_NEAR(h.bandValues[125u * h.bandCount + b], h.bandValues[124u * h.bandCount + b], 0.02f) << b;
}

// ---------------------------------------------------------------------------------------------
// Mono conversion, bands and shaping

TEST(SpectrumMono, UnsignedBytesAndFloatsWithNotANumberAsSilence) {
    f32 mono[3];
    const u8 mono8[3] = {128 + 64, 0, 255};
    convertChunkToMono(mono8, 3, 1, 1, 1, mono);
    EXPECT_EQ(mono[0], 64.0f * (1.0f / 127.0f));
    EXPECT_EQ(mono[1], 0.0f);
    EXPECT_EQ(mono[2], 1.0f);

    const f32 floats[4] = {0.125f, 0.125f, __builtin_nanf(""), 0.5f};
    convertChunkToMono(reinterpret_cast<const u8*>(floats), 2, 2, 4, 0, mono);
    EXPECT_EQ(mono[0], 0.5f);
    EXPECT_EQ(mono[1], 0.0f);  // not a number counts as silence
}

TEST_F(SpectrumPass, SilentAndAllNegativeSongsGiveZeroMonoAndZeroFrames) {
    for (s16 level : {s16(0), s16(-12000)}) {
        const u64 frames = 44100ull * 2;
        ClSynthSource source(2, frames, [level](u64, u32) { return level; });
        ASSERT_EQ(runPass(&source, format16(2, 44100, frames)), 0);
        const SSpectrumHeader& h = g_SpectrumAnalysis.header;
        EXPECT_EQ(g_SpectrumAnalysis.runningMaximum, 0.0f);
        for (u32 i = 0; i < h.frameCount * h.bandCount; ++i) ASSERT_EQ(h.bandValues[i], 0.0f);
        for (u32 i = 0; i < h.frameCount; ++i) ASSERT_EQ(g_SpectrumAnalysis.threeBandEnergies[i].low, 0.0f);
    }
}

TEST_F(SpectrumPass, TonesMoveTheirEnergyIntoTheirBands) {
    // The mono signal is rectified, so every tone also carries a constant part in the lowest
    // bins; the tone itself shows where it lands: 100 Hz in the low energy bins [0, 7), 3 kHz in
    // the high bins [24, 98) (transform bins of 43 Hz, split by the Nyquist/hop width of 63 Hz)
    // and in band 12 (bins 68 to 90).
    const u64 frames = 44100ull * 2;
    ClSynthSource low(1, frames, [](u64 i, u32) { return tone(i, 100.0, 44100, 0.5); });
    ASSERT_EQ(runPass(&low, format16(1, 44100, frames)), 0);
    const SThreeBandEnergy a = g_SpectrumAnalysis.threeBandEnergies[200];
    const f32 lowBand12 = spectrumBandValue(200, 12);
    EXPECT_GT(a.low, 10.0f * a.high);

    ClSynthSource high(1, frames, [](u64 i, u32) { return tone(i, 3000.0, 44100, 0.5); });
    ASSERT_EQ(runPass(&high, format16(1, 44100, frames)), 0);
    const SThreeBandEnergy b = g_SpectrumAnalysis.threeBandEnergies[200];
    EXPECT_GT(b.high, 10.0f * a.high);
    EXPECT_GT(b.high, b.middle);
    EXPECT_GT(spectrumBandValue(200, 12), lowBand12 + 0.3f);
}

TEST(SpectrumShaping, ValuesEndBetweenZeroAndNinetySevenHundredths) {
    EXPECT_EQ(shapeSpectrumBandValue(0.0f, 5.0f), 0.0f);
    EXPECT_NEAR(shapeSpectrumBandValue(5.0f * 2.1f, 5.0f), 0.97f, 1e-6f);
    EXPECT_NEAR(shapeSpectrumBandValue(1000.0f, 5.0f), 0.97f, 1e-6f);
    // x = 0.5: 1 - 0.5^6 - 0.03.
    EXPECT_NEAR(shapeSpectrumBandValue(5.0f * 1.05f, 5.0f), 1.0f - 0.015625f - 0.03f, 1e-6f);
}

TEST(SpectrumWindow, GaussianIsSymmetricWithItsPeakInTheMiddle) {
    const u32 n = 701;
    EXPECT_EQ(gaussianWindowWeight(350, n), 1.0f);
    EXPECT_EQ(gaussianWindowWeight(0, n), gaussianWindowWeight(700, n));
    EXPECT_NEAR(gaussianWindowWeight(0, 700), std::exp(-3.125f), 1e-6f);
}

// ---------------------------------------------------------------------------------------------
// Failures during the pass

TEST_F(SpectrumPass, DecoderFailureHalfWayGivesCodeFourAndNoFrames) {
    const u64 frames = 44100ull * 3;
    ClSynthSource source(2, frames, [](u64 i, u32) { return tone(i, 440.0, 44100, 0.5); });
    source.m_failAtFrame = 44100ull + 500;
    EXPECT_EQ(runPass(&source, format16(2, 44100, frames)), E_SPECTRUM_RESULT_UNDECODABLE);
    EXPECT_EQ(g_SpectrumAnalysis.header.frameCount, 0u);
    EXPECT_EQ(g_SpectrumAnalysis.header.bandValues, nullptr);
    EXPECT_EQ(g_SpectrumAnalysis.threeBandEnergies, nullptr);
}

TEST_F(SpectrumPass, StreamShorterThanItsEstimateEndsInSilence) {
    const u64 realFrames = 44100ull * 2;
    ClSynthSource source(1, realFrames, [](u64 i, u32) { return tone(i, 440.0, 44100, 0.5); });
    // The decoder promised three seconds and delivered two, without an error.
    ASSERT_EQ(runPass(&source, format16(1, 44100, 44100ull * 3)), 0);
    const SSpectrumHeader& h = g_SpectrumAnalysis.header;
    EXPECT_EQ(h.frameCount, 378u);
    for (u32 f = 260; f < h.frameCount; ++f) {
        for (u32 b = 0; b < h.bandCount; ++b) ASSERT_EQ(h.bandValues[f * h.bandCount + b], 0.0f);
    }
    EXPECT_GT(h.bandValues[100u * h.bandCount + 6], 0.0f);
}

// ---------------------------------------------------------------------------------------------
// The whole analysis through the codec registry, the WAV decoder and the cache

namespace {

using namespace decoder_test;

std::u16string g_preparedPath;
f32 g_preparedDuration = 0.0f;
f32 g_preparedRate = 0.0f;
u32 g_prepareAnswer = 1;
u32 recordPrepare(const char16_t* path, f32 duration, f32 rate) {
    g_preparedPath = path;
    g_preparedDuration = duration;
    g_preparedRate = rate;
    return g_prepareAnswer;
}

class SongAnalysis : public ::testing::Test {
protected:
    void SetUp() override {
        fileLayerInit();
        configClear();
        ASSERT_TRUE(writeWavFile(m_folder.file("song.wav"), 1, 22050, 16, makeSignal(22050u * 90u, 1, 22050, 16)));
        ASSERT_TRUE(startSingleFamilyRegistry(createCodecStreamInstanceWAV, ".wav", E_CODECFORMAT_WAV));
        resetSpectrumAnalysis();
        setPrepareSongSoundHook(recordPrepare);
        g_prepareAnswer = 1;
        songIdentityFromPath(songPath().c_str(), &m_identity);
    }
    void TearDown() override {
        resetSpectrumAnalysis();
        setPrepareSongSoundHook(nullptr);
        shutdownCodecRegistry();
        resetDecodeThreadInterval();
        configClear();
    }

    std::u16string songPath() const { return widePath(m_folder.file("song.wav")); }
    std::string cacheFile() const {
        char16_t path[768];
        buildSongCachePath(m_identity, SPECTRAL_CACHE_NAME_SALT, SPECTRAL_CACHE_EXTENSION, path, 768);
        return osSystemPathW(path);
    }
    static std::vector<f32> bandValues() {
        const SSpectrumHeader& h = g_SpectrumAnalysis.header;
        return std::vector<f32>(h.bandValues, h.bandValues + size_t(h.frameCount) * h.bandCount);
    }
    // Analyses the song afresh and answers whether its frames came from the cache.
    u32 analyseFromCache(u32 force = 0) {
        resetSpectrumAnalysis();
        s32 result = -1;
        EXPECT_EQ(analyseSongSpectrum(songPath().c_str(), m_identity, &result, 0, force), 1);
        EXPECT_EQ(result, 0);
        return g_SpectrumAnalysis.header.loadedFromCache;
    }

    ClTempUserFolder m_folder;
    SSongIdentity m_identity{};
};

}  // namespace

TEST_F(SongAnalysis, CacheIsWrittenOnceAndUsedUnlessForcedTurnedOffOrDamaged) {
    EXPECT_EQ(analyseFromCache(), 0u);
    EXPECT_EQ(g_SpectrumAnalysis.header.frameCount, 90u * 126u);
    EXPECT_NE(g_SpectrumAnalysis.threeBandEnergies, nullptr);
    const std::vector<f32> first = bandValues();
    EXPECT_EQ(std::filesystem::file_size(cacheFile()), spectralCacheFileSize(90u * 126u, 16));

    EXPECT_EQ(analyseFromCache(), 1u);
    EXPECT_EQ(g_SpectrumAnalysis.threeBandEnergies, nullptr);
    EXPECT_EQ(bandValues(), first);
    EXPECT_EQ(analyseFromCache(1), 0u);
    EXPECT_EQ(bandValues(), first);

    // Turned off, the song is decoded again but the cache still written.
    configSetValue("NEVER_CACHE", "1");
    std::filesystem::remove(cacheFile());
    EXPECT_EQ(analyseFromCache(), 0u);
    EXPECT_TRUE(std::filesystem::exists(cacheFile()));
    configClear();
    configSetValue("VISUAL_BEAT_ANALYSIS", "/music/song.wav");
    EXPECT_EQ(analyseFromCache(), 0u);
    configClear();

    {
        std::fstream file(cacheFile(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(-1, std::ios::end);
        file.put('\x5A');
    }
    EXPECT_EQ(analyseFromCache(), 0u);
    EXPECT_EQ(bandValues(), first);
    EXPECT_EQ(analyseFromCache(), 1u);
}

TEST_F(SongAnalysis, PlaybackIsPreparedWithTheSongsDurationAndRate) {
    s32 result = -1;
    ASSERT_EQ(analyseSongSpectrum(songPath().c_str(), m_identity, &result, 1, 0), 1);
    EXPECT_FLOAT_EQ(g_preparedDuration, 90.0f);
    EXPECT_EQ(g_preparedRate, 22050.0f);
    EXPECT_EQ(g_preparedPath.find(u'/'), std::u16string::npos);  // the stored path uses '\'

    g_preparedRate = 0.0f;
    resetSpectrumAnalysis();
    ASSERT_EQ(analyseSongSpectrum(songPath().c_str(), m_identity, &result, 1, 0), 1);  // from the cache
    EXPECT_EQ(g_preparedRate, 22050.0f);

    g_prepareAnswer = 0;
    resetSpectrumAnalysis();
    EXPECT_EQ(analyseSongSpectrum(songPath().c_str(), m_identity, &result, 1, 0), 0);
    EXPECT_EQ(result, 0);
}

TEST_F(SongAnalysis, UnusableSongsGetTheirResultCodes) {
    s32 result = -1;
    EXPECT_EQ(analyseSongSpectrum(widePath(m_folder.file("missing.wav")).c_str(), m_identity, &result, 0, 0), 0);
    EXPECT_EQ(result, E_SPECTRUM_RESULT_CANNOT_OPEN);

    ASSERT_TRUE(writeWavFile(m_folder.file("short.wav"), 1, 8000, 16, makeSignal(8000u * 89u + 7999u, 1, 8000, 16)));
    EXPECT_EQ(analyseSongSpectrum(widePath(m_folder.file("short.wav")).c_str(), m_identity, &result, 0, 0), 0);
    EXPECT_EQ(result, E_SPECTRUM_RESULT_TOO_SHORT);

    // A file no codec serves.
    m_folder.write("notes.txt", plainTextBytes());
    EXPECT_EQ(analyseSongSpectrum(widePath(m_folder.file("notes.txt")).c_str(), m_identity, &result, 0, 0), 0);
    EXPECT_EQ(result, E_SPECTRUM_RESULT_UNDECODABLE);
}
