// The spectral pass over generated songs: the stream checks, the worked frame counts and chunks,
// the band values and energies, failures during the pass, and the same bits on every build (the generated levels are tuned to
// them and the caches hold them): digests of every magnitude row, band value and three-band
// energy, one per transform size the rates give and one per sample format.
#include "core/digest.h"
#include "tests/audio/decoder_test_support.h"
#include "tests/audio/fft_lane_widths.h"
#include "tests/support/audio_songs.h"
#include "tests/support/file_bytes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using namespace test_support;

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
    const u64 inBeat = frame % (u64(rate) * 60u / 128u);
    u32 noise = u32(frame * 2654435761u) ^ u32(frame >> 7) ^ (channel * 0x9E3779B9u);
    noise ^= noise << 13;
    noise ^= noise >> 17;
    noise ^= noise << 5;
    const u64 halvings = inBeat / (rate / 500u + 1u);
    const s64 burst = halvings < 20 ? (s64(s32(noise)) >> 9) >> halvings : 0;
    const bool quiet = (frame / (u64(rate) * 3u)) % 2u == 1u;
    const s64 v = (bass + lead + burst) / (quiet ? 6 : 1);
    return s32(std::clamp<s64>(v, -SYNTH_FULL_SCALE, SYNTH_FULL_SCALE));
}

std::vector<u8> g_rowBytes;

void digestRows(u32 rowCount, u32 hop, u32 firstFrame, u32 frameCount, const f32* rows, u32 nyquist, u32 userWord) {
    const u8* bytes = reinterpret_cast<const u8*>(rows);
    g_rowBytes.insert(g_rowBytes.end(), bytes, bytes + size_t(rowCount) * hop * sizeof(f32));
    foldSpectrumRows(rowCount, hop, firstFrame, frameCount, rows, nyquist, userWord);
}

std::string hexDigest(const std::vector<u8>& bytes) {
    u8 digest[DIGEST_SIZE];
    computeDigestWithValue(digest, bytes.data(), u32(bytes.size()), 0);
    return test_support::hexText(digest, 16);
}

struct SDigestCase {
    u32 rate, channels, bytesPerSample, integerSamples, seconds, transformSize;
    const char* rows;
    const char* values;  // band values, energies and the running maximum
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

// Each case over `seconds` (plus a partial second) of the song in its format.
void expectRecordedDigests() {
    for (const SDigestCase& c : DIGEST_CASES) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.channels << " x " << c.bytesPerSample << " bytes");
        resetSpectrumAnalysis();
        g_rowBytes.clear();
        g_SpectrumAnalysis.chunkCallback = digestRows;
        const u64 frames = u64(c.rate) * c.seconds + c.rate / 3u;
        const SSpectrumStreamFormat format = pcmFormat(c.channels, c.rate, c.bytesPerSample, frames, c.integerSamples);
        ClSynthSource source(format, frames, [&c](u64 frame, u32 channel) { return synthSample(frame, channel, c.rate); });
        ASSERT_EQ(runPass(&source, format), 0);
        const SSpectrumAnalysisState& s = g_SpectrumAnalysis;
        std::vector<u8> values;
        const auto append = [&values](const void* p, size_t n) {
            values.insert(values.end(), static_cast<const u8*>(p), static_cast<const u8*>(p) + n);
        };
        append(s.header.bandValues, size_t(s.header.frameCount) * s.header.bandCount * sizeof(f32));
        append(s.threeBandEnergies, size_t(s.energyFrameCount) * sizeof(SThreeBandEnergy));
        append(&s.runningMaximum, sizeof(f32));
        EXPECT_EQ(s.header.transformSize, c.transformSize);
        EXPECT_EQ(hexDigest(g_rowBytes), std::string(c.rows));
        EXPECT_EQ(hexDigest(values), std::string(c.values));
        resetSpectrumAnalysis();
    }
}

