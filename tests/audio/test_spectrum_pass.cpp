// The spectral pass over generated songs: the stream checks, the worked frame counts and chunks,
// the band values and energies, failures during the pass, and the same bits on every build (the
// generated levels are tuned to them and the caches hold them): digests of every magnitude row,
// band value and three-band energy, one per transform size the rates give and one per sample format.
#include "audio/analysis/fft.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/analysis/spectrum_pass.h"
#include "core/digest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr s32 SYNTH_FULL_SCALE = 8388607;  // 24-bit samples

// Integer synthesis, so the songs are the same bits on every machine: a saw bass, a square lead
// a little apart on the two channels, a noise burst on every beat at 128 BPM decaying by halves,
// and loud and quiet sections of three seconds.
s32 synthSample(u64 frame, u32 channel, u32 rate) {
    const u64 bassPeriod = rate / 55u;
    const s64 bass = s64(frame % bassPeriod) * 2 * 3000000 / s64(bassPeriod) - 3000000;
    const u64 leadPeriod = rate / (channel == 0 ? 440u : 443u);
    const s64 lead = (frame % leadPeriod) < leadPeriod / 2 ? 1200000 : -1200000;
    const u64 beatFrames = u64(rate) * 60u / 128u;
    const u64 inBeat = frame % beatFrames;
    u32 noise = u32(frame * 2654435761u) ^ u32(frame >> 7) ^ (channel * 0x9E3779B9u);
    noise ^= noise << 13;
    noise ^= noise >> 17;
    noise ^= noise << 5;
    const u64 halvings = inBeat / (rate / 500u + 1u);
    const s64 burst = halvings < 20 ? (s64(s32(noise)) >> 9) >> halvings : 0;
    const bool quiet = (frame / (u64(rate) * 3u)) % 2u == 1u;
    s64 v = bass + lead + burst;
    if (quiet) v /= 6;
    if (v > SYNTH_FULL_SCALE) v = SYNTH_FULL_SCALE;
    if (v < -SYNTH_FULL_SCALE) v = -SYNTH_FULL_SCALE;
    return s32(v);
}

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


// A generated song in one of the sample formats the pass reads: 24-bit values from a function of
// (sample frame, channel), cut to the format's width. After the end or a failure the rest of a
// request holds junk, which the pass must not read.
class ClSynthSource : public ISpectrumSampleSource {
public:
    ClSynthSource(const SSpectrumStreamFormat& format, u64 totalFrames, std::function<s32(u64, u32)> sample)
        : m_format(format), m_totalFrames(totalFrames), m_sample(std::move(sample)) {}
    // 16-bit samples at 44.1 kHz.
    ClSynthSource(u32 channels, u64 totalFrames, const std::function<s16(u64, u32)>& sample)
        : ClSynthSource(format16(channels, 44100, totalFrames), totalFrames,
                        [sample](u64 i, u32 c) { return s32(sample(i, c)) * 256; }) {}

    u32 pullSamples(void* destination, u32 bytes) override {
        const u32 sampleBytes = m_format.bytesPerSample;
        const u32 frameBytes = sampleBytes * m_format.channels;
        u8* out = static_cast<u8*>(destination);
        u32 delivered = 0;
        while (!m_failed && delivered + frameBytes <= bytes && m_position < m_totalFrames) {
            for (u32 c = 0; c < m_format.channels; ++c) {
                writeSample(m_sample(m_position, c), out + delivered);
                delivered += sampleBytes;
            }
            ++m_position;
            m_failed = m_failAtFrame != 0 && m_position >= m_failAtFrame;
        }
        std::memset(out + delivered, 0x5A, bytes - delivered);
        return delivered;
    }
    bool hasFailed() override { return m_failed; }

    u64 m_failAtFrame = 0;

private:
    void writeSample(s32 v, u8* p) const {
        switch (m_format.bytesPerSample) {
        case 1: p[0] = u8((v >> 16) + 128); break;
        case 2: {
            const u16 w = u16(v >> 8);
            std::memcpy(p, &w, 2);
            break;
        }
        case 3:
            p[0] = u8(v);
            p[1] = u8(v >> 8);
            p[2] = u8(v >> 16);
            break;
        default:
            if (m_format.integerSamples != 0) {
                const u32 w = u32(v) << 8;
                std::memcpy(p, &w, 4);
            } else {
                // A power-of-two divisor: exact.
                const f32 f = static_cast<f32>(v) / 8388608.0f;
                std::memcpy(p, &f, 4);
            }
            break;
        }
    }

    SSpectrumStreamFormat m_format;
    u64 m_totalFrames;
    u64 m_position = 0;
    bool m_failed = false;
    std::function<s32(u64, u32)> m_sample;
};

std::vector<u8> g_rowBytes;

void digestRows(u32 rowCount, u32 hop, u32 firstFrame, u32 frameCount, const f32* rows, u32 nyquist, u32 userWord) {
    const u8* bytes = reinterpret_cast<const u8*>(rows);
    g_rowBytes.insert(g_rowBytes.end(), bytes, bytes + size_t(rowCount) * hop * sizeof(f32));
    foldSpectrumRows(rowCount, hop, firstFrame, frameCount, rows, nyquist, userWord);
}

std::string hexDigest(const std::vector<u8>& bytes) {
    u8 digest[DIGEST_SIZE];
    computeDigestWithValue(digest, bytes.data(), u32(bytes.size()), 0);
    std::string text;
    char pair[3];
    for (u32 i = 0; i < 16; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        text += pair;
    }
    return text;
}

