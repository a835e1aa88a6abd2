#include "audio/spectrum_pass.h"

#include "audio/fft.h"
#include "audio/spectrum_analysis.h"
#include "core/fatal_error.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr f32 GAUSSIAN_E = 2.7182817f;
constexpr f32 SCALE_8BIT = 1.0f / 127.0f;
constexpr f32 SCALE_16BIT = 1.0f / 32767.0f;
constexpr f32 SCALE_24BIT = 1.0f / 8388608.0f;      // 2^-23
constexpr f32 SCALE_32BIT = 1.0f / 2147483648.0f;   // 2^-31
constexpr f32 BAND_SHAPE_DIVISOR = 2.1f;
constexpr f32 BAND_SHAPE_FLOOR = 0.03f;

void* allocateBlock(size_t bytes, size_t alignment, bool zeroed) {
    size_t rounded = (bytes + alignment - 1) & ~(alignment - 1);
    if (rounded == 0) rounded = alignment;
    void* block = std::aligned_alloc(alignment, rounded);
    if (block != nullptr && zeroed) std::memset(block, 0, rounded);
    return block;
}

// NaN from a float stream counts as silence rather than poisoning the running maximum.
inline f32 clamp01(f32 v) {
    if (!(v > 0.0f)) return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

inline s32 readS16(const u8* p) { return static_cast<s16>(static_cast<u16>(p[0] | (p[1] << 8))); }
inline s32 readS24(const u8* p) {
    const u32 raw = static_cast<u32>(p[0]) | (static_cast<u32>(p[1]) << 8) | (static_cast<u32>(p[2]) << 16);
    return static_cast<s32>(raw << 8) >> 8;
}
inline s32 readS32(const u8* p) {
    u32 raw;
    std::memcpy(&raw, p, 4);
    return static_cast<s32>(raw);
}
inline f32 readF32(const u8* p) {
    f32 v;
    std::memcpy(&v, p, 4);
    return v;
}

template <typename SumFn>
void monoLoop(const u8* chunk, u32 sampleFrames, u32 channels, u32 frameBytes, f32 scale, f32* out, SumFn sum) {
    const f32 channelFactor = static_cast<f32>(channels);
    for (u32 s = 0; s < sampleFrames; ++s) {
        const f32 v = sum(chunk + static_cast<size_t>(s) * frameBytes);
        out[s] = clamp01(v * channelFactor * scale);
    }
}

// The buffers of one pass, all freed together.
struct SPassBuffers {
    u8* chunk = nullptr;
    f32* transformIn = nullptr;
    f32* transformOut = nullptr;
    f32* mono = nullptr;
    f32* carry = nullptr;

    bool allocate(u32 chunkBytes, u32 transformSize, u32 rate, u32 hop) {
        chunk = static_cast<u8*>(allocateBlock(chunkBytes, 16, false));
        transformIn = static_cast<f32*>(allocateBlock(size_t(transformSize) * 2 * sizeof(f32), 16, true));
        transformOut = static_cast<f32*>(allocateBlock(size_t(transformSize) * 2 * sizeof(f32), 16, true));
        mono = static_cast<f32*>(allocateBlock(size_t(rate) * sizeof(f32), 16, true));
        carry = static_cast<f32*>(allocateBlock(size_t(hop) * sizeof(f32), 16, true));
        return chunk && transformIn && transformOut && mono && carry;
    }
    ~SPassBuffers() {
        std::free(chunk);
        std::free(transformIn);
        std::free(transformOut);
        std::free(mono);
        std::free(carry);
    }
};

void storeMagnitudes(const f32* transformOut, u32 hop, f32* row) {
    for (u32 b = 0; b < hop; ++b) row[b] = complexMagnitude(transformOut[2u * b], transformOut[2u * b + 1u]);
}

void failPass() {
    releaseSpectrumAnalysis();
    g_SpectrumAnalysis.header.frameCount = 0;
    g_SpectrumAnalysis.header.bandCount = 0;
}

}  // namespace