s16 tone(u64 frame, f64 hz, f64 amplitude) {
    return s16(std::lround(amplitude * 32767.0 * std::sin(2.0 * M_PI * hz * f64(frame) / 44100.0)));
}

std::vector<std::pair<u32, u32>> g_chunkCalls;  // rows, first frame

void recordChunk(u32 rowCount, u32 hop, u32 firstFrame, u32 frameCount, const f32* rows, u32 nyquist, u32 userWord) {
    g_chunkCalls.push_back({rowCount, firstFrame});
    foldSpectrumRows(rowCount, hop, firstFrame, frameCount, rows, nyquist, userWord);
}

class SpectrumPass : public ::testing::Test {
protected:
    void SetUp() override { resetSpectrumAnalysis(); }
    void TearDown() override { resetSpectrumAnalysis(); }
    // 16-bit samples of a tone at 44.1 kHz through the pass.
    static s32 passTone(u32 channels, u64 frames, f64 hz, f64 amplitude, u64 formatFrames = 0) {
        ClSynthSource source(channels, 44100, frames, [=](u64 i, u32) { return tone(i, hz, amplitude); });
        return runPass(&source, pcmFormat(channels, 44100, 2, formatFrames ? formatFrames : frames));
    }
};

}  // namespace

TEST(SpectrumPassBits, RowsBandsAndEnergiesKeepTheirRecordedDigests) {
    forEachFftLaneWidth(expectRecordedDigests);
}

TEST(SpectrumMono, FloatStereoInLanesFollowsTheFormulaFrameByFrame) {
    // 15 frames: a group of eight, one of four and a tail of three, with clipping, negative sums,
    // a negative zero and not-a-number on either side.
    const f32 nan = __builtin_nanf("");
    const f32 left[15] = {0.25f, 0.75f, -0.5f, nan, 1.0f, -0.0f, 0.1f, 0.3f,
                          0.6f,  -1.0f, 0.0f,  0.2f, 0.45f, 0.9f, -0.2f};
    const f32 right[15] = {0.25f, 0.5f, 0.25f, 0.5f, nan,  0.0f, 0.2f, -0.3f,
                           0.1f,  0.5f, 0.0f,  0.3f, 0.05f, 0.9f, 0.1f};
    f32 stereo[30];
    for (u32 i = 0; i < 15; ++i) stereo[2 * i] = left[i], stereo[2 * i + 1] = right[i];
    f32 mono[15];
    convertChunkToMono(reinterpret_cast<const u8*>(stereo), 15, 2, 4, 0, mono);
    for (u32 i = 0; i < 15; ++i) {
        f32 sum = 0.0f;
        sum += left[i];
        sum += right[i];
        const f32 v = sum * 2.0f * 1.0f;
        const f32 positive = v > 0.0f ? v : 0.0f;
        const f32 expected = positive > 1.0f ? 1.0f : positive;
        EXPECT_EQ(std::memcmp(&mono[i], &expected, sizeof expected), 0) << i << ": " << mono[i] << " vs " << expected;
    }
}

