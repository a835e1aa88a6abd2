// The spectral pass must give the same bits on every build: the generated levels are tuned to
// them and the caches hold them. These cases pin the digests of every magnitude row, band value
// and three-band energy of short generated songs, one per transform size the rates give and one
// per sample format.
#include "audio/analysis/fft.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/analysis/spectrum_pass.h"
#include "core/digest.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// The synthesised song in one of the sample formats the pass reads.
class ClFormatSource : public ISpectrumSampleSource {
public:
    ClFormatSource(const SSpectrumStreamFormat& format, u64 totalFrames) : m_format(format), m_totalFrames(totalFrames) {}

    u32 pullSamples(void* destination, u32 bytes) override {
        const u32 sampleBytes = m_format.bytesPerSample;
        const u32 frameBytes = sampleBytes * m_format.channels;
        const u32 rate = static_cast<u32>(m_format.sampleRate);
        u8* out = static_cast<u8*>(destination);
        u32 delivered = 0;
        while (delivered + frameBytes <= bytes && m_position < m_totalFrames) {
            for (u32 c = 0; c < m_format.channels; ++c) {
                writeSample(synthSample(m_position, c, rate), out + delivered);
                delivered += sampleBytes;
            }
            ++m_position;
        }
        return delivered;
    }
    bool hasFailed() override { return false; }

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
    ClFormatSource source(format, frames);
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
