#include "audio/analysis/fft.h"
#include "core/processor_features.h"

#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <mutex>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr f32 FFT_PI = 3.1415927f;
// The pass of half-size h keeps its h twiddles from index h - 1 (1 + 2 + ... + h/2 before it),
// so every pass up to the largest transform fits in FFT_MAX_SIZE - 1 entries. A pass's twiddles
// depend only on its half-size, never on the transform size.
constexpr u32 FFT_TWIDDLE_COUNT = FFT_MAX_SIZE - 1u;
// The reversal table of size n starts at index n - 1.
constexpr u32 FFT_REVERSAL_COUNT = 2u * FFT_MAX_SIZE - 1u;
static_assert(FFT_MAX_SIZE <= 65536u, "reversed indices are kept as u16");

struct SFftTables {
    alignas(64) f32 twiddleReal[FFT_TWIDDLE_COUNT];
    alignas(64) f32 twiddleImag[FFT_TWIDDLE_COUNT];
    alignas(64) u16 reversal[FFT_REVERSAL_COUNT];
};

SFftTables g_FftTables;
std::once_flag g_FftTablesBuilt;
// The widest lanes the transform runs on: 16 where the processor runs AVX-512, 8 where it runs
// AVX, else 4 (set with the tables), unless a test asked for fewer.
std::atomic<u32> g_fftLanes{4};

u32 widestFftLanes() {
    if (processorHasAvx512()) return 16;
    return processorHasAvx() ? 8 : 4;
}


void buildFftTables() {
    SFftTables& t = g_FftTables;
    for (u32 half = 1; half < FFT_MAX_SIZE; half <<= 1) {
        const f32 angle = -FFT_PI / static_cast<f32>(half);
        const f32 halfSine = std::sin(angle * 0.5f);
        const f32 stepReal = -2.0f * halfSine * halfSine;
        const f32 stepImag = std::sin(angle);
        f32 wr = 1.0f;
        f32 wi = 0.0f;
        for (u32 m = 0; m < half; ++m) {
            t.twiddleReal[half - 1u + m] = wr;
            t.twiddleImag[half - 1u + m] = wi;
            // Both parts advance from the old twiddle: the pair is one rotation.
            const f32 oldReal = wr;
            wr = wr + (wr * stepReal - wi * stepImag);
            wi = wi + (wi * stepReal + oldReal * stepImag);
        }
    }
    g_fftLanes.store(widestFftLanes(), std::memory_order_relaxed);
    for (u32 n = 1; n <= FFT_MAX_SIZE; n <<= 1) {
        u16* reversal = t.reversal + (n - 1u);
        u32 reversed = 0;
        for (u32 j = 0; j < n; ++j) {
            reversal[j] = static_cast<u16>(reversed);
            // Add one to the reversed counter: the carry runs from the top bit downward.
            u32 bit = n >> 1;
            while (bit != 0 && (reversed & bit) != 0) {
                reversed ^= bit;
                bit >>= 1;
            }
            reversed |= bit;
        }
    }
}

const SFftTables& fftTables() {
    std::call_once(g_FftTablesBuilt, buildFftTables);
    return g_FftTables;
}

bool isTransformSize(u32 n) { return n != 0 && n <= FFT_MAX_SIZE && (n & (n - 1u)) == 0; }

// Lanes of f32: element-wise IEEE arithmetic, the same result per lane as the scalar code. Four
// lanes everywhere; the later passes take eight where the processor has AVX.
typedef f32 FftLanes __attribute__((vector_size(16)));
constexpr u32 FFT_LANES = 4;

