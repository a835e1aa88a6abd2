#include "audio/analysis/spectrum_pass.h"

#include "audio/analysis/fft.h"
#include "audio/analysis/spectral_cache.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/decode/codec_registry.h"
#include "core/fatal_error.h"
#include "core/processor_features.h"

#include <bit>
#include <cmath>
#include <cstddef>
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
constexpr size_t CACHE_LINE_BYTES = 64;
static_assert(2u * (SPECTRUM_MAX_SAMPLE_RATE / SPECTRUM_MIN_FRAMES_PER_SECOND) <= FFT_MAX_SIZE,
              "the largest window must fit the transform tables");

// A zeroed block the allocator's own alignment covers comes from calloc: a large one is then
// fresh zero pages from the system, not cleared a second time here (the magnitude rows of a song
// are tens of megabytes).
void* allocateBlock(size_t bytes, size_t alignment, bool zeroed) {
    size_t rounded = (bytes + alignment - 1) & ~(alignment - 1);
    if (rounded == 0) rounded = alignment;
    if (zeroed && alignment <= alignof(std::max_align_t)) return std::calloc(1, rounded);
    void* block = std::aligned_alloc(alignment, rounded);
    if (block != nullptr && zeroed) std::memset(block, 0, rounded);
    return block;
}

// NaN from a float stream counts as silence rather than poisoning the running maximum. Written
// as two selections so that no branch depends on the sign of the wave.
inline f32 clamp01(f32 v) {
    const f32 positive = v > 0.0f ? v : 0.0f;
    return positive > 1.0f ? 1.0f : positive;
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

inline s32 readU8Centred(const u8* p) { return static_cast<s32>(p[0]) - 128; }

// Each sample frame's channels summed in Sum from 0, channel by channel, then multiplied by the
// channel count and the scale and clipped. FixedChannels (when not 0) lets mono and stereo run
// without an inner loop.
template <typename Sum, auto Read, u32 FixedChannels>
void monoFrames(const u8* chunk, u32 sampleFrames, u32 channels, u32 sampleBytes, f32 scale, f32* out) {
    const u32 count = FixedChannels != 0 ? FixedChannels : channels;
    const u32 frameBytes = count * sampleBytes;
    const f32 channelFactor = static_cast<f32>(count);
    for (u32 s = 0; s < sampleFrames; ++s) {
        const u8* frame = chunk + static_cast<size_t>(s) * frameBytes;
        Sum sum = 0;
        for (u32 c = 0; c < count; ++c) sum += Read(frame + c * sampleBytes);
        out[s] = clamp01(static_cast<f32>(sum) * channelFactor * scale);
    }
}

// std::pow(y, 6.0f) for y in [0, 1], the same bits for less work. The power is formed in double,
// where it lies within a few units of 2^-52 (relative) of the exact value; rounded to f32 it is
// then the correctly rounded power unless it sits close to the midpoint between two floats, and
// the library's powf, accurate far within that distance, rounds the same way. Close to a midpoint,
// and for powers below the smallest normal f32, the library is asked.
inline f32 sixthPower(f32 y) {
    constexpr u64 DROPPED_BITS = 29;  // double mantissa bits below the f32 mantissa
    constexpr u64 MIDPOINT = u64(1) << (DROPPED_BITS - 1u);
    constexpr u64 NEAR_MIDPOINT = u64(1) << 24;
    const f64 d = y;
    const f64 cube = d * d * d;
    const f64 power = cube * cube;
    u64 bits;
    std::memcpy(&bits, &power, sizeof bits);
    const u64 dropped = bits & ((u64(1) << DROPPED_BITS) - 1u);
    const u64 distance = dropped > MIDPOINT ? dropped - MIDPOINT : MIDPOINT - dropped;
    if (!(power >= 0x1p-126) || distance < NEAR_MIDPOINT) return std::pow(y, 6.0f);
    return static_cast<f32>(power);
}

// Four lanes of f32 or s32: element-wise arithmetic, each lane as the scalar code.
typedef f32 PassLanes __attribute__((vector_size(16)));
typedef s32 PassIntLanes __attribute__((vector_size(16)));
constexpr u32 PASS_LANES = 4;

// clamp01 in each lane, in place.
template <typename FloatLanes>
[[gnu::always_inline]] inline void clamp01Lanes(FloatLanes& v) {
    const FloatLanes zero = {};
    const FloatLanes one = zero + 1.0f;
    const FloatLanes positive = v > zero ? v : zero;
    v = positive > one ? one : positive;
}

// 16-bit stereo, the common case, a lane's width of sample frames at a time: each little-endian
// frame read as one word holds the left sample in its low half. Returns the frames done; the rest
// go through the scalar loop.
template <typename FloatLanes, typename IntLanes>
[[gnu::always_inline]] inline u32 stereo16ToMonoIn(const u8* chunk, u32 sampleFrames, f32* out) {
    if constexpr (std::endian::native != std::endian::little) return 0;
    constexpr u32 lanes = sizeof(FloatLanes) / sizeof(f32);
    const FloatLanes channelFactor = FloatLanes{} + 2.0f;
    const FloatLanes scale = FloatLanes{} + SCALE_16BIT;
    u32 s = 0;
    for (; s + lanes <= sampleFrames; s += lanes) {
        IntLanes frames;
        std::memcpy(&frames, chunk + size_t(s) * 4u, sizeof frames);
        const IntLanes left = (frames << 16) >> 16;
        const IntLanes right = frames >> 16;
        FloatLanes v = __builtin_convertvector(left + right, FloatLanes) * channelFactor * scale;
        clamp01Lanes(v);
        std::memcpy(out + s, &v, sizeof v);
    }
    return s;
}

u32 stereo16ToMonoLanes(const u8* chunk, u32 sampleFrames, f32* out) {
    return stereo16ToMonoIn<PassLanes, PassIntLanes>(chunk, sampleFrames, out);
}

#if defined(__x86_64__)
typedef s32 PassWideIntLanes __attribute__((vector_size(32)));
typedef f32 PassWideLanes __attribute__((vector_size(32)));

// Eight frames at a time where the processor has AVX2.
[[gnu::target("avx2")]] u32 stereo16ToMonoWideLanes(const u8* chunk, u32 sampleFrames, f32* out) {
    return stereo16ToMonoIn<PassWideLanes, PassWideIntLanes>(chunk, sampleFrames, out);
}
#endif

// 16-bit stereo through the widest lanes the processor has, then the four-lane code. Returns the
// frames done; the rest go through the scalar loop.
u32 stereo16ToMono(const u8* chunk, u32 sampleFrames, f32* out) {
    u32 done = 0;
#if defined(__x86_64__)
    if (processorHasAvx2()) done = stereo16ToMonoWideLanes(chunk, sampleFrames, out);
#endif
    return done + stereo16ToMonoLanes(chunk + size_t(done) * 4u, sampleFrames - done, out + done);
}

// Float stereo, a lane's width of sample frames at a time: the left samples of two loads are the
// even lanes, the right ones the odd lanes. Each frame gets monoFrames's operations in the same
// order (the sum from 0, then the channel count, then the scale of 1). Returns the frames done;
// the rest go through the scalar loop.
template <typename FloatLanes>
[[gnu::always_inline]] inline u32 stereoFloatToMonoIn(const u8* chunk, u32 sampleFrames, f32* out) {
    constexpr u32 lanes = sizeof(FloatLanes) / sizeof(f32);
    const FloatLanes zero = {};
    const FloatLanes one = zero + 1.0f;
    const FloatLanes channelFactor = zero + 2.0f;
    u32 s = 0;
    for (; s + lanes <= sampleFrames; s += lanes) {
        FloatLanes a, b;
        std::memcpy(&a, chunk + size_t(s) * 8u, sizeof a);
        std::memcpy(&b, chunk + size_t(s) * 8u + sizeof a, sizeof b);
        FloatLanes left, right;
        if constexpr (lanes == 8) {
            left = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14);
            right = __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15);
        } else {
            left = __builtin_shufflevector(a, b, 0, 2, 4, 6);
            right = __builtin_shufflevector(a, b, 1, 3, 5, 7);
        }
        FloatLanes v = (((zero + left) + right) * channelFactor) * one;
        clamp01Lanes(v);
        std::memcpy(out + s, &v, sizeof v);
    }
    return s;
}