s32 validateSpectrumStream(const SSpectrumStreamFormat& format, SSpectrumGeometry* outGeometry) {
    *outGeometry = SSpectrumGeometry{};
    if (format.bytesPerSample == 0 || format.bytesPerSample > 4 || format.channels == 0 || format.channels > 2)
        return E_SPECTRUM_RESULT_UNDECODABLE;
    if (!(format.sampleRate >= static_cast<f32>(SPECTRUM_MIN_SAMPLE_RATE)) ||
        !(format.sampleRate <= static_cast<f32>(SPECTRUM_MAX_SAMPLE_RATE)))
        return E_SPECTRUM_RESULT_UNDECODABLE;
    if (format.durationMs < SPECTRUM_MIN_DURATION_MS) return E_SPECTRUM_RESULT_TOO_SHORT;
    if (format.durationMs > SPECTRUM_MAX_DURATION_MS) return E_SPECTRUM_RESULT_TOO_LONG;
    if (!computeSpectrumGeometry(format.sampleRate, outGeometry)) return E_SPECTRUM_RESULT_UNDECODABLE;
    if (spectrumFrameCount(format.totalBytes, format.channels, format.bytesPerSample, outGeometry->hop) == 0)
        return E_SPECTRUM_RESULT_UNDECODABLE;
    return E_SPECTRUM_RESULT_NONE;
}

void convertChunkToMono(const u8* chunk, u32 sampleFrames, u32 channels, u32 bytesPerSample, u32 integerSamples,
                        f32* outMono) {
    const u32 frameBytes = channels * bytesPerSample;
    switch (bytesPerSample) {
    case 1:
        monoLoop(chunk, sampleFrames, channels, frameBytes, SCALE_8BIT, outMono, [channels](const u8* p) {
            s32 sum = 0;
            for (u32 c = 0; c < channels; ++c) sum += static_cast<s32>(p[c]) - 128;
            return static_cast<f32>(sum);
        });
        break;
    case 2:
        monoLoop(chunk, sampleFrames, channels, frameBytes, SCALE_16BIT, outMono, [channels](const u8* p) {
            s32 sum = 0;
            for (u32 c = 0; c < channels; ++c) sum += readS16(p + 2u * c);
            return static_cast<f32>(sum);
        });
        break;
    case 3:
        monoLoop(chunk, sampleFrames, channels, frameBytes, SCALE_24BIT, outMono, [channels](const u8* p) {
            s64 sum = 0;
            for (u32 c = 0; c < channels; ++c) sum += readS24(p + 3u * c);
            return static_cast<f32>(sum);
        });
        break;
    default:
        if (integerSamples != 0) {
            monoLoop(chunk, sampleFrames, channels, frameBytes, SCALE_32BIT, outMono, [channels](const u8* p) {
                s64 sum = 0;
                for (u32 c = 0; c < channels; ++c) sum += readS32(p + 4u * c);
                return static_cast<f32>(sum);
            });
        } else {
            monoLoop(chunk, sampleFrames, channels, frameBytes, 1.0f, outMono, [channels](const u8* p) {
                f32 sum = 0.0f;
                for (u32 c = 0; c < channels; ++c) sum += readF32(p + 4u * c);
                return sum;
            });
        }
        break;
    }
}

f32 gaussianWindowWeight(u32 index, u32 length) {
    const f32 centre = static_cast<f32>(length - 1u) / 2.0f;
    const f32 x = (static_cast<f32>(index) - centre) / (0.4f * centre);
    return std::pow(GAUSSIAN_E, -0.5f * (x * x));
}

void buildGaussianWindow(u32 length) {
    releaseAnalysisWindow();
    f32* window = static_cast<f32*>(allocateBlock(size_t(length) * sizeof(f32), 16, false));
    if (window == nullptr) fatalError("spectrum analysis: no memory for the window");
    for (u32 i = 0; i < length; ++i) window[i] = gaussianWindowWeight(i, length);
    g_SpectrumAnalysis.window = window;
}

void releaseAnalysisWindow() {
    std::free(g_SpectrumAnalysis.window);
    g_SpectrumAnalysis.window = nullptr;
}

s32 allocateSpectrumRows(u32 count, u32 hop) {
    releaseSpectrumRows();
    g_SpectrumAnalysis.header.magnitudeRows =
        static_cast<f32*>(allocateBlock(size_t(count) * hop * sizeof(f32), 16, true));
    return g_SpectrumAnalysis.header.magnitudeRows != nullptr ? 1 : 0;
}

void releaseSpectrumRows() {
    std::free(g_SpectrumAnalysis.header.magnitudeRows);
    g_SpectrumAnalysis.header.magnitudeRows = nullptr;
}

