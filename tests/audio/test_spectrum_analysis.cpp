#include "audio/analysis/spectrum_analysis.h"

#include "audio/analysis/spectral_cache.h"
#include "audio/analysis/spectrum_pass.h"
#include "audio/decode/codec_registry.h"
#include "audio/decode/decode_thread.h"
#include "audio/sound/song_sound_hook.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/file_layer.h"
#include "platform/os/os.h"

#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
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
    EXPECT_EQ(h.nyquist, 22050u);
    EXPECT_EQ(h.sampleRate, 44100u);
    EXPECT_FLOAT_EQ(h.duration, 180.0f);
    EXPECT_EQ(h.loadedFromCache, 0u);
    EXPECT_EQ(g_SpectrumAnalysis.framesPerSecond, 126u);
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

TEST(SpectrumMono, ChannelsAreSummedMultipliedByTheirCountAndClippedToZeroOne) {
    f32 mono[4];
    const s16 stereo16[8] = {8192, 0, 16384, 16384, -20000, 100, -5, -5};
    convertChunkToMono(reinterpret_cast<const u8*>(stereo16), 4, 2, 2, 1, mono);
    EXPECT_EQ(mono[0], 8192.0f * 2.0f * (1.0f / 32767.0f));
    EXPECT_EQ(mono[1], 1.0f);
    EXPECT_EQ(mono[2], 0.0f);
    EXPECT_EQ(mono[3], 0.0f);

    const u8 mono8[3] = {128 + 64, 0, 255};
    convertChunkToMono(mono8, 3, 1, 1, 1, mono);
    EXPECT_EQ(mono[0], 64.0f * (1.0f / 127.0f));
    EXPECT_EQ(mono[1], 0.0f);
    EXPECT_EQ(mono[2], 1.0f);

    const u8 mono24[6] = {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x20};  // -1, then 2^21
    convertChunkToMono(mono24, 2, 1, 3, 1, mono);
    EXPECT_EQ(mono[0], 0.0f);
    EXPECT_EQ(mono[1], 0.25f);

    const s32 stereo32[2] = {0x40000000, 0x20000000};
    convertChunkToMono(reinterpret_cast<const u8*>(stereo32), 1, 2, 4, 1, mono);
    EXPECT_EQ(mono[0], 1.0f);  // (0.5 + 0.25) x 2, clipped

    const f32 floats[4] = {0.125f, 0.125f, __builtin_nanf(""), 0.5f};
    convertChunkToMono(reinterpret_cast<const u8*>(floats), 2, 2, 4, 0, mono);
    EXPECT_EQ(mono[0], 0.5f);
    EXPECT_EQ(mono[1], 0.0f);  // not a number counts as silence
}