// The helpers and pass templates down to the pop are always inlined, so an eight-lane value never
// crosses a call: the warning about the AVX calling convention does not apply to them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
template <typename Lanes>
[[gnu::always_inline]] inline Lanes loadAs(const f32* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <typename Lanes>
[[gnu::always_inline]] inline void storeAs(f32* p, const Lanes& v) {
    std::memcpy(p, &v, sizeof v);
}

// One butterfly: b takes a - w b, a takes a + w b, in this operation order.
template <typename T>
[[gnu::always_inline]] inline void butterfly(T& ar, T& ai, T& br, T& bi, const T& wr, const T& wi) {
    const T tr = wr * br - wi * bi;
    const T ti = wr * bi + wi * br;
    br = ar - tr;
    bi = ai - ti;
    ar = ar + tr;
    ai = ai + ti;
}

// One pass of half-size `half` (a multiple of the lane count).
template <typename Lanes>
[[gnu::always_inline]] inline void singlePass(f32* re, f32* im, u32 n, u32 half, const SFftTables& t) {
    constexpr u32 lanes = sizeof(Lanes) / sizeof(f32);
    const f32* twr = t.twiddleReal + (half - 1u);
    const f32* twi = t.twiddleImag + (half - 1u);
    for (u32 start = 0; start < n; start += 2u * half) {
        f32* aRe = re + start;
        f32* aIm = im + start;
        f32* bRe = aRe + half;
        f32* bIm = aIm + half;
        for (u32 m = 0; m < half; m += lanes) {
            Lanes ar = loadAs<Lanes>(aRe + m), ai = loadAs<Lanes>(aIm + m);
            Lanes br = loadAs<Lanes>(bRe + m), bi = loadAs<Lanes>(bIm + m);
            butterfly(ar, ai, br, bi, loadAs<Lanes>(twr + m), loadAs<Lanes>(twi + m));
            storeAs(aRe + m, ar);
            storeAs(aIm + m, ai);
            storeAs(bRe + m, br);
            storeAs(bIm + m, bi);
        }
    }
}

// The passes of half-size h and 2h together, so each point is loaded and stored once for both.
// In a block of 4h points, point m of each quarter (x0..x3) meets pass h as (x0, x1) and
// (x2, x3) with twiddle m, then pass 2h as (x0, x2) with twiddle m and (x1, x3) with twiddle
// h + m: the butterflies of the two single passes, on the same values.
template <typename Lanes>
[[gnu::always_inline]] inline void pairedPasses(f32* re, f32* im, u32 n, u32 half, const SFftTables& t) {
    constexpr u32 lanes = sizeof(Lanes) / sizeof(f32);
    const f32* w1r = t.twiddleReal + (half - 1u);
    const f32* w1i = t.twiddleImag + (half - 1u);
    const f32* w2r = t.twiddleReal + (2u * half - 1u);
    const f32* w2i = t.twiddleImag + (2u * half - 1u);
    for (u32 start = 0; start < n; start += 4u * half) {
        f32* pr0 = re + start;
        f32* pr1 = pr0 + half;
        f32* pr2 = pr1 + half;
        f32* pr3 = pr2 + half;
        f32* pi0 = im + start;
        f32* pi1 = pi0 + half;
        f32* pi2 = pi1 + half;
        f32* pi3 = pi2 + half;
        for (u32 m = 0; m < half; m += lanes) {
            Lanes r0 = loadAs<Lanes>(pr0 + m), r1 = loadAs<Lanes>(pr1 + m);
            Lanes r2 = loadAs<Lanes>(pr2 + m), r3 = loadAs<Lanes>(pr3 + m);
            Lanes i0 = loadAs<Lanes>(pi0 + m), i1 = loadAs<Lanes>(pi1 + m);
            Lanes i2 = loadAs<Lanes>(pi2 + m), i3 = loadAs<Lanes>(pi3 + m);
            const Lanes wr = loadAs<Lanes>(w1r + m), wi = loadAs<Lanes>(w1i + m);
            butterfly(r0, i0, r1, i1, wr, wi);
            butterfly(r2, i2, r3, i3, wr, wi);
            butterfly(r0, i0, r2, i2, loadAs<Lanes>(w2r + m), loadAs<Lanes>(w2i + m));
            butterfly(r1, i1, r3, i3, loadAs<Lanes>(w2r + half + m), loadAs<Lanes>(w2i + half + m));
            storeAs(pr0 + m, r0);
            storeAs(pr1 + m, r1);
            storeAs(pr2 + m, r2);
            storeAs(pr3 + m, r3);
            storeAs(pi0 + m, i0);
            storeAs(pi1 + m, i1);
            storeAs(pi2 + m, i2);
            storeAs(pi3 + m, i3);
        }
    }
}

// The upper output of butterfly alone: a takes a + w b, the same operations.
template <typename T>
[[gnu::always_inline]] inline void butterflySum(T& ar, T& ai, const T& br, const T& bi, const T& wr, const T& wi) {
    const T tr = wr * br - wi * bi;
    const T ti = wr * bi + wi * br;
    ar = ar + tr;
    ai = ai + ti;
}

// The rounding argument of the 16-lane root: the current mode, as the narrower roots round.
constexpr int ROUND_CURRENT_DIRECTION = 4;

// Each lane replaced by its square root, correctly rounded (sqrtps and vsqrtps, as sqrtss for
// std::sqrt).
template <typename Lanes>
[[gnu::always_inline]] inline void takeLaneRoots(Lanes& v) {
#if defined(__x86_64__)
    if constexpr (sizeof(Lanes) == 64) {
        v = __builtin_ia32_sqrtps512_mask(v, v, static_cast<unsigned short>(0xFFFF), ROUND_CURRENT_DIRECTION);
    } else if constexpr (sizeof(Lanes) == 32) {
        v = __builtin_ia32_sqrtps256(v);
    } else {
        v = __builtin_ia32_sqrtps(v);
    }
#else
    for (u32 l = 0; l < sizeof(Lanes) / sizeof(f32); ++l) v[l] = std::sqrt(v[l]);
#endif
}

// sqrt(re x re + im x im) of the lanes into out, count of them (at most the lane count).
template <typename Lanes>
[[gnu::always_inline]] inline void storeMagnitudes(const Lanes& re, const Lanes& im, f32* out, u32 count) {
    Lanes magnitudes = re * re + im * im;
    takeLaneRoots(magnitudes);
    if (count == sizeof(Lanes) / sizeof(f32)) {
        storeAs(out, magnitudes);
    } else {
        std::memcpy(out, &magnitudes, size_t(count) * sizeof(f32));
    }
}

// The last two passes (n = 4 x half) where only bins 0 .. bins - 1 (at most n / 2) are kept: the
// magnitudes of those bins go to out, and nothing else is computed or stored. Point m
// of the first quarter and, below bins, point half + m of the second get the butterflies of
// pairedPasses on the same values.
template <typename Lanes>
[[gnu::always_inline]] inline void pairedPassesToMagnitudes(const f32* re, const f32* im, u32 half, u32 bins,
                                                            const SFftTables& t, f32* out) {
    constexpr u32 lanes = sizeof(Lanes) / sizeof(f32);
    const f32* w1r = t.twiddleReal + (half - 1u);
    const f32* w1i = t.twiddleImag + (half - 1u);
    const f32* w2r = t.twiddleReal + (2u * half - 1u);
    const f32* w2i = t.twiddleImag + (2u * half - 1u);
    for (u32 m = 0; m < half && m < bins; m += lanes) {
        Lanes r0 = loadAs<Lanes>(re + m), r1 = loadAs<Lanes>(re + half + m);
        Lanes r2 = loadAs<Lanes>(re + 2u * half + m), r3 = loadAs<Lanes>(re + 3u * half + m);
        Lanes i0 = loadAs<Lanes>(im + m), i1 = loadAs<Lanes>(im + half + m);
        Lanes i2 = loadAs<Lanes>(im + 2u * half + m), i3 = loadAs<Lanes>(im + 3u * half + m);
        const Lanes wr = loadAs<Lanes>(w1r + m), wi = loadAs<Lanes>(w1i + m);
        const u32 lowCount = bins - m < lanes ? bins - m : lanes;
        if (half + m < bins) {
            butterfly(r0, i0, r1, i1, wr, wi);
            butterfly(r2, i2, r3, i3, wr, wi);
            butterflySum(r1, i1, r3, i3, loadAs<Lanes>(w2r + half + m), loadAs<Lanes>(w2i + half + m));
            const u32 highCount = bins - half - m < lanes ? bins - half - m : lanes;
            storeMagnitudes(r1, i1, out + half + m, highCount);
        } else {
            butterflySum(r0, i0, r1, i1, wr, wi);
            butterflySum(r2, i2, r3, i3, wr, wi);
        }
        butterflySum(r0, i0, r2, i2, loadAs<Lanes>(w2r + m), loadAs<Lanes>(w2i + m));
        storeMagnitudes(r0, i0, out + m, lowCount);
    }
}

// The last pass (n = 2 x half) likewise: the magnitudes of bins 0 .. bins - 1 only.
template <typename Lanes>
[[gnu::always_inline]] inline void singlePassToMagnitudes(const f32* re, const f32* im, u32 half, u32 bins,
                                                          const SFftTables& t, f32* out) {
    constexpr u32 lanes = sizeof(Lanes) / sizeof(f32);
    const f32* twr = t.twiddleReal + (half - 1u);
    const f32* twi = t.twiddleImag + (half - 1u);
    for (u32 m = 0; m < bins; m += lanes) {
        Lanes ar = loadAs<Lanes>(re + m), ai = loadAs<Lanes>(im + m);
        butterflySum(ar, ai, loadAs<Lanes>(re + half + m), loadAs<Lanes>(im + half + m), loadAs<Lanes>(twr + m),
                     loadAs<Lanes>(twi + m));
        storeMagnitudes(ar, ai, out + m, bins - m < lanes ? bins - m : lanes);
    }
}

template <typename Lanes>
[[gnu::always_inline]] inline void lastPassesToMagnitudes(const f32* re, const f32* im, u32 n, u32 half, u32 bins,
                                                          const SFftTables& t, f32* out) {
    if (4u * half == n) {
        pairedPassesToMagnitudes<Lanes>(re, im, half, bins, t, out);
    } else {
        singlePassToMagnitudes<Lanes>(re, im, half, bins, t, out);
    }
}

#pragma GCC diagnostic pop

// The passes of half-size 1 and 2 together, four points at a time: each point meets the same
// butterflies with the same twiddles as pass by pass. For transforms too small for the lanes.
void firstTwoPasses(f32* re, f32* im, u32 n, const SFftTables& t) {
    const f32 w1r = t.twiddleReal[0], w1i = t.twiddleImag[0];
    const f32 w20r = t.twiddleReal[1], w20i = t.twiddleImag[1];
    const f32 w21r = t.twiddleReal[2], w21i = t.twiddleImag[2];
    for (u32 j = 0; j < n; j += 4) {
        f32 r0 = re[j], r1 = re[j + 1], r2 = re[j + 2], r3 = re[j + 3];
        f32 i0 = im[j], i1 = im[j + 1], i2 = im[j + 2], i3 = im[j + 3];
        butterfly(r0, i0, r1, i1, w1r, w1i);
        butterfly(r2, i2, r3, i3, w1r, w1i);
        butterfly(r0, i0, r2, i2, w20r, w20i);
        butterfly(r1, i1, r3, i3, w21r, w21i);
        re[j] = r0;
        re[j + 1] = r1;
        re[j + 2] = r2;
        re[j + 3] = r3;
        im[j] = i0;
        im[j + 1] = i1;
        im[j + 2] = i2;
        im[j + 3] = i3;
    }
}

// Rows of a 4 x 4 block become its columns.
inline void transposeLanes(FftLanes& a, FftLanes& b, FftLanes& c, FftLanes& d) {
    const FftLanes ab01 = __builtin_shufflevector(a, b, 0, 4, 1, 5);
    const FftLanes ab23 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
    const FftLanes cd01 = __builtin_shufflevector(c, d, 0, 4, 1, 5);
    const FftLanes cd23 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
    a = __builtin_shufflevector(ab01, cd01, 0, 1, 4, 5);
    b = __builtin_shufflevector(ab01, cd01, 2, 3, 6, 7);
    c = __builtin_shufflevector(ab23, cd23, 0, 1, 4, 5);
    d = __builtin_shufflevector(ab23, cd23, 2, 3, 6, 7);
}

// Transposes the real and the imaginary 4 x 4 blocks of rows r .. r + 3 and stores each row at
// its bit-reversed place (rows[0] .. rows[3]).
inline void storeTransposedBlocks(f32* re, f32* im, const u16* rows, FftLanes r0, FftLanes r1, FftLanes r2, FftLanes r3,
                                  FftLanes i0, FftLanes i1, FftLanes i2, FftLanes i3) {
    transposeLanes(r0, r1, r2, r3);
    transposeLanes(i0, i1, i2, i3);
    storeAs(re + rows[0], r0);
    storeAs(re + rows[1], r1);
    storeAs(re + rows[2], r2);
    storeAs(re + rows[3], r3);
    storeAs(im + rows[0], i0);
    storeAs(im + rows[1], i1);
    storeAs(im + rows[2], i2);
    storeAs(im + rows[3], i3);
}

// The bit-reversed copy and the passes of half-size 1 and 2 in one sweep (n at least 16). For
// r below n/4, the input points r, r + n/2, r + n/4 and r + 3n/4 are, in that order, the block
// of four at rev(r) in bit-reversed order; four consecutive r fill the lanes, so the loads need
// no shuffle, and the finished blocks are transposed back before they are stored.
void reversedFirstTwoPasses(const f32* inRe, const f32* inIm, f32* re, f32* im, u32 n, const SFftTables& t) {
    const u16* reversal = t.reversal + (n - 1u);
    const u32 quarter = n / 4u;
    const FftLanes w1r = {t.twiddleReal[0], t.twiddleReal[0], t.twiddleReal[0], t.twiddleReal[0]};
    const FftLanes w1i = {t.twiddleImag[0], t.twiddleImag[0], t.twiddleImag[0], t.twiddleImag[0]};
    const FftLanes w20r = {t.twiddleReal[1], t.twiddleReal[1], t.twiddleReal[1], t.twiddleReal[1]};
    const FftLanes w20i = {t.twiddleImag[1], t.twiddleImag[1], t.twiddleImag[1], t.twiddleImag[1]};
    const FftLanes w21r = {t.twiddleReal[2], t.twiddleReal[2], t.twiddleReal[2], t.twiddleReal[2]};
    const FftLanes w21i = {t.twiddleImag[2], t.twiddleImag[2], t.twiddleImag[2], t.twiddleImag[2]};
    const FftLanes zero = {0.0f, 0.0f, 0.0f, 0.0f};
    for (u32 r = 0; r < quarter; r += FFT_LANES) {
        FftLanes r0 = loadAs<FftLanes>(inRe + r);
        FftLanes r1 = loadAs<FftLanes>(inRe + r + 2u * quarter);
        FftLanes r2 = loadAs<FftLanes>(inRe + r + quarter);
        FftLanes r3 = loadAs<FftLanes>(inRe + r + 3u * quarter);
        FftLanes i0 = zero, i1 = zero, i2 = zero, i3 = zero;
        if (inIm != nullptr) {
            i0 = loadAs<FftLanes>(inIm + r);
            i1 = loadAs<FftLanes>(inIm + r + 2u * quarter);
            i2 = loadAs<FftLanes>(inIm + r + quarter);
            i3 = loadAs<FftLanes>(inIm + r + 3u * quarter);
        }
        butterfly(r0, i0, r1, i1, w1r, w1i);
        butterfly(r2, i2, r3, i3, w1r, w1i);
        butterfly(r0, i0, r2, i2, w20r, w20i);
        butterfly(r1, i1, r3, i3, w21r, w21i);
        storeTransposedBlocks(re, im, reversal + r, r0, r1, r2, r3, i0, i1, i2, i3);
    }
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
// Lanes of a real input from index start: input[i] x weights[i] (input[i] alone when weights is
// null), zero from length on.
template <typename Lanes>
[[gnu::always_inline]] inline void loadRealLanes(Lanes& values, const f32* input, const f32* weights, u32 start,
                                                 u32 length) {
    constexpr u32 lanes = sizeof(Lanes) / sizeof(f32);
    if (start + lanes <= length) {
        values = loadAs<Lanes>(input + start);
        if (weights != nullptr) values = values * loadAs<Lanes>(weights + start);
        return;
    }
    values = Lanes{};
    for (u32 l = 0; start + l < length; ++l)
        values[l] = weights != nullptr ? input[start + l] * weights[start + l] : input[start + l];
}

// Eight lanes as two blocks of four: each 128-bit half of a, b, c and d is transposed as
// transposeLanes does (the low halves hold rows r .. r + 3, the high halves r + 4 .. r + 7).
template <typename Lanes>
[[gnu::always_inline]] inline void transposeHalves(Lanes& a, Lanes& b, Lanes& c, Lanes& d) {
    const Lanes ab01 = __builtin_shufflevector(a, b, 0, 8, 1, 9, 4, 12, 5, 13);
    const Lanes ab23 = __builtin_shufflevector(a, b, 2, 10, 3, 11, 6, 14, 7, 15);
    const Lanes cd01 = __builtin_shufflevector(c, d, 0, 8, 1, 9, 4, 12, 5, 13);
    const Lanes cd23 = __builtin_shufflevector(c, d, 2, 10, 3, 11, 6, 14, 7, 15);
    a = __builtin_shufflevector(ab01, cd01, 0, 1, 8, 9, 4, 5, 12, 13);
    b = __builtin_shufflevector(ab01, cd01, 2, 3, 10, 11, 6, 7, 14, 15);
    c = __builtin_shufflevector(ab23, cd23, 0, 1, 8, 9, 4, 5, 12, 13);
    d = __builtin_shufflevector(ab23, cd23, 2, 3, 10, 11, 6, 7, 14, 15);
}

// The low and high halves of eight lanes to two places.
template <typename Lanes>
[[gnu::always_inline]] inline void storeHalves(f32* low, f32* high, const Lanes& v) {
    storeAs(low, __builtin_shufflevector(v, v, 0, 1, 2, 3));
    storeAs(high, __builtin_shufflevector(v, v, 4, 5, 6, 7));
}

// reversedFirstTwoPasses for a real input (n at least 4 lanes x 4). The first pass and the first
// butterfly of the second have the twiddle (1, 0) exactly, and every imaginary part going in is
// zero, so the products with those zeros and ones are left out: each value that is not zero
// comes out with the same bits, and a zero at most changes its sign, which no magnitude sees.
// The first two passes over the four real points r, r + 2 quarter, r + quarter and r + 3 quarter
// of the input (a lane's width of each), into the four points' real and imaginary parts.
template <typename Lanes>
[[gnu::always_inline]] inline void realFourPoints(const f32* input, const f32* weights, u32 length, u32 r, u32 quarter,
                                                   const Lanes& w21r, const Lanes& w21i, Lanes* pr, Lanes* pi) {
    const Lanes zero = {};
    Lanes x0, x1, x2, x3;
    loadRealLanes(x0, input, weights, r, length);
    loadRealLanes(x1, input, weights, r + 2u * quarter, length);
    loadRealLanes(x2, input, weights, r + quarter, length);
    loadRealLanes(x3, input, weights, r + 3u * quarter, length);
    const Lanes a = x0 + x1;
    const Lanes b = x0 - x1;
    const Lanes c = x2 + x3;
    const Lanes d = x2 - x3;
    const Lanes tr = w21r * d;
    const Lanes ti = w21i * d;
    pr[0] = a + c;
    pr[1] = b + tr;
    pr[2] = a - c;
    pr[3] = b - tr;
    pi[0] = zero;
    pi[1] = ti;
    pi[2] = zero;
    pi[3] = zero - ti;
}

template <typename Lanes>
[[gnu::always_inline]] inline void realFirstTwoPassesLanes(const f32* input, const f32* weights, u32 length, f32* re,
                                                            f32* im, u32 n, const SFftTables& t) {
    constexpr u32 lanes = sizeof(Lanes) / sizeof(f32);
    const u16* reversal = t.reversal + (n - 1u);
    const u32 quarter = n / 4u;
    Lanes w21r, w21i;
    for (u32 l = 0; l < lanes; ++l) w21r[l] = t.twiddleReal[2], w21i[l] = t.twiddleImag[2];
    for (u32 r = 0; r < quarter; r += lanes) {
        Lanes pr[4], pi[4];
        realFourPoints(input, weights, length, r, quarter, w21r, w21i, pr, pi);
        Lanes &r0 = pr[0], &r1 = pr[1], &r2 = pr[2], &r3 = pr[3];
        Lanes &i0 = pi[0], &i1 = pi[1], &i2 = pi[2], &i3 = pi[3];
        if constexpr (lanes == FFT_LANES) {
            storeTransposedBlocks(re, im, reversal + r, r0, r1, r2, r3, i0, i1, i2, i3);
        } else {
            transposeHalves(r0, r1, r2, r3);
            transposeHalves(i0, i1, i2, i3);
            storeHalves(re + reversal[r], re + reversal[r + 4u], r0);
            storeHalves(re + reversal[r + 1u], re + reversal[r + 5u], r1);
            storeHalves(re + reversal[r + 2u], re + reversal[r + 6u], r2);
            storeHalves(re + reversal[r + 3u], re + reversal[r + 7u], r3);
            storeHalves(im + reversal[r], im + reversal[r + 4u], i0);
            storeHalves(im + reversal[r + 1u], im + reversal[r + 5u], i1);
            storeHalves(im + reversal[r + 2u], im + reversal[r + 6u], i2);
            storeHalves(im + reversal[r + 3u], im + reversal[r + 7u], i3);
        }
    }
}

// Four points from p in the low half and the four from p + 16 in the high half.
template <typename Lanes>
[[gnu::always_inline]] inline void loadTwoBlocks(Lanes& values, const f32* p) {
    const FftLanes low = loadAs<FftLanes>(p), high = loadAs<FftLanes>(p + 16);
    values = __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7);
}

// pairedPasses of half-size 4 on eight lanes (n at least 32): the blocks of 16 points go two at a
// time, the first in the low halves and the next in the high halves, with the twiddles repeated.
template <typename Lanes>
[[gnu::always_inline]] inline void pairedPassesOfFourTwoBlocks(f32* re, f32* im, u32 n, const SFftTables& t) {
    const FftLanes w1r4 = loadAs<FftLanes>(t.twiddleReal + 3), w1i4 = loadAs<FftLanes>(t.twiddleImag + 3);
    const FftLanes w2r4 = loadAs<FftLanes>(t.twiddleReal + 7), w2i4 = loadAs<FftLanes>(t.twiddleImag + 7);
    const FftLanes w3r4 = loadAs<FftLanes>(t.twiddleReal + 11), w3i4 = loadAs<FftLanes>(t.twiddleImag + 11);
    const Lanes w1r = __builtin_shufflevector(w1r4, w1r4, 0, 1, 2, 3, 0, 1, 2, 3);
    const Lanes w1i = __builtin_shufflevector(w1i4, w1i4, 0, 1, 2, 3, 0, 1, 2, 3);
    const Lanes w2r = __builtin_shufflevector(w2r4, w2r4, 0, 1, 2, 3, 0, 1, 2, 3);
    const Lanes w2i = __builtin_shufflevector(w2i4, w2i4, 0, 1, 2, 3, 0, 1, 2, 3);
    const Lanes w3r = __builtin_shufflevector(w3r4, w3r4, 0, 1, 2, 3, 0, 1, 2, 3);
    const Lanes w3i = __builtin_shufflevector(w3i4, w3i4, 0, 1, 2, 3, 0, 1, 2, 3);
    for (u32 start = 0; start < n; start += 32u) {
        f32* pr = re + start;
        f32* pi = im + start;
        Lanes r0, r1, r2, r3, i0, i1, i2, i3;
        loadTwoBlocks(r0, pr);
        loadTwoBlocks(r1, pr + 4);
        loadTwoBlocks(r2, pr + 8);
        loadTwoBlocks(r3, pr + 12);
        loadTwoBlocks(i0, pi);
        loadTwoBlocks(i1, pi + 4);
        loadTwoBlocks(i2, pi + 8);
        loadTwoBlocks(i3, pi + 12);
        butterfly(r0, i0, r1, i1, w1r, w1i);
        butterfly(r2, i2, r3, i3, w1r, w1i);
        butterfly(r0, i0, r2, i2, w2r, w2i);
        butterfly(r1, i1, r3, i3, w3r, w3i);
        storeHalves(pr, pr + 16, r0);
        storeHalves(pr + 4, pr + 20, r1);
        storeHalves(pr + 8, pr + 24, r2);
        storeHalves(pr + 12, pr + 28, r3);
        storeHalves(pi, pi + 16, i0);
        storeHalves(pi + 4, pi + 20, i1);
        storeHalves(pi + 8, pi + 24, i2);
        storeHalves(pi + 12, pi + 28, i3);
    }
}

// Eight rows of eight lanes become eight columns: lane l of row j goes to lane j of row l.
template <typename Lanes>
[[gnu::always_inline]] inline void transposeEight(Lanes* v) {
    const Lanes t0 = __builtin_shufflevector(v[0], v[1], 0, 8, 1, 9, 4, 12, 5, 13);
    const Lanes t1 = __builtin_shufflevector(v[0], v[1], 2, 10, 3, 11, 6, 14, 7, 15);
    const Lanes t2 = __builtin_shufflevector(v[2], v[3], 0, 8, 1, 9, 4, 12, 5, 13);
    const Lanes t3 = __builtin_shufflevector(v[2], v[3], 2, 10, 3, 11, 6, 14, 7, 15);
    const Lanes t4 = __builtin_shufflevector(v[4], v[5], 0, 8, 1, 9, 4, 12, 5, 13);
    const Lanes t5 = __builtin_shufflevector(v[4], v[5], 2, 10, 3, 11, 6, 14, 7, 15);
    const Lanes t6 = __builtin_shufflevector(v[6], v[7], 0, 8, 1, 9, 4, 12, 5, 13);
    const Lanes t7 = __builtin_shufflevector(v[6], v[7], 2, 10, 3, 11, 6, 14, 7, 15);
    const Lanes u0 = __builtin_shufflevector(t0, t2, 0, 1, 8, 9, 4, 5, 12, 13);
    const Lanes u1 = __builtin_shufflevector(t0, t2, 2, 3, 10, 11, 6, 7, 14, 15);
    const Lanes u2 = __builtin_shufflevector(t1, t3, 0, 1, 8, 9, 4, 5, 12, 13);
    const Lanes u3 = __builtin_shufflevector(t1, t3, 2, 3, 10, 11, 6, 7, 14, 15);
    const Lanes u4 = __builtin_shufflevector(t4, t6, 0, 1, 8, 9, 4, 5, 12, 13);
    const Lanes u5 = __builtin_shufflevector(t4, t6, 2, 3, 10, 11, 6, 7, 14, 15);
    const Lanes u6 = __builtin_shufflevector(t5, t7, 0, 1, 8, 9, 4, 5, 12, 13);
    const Lanes u7 = __builtin_shufflevector(t5, t7, 2, 3, 10, 11, 6, 7, 14, 15);
    v[0] = __builtin_shufflevector(u0, u4, 0, 1, 2, 3, 8, 9, 10, 11);
    v[1] = __builtin_shufflevector(u1, u5, 0, 1, 2, 3, 8, 9, 10, 11);
    v[2] = __builtin_shufflevector(u2, u6, 0, 1, 2, 3, 8, 9, 10, 11);
    v[3] = __builtin_shufflevector(u3, u7, 0, 1, 2, 3, 8, 9, 10, 11);
    v[4] = __builtin_shufflevector(u0, u4, 4, 5, 6, 7, 12, 13, 14, 15);
    v[5] = __builtin_shufflevector(u1, u5, 4, 5, 6, 7, 12, 13, 14, 15);
    v[6] = __builtin_shufflevector(u2, u6, 4, 5, 6, 7, 12, 13, 14, 15);
    v[7] = __builtin_shufflevector(u3, u7, 4, 5, 6, 7, 12, 13, 14, 15);
}

// Every lane a copy of table[index] (one broadcast from memory; the twiddles the first sweep
// takes this way are never -0, so the copy has the bits that zero + table[index] gave).
template <typename Lanes>
[[gnu::always_inline]] inline Lanes tableLanes(const f32* table, u32 index) {
    Lanes v;
    for (u32 l = 0; l < sizeof(Lanes) / sizeof(f32); ++l) v[l] = table[index];
    return v;
}

// butterfly for two points whose imaginary parts are zero, the products with those zeros left
// out as in realFourPoints.
template <typename T>
[[gnu::always_inline]] inline void realButterfly(T& ar, T& ai, T& br, T& bi, const T& wr, const T& wi) {
    const T tr = wr * br;
    const T ti = wi * br;
    br = ar - tr;
    bi = T{} - ti;
    ar = ar + tr;
    ai = ti;
}

// butterfly for two real points with the twiddle (1, 0): the imaginary parts stay zero.
template <typename T>
[[gnu::always_inline]] inline void realUnitButterfly(T& ar, T& br) {
    const T b = br;
    br = ar - b;
    ar = ar + b;
}

// The bit-reversed copy of a real input and the passes of half-size 1, 2, 4 and 8 in one sweep,
// eight blocks of sixteen points at a time (N at least 128). Point p of the block at place
// rev(c) (c below N/16, reversed over N/16) is input rev4(p) x N/16 + c, so eight consecutive c
// fill the lanes from plain loads. Each group of four points gets realFourPoints, then the
// sixteen the butterflies of pairedPassesOfFourTwoBlocks with the same twiddles; only the
// finished blocks are transposed and stored. Points 0 and 2 of every group leave realFourPoints
// with zero imaginary parts, so their butterflies of the half-size 4 pass, and those of the
// half-size 8 pass while both points are still real, leave out the products with those zeros;
// the twiddles of index 0 of both passes are (1, 0) exactly, so point 0's take no product at all.
template <typename Lanes, u32 N>
[[gnu::always_inline]] inline void realFirstFourPassesLanes(const f32* input, const f32* weights, u32 length, f32* re,
                                                             f32* im, const SFftTables& t) {
    constexpr u32 lanes = sizeof(Lanes) / sizeof(f32);
    static_assert(lanes == 8 && N >= 128u, "eight blocks of sixteen points a sweep");
    constexpr u32 sixteenth = N / 16u;
    const u16* reversal = t.reversal + (sixteenth - 1u);
    const Lanes w21r = tableLanes<Lanes>(t.twiddleReal, 2), w21i = tableLanes<Lanes>(t.twiddleImag, 2);
    for (u32 c = 0; c < sixteenth; c += lanes) {
        Lanes pr[16], pi[16];
        // Points 4q .. 4q + 3 come from r = rev2(q) x N/16 + c.
#pragma GCC unroll 4
        for (u32 q = 0; q < 4u; ++q) {
            const u32 r = ((q & 1u) * 2u + (q >> 1)) * sixteenth + c;
            realFourPoints(input, weights, length, r, 4u * sixteenth, w21r, w21i, pr + 4u * q, pi + 4u * q);
        }
        realUnitButterfly(pr[0], pr[4]);
        realUnitButterfly(pr[8], pr[12]);
        realUnitButterfly(pr[0], pr[8]);
        realButterfly(pr[4], pi[4], pr[12], pi[12], tableLanes<Lanes>(t.twiddleReal, 11),
                      tableLanes<Lanes>(t.twiddleImag, 11));
        const Lanes w5r = tableLanes<Lanes>(t.twiddleReal, 5), w5i = tableLanes<Lanes>(t.twiddleImag, 5);
        realButterfly(pr[2], pi[2], pr[6], pi[6], w5r, w5i);
        realButterfly(pr[10], pi[10], pr[14], pi[14], w5r, w5i);
        butterfly(pr[2], pi[2], pr[10], pi[10], tableLanes<Lanes>(t.twiddleReal, 9),
                  tableLanes<Lanes>(t.twiddleImag, 9));
        butterfly(pr[6], pi[6], pr[14], pi[14], tableLanes<Lanes>(t.twiddleReal, 13),
                  tableLanes<Lanes>(t.twiddleImag, 13));
#pragma GCC unroll 2
        for (u32 m = 1; m < 4u; m += 2u) {
            const Lanes w1r = tableLanes<Lanes>(t.twiddleReal, 3u + m);
            const Lanes w1i = tableLanes<Lanes>(t.twiddleImag, 3u + m);
            butterfly(pr[m], pi[m], pr[4u + m], pi[4u + m], w1r, w1i);
            butterfly(pr[8u + m], pi[8u + m], pr[12u + m], pi[12u + m], w1r, w1i);
            butterfly(pr[m], pi[m], pr[8u + m], pi[8u + m], tableLanes<Lanes>(t.twiddleReal, 7u + m),
                      tableLanes<Lanes>(t.twiddleImag, 7u + m));
            butterfly(pr[4u + m], pi[4u + m], pr[12u + m], pi[12u + m], tableLanes<Lanes>(t.twiddleReal, 11u + m),
                      tableLanes<Lanes>(t.twiddleImag, 11u + m));
        }
        transposeEight(pr);
        transposeEight(pr + 8);
        transposeEight(pi);
        transposeEight(pi + 8);
#pragma GCC unroll 8
        for (u32 l = 0; l < lanes; ++l) {
            const u32 block = 16u * reversal[c + l];
            storeAs(re + block, pr[l]);
            storeAs(re + block + 8u, pr[8u + l]);
            storeAs(im + block, pi[l]);
            storeAs(im + block + 8u, pi[8u + l]);
        }
    }
}
#pragma GCC diagnostic pop

void realFirstTwoPasses(const f32* input, const f32* weights, u32 length, f32* re, f32* im, u32 n,
                        const SFftTables& t) {
    realFirstTwoPassesLanes<FftLanes>(input, weights, length, re, im, n, t);
}

// The passes from half-size 4 up, over data that has been through the first two.
void laterPasses(f32* re, f32* im, u32 n, const SFftTables& t) {
    u32 half = 4;
    for (; 4u * half <= n; half *= 4u) pairedPasses<FftLanes>(re, im, n, half, t);
    if (half < n) singlePass<FftLanes>(re, im, n, half, t);
}

// laterPasses with the last stage keeping only bins 0 .. bins - 1 (at most n / 2), as
// magnitudes in out; re and im are left part way.
void laterPassesToMagnitudes(f32* re, f32* im, u32 n, u32 bins, const SFftTables& t, f32* out) {
    u32 half = 4;
    for (; 4u * half < n; half *= 4u) pairedPasses<FftLanes>(re, im, n, half, t);
    lastPassesToMagnitudes<FftLanes>(re, im, n, half, bins, t, out);
}

#if defined(__x86_64__)
typedef f32 FftWideLanes __attribute__((vector_size(32)));

// AVX alone: without FMA no multiply and add can be fused, so the lanes round as the scalar code.
[[gnu::target("avx")]] void laterPassesWide(f32* re, f32* im, u32 n, const SFftTables& t) {
    u32 half = 4;
    if (4u * half <= n) {
        pairedPasses<FftLanes>(re, im, n, half, t);
        half *= 4u;
    }
    for (; 4u * half <= n; half *= 4u) pairedPasses<FftWideLanes>(re, im, n, half, t);
    if (half < n) singlePass<FftWideLanes>(re, im, n, half, t);
}
typedef f32 FftWidestLanes __attribute__((vector_size(64)));

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
// The real transform's passes for n known when compiled (at least 128), so every pass's offsets
// are constants: the first four in one sweep on eight lanes, then as realPassesToMagnitudesWide
// on LaterLanes (eight or sixteen; every later pass's half-size is at least sixteen).
template <typename LaterLanes, u32 N>
[[gnu::always_inline]] inline void realPassesToMagnitudesOf(const f32* input, const f32* weights, u32 length, f32* re,
                                                            f32* im, u32 bins, const SFftTables& t, f32* out) {
    realFirstFourPassesLanes<FftWideLanes, N>(input, weights, length, re, im, t);
    constexpr u32 LAST_HALF = (std::countr_zero(N) % 2u == 0u) ? N / 4u : N / 2u;
#pragma GCC unroll 8
    for (u32 half = 16u; half < LAST_HALF; half *= 4u) pairedPasses<LaterLanes>(re, im, N, half, t);
    lastPassesToMagnitudes<LaterLanes>(re, im, N, LAST_HALF, bins, t, out);
}
#pragma GCC diagnostic pop

template <u32 N>
[[gnu::target("avx")]] void realPassesToMagnitudesWideOf(const f32* input, const f32* weights, u32 length, f32* re,
                                                         f32* im, u32 bins, const SFftTables& t, f32* out) {
    realPassesToMagnitudesOf<FftWideLanes, N>(input, weights, length, re, im, bins, t, out);
}

// AVX-512: sixteen lanes after the first sweep, and twice the registers for the first sweep's
// thirty-two blocks. Its instruction set can fuse a multiply and an add; the build's
// -ffp-contract=off keeps them apart, so the lanes round as the scalar code (the tests compare the
// bits at every width).
template <u32 N>
[[gnu::target("avx512f,avx512vl")]] void realPassesToMagnitudesWidestOf(const f32* input, const f32* weights,
                                                                        u32 length, f32* re, f32* im, u32 bins,
                                                                        const SFftTables& t, f32* out) {
    realPassesToMagnitudesOf<FftWidestLanes, N>(input, weights, length, re, im, bins, t, out);
}

// The sizes of the analysis's windows (512 to 4096) on sixteen lanes; false, doing nothing, for
// any other size.
bool realPassesToMagnitudesWidest(const f32* input, const f32* weights, u32 length, f32* re, f32* im, u32 n,
                                  u32 bins, const SFftTables& t, f32* out) {
    switch (n) {
    case 512u: realPassesToMagnitudesWidestOf<512u>(input, weights, length, re, im, bins, t, out); return true;
    case 1024u: realPassesToMagnitudesWidestOf<1024u>(input, weights, length, re, im, bins, t, out); return true;
    case 2048u: realPassesToMagnitudesWidestOf<2048u>(input, weights, length, re, im, bins, t, out); return true;
    case 4096u: realPassesToMagnitudesWidestOf<4096u>(input, weights, length, re, im, bins, t, out); return true;
    default: return false;
    }
}

// The real transform's passes on eight lanes (n at least 32): the first two, then the pair of
// half-size 4 two blocks at a time, then the rest as laterPassesToMagnitudes. The sizes of the
// analysis's windows (512 to 4096) take the copies compiled for their size.
[[gnu::target("avx")]] void realPassesToMagnitudesWide(const f32* input, const f32* weights, u32 length, f32* re,
                                                       f32* im, u32 n, u32 bins, const SFftTables& t, f32* out) {
    switch (n) {
    case 512u: return realPassesToMagnitudesWideOf<512u>(input, weights, length, re, im, bins, t, out);
    case 1024u: return realPassesToMagnitudesWideOf<1024u>(input, weights, length, re, im, bins, t, out);
    case 2048u: return realPassesToMagnitudesWideOf<2048u>(input, weights, length, re, im, bins, t, out);
    case 4096u: return realPassesToMagnitudesWideOf<4096u>(input, weights, length, re, im, bins, t, out);
    default: break;
    }
    realFirstTwoPassesLanes<FftWideLanes>(input, weights, length, re, im, n, t);
    u32 half = 4;
    if (4u * half == n) {
        lastPassesToMagnitudes<FftLanes>(re, im, n, half, bins, t, out);
        return;
    }
    pairedPassesOfFourTwoBlocks<FftWideLanes>(re, im, n, t);
    half *= 4u;
    for (; 4u * half < n; half *= 4u) pairedPasses<FftWideLanes>(re, im, n, half, t);
    lastPassesToMagnitudes<FftWideLanes>(re, im, n, half, bins, t, out);
}
#endif


// The passes after the first two, eight lanes wide where the processor allows.
void runLaterPasses(f32* re, f32* im, u32 n, const SFftTables& t) {
#if defined(__x86_64__)
    if (g_fftLanes.load(std::memory_order_relaxed) >= 8u) {
        laterPassesWide(re, im, n, t);
        return;
    }
#endif
    laterPasses(re, im, n, t);
}

// The whole transform from inputs in natural order into re and im.
void transform(const f32* inRe, const f32* inIm, f32* re, f32* im, u32 n) {
    const SFftTables& t = fftTables();
    if (n >= 4u * FFT_LANES) {
        reversedFirstTwoPasses(inRe, inIm, re, im, n, t);
        runLaterPasses(re, im, n, t);
        return;
    }
    // Gathering from the reversed index is the same permutation: reversal is its own inverse.
    const u16* reversal = t.reversal + (n - 1u);
    for (u32 j = 0; j < n; ++j) {
        re[j] = inRe[reversal[j]];
        im[j] = inIm != nullptr ? inIm[reversal[j]] : 0.0f;
    }
    if (n == 2) butterfly(re[0], im[0], re[1], im[1], t.twiddleReal[0], t.twiddleImag[0]);
    if (n < 4) return;
    firstTwoPasses(re, im, n, t);
    laterPasses(re, im, n, t);
}

}  // namespace