void foldSpectrumRows(u32 rowCount, u32 hop, u32 firstFrame, u32 frameCount, const f32* rows, u32 nyquist,
                      u32 /*userWord*/) {
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    u32 firstBin[SPECTRUM_MAX_BANDS];
    u32 width[SPECTRUM_MAX_BANDS];
    const u32 bandCount = layoutSpectrumBands(hop, firstBin, width, SPECTRUM_MAX_BANDS);

    if (firstFrame == 0) {
        s.header.bandCount = bandCount;
        std::free(s.header.bandValues);
        s.header.bandValues =
            static_cast<f32*>(allocateBlock(size_t(frameCount) * bandCount * sizeof(f32), 16, false));
        if (s.header.bandValues == nullptr) fatalError("spectrum analysis: no memory for the band values");
        allocateSpectrumEnergyTables(frameCount);
    }
    if (s.header.bandValues == nullptr || s.threeBandEnergies == nullptr || bandCount != s.header.bandCount)
        fatalError("spectrum analysis: rows folded before the tables exist");
    if (firstFrame >= frameCount) return;
    if (rowCount > frameCount - firstFrame) rowCount = frameCount - firstFrame;

    const SThreeBandSplit split = computeThreeBandSplit(nyquist, hop);
    for (u32 r = 0; r < rowCount; ++r) {
        const f32* row = rows + size_t(r) * hop;
        f32* bands = s.header.bandValues + size_t(firstFrame + r) * bandCount;
        for (u32 b = 0; b < bandCount; ++b) {
            // The normaliser follows the single bin at the band's index, not the band's sum.
            if (row[b] > s.runningMaximum) s.runningMaximum = row[b];
            f32 sum = 0.0f;
            for (u32 i = firstBin[b]; i < firstBin[b] + width[b]; ++i) sum += row[i];
            bands[b] = sum;
        }
        SThreeBandEnergy& energy = s.threeBandEnergies[firstFrame + r];
        f32 low = 0.0f;
        for (u32 i = 0; i < split.low; ++i) low += row[i];
        f32 middle = 0.0f;
        for (u32 i = split.low; i < split.middle; ++i) middle += row[i];
        f32 high = 0.0f;
        for (u32 i = split.middle; i < split.high; ++i) high += row[i];
        energy.low = low;
        energy.middle = middle;
        energy.high = high;
    }
}

f32 shapeSpectrumBandValue(f32 value, f32 maximum) {
    f32 x = (value / maximum) / BAND_SHAPE_DIVISOR;
    x = clamp01(x);
    f32 y = 1.0f - std::pow(1.0f - x, 6.0f);
    y = y - BAND_SHAPE_FLOOR;
    return clamp01(y);
}

void normaliseSpectrumBands(u32 /*hop*/, u32 frameCount) {
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    const f32 maximum = s.runningMaximum;
    const size_t valueCount = size_t(frameCount) * s.header.bandCount;
    if (s.header.bandValues != nullptr) {
        for (size_t i = 0; i < valueCount; ++i)
            s.header.bandValues[i] = maximum > 0.0f ? shapeSpectrumBandValue(s.header.bandValues[i], maximum) : 0.0f;
    }
    if (s.threeBandEnergies != nullptr) {
        const u32 energies = frameCount < s.energyFrameCount ? frameCount : s.energyFrameCount;
        for (u32 i = 0; i < energies; ++i) {
            SThreeBandEnergy& e = s.threeBandEnergies[i];
            if (maximum > 0.0f) {
                e.low = e.low / maximum;
                e.middle = e.middle / maximum;
                e.high = e.high / maximum;
            } else {
                e = SThreeBandEnergy{};
            }
        }
    }
}