TEST(SpectrumValidation, ResultCodesFollowTheFormatInOrder) {
    SSpectrumGeometry g;
    const SSpectrumStreamFormat f = pcmFormat(2, 44100, 2, 44100ull * 180);
    EXPECT_EQ(validateSpectrumStream(f, &g), s32(E_SPECTRUM_RESULT_NONE));
    // One field changed, at a rate; the rate is judged before the duration. Which rates the
    // geometry refuses is the geometry's to test.
    using F = SSpectrumStreamFormat;
    constexpr s32 NONE = E_SPECTRUM_RESULT_NONE, BAD = E_SPECTRUM_RESULT_UNDECODABLE;
    const struct { u32 F::*field; u32 value; f32 rate; s32 result; } cases[] = {
        {&F::channels, 0, 44100, BAD}, {&F::channels, 3, 44100, BAD}, {&F::bytesPerSample, 0, 44100, BAD},
        {&F::bytesPerSample, 5, 44100, BAD}, {&F::totalBytes, 0, 44100, BAD},
        {&F::durationMs, 89999, 44100, E_SPECTRUM_RESULT_TOO_SHORT}, {&F::durationMs, 90000, 44100, NONE},
        {&F::durationMs, 59940000, 44100, NONE}, {&F::durationMs, 59940001, 44100, E_SPECTRUM_RESULT_TOO_LONG},
        {&F::durationMs, 1000, 7999, BAD}};
    for (const auto& c : cases) {
        SSpectrumStreamFormat copy = f;
        copy.*c.field = c.value;
        copy.sampleRate = c.rate;
        EXPECT_EQ(validateSpectrumStream(copy, &g), c.result) << c.value << " at " << c.rate << " Hz";
    }
}

// ---------------------------------------------------------------------------------------------
// The worked values

TEST_F(SpectrumPass, FirstChunkYieldsOneFrameLessThenWholeSecondsAndAShortStreamEndsInSilence) {
    g_chunkCalls.clear();
    g_SpectrumAnalysis.chunkCallback = recordChunk;
    ASSERT_EQ(passTone(2, 44100ull * 3 + 100, 300.0, 0.3), 0);  // 379 frames: the last chunk is nearly empty
    const SSpectrumHeader& h = g_SpectrumAnalysis.header;
    ASSERT_EQ(h.frameCount, 379u);
    EXPECT_EQ(g_chunkCalls, (std::vector<std::pair<u32, u32>>{{125, 0}, {126, 125}, {126, 251}, {2, 377}}));
    EXPECT_FLOAT_EQ(h.duration, 3.002f);
    // Rows and window live only during the pass.
    EXPECT_EQ(h.magnitudeRows, nullptr);
    EXPECT_EQ(g_SpectrumAnalysis.window, nullptr);
    EXPECT_EQ(getSpectrumAnalysisProgress(), SPECTRUM_DECODE_PROGRESS_END);

    // A stream that promised three seconds and delivered two, without an error, ends in silence.
    resetSpectrumAnalysis();
    ASSERT_EQ(passTone(1, 44100ull * 2, 440.0, 0.5, 44100ull * 3), 0);
    EXPECT_EQ(h.frameCount, 378u);
    EXPECT_EQ(*std::max_element(h.bandValues + 260 * h.bandCount, h.bandValues + h.frameCount * h.bandCount), 0.0f);
    EXPECT_GT(spectrumBandValue(100, 6), 0.0f);
}

// ---------------------------------------------------------------------------------------------
// Mono conversion, bands and shaping

// A silent song's running maximum is 0, and no value is divided by it into something else.
// (Negative sums give silent mono as well; the mono tests hold that.)
TEST_F(SpectrumPass, SilentSongGivesZeroFrames) {
    ASSERT_EQ(passTone(2, 44100ull * 2, 440.0, 0.0), 0);
    const SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    const f32* values = s.header.bandValues;
    EXPECT_EQ(s.runningMaximum, 0.0f);
    EXPECT_EQ(*std::max_element(values, values + s.header.frameCount * s.header.bandCount), 0.0f);
    EXPECT_TRUE(std::all_of(s.threeBandEnergies, s.threeBandEnergies + s.header.frameCount,
                            [](const SThreeBandEnergy& e) { return e.low == 0.0f; }));
}