struct SPassDigests {
    u32 transformSize;
    std::string rows;
    std::string values;  // band values, energies and the running maximum
};

// Runs the pass over `seconds` (plus a partial second) of the song in the given format.
SPassDigests runDigestedPass(u32 rate, u32 channels, u32 bytesPerSample, u32 integerSamples, u32 seconds) {
    resetSpectrumAnalysis();
    g_rowBytes.clear();
    g_SpectrumAnalysis.chunkCallback = digestRows;
    const u64 frames = u64(rate) * seconds + rate / 3u;
    SSpectrumStreamFormat format{};
    format.channels = channels;
    format.bytesPerSample = bytesPerSample;
    format.sampleRate = static_cast<f32>(rate);
    format.integerSamples = integerSamples;
    format.totalBytes = u32(frames * channels * bytesPerSample);
    format.durationMs = u32(frames * 1000u / rate);
    SSpectrumGeometry geometry;
    SPassDigests result{};
    if (!computeSpectrumGeometry(format.sampleRate, &geometry)) return result;
    ClSynthSource source(format, frames, [rate](u64 frame, u32 channel) { return synthSample(frame, channel, rate); });
    if (runSpectrumPass(&source, format, geometry) != 0) {
        resetSpectrumAnalysis();
        return result;
    }

    const SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    result.transformSize = s.header.transformSize;
    result.rows = hexDigest(g_rowBytes);
    std::vector<u8> values;
    const auto append = [&values](const void* p, size_t n) {
        values.insert(values.end(), static_cast<const u8*>(p), static_cast<const u8*>(p) + n);
    };
    append(s.header.bandValues, size_t(s.header.frameCount) * s.header.bandCount * sizeof(f32));
    append(s.threeBandEnergies, size_t(s.energyFrameCount) * sizeof(SThreeBandEnergy));
    append(&s.runningMaximum, sizeof(f32));
    result.values = hexDigest(values);
    resetSpectrumAnalysis();
    return result;
}

struct SDigestCase {
    u32 rate;
    u32 channels;
    u32 bytesPerSample;
    u32 integerSamples;
    u32 seconds;
    u32 transformSize;
    const char* rows;
    const char* values;
};

// Recorded from the first f32 implementation of the pass.
const SDigestCase DIGEST_CASES[] = {
    {44100, 2, 2, 1, 7, 1024, "4598a5d45f0f0edf4c6bffb1147b285f", "622b553aeb25a8b86f0f263eca68aee2"},
    {48000, 1, 3, 1, 4, 1024, "c8c9ff464f4af4d26db1968e10fc852d", "9e4a7cbfd4c91cff03c4c8d3b7f714f6"},
    {8000, 2, 1, 1, 7, 128, "04d78096dba274f5208b400859b3cfc5", "cc56404aabf757b6c3dfbb7b854ac63b"},
    {16000, 1, 2, 1, 7, 256, "d4f596cbc659da53a49292bb7f346394", "e13a5313e6132324867db161e837e74d"},
    {22050, 2, 4, 1, 7, 512, "a7e8645d17f91b88b33fcb83b4a95d2a", "7905afe4ad3673df71f7f344daff75f3"},
    {96000, 2, 4, 0, 4, 2048, "f35139f3157c62ff3f19146582556b33", "ff3e6a348812443c20a7e4bc2a0665a5"},
    {192000, 1, 2, 1, 3, 4096, "63f09df70995f64fd42cad5438d57995", "3410ef9b68d2c3567c39a4b120f36b34"},
};

void expectRecordedDigests() {
    for (const SDigestCase& c : DIGEST_CASES) {
        const SPassDigests d = runDigestedPass(c.rate, c.channels, c.bytesPerSample, c.integerSamples, c.seconds);
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.channels << " channels, " << c.bytesPerSample
                                        << " bytes");
        EXPECT_EQ(d.transformSize, c.transformSize);
        EXPECT_EQ(d.rows, c.rows);
        EXPECT_EQ(d.values, c.values);
    }
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

TEST(SpectrumPassBits, RowsBandsAndEnergiesKeepTheirRecordedDigests) {
    fftSetWideLanes(false);
    expectRecordedDigests();
    if (fftSetWideLanes(true)) expectRecordedDigests();
}

TEST(SpectrumPassBits, StereoSixteenBitMonoMatchesTheFrameByFrameFormulaWithATail) {
    // 11 frames: whole groups of four and a tail, with the extremes, clipping and negative sums.
    const s16 left[11] = {-32768, 32767, 32767, 5000, 100, -100, 12345, -5, 16384, 1, -32768};
    const s16 right[11] = {-32768, 32767, -32767, 3000, -101, 101, -2000, 4, 16383, 0, 32767};
    u8 bytes[11 * 4];
    for (u32 i = 0; i < 11; ++i) {
        std::memcpy(bytes + 4 * i, &left[i], 2);
        std::memcpy(bytes + 4 * i + 2, &right[i], 2);
    }
    f32 mono[11];
    convertChunkToMono(bytes, 11, 2, 2, 1, mono);
    for (u32 i = 0; i < 11; ++i) {
        f32 v = static_cast<f32>(s32(left[i]) + s32(right[i])) * 2.0f * (1.0f / 32767.0f);
        v = v > 0.0f ? (v > 1.0f ? 1.0f : v) : 0.0f;
        EXPECT_EQ(std::memcmp(&mono[i], &v, sizeof v), 0) << i << ": " << mono[i] << " vs " << v;
    }
}

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

// ---------------------------------------------------------------------------------------------
// Validation and the worked values

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