s32 runSpectrumPass(ISpectrumSampleSource* source, const SSpectrumStreamFormat& format,
                    const SSpectrumGeometry& geometry) {
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    releaseSpectrumAnalysis();

    const u32 rate = geometry.sampleRate;
    const u32 hop = geometry.hop;
    const u32 framesPerSecond = geometry.framesPerSecond;
    const u32 frameCount = spectrumFrameCount(format.totalBytes, format.channels, format.bytesPerSample, hop);

    SSpectrumHeader& h = s.header;
    h.windowLength = geometry.windowLength;
    h.transformSize = geometry.transformSize;
    h.hop = hop;
    h.sampleRate = rate;
    h.nyquist = geometry.nyquist;
    h.frameDuration = geometry.frameDuration;
    h.channels = format.channels;
    h.bytesPerSample = format.bytesPerSample;
    h.frameCount = frameCount;
    h.loadedFromCache = 0;
    h.bandCount = 0;
    h.duration = static_cast<f32>(format.durationMs) * 0.001f;
    h.sampleRateF = format.sampleRate;
    s.framesPerSecond = framesPerSecond;
    if (s.chunkCallback == nullptr) s.chunkCallback = foldSpectrumRows;

    const u32 frameBytes = format.channels * format.bytesPerSample;
    const u32 chunkBytes = frameBytes * rate;
    SPassBuffers buffers;
    if (frameCount == 0 || !buffers.allocate(chunkBytes, geometry.transformSize, rate, hop) ||
        !allocateSpectrumRows(framesPerSecond, hop)) {
        failPass();
        return E_SPECTRUM_RESULT_UNDECODABLE;
    }
    buildGaussianWindow(geometry.windowLength);
    const f32* window = s.window;
    f32* rows = h.magnitudeRows;

    s.runningMaximum = 0.0f;
    u32 framesDone = 0;
    u64 bytesPulled = 0;
    bool carryValid = false;
    bool failed = false;
    while (framesDone < frameCount) {
        setSpectrumAnalysisProgress((static_cast<f32>(bytesPulled) / static_cast<f32>(format.totalBytes)) *
                                    SPECTRUM_DECODE_PROGRESS_END);
        std::memset(buffers.chunk, 0, 4);
        const u32 delivered = source->pullSamples(buffers.chunk, chunkBytes);
        bytesPulled += delivered;
        if (delivered < chunkBytes) {
            // A stream that ends early counts as silence (its total may have been an estimate),
            // unless the decoder broke off before the whole song was delivered.
            if (source->hasFailed() && bytesPulled < format.totalBytes) {
                failed = true;
                break;
            }
            std::memset(buffers.chunk + delivered, 0, chunkBytes - delivered);
        }
        convertChunkToMono(buffers.chunk, rate, format.channels, format.bytesPerSample, format.integerSamples,
                           buffers.mono);

        const u32 framesBefore = framesDone;
        u32 k = 0;
        // The frame that straddles the previous chunk and this one.
        if (carryValid) {
            for (u32 i = 0; i < hop; ++i) {
                buffers.transformIn[2u * i] = buffers.carry[i] * window[i];
                buffers.transformIn[2u * (hop + i)] = buffers.mono[i] * window[hop + i];
            }
            fftComplex(buffers.transformIn, buffers.transformOut, geometry.transformSize);
            if (framesDone < frameCount) {
                storeMagnitudes(buffers.transformOut, hop, rows);
                ++framesDone;
                k = 1;
            }
        }
        for (u32 f = 0; f + 1 < framesPerSecond && framesDone < frameCount; ++f) {
            const f32* samples = buffers.mono + size_t(f) * hop;
            for (u32 i = 0; i < geometry.windowLength; ++i) buffers.transformIn[2u * i] = samples[i] * window[i];
            fftComplex(buffers.transformIn, buffers.transformOut, geometry.transformSize);
            storeMagnitudes(buffers.transformOut, hop, rows + size_t(k) * hop);
            ++framesDone;
            ++k;
        }
        // The last slot's samples start the next chunk's boundary frame.
        std::memcpy(buffers.carry, buffers.mono + size_t(framesPerSecond - 1u) * hop, size_t(hop) * sizeof(f32));
        carryValid = true;

        s.chunkCallback(k, hop, framesBefore, frameCount, rows, h.nyquist, s.chunkUserWord);
    }
    if (!failed && source->hasFailed() && bytesPulled < format.totalBytes) failed = true;

    setSpectrumAnalysisProgress(SPECTRUM_DECODE_PROGRESS_END);
    releaseAnalysisWindow();
    releaseSpectrumRows();
    if (failed) {
        failPass();
        return E_SPECTRUM_RESULT_UNDECODABLE;
    }
    normaliseSpectrumBands(hop, frameCount);
    return E_SPECTRUM_RESULT_NONE;
}