u32 stereoFloatToMonoLanes(const u8* chunk, u32 sampleFrames, f32* out) {
    return stereoFloatToMonoIn<PassLanes>(chunk, sampleFrames, out);
}

#if defined(__x86_64__)
// Eight frames at a time where the processor has AVX.
[[gnu::target("avx")]] u32 stereoFloatToMonoWideLanes(const u8* chunk, u32 sampleFrames, f32* out) {
    return stereoFloatToMonoIn<PassWideLanes>(chunk, sampleFrames, out);
}
#endif

// Float stereo through the widest lanes the processor has, then the four-lane code. Returns the
// frames done.
u32 stereoFloatToMono(const u8* chunk, u32 sampleFrames, f32* out) {
    u32 done = 0;
#if defined(__x86_64__)
    if (processorHasAvx()) done = stereoFloatToMonoWideLanes(chunk, sampleFrames, out);
#endif
    return done + stereoFloatToMonoLanes(chunk + size_t(done) * 8u, sampleFrames - done, out + done);
}

template <typename Sum, auto Read>
void monoLoop(const u8* chunk, u32 sampleFrames, u32 channels, u32 sampleBytes, f32 scale, f32* out) {
    if (channels == 1) {
        monoFrames<Sum, Read, 1>(chunk, sampleFrames, channels, sampleBytes, scale, out);
    } else if (channels == 2) {
        monoFrames<Sum, Read, 2>(chunk, sampleFrames, channels, sampleBytes, scale, out);
    } else {
        monoFrames<Sum, Read, 0>(chunk, sampleFrames, channels, sampleBytes, scale, out);
    }
}