// The shaping's power is the C library's std::pow to the bit, value by value and through the
// normaliser's lanes, over a spread of values from 0 to past the clip (every 509th f32 below 2.1
// x the maximum, about two million of them).
TEST(SpectrumShaping, PowerIsTheLibrarysToTheBit) {
    const f32 maximum = 5.0f;
    const f32 top = maximum * 2.1f;
    u32 topBits;
    std::memcpy(&topBits, &top, sizeof topBits);
    std::vector<f32> values;
    std::vector<f32> expected;
    for (u32 bits = 0; bits <= topBits; bits += 509u) {
        f32 value;
        std::memcpy(&value, &bits, sizeof value);
        const f32 x = std::clamp((value / maximum) / 2.1f, 0.0f, 1.0f);
        values.push_back(value);
        expected.push_back(std::clamp(1.0f - std::pow(1.0f - x, 6.0f) - 0.03f, 0.0f, 1.0f));
    }
    std::vector<f32> normalised = values;
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    s.header.bandValues = normalised.data();
    s.header.bandCount = 1;
    s.runningMaximum = maximum;
    normaliseSpectrumBands(0, u32(normalised.size()));
    s.header.bandValues = nullptr;
    resetSpectrumAnalysis();

    u32 shapedMismatches = 0;
    u32 normalisedMismatches = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const f32 shaped = shapeSpectrumBandValue(values[i], maximum);
        if (std::memcmp(&shaped, &expected[i], sizeof shaped) != 0) ++shapedMismatches;
        if (std::memcmp(&normalised[i], &expected[i], sizeof shaped) != 0) ++normalisedMismatches;
    }
    EXPECT_EQ(shapedMismatches, 0u);
    EXPECT_EQ(normalisedMismatches, 0u);
}

// ---------------------------------------------------------------------------------------------
// Failures during the pass

TEST_F(SpectrumPass, DecoderFailureHalfWayGivesCodeFourAndNoFrames) {
    ClSynthSource source(2, 44100, 44100ull * 3, [](u64 i, u32) { return tone(i, 440.0, 0.5); });
    source.m_failAtFrame = 44100ull + 500;
    EXPECT_EQ(runPass(&source, pcmFormat(2, 44100, 2, 44100ull * 3)), E_SPECTRUM_RESULT_UNDECODABLE);
    const SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    EXPECT_EQ(s.header.frameCount, 0u);
    EXPECT_EQ(s.header.bandValues, nullptr);
    EXPECT_EQ(s.threeBandEnergies, nullptr);
}

// When the decoder skipped damaged data on the way, it is the file that came up short: a stream
// left under 90 s, or under half its promised length, is damaged (code 4), not a short song.
TEST_F(SpectrumPass, AStreamCutShortByDamageIsRefusedAsDamaged) {
    decoder_test::ClTempFolder folder;
    decoder_test::ClAudioLogCapture log(folder.str());
    const auto resultFor = [](u32 seconds, u32 promised, bool damaged) {
        ClSynthSource source(1, 8000, 8000ull * seconds, [](u64 i, u32) { return s16(8000 * std::sin(i * 0.3)); });
        source.m_damaged = damaged;
        return runPass(&source, pcmFormat(1, 8000, 2, 8000ull * promised));
    };
    EXPECT_EQ(resultFor(89, 92, true), E_SPECTRUM_RESULT_UNDECODABLE);
    EXPECT_EQ(resultFor(89, 92, false), E_SPECTRUM_RESULT_TOO_SHORT);
    EXPECT_EQ(resultFor(95, 200, true), E_SPECTRUM_RESULT_UNDECODABLE);
    // Not damaged enough: the song is what came, in frames, in length and in the log.
    EXPECT_EQ(resultFor(95, 100, true), E_SPECTRUM_RESULT_NONE);
    const SSpectrumHeader& h = g_SpectrumAnalysis.header;
    EXPECT_EQ(h.frameCount, spectrumFrameCount(8000u * 95u * 2u, 1, 2, h.hop));
    EXPECT_FLOAT_EQ(h.duration, 95.0f);
    const std::string text = log.finish();
    EXPECT_NE(text.find("the stream is damaged"), std::string::npos) << text;
    EXPECT_NE(text.find("ended after [95000] ms of the [100000] ms"), std::string::npos) << text;
}