TEST_F(SpectrumPass, SilentAndAllNegativeSongsGiveZeroMonoAndZeroFrames) {
    for (s16 level : {s16(0), s16(-12000)}) {
        f32 mono[2] = {7.0f, 7.0f};
        const s16 samples[4] = {level, level, level, level};
        convertChunkToMono(reinterpret_cast<const u8*>(samples), 2, 2, 2, 1, mono);
        EXPECT_EQ(mono[0], 0.0f);
        EXPECT_EQ(mono[1], 0.0f);

        const u64 frames = 44100ull * 2;
        ClSynthSource source(2, frames, [level](u64, u32) { return level; });
        ASSERT_EQ(runPass(&source, format16(2, 44100, frames)), 0);
        const SSpectrumHeader& h = g_SpectrumAnalysis.header;
        EXPECT_EQ(g_SpectrumAnalysis.runningMaximum, 0.0f);
        for (u32 i = 0; i < h.frameCount * h.bandCount; ++i) ASSERT_EQ(h.bandValues[i], 0.0f);
        for (u32 i = 0; i < h.frameCount; ++i) {
            ASSERT_EQ(g_SpectrumAnalysis.threeBandEnergies[i].low, 0.0f);
            ASSERT_EQ(g_SpectrumAnalysis.threeBandEnergies[i].high, 0.0f);
        }
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
    EXPECT_GT(spectrumBandValue(200, 12), spectrumBandValue(200, 11));
    EXPECT_GT(spectrumBandValue(200, 12), spectrumBandValue(200, 13));
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
    EXPECT_NEAR(gaussianWindowWeight(0, n), std::exp(-3.125f), 1e-6f);
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

// A stream that ends well before its promised 100 s is the song it delivered: refused as too
// short below 90 s, else cut to what came; either way the shortfall is in the audio log.
TEST_F(SpectrumPass, StreamEndingWellShortIsJudgedByWhatItDelivered) {
    decoder_test::ClTempFolder folder;
    decoder_test::ClAudioLogCapture log(folder);
    for (const u32 seconds : {60u, 95u}) {
        ClSynthSource source(1, 8000ull * seconds, [](u64 i, u32) { return tone(i, 440.0, 8000, 0.5); });
        const SSpectrumStreamFormat promised = format16(1, 8000, 8000ull * 100);
        const s32 result = runPass(&source, promised);
        const SSpectrumHeader& h = g_SpectrumAnalysis.header;
        if (seconds < 90) {
            EXPECT_EQ(result, E_SPECTRUM_RESULT_TOO_SHORT);
            EXPECT_EQ(h.frameCount, 0u);
            continue;
        }
        ASSERT_EQ(result, E_SPECTRUM_RESULT_NONE);
        EXPECT_EQ(h.frameCount, spectrumFrameCount(8000u * seconds * 2, 1, 2, h.hop));
        EXPECT_FLOAT_EQ(h.duration, f32(seconds));
        EXPECT_GT(h.bandValues[(h.frameCount - 2) * h.bandCount + 6], 0.0f);
    }
    const std::string text = log.finish();
    EXPECT_NE(text.find("ended after [60000] ms of the [100000] ms"), std::string::npos) << text;
    EXPECT_NE(text.find("ended after [95000] ms of the [100000] ms"), std::string::npos) << text;
}

// ---------------------------------------------------------------------------------------------
// The whole analysis through the codec registry, the WAV decoder and the cache

namespace {

void putLe(std::vector<u8>* out, u32 value, u32 bytes) {
    for (u32 i = 0; i < bytes; ++i) out->push_back(u8(value >> (8 * i)));
}

// 16-bit mono PCM: clicks every half second over a quiet hum.
std::vector<u8> makeClickWav(u32 rate, u32 frames) {
    std::vector<u8> wav;
    const u32 dataBytes = frames * 2u;
    wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
    putLe(&wav, 36 + dataBytes, 4);
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLe(&wav, 16, 4);
    putLe(&wav, 1, 2);
    putLe(&wav, 1, 2);
    putLe(&wav, rate, 4);
    putLe(&wav, rate * 2u, 4);
    putLe(&wav, 2, 2);
    putLe(&wav, 16, 2);
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    putLe(&wav, dataBytes, 4);
    const u32 clickEvery = rate / 2u;
    for (u32 i = 0; i < frames; ++i) {
        s32 v = tone(i, 110.0, rate, 0.05);
        const u32 inClick = i % clickEvery;
        if (inClick < 200) v += static_cast<s32>(20000.0 * std::exp(-f64(inClick) / 40.0) * ((i & 1) ? 1.0 : -1.0));
        putLe(&wav, static_cast<u32>(static_cast<u16>(static_cast<s16>(std::clamp(v, -32768, 32767)))), 2);
    }
    return wav;
}

s32 g_trueInit() { return 1; }

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
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/velodrix_spectrum_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        s_dir = pattern;
        const std::vector<u8> song = makeClickWav(22050, 22050u * 90u);
        std::ofstream(s_dir + "/song.wav", std::ios::binary).write(reinterpret_cast<const char*>(song.data()), song.size());
        const std::vector<u8> shortSong = makeClickWav(8000, 8000u * 89u + 7999u);
        std::ofstream(s_dir + "/short.wav", std::ios::binary)
            .write(reinterpret_cast<const char*>(shortSong.data()), shortSong.size());
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(s_dir); }

    void SetUp() override {
        critSectionPoolInit();
        fileLayerInit();
        configClear();
        std::u16string userDir;
        ASSERT_TRUE(osUtf8ToWide((s_dir + "/user/").c_str(), &userDir));
        m_previousUserDir = getUserDataDirW();
        setUserDataDirW(userDir.c_str());
        std::filesystem::create_directories(s_dir + "/user");

        initCodecRegistry();
        SCodecRecord record;
        initCodecRecord(&record, g_trueInit, nullptr, createCodecStreamInstanceWAV);
        addCodecRecordExtension(&record, ".wav", E_CODECFORMAT_WAV);
        registerCodec(record);
        // The game's scan lowers the interval around its work too; the default would make each
        // decode here take seconds.
        setDecodeThreadInterval(1);
        ASSERT_EQ(startDecodeThread(), 1);
        for (u32 i = 0; i < 500 && !isCodecRegistryReady(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_TRUE(isCodecRegistryReady());
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
        setUserDataDirW(m_previousUserDir.c_str());
        std::filesystem::remove_all(s_dir + "/user");
    }

    static std::u16string widePath(const std::string& name) {
        std::u16string wide;
        osUtf8ToWide((s_dir + "/" + name).c_str(), &wide);
        return wide;
    }
    static std::u16string songPath() { return widePath("song.wav"); }
    std::string cacheFile() const {
        char16_t path[768];
        buildSongCachePath(m_identity, SPECTRAL_CACHE_NAME_SALT, SPECTRAL_CACHE_EXTENSION, path, 768);
        return osSystemPathW(path);
    }
    std::vector<f32> bandValues() const {
        const SSpectrumHeader& h = g_SpectrumAnalysis.header;
        return std::vector<f32>(h.bandValues, h.bandValues + size_t(h.frameCount) * h.bandCount);
    }
    s32 analyse(u32 prepare, u32 force, s32* result) {
        resetSpectrumAnalysis();
        return analyseSongSpectrum(songPath().c_str(), m_identity, result, prepare, force);
    }

    static std::string s_dir;
    std::u16string m_previousUserDir;
    SSongIdentity m_identity{};
};
std::string SongAnalysis::s_dir;

}  // namespace

TEST_F(SongAnalysis, DecodesOnceThenReloadsTheSameFramesFromTheCache) {
    s32 result = -1;
    ASSERT_EQ(analyse(0, 0, &result), 1);
    EXPECT_EQ(result, 0);
    const SSpectrumHeader decoded = g_SpectrumAnalysis.header;
    EXPECT_EQ(decoded.loadedFromCache, 0u);
    EXPECT_EQ(decoded.sampleRate, 22050u);
    EXPECT_EQ(decoded.hop, 175u);
    EXPECT_EQ(decoded.bandCount, 16u);
    EXPECT_EQ(decoded.frameCount, 90u * 126u);
    EXPECT_FLOAT_EQ(decoded.duration, 90.0f);
    EXPECT_NE(g_SpectrumAnalysis.threeBandEnergies, nullptr);
    const std::vector<f32> first = bandValues();
    ASSERT_TRUE(std::filesystem::exists(cacheFile()));
    EXPECT_EQ(std::filesystem::file_size(cacheFile()), spectralCacheFileSize(decoded.frameCount, decoded.bandCount));
    EXPECT_FALSE(std::filesystem::exists(cacheFile() + ".tmp"));

    // The clicks stand out in the band values: a frame at a click is louder than one between.
    const u32 clickFrame = 63u * 10u;
    EXPECT_GT(first[clickFrame * 16u + 12u], first[(clickFrame + 30u) * 16u + 12u]);

    ASSERT_EQ(analyse(0, 0, &result), 1);
    EXPECT_EQ(g_SpectrumAnalysis.header.loadedFromCache, 1u);
    EXPECT_EQ(g_SpectrumAnalysis.threeBandEnergies, nullptr);
    EXPECT_EQ(g_SpectrumAnalysis.header.frameCount, decoded.frameCount);
    EXPECT_EQ(g_SpectrumAnalysis.header.frameDuration, decoded.frameDuration);
    EXPECT_EQ(g_SpectrumAnalysis.header.sampleRateF, decoded.sampleRateF);
    EXPECT_EQ(std::memcmp(bandValues().data(), first.data(), first.size() * sizeof(f32)), 0);

    // Forced: decoded again, the same values.
    ASSERT_EQ(analyse(0, 1, &result), 1);
    EXPECT_EQ(g_SpectrumAnalysis.header.loadedFromCache, 0u);
    EXPECT_EQ(bandValues(), first);
}

TEST_F(SongAnalysis, NeverCacheAndTheBeatViewDecodeAgainButStillWriteTheCache) {
    s32 result = -1;
    ASSERT_EQ(analyse(0, 0, &result), 1);
    ASSERT_TRUE(std::filesystem::exists(cacheFile()));

    configSetValue("NEVER_CACHE", "1");
    std::filesystem::remove(cacheFile());
    ASSERT_EQ(analyse(0, 0, &result), 1);
    EXPECT_EQ(g_SpectrumAnalysis.header.loadedFromCache, 0u);
    EXPECT_TRUE(std::filesystem::exists(cacheFile()));

    configClear();
    configSetValue("VISUAL_BEAT_ANALYSIS", "C:\\Music\\song.wav");
    ASSERT_EQ(analyse(0, 0, &result), 1);
    EXPECT_EQ(g_SpectrumAnalysis.header.loadedFromCache, 0u);

    configClear();
    configSetValue("NEVER_CACHE", "0");
    ASSERT_EQ(analyse(0, 0, &result), 1);
    EXPECT_EQ(g_SpectrumAnalysis.header.loadedFromCache, 1u);
}

TEST_F(SongAnalysis, DamagedCacheIsDecodedAgainAndRewritten) {
    s32 result = -1;
    ASSERT_EQ(analyse(0, 0, &result), 1);
    const std::vector<f32> first = bandValues();
    {
        std::fstream file(cacheFile(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(-1, std::ios::end);
        file.put('\x5A');
    }
    ASSERT_EQ(analyse(0, 0, &result), 1);
    EXPECT_EQ(g_SpectrumAnalysis.header.loadedFromCache, 0u);
    EXPECT_EQ(bandValues(), first);
    ASSERT_EQ(analyse(0, 0, &result), 1);
    EXPECT_EQ(g_SpectrumAnalysis.header.loadedFromCache, 1u);
}

TEST_F(SongAnalysis, PlaybackIsPreparedWithTheSongsDurationAndRate) {
    s32 result = -1;
    ASSERT_EQ(analyse(1, 0, &result), 1);
    EXPECT_FLOAT_EQ(g_preparedDuration, 90.0f);
    EXPECT_EQ(g_preparedRate, 22050.0f);
    EXPECT_EQ(g_preparedPath.find(u'/'), std::u16string::npos);  // the stored path uses '\'

    g_preparedRate = 0.0f;
    ASSERT_EQ(analyse(1, 0, &result), 1);  // from the cache
    EXPECT_EQ(g_preparedRate, 22050.0f);

    g_prepareAnswer = 0;
    EXPECT_EQ(analyse(1, 0, &result), 0);
    EXPECT_EQ(result, 0);
}

TEST_F(SongAnalysis, UnusableSongsGetTheirResultCodes) {
    s32 result = -1;
    resetSpectrumAnalysis();
    EXPECT_EQ(analyseSongSpectrum(widePath("missing.wav").c_str(), m_identity, &result, 0, 0), 0);
    EXPECT_EQ(result, E_SPECTRUM_RESULT_CANNOT_OPEN);

    SSongIdentity shortIdentity;
    songIdentityFromPath(widePath("short.wav").c_str(), &shortIdentity);
    EXPECT_EQ(analyseSongSpectrum(widePath("short.wav").c_str(), shortIdentity, &result, 0, 0), 0);
    EXPECT_EQ(result, E_SPECTRUM_RESULT_TOO_SHORT);

    // A file no codec serves.
    std::ofstream(s_dir + "/notes.txt") << "not music";
    EXPECT_EQ(analyseSongSpectrum(widePath("notes.txt").c_str(), m_identity, &result, 0, 0), 0);
    EXPECT_EQ(result, E_SPECTRUM_RESULT_UNDECODABLE);
}