// The buffers of one pass, all freed together. The transform's input is real (the windowed
// samples, zero past the window); its output comes as separate real and imaginary parts.
struct SPassBuffers {
    u8* piece = nullptr;
    f32* windowed = nullptr;
    f32* spectrumReal = nullptr;
    f32* spectrumImag = nullptr;
    f32* mono = nullptr;
    f32* carry = nullptr;

    // The transform's working arrays start on a cache line, so none of its eight-lane loads and
    // stores straddles two lines.
    bool allocate(u32 pieceBytes, u32 transformSize, u32 rate, u32 hop) {
        piece = static_cast<u8*>(allocateBlock(pieceBytes, 16, false));
        windowed = static_cast<f32*>(allocateBlock(size_t(transformSize) * sizeof(f32), CACHE_LINE_BYTES, true));
        spectrumReal = static_cast<f32*>(allocateBlock(size_t(transformSize) * sizeof(f32), CACHE_LINE_BYTES, true));
        spectrumImag = static_cast<f32*>(allocateBlock(size_t(transformSize) * sizeof(f32), CACHE_LINE_BYTES, true));
        mono = static_cast<f32*>(allocateBlock(size_t(rate) * sizeof(f32), CACHE_LINE_BYTES, true));
        carry = static_cast<f32*>(allocateBlock(size_t(hop) * sizeof(f32), 16, true));
        return piece && windowed && spectrumReal && spectrumImag && mono && carry;
    }
    ~SPassBuffers() {
        std::free(piece);
        std::free(windowed);
        std::free(spectrumReal);
        std::free(spectrumImag);
        std::free(mono);
        std::free(carry);
    }
};

// out[i] = samples[i] x weights[i].
void applyWindow(const f32* samples, const f32* weights, u32 count, f32* out) {
    u32 i = 0;
    for (; i + PASS_LANES <= count; i += PASS_LANES) {
        PassLanes a, b;
        std::memcpy(&a, samples + i, sizeof a);
        std::memcpy(&b, weights + i, sizeof b);
        const PassLanes product = a * b;
        std::memcpy(out + i, &product, sizeof product);
    }
    for (; i < count; ++i) out[i] = samples[i] * weights[i];
}