u32 fftSetLaneLimit(u32 lanes) {
    fftTables();
    u32 inUse = widestFftLanes();
    while (inUse > 4u && inUse > lanes) inUse /= 2u;
    g_fftLanes.store(inUse, std::memory_order_relaxed);
    return inUse;
}

bool fftRealMagnitudes(const f32* input, const f32* weights, u32 length, u32 n, u32 bins, f32* scratchReal,
                       f32* scratchImag, f32* outMagnitudes) {
    if (input == nullptr || scratchReal == nullptr || scratchImag == nullptr || outMagnitudes == nullptr ||
        !isTransformSize(n) || length > n || bins > n)
        return false;
    if (n < 4u * FFT_LANES || bins > n / 2u) {
        // Small transforms, and bins past the middle, take the whole complex transform.
        f32* product = scratchReal;
        for (u32 i = 0; i < n; ++i) product[i] = i >= length ? 0.0f : weights != nullptr ? input[i] * weights[i] : input[i];
        alignas(16) f32 re[FFT_MAX_SIZE];
        transform(product, nullptr, re, scratchImag, n);
        complexMagnitudes(re, scratchImag, bins, outMagnitudes);
        return true;
    }
    const SFftTables& t = fftTables();
#if defined(__x86_64__)
    const u32 lanes = g_fftLanes.load(std::memory_order_relaxed);
    if (lanes >= 16u &&
        realPassesToMagnitudesWidest(input, weights, length, scratchReal, scratchImag, n, bins, t, outMagnitudes))
        return true;
    if (n >= 32u && lanes >= 8u) {
        realPassesToMagnitudesWide(input, weights, length, scratchReal, scratchImag, n, bins, t, outMagnitudes);
        return true;
    }
#endif
    realFirstTwoPasses(input, weights, length, scratchReal, scratchImag, n, t);
    laterPassesToMagnitudes(scratchReal, scratchImag, n, bins, t, outMagnitudes);
    return true;
}

f32 complexMagnitude(f32 re, f32 im) {
    return std::sqrt(re * re + im * im);
}

void complexMagnitudes(const f32* real, const f32* imag, u32 count, f32* out) {
    u32 i = 0;
#if defined(__SSE__)
    // sqrtps rounds each lane correctly, as sqrtss does for std::sqrt.
    for (; i + FFT_LANES <= count; i += FFT_LANES) {
        const FftLanes re = loadAs<FftLanes>(real + i);
        const FftLanes im = loadAs<FftLanes>(imag + i);
        const FftLanes squares = re * re + im * im;
        storeAs(out + i, reinterpret_cast<FftLanes>(_mm_sqrt_ps(reinterpret_cast<__m128>(squares))));
    }
#endif
    for (; i < count; ++i) out[i] = complexMagnitude(real[i], imag[i]);
}