// The kept bins' magnitudes of the frame samples[i] x weights[i], i below the window length
// (weights null: samples already windowed).
void transformFrame(const SPassBuffers& buffers, const f32* samples, const f32* weights,
                    const SSpectrumGeometry& geometry, f32* row) {
    fftRealMagnitudes(samples, weights, geometry.windowLength, geometry.transformSize, geometry.hop,
                      buffers.spectrumReal, buffers.spectrumImag, row);
}

// Where a row's bins go: the bands and the three energy ranges.
struct SFoldLayout {
    u32 hop;
    u32 bandCount;
    const u32* firstBin;
    const u32* width;
    SThreeBandSplit split;
};

// One row's band sums and three-band energies into frame `frame`, each a sum from 0 in bin order.
void foldRow(const SFoldLayout& layout, const f32* row, u32 frame) {
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    f32* bands = s.header.bandValues + size_t(frame) * layout.bandCount;
    for (u32 b = 0; b < layout.bandCount; ++b) {
        f32 sum = 0.0f;
        for (u32 i = layout.firstBin[b]; i < layout.firstBin[b] + layout.width[b]; ++i) sum += row[i];
        bands[b] = sum;
    }
    SThreeBandEnergy& energy = s.threeBandEnergies[frame];
    f32 low = 0.0f;
    for (u32 i = 0; i < layout.split.low; ++i) low += row[i];
    f32 middle = 0.0f;
    for (u32 i = layout.split.low; i < layout.split.middle; ++i) middle += row[i];
    f32 high = 0.0f;
    for (u32 i = layout.split.middle; i < layout.split.high; ++i) high += row[i];
    energy.low = low;
    energy.middle = middle;
    energy.high = high;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
// The bins of Count consecutive rows (a multiple of four) interleaved: element Count x i + j of
// out is bin i of row j. Four rows at a time, four bins of each as one 4 x 4 transpose.
template <u32 Count>
[[gnu::always_inline]] inline void interleaveRows(const f32* rows, u32 hop, f32* out) {
    for (u32 g = 0; g < Count; g += PASS_LANES) {
        const f32* row0 = rows + size_t(g) * hop;
        const f32* row1 = row0 + hop;
        const f32* row2 = row1 + hop;
        const f32* row3 = row2 + hop;
        u32 i = 0;
        for (; i + PASS_LANES <= hop; i += PASS_LANES) {
            PassLanes a, b, c, d;
            std::memcpy(&a, row0 + i, sizeof a);
            std::memcpy(&b, row1 + i, sizeof b);
            std::memcpy(&c, row2 + i, sizeof c);
            std::memcpy(&d, row3 + i, sizeof d);
            const PassLanes ab01 = __builtin_shufflevector(a, b, 0, 4, 1, 5);
            const PassLanes ab23 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
            const PassLanes cd01 = __builtin_shufflevector(c, d, 0, 4, 1, 5);
            const PassLanes cd23 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
            // Four named stores: an array of the four would go through the stack.
            const PassLanes bin0 = __builtin_shufflevector(ab01, cd01, 0, 1, 4, 5);
            const PassLanes bin1 = __builtin_shufflevector(ab01, cd01, 2, 3, 6, 7);
            const PassLanes bin2 = __builtin_shufflevector(ab23, cd23, 0, 1, 4, 5);
            const PassLanes bin3 = __builtin_shufflevector(ab23, cd23, 2, 3, 6, 7);
            f32* bins = out + size_t(i) * Count + g;
            std::memcpy(bins, &bin0, sizeof bin0);
            std::memcpy(bins + Count, &bin1, sizeof bin1);
            std::memcpy(bins + 2u * Count, &bin2, sizeof bin2);
            std::memcpy(bins + 3u * Count, &bin3, sizeof bin3);
        }
        for (; i < hop; ++i) {
            f32* bin = out + size_t(i) * Count + g;
            bin[0] = row0[i];
            bin[1] = row1[i];
            bin[2] = row2[i];
            bin[3] = row3[i];
        }
    }
}

// Lane j summed from 0 over bins first .. end - 1 of row j, in bin order (interleaved as
// interleaveRows leaves them): each lane is foldRow's sum for its row.
template <typename Lanes>
[[gnu::always_inline]] inline void sumInterleaved(Lanes& sum, const f32* interleaved, u32 first, u32 end) {
    constexpr u32 lanes = sizeof(Lanes) / sizeof(f32);
    sum = Lanes{};
    for (u32 i = first; i < end; ++i) {
        Lanes bins;
        std::memcpy(&bins, interleaved + size_t(i) * lanes, sizeof bins);
        sum = sum + bins;
    }
}

// foldRow for as many consecutive rows as there are lanes, one row per lane, with the same sums:
// the additions of one row stay in their order, while the chains no longer wait on each other.
template <typename Lanes>
[[gnu::always_inline]] inline void foldRowsInLanes(const SFoldLayout& layout, const f32* rows, u32 frame) {
    constexpr u32 lanes = sizeof(Lanes) / sizeof(f32);
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    alignas(32) f32 interleaved[size_t(SPECTRUM_MAX_SAMPLE_RATE / SPECTRUM_MIN_FRAMES_PER_SECOND) * lanes];
    interleaveRows<lanes>(rows, layout.hop, interleaved);
    Lanes sum;
    for (u32 b = 0; b < layout.bandCount; ++b) {
        sumInterleaved(sum, interleaved, layout.firstBin[b], layout.firstBin[b] + layout.width[b]);
        for (u32 j = 0; j < lanes; ++j) s.header.bandValues[size_t(frame + j) * layout.bandCount + b] = sum[j];
    }
    Lanes low, middle, high;
    sumInterleaved(low, interleaved, 0, layout.split.low);
    sumInterleaved(middle, interleaved, layout.split.low, layout.split.middle);
    sumInterleaved(high, interleaved, layout.split.middle, layout.split.high);
    for (u32 j = 0; j < lanes; ++j) {
        SThreeBandEnergy& energy = s.threeBandEnergies[frame + j];
        energy.low = low[j];
        energy.middle = middle[j];
        energy.high = high[j];
    }
}
#pragma GCC diagnostic pop

void foldFourRows(const SFoldLayout& layout, const f32* rows, u32 frame) {
    foldRowsInLanes<PassLanes>(layout, rows, frame);
}

#if defined(__x86_64__)
// Eight rows at a time where the processor has AVX.
[[gnu::target("avx")]] void foldEightRows(const SFoldLayout& layout, const f32* rows, u32 frame) {
    foldRowsInLanes<PassWideLanes>(layout, rows, frame);
}
#endif

// shapeSpectrumBandValue of four values in place: the divisions and clips in lanes, the power
// value by value, each value through the same operations.
void shapeFourBandValues(f32* values, f32 maximum) {
    const PassLanes zero = {0.0f, 0.0f, 0.0f, 0.0f};
    const PassLanes one = {1.0f, 1.0f, 1.0f, 1.0f};
    const PassLanes divisor = {BAND_SHAPE_DIVISOR, BAND_SHAPE_DIVISOR, BAND_SHAPE_DIVISOR, BAND_SHAPE_DIVISOR};
    const PassLanes floor = {BAND_SHAPE_FLOOR, BAND_SHAPE_FLOOR, BAND_SHAPE_FLOOR, BAND_SHAPE_FLOOR};
    const PassLanes maxima = {maximum, maximum, maximum, maximum};
    PassLanes v;
    std::memcpy(&v, values, sizeof v);
    PassLanes x = (v / maxima) / divisor;
    x = x > zero ? x : zero;
    x = x > one ? one : x;
    PassLanes power;
    for (u32 l = 0; l < PASS_LANES; ++l) power[l] = sixthPower(1.0f - x[l]);
    PassLanes y = (one - power) - floor;
    y = y > zero ? y : zero;
    y = y > one ? one : y;
    std::memcpy(values, &y, sizeof y);
}

#if defined(__x86_64__)
typedef f64 PassWideDoubles __attribute__((vector_size(32)));
typedef s64 PassWideWords __attribute__((vector_size(32)));

// sixthPower of four values in lanes: the same double products, the same test of the dropped bits,
// the library asked for any lane close to a midpoint or below the smallest normal f32.
[[gnu::target("avx2"), gnu::always_inline]] inline void sixthPowersWide(const f32* y, f32* out) {
    constexpr s64 DROPPED_BITS = 29;
    constexpr s64 MIDPOINT = s64(1) << (DROPPED_BITS - 1);
    constexpr s64 NEAR_MIDPOINT = s64(1) << 24;
    const PassWideDoubles d = {y[0], y[1], y[2], y[3]};
    const PassWideDoubles cube = d * d * d;
    const PassWideDoubles power = cube * cube;
    PassWideWords bits;
    std::memcpy(&bits, &power, sizeof bits);
    const PassWideWords dropped = bits & ((s64(1) << DROPPED_BITS) - 1);
    const PassWideWords distance = dropped > MIDPOINT ? dropped - MIDPOINT : MIDPOINT - dropped;
    const PassWideWords near = distance < NEAR_MIDPOINT;
    const PassWideWords normal = power >= (PassWideDoubles{} + 0x1p-126);
    for (u32 l = 0; l < 4u; ++l)
        out[l] = (normal[l] == 0 || near[l] != 0) ? std::pow(y[l], 6.0f) : static_cast<f32>(power[l]);
}

// shapeFourBandValues of eight values in place where the processor has AVX2: the divisions and
// clips in eight lanes, the powers four at a time, each value through the same operations.
[[gnu::target("avx2")]] void shapeEightBandValues(f32* values, f32 maximum) {
    const PassWideLanes zero = {};
    const PassWideLanes one = zero + 1.0f;
    PassWideLanes v;
    std::memcpy(&v, values, sizeof v);
    PassWideLanes x = (v / (zero + maximum)) / (zero + BAND_SHAPE_DIVISOR);
    x = x > zero ? x : zero;
    x = x > one ? one : x;
    alignas(32) f32 base[8];
    alignas(32) f32 power[8];
    const PassWideLanes complement = one - x;
    std::memcpy(base, &complement, sizeof base);
    sixthPowersWide(base, power);
    sixthPowersWide(base + 4, power + 4);
    PassWideLanes p;
    std::memcpy(&p, power, sizeof p);
    PassWideLanes y = (one - p) - (zero + BAND_SHAPE_FLOOR);
    y = y > zero ? y : zero;
    y = y > one ? one : y;
    std::memcpy(values, &y, sizeof y);
}
#endif

// A second of the stream is pulled in pieces of this many sample frames, each turned into mono as
// it arrives, while its bytes are still in the first-level cache.
constexpr u32 PULL_PIECE_FRAMES = 2048;

// sampleFrames of the stream into outMono, a piece at a time through piece (PULL_PIECE_FRAMES
// frames). A pull that comes back short ends the stream: the rest of that piece and every later
// piece are zero bytes, as if the whole span had been pulled at once and zero-filled after what
// came. Returns the bytes delivered.
u32 pullToMono(ISpectrumSampleSource* source, const SSpectrumStreamFormat& format, u32 sampleFrames, u8* piece,
               f32* outMono) {
    const u32 frameBytes = format.channels * format.bytesPerSample;
    u32 delivered = 0;
    bool ended = false;
    for (u32 first = 0; first < sampleFrames; first += PULL_PIECE_FRAMES) {
        const u32 frames = sampleFrames - first < PULL_PIECE_FRAMES ? sampleFrames - first : PULL_PIECE_FRAMES;
        const u32 bytes = frames * frameBytes;
        if (ended) {
            std::memset(piece, 0, bytes);
        } else {
            const u32 pulled = source->pullSamples(piece, bytes);
            delivered += pulled;
            if (pulled < bytes) {
                std::memset(piece + pulled, 0, bytes - pulled);
                ended = true;
            }
        }
        convertChunkToMono(piece, frames, format.channels, format.bytesPerSample, format.integerSamples,
                           outMono + first);
    }
    return delivered;
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
    switch (bytesPerSample) {
    case 1: monoLoop<s32, readU8Centred>(chunk, sampleFrames, channels, 1, SCALE_8BIT, outMono); break;
    case 2: {
        const u32 done = channels == 2 ? stereo16ToMono(chunk, sampleFrames, outMono) : 0;
        monoLoop<s32, readS16>(chunk + size_t(done) * channels * 2u, sampleFrames - done, channels, 2, SCALE_16BIT,
                               outMono + done);
        break;
    }
    case 3: monoLoop<s64, readS24>(chunk, sampleFrames, channels, 3, SCALE_24BIT, outMono); break;
    default:
        if (integerSamples != 0) {
            monoLoop<s64, readS32>(chunk, sampleFrames, channels, 4, SCALE_32BIT, outMono);
        } else {
            const u32 done = channels == 2 ? stereoFloatToMono(chunk, sampleFrames, outMono) : 0;
            monoLoop<f32, readF32>(chunk + size_t(done) * channels * 4u, sampleFrames - done, channels, 4, 1.0f,
                                   outMono + done);
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
    f32* window = static_cast<f32*>(allocateBlock(size_t(length) * sizeof(f32), CACHE_LINE_BYTES, false));
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
        // The values go straight into a block laid out as the cache file that will hold them.
        if (s.cacheImage != nullptr) {
            std::free(s.cacheImage);
        } else {
            std::free(s.header.bandValues);
        }
        s.cacheImage = allocateSpectralCacheBlock(frameCount, bandCount, &s.header.bandValues);
        if (s.cacheImage == nullptr) fatalError("spectrum analysis: no memory for the band values");
        allocateSpectrumEnergyTables(frameCount);
    }
    if (s.header.bandValues == nullptr || s.threeBandEnergies == nullptr || bandCount != s.header.bandCount)
        fatalError("spectrum analysis: rows folded before the tables exist");
    if (firstFrame >= frameCount) return;
    if (rowCount > frameCount - firstFrame) rowCount = frameCount - firstFrame;

    const SThreeBandSplit split = computeThreeBandSplit(nyquist, hop);
    // The normaliser follows the single bin at each band's index, not the band's sum. The maximum
    // is kept in a local for the walk: the rows could otherwise be the state it lives in.
    f32 maximum = s.runningMaximum;
    for (u32 r = 0; r < rowCount; ++r) {
        const f32* row = rows + size_t(r) * hop;
        for (u32 b = 0; b < bandCount; ++b) maximum = row[b] > maximum ? row[b] : maximum;
    }
    s.runningMaximum = maximum;
    SFoldLayout layout{hop, bandCount, firstBin, width, split};
    u32 r = 0;
    if (hop <= SPECTRUM_MAX_SAMPLE_RATE / SPECTRUM_MIN_FRAMES_PER_SECOND) {
#if defined(__x86_64__)
        if (processorHasAvx2()) {
            for (; r + 2u * PASS_LANES <= rowCount; r += 2u * PASS_LANES)
                foldEightRows(layout, rows + size_t(r) * hop, firstFrame + r);
        }
#endif
        for (; r + PASS_LANES <= rowCount; r += PASS_LANES) foldFourRows(layout, rows + size_t(r) * hop, firstFrame + r);
    }
    for (; r < rowCount; ++r) foldRow(layout, rows + size_t(r) * hop, firstFrame + r);
}

f32 shapeSpectrumBandValue(f32 value, f32 maximum) {
    f32 x = (value / maximum) / BAND_SHAPE_DIVISOR;
    x = clamp01(x);
    f32 y = 1.0f - sixthPower(1.0f - x);
    y = y - BAND_SHAPE_FLOOR;
    return clamp01(y);
}

void normaliseSpectrumBands(u32 /*hop*/, u32 frameCount) {
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    const f32 maximum = s.runningMaximum;
    const size_t valueCount = size_t(frameCount) * s.header.bandCount;
    if (s.header.bandValues != nullptr) {
        f32* values = s.header.bandValues;
        size_t i = 0;
        if (maximum > 0.0f) {
#if defined(__x86_64__)
            if (processorHasAvx2()) {
                for (; i + 2u * PASS_LANES <= valueCount; i += 2u * PASS_LANES)
                    shapeEightBandValues(values + i, maximum);
            }
#endif
            for (; i + PASS_LANES <= valueCount; i += PASS_LANES) shapeFourBandValues(values + i, maximum);
        }
        for (; i < valueCount; ++i) values[i] = maximum > 0.0f ? shapeSpectrumBandValue(values[i], maximum) : 0.0f;
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
    if (frameCount == 0 || geometry.transformSize > FFT_MAX_SIZE ||
        !buffers.allocate(frameBytes * PULL_PIECE_FRAMES, geometry.transformSize, rate, hop) ||
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
    bool stopped = false;
    // Set when the stream ended more than SPECTRUM_SHORT_END_TOLERANCE_MS before its promised
    // length: the song is then what was decoded.
    bool endedShort = false;
    const u64 toleranceBytes = u64(frameBytes) * rate * SPECTRUM_SHORT_END_TOLERANCE_MS / 1000u;
    while (framesDone < frameCount) {
        if (isSongAnalysisStopRequested()) {
            stopped = true;
            break;
        }
        setSpectrumAnalysisProgress((static_cast<f32>(bytesPulled) / static_cast<f32>(format.totalBytes)) *
                                    SPECTRUM_DECODE_PROGRESS_END);
        const u32 delivered = pullToMono(source, format, rate, buffers.piece, buffers.mono);
        bytesPulled += delivered;
        if (delivered < chunkBytes) {
            // A stream that ends early counts as silence (its total may have been an estimate),
            // unless the decoder broke off before the whole song was delivered.
            if (source->hasFailed() && bytesPulled < format.totalBytes) {
                failed = true;
                break;
            }
            endedShort = bytesPulled + toleranceBytes < format.totalBytes;
        }

        const u32 framesBefore = framesDone;
        u32 k = 0;
        // The frame that straddles the previous chunk and this one.
        if (carryValid && framesDone < frameCount) {
            applyWindow(buffers.carry, window, hop, buffers.windowed);
            applyWindow(buffers.mono, window + hop, hop, buffers.windowed + hop);
            transformFrame(buffers, buffers.windowed, nullptr, geometry, rows);
            ++framesDone;
            k = 1;
        }
        for (u32 f = 0; f + 1 < framesPerSecond && framesDone < frameCount; ++f) {
            const f32* samples = buffers.mono + size_t(f) * hop;
            transformFrame(buffers, samples, window, geometry, rows + size_t(k) * hop);
            ++framesDone;
            ++k;
        }
        // The last slot's samples start the next chunk's boundary frame.
        std::memcpy(buffers.carry, buffers.mono + size_t(framesPerSecond - 1u) * hop, size_t(hop) * sizeof(f32));
        carryValid = true;

        s.chunkCallback(k, hop, framesBefore, frameCount, rows, h.nyquist, s.chunkUserWord);
        if (endedShort) break;
    }
    if (!failed && source->hasFailed() && bytesPulled < format.totalBytes) failed = true;

    setSpectrumAnalysisProgress(SPECTRUM_DECODE_PROGRESS_END);
    releaseAnalysisWindow();
    releaseSpectrumRows();
    if (failed || stopped) {
        failPass();
        return stopped ? E_SPECTRUM_RESULT_STOPPED : E_SPECTRUM_RESULT_UNDECODABLE;
    }
    u32 keptFrames = frameCount;
    if (endedShort) {
        const u32 decodedMs = u32(bytesPulled / frameBytes * 1000u / rate);
        writeCodecAudioLog("Song analysis: the stream ended after [%u] ms of the [%u] ms its decoder promised",
                           decodedMs, format.durationMs);
        if (source->sawDamage() && (decodedMs < SPECTRUM_MIN_DURATION_MS || u64(decodedMs) * 2 < format.durationMs)) {
            writeCodecAudioLog("Song analysis: the stream is damaged; its decoder skipped what it could not read");
            failPass();
            return E_SPECTRUM_RESULT_UNDECODABLE;
        }
        if (decodedMs < SPECTRUM_MIN_DURATION_MS) {
            failPass();
            return E_SPECTRUM_RESULT_TOO_SHORT;
        }
        keptFrames = spectrumFrameCount(u32(bytesPulled), format.channels, format.bytesPerSample, hop);
        if (keptFrames > framesDone) keptFrames = framesDone;
        h.frameCount = keptFrames;
        h.duration = static_cast<f32>(decodedMs) * 0.001f;
    }
    normaliseSpectrumBands(hop, keptFrames);
    return E_SPECTRUM_RESULT_NONE;
}
