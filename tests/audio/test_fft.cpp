#include "audio/analysis/fft.h"
#include "tests/audio/fft_lane_widths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

namespace {

// The first implementation, kept as the oracle: the twiddles advance by the f32 recurrence inside
// the butterfly loop. The tables must give these outputs bit for bit.
void oracleFft(const f32* input, f32* output, u32 n) {
    u32 reversed = 0;
    for (u32 j = 0; j < n; ++j) {
        output[2u * reversed] = input[2u * j];
        output[2u * reversed + 1u] = input[2u * j + 1u];
        u32 bit = n >> 1;
        while (bit != 0 && (reversed & bit) != 0) {
            reversed ^= bit;
            bit >>= 1;
        }
        reversed |= bit;
    }
    for (u32 half = 1; half < n; half <<= 1) {
        const f32 angle = -3.1415927f / static_cast<f32>(half);
        const f32 halfSine = std::sin(angle * 0.5f);
        const f32 stepReal = -2.0f * halfSine * halfSine;
        const f32 stepImag = std::sin(angle);
        f32 wr = 1.0f;
        f32 wi = 0.0f;
        const u32 span = half << 1;
        for (u32 m = 0; m < half; ++m) {
            for (u32 j = m; j < n; j += span) {
                f32* a = output + 2u * j;
                f32* b = output + 2u * (j + half);
                const f32 tr = wr * b[0] - wi * b[1];
                const f32 ti = wr * b[1] + wi * b[0];
                b[0] = a[0] - tr;
                b[1] = a[1] - ti;
                a[0] = a[0] + tr;
                a[1] = a[1] + ti;
            }
            const f32 oldReal = wr;
            wr = wr + (wr * stepReal - wi * stepImag);
            wi = wi + (wi * stepReal + oldReal * stepImag);
        }
    }
}

// Inputs of the kinds the analysis and other callers give: full complex noise, real-only
// windowed samples (imaginary +0) with a zero tail, and signed zeros with huge and tiny values.
std::vector<f32> oracleInput(u32 n, u32 kind, std::mt19937* rng) {
    std::uniform_real_distribution<f32> dist(-1.0f, 1.0f);
    std::vector<f32> input(2u * n, 0.0f);
    for (u32 j = 0; j < n; ++j) {
        if (kind == 0) {
            input[2u * j] = dist(*rng);
            input[2u * j + 1u] = dist(*rng);
        } else if (kind == 1) {
            if (j < n - n / 4u) input[2u * j] = std::fabs(dist(*rng)) * 0.8f;
        } else {
            static const f32 specials[] = {-0.0f, 0.0f, 3.0e38f, -1.0e-40f, 1.0e-30f, -7.5f};
            input[2u * j] = specials[(*rng)() % 6u];
            input[2u * j + 1u] = specials[(*rng)() % 6u];
        }
    }
    return input;
}

// Double-precision DFT as the reference.
std::vector<double> directDft(const std::vector<f32>& input, u32 n) {
    std::vector<double> out(2u * n, 0.0);
    for (u32 k = 0; k < n; ++k) {
        for (u32 j = 0; j < n; ++j) {
            const std::complex<double> term = std::complex<double>(input[2u * j], input[2u * j + 1u]) *
                                              std::polar(1.0, -2.0 * M_PI * double(k) * double(j) / double(n));
            out[2u * k] += term.real();
            out[2u * k + 1u] += term.imag();
        }
    }
    return out;
}

bool sameBits(const std::vector<f32>& a, const std::vector<f32>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(f32)) == 0;
}

void expectOracleOutputsOnEverySize() {
    std::mt19937 rng(77);
    for (u32 n = 1; n <= FFT_MAX_SIZE; n <<= 1) {
        for (u32 kind = 0; kind < 3; ++kind) {
            for (u32 trial = 0; trial < 3; ++trial) {
                const std::vector<f32> input = oracleInput(n, kind, &rng);
                std::vector<f32> expected(2u * n);
                oracleFft(input.data(), expected.data(), n);

                std::vector<f32> interleaved(2u * n, 9.0f);
                ASSERT_TRUE(fftComplex(input.data(), interleaved.data(), n));
                ASSERT_TRUE(sameBits(interleaved, expected)) << "interleaved, n = " << n << ", kind " << kind;

                std::vector<f32> re(n), im(n), outRe(n, 9.0f), outIm(n, 9.0f), split(2u * n);
                for (u32 j = 0; j < n; ++j) re[j] = input[2u * j], im[j] = input[2u * j + 1u];
                // Real-only inputs go in without an imaginary array, as the analysis passes them.
                ASSERT_TRUE(fftComplexSplit(re.data(), kind == 1 ? nullptr : im.data(), outRe.data(), outIm.data(), n));
                for (u32 j = 0; j < n; ++j) split[2u * j] = outRe[j], split[2u * j + 1u] = outIm[j];
                ASSERT_TRUE(sameBits(split, expected)) << "split, n = " << n;
            }
        }
    }
}

}  // namespace

TEST(Fft, TablesGiveTheRecurrenceOutputsBitForBit) {
    forEachFftLaneWidth(expectOracleOutputsOnEverySize);
}

// The real transform against the complex one over the same windowed product, on every size,
// with window lengths that end inside a lane group and with none; the bin past the asked ones is
// left alone.
void expectRealMagnitudesLikeTheComplexTransform() {
    std::mt19937 rng(31);
    std::uniform_real_distribution<f32> dist(0.0f, 1.0f);
    for (u32 n = 1; n <= FFT_MAX_SIZE; n <<= 1) {
        for (u32 length : {n, n - n / 4u, n / 2u + n / 5u + 1u, 0u}) {
            if (length > n) continue;
            std::vector<f32> samples(n), weights(n), product(n, 0.0f);
            for (u32 i = 0; i < n; ++i) samples[i] = dist(rng), weights[i] = dist(rng);
            for (u32 i = 0; i < length; ++i) product[i] = samples[i] * weights[i];
            std::vector<f32> re(n), im(n), expected(n);
            ASSERT_TRUE(fftComplexSplit(product.data(), nullptr, re.data(), im.data(), n));
            complexMagnitudes(re.data(), im.data(), n, expected.data());
            // All bins, half, and counts ending inside the first and second quarters.
            for (u32 bins : {n, n / 2u, n / 3u + 1u, n / 4u > 1u ? n / 4u - 1u : 1u}) {
                std::vector<f32> windowed(bins + 1u, 7.0f), plain(bins + 1u, 7.0f), scratchRe(n), scratchIm(n);
                std::vector<f32> kept(expected.begin(), expected.begin() + bins);
                kept.push_back(7.0f);
                ASSERT_TRUE(fftRealMagnitudes(samples.data(), weights.data(), length, n, bins, scratchRe.data(),
                                              scratchIm.data(), windowed.data()));
                EXPECT_TRUE(sameBits(windowed, kept)) << "weighted, n = " << n << ", length " << length << ", bins " << bins;
                ASSERT_TRUE(fftRealMagnitudes(product.data(), nullptr, length, n, bins, scratchRe.data(),
                                              scratchIm.data(), plain.data()));
                EXPECT_TRUE(sameBits(plain, kept)) << "unweighted, n = " << n << ", length " << length << ", bins " << bins;
            }
        }
    }
}

TEST(Fft, RealMagnitudesMatchTheComplexTransformBitForBit) {
    forEachFftLaneWidth(expectRealMagnitudesLikeTheComplexTransform);
}

TEST(Fft, RealMagnitudesRefuseLengthsAndBinsBeyondTheSize) {
    std::vector<f32> samples(16, 0.5f), scratchRe(16), scratchIm(16), out(16, 7.0f);
    EXPECT_FALSE(fftRealMagnitudes(samples.data(), nullptr, 17, 16, 8, scratchRe.data(), scratchIm.data(), out.data()));
    EXPECT_FALSE(fftRealMagnitudes(samples.data(), nullptr, 16, 16, 17, scratchRe.data(), scratchIm.data(), out.data()));
    EXPECT_FALSE(fftRealMagnitudes(samples.data(), nullptr, 12, 12, 6, scratchRe.data(), scratchIm.data(), out.data()));
    EXPECT_FALSE(fftRealMagnitudes(nullptr, nullptr, 16, 16, 8, scratchRe.data(), scratchIm.data(), out.data()));
    EXPECT_EQ(out[0], 7.0f);
}

TEST(Fft, TransformsFromSeveralThreadsAtOnceAgree) {
    // The first calls build the tables: threads racing to them must all see whole tables.
    const u32 n = 1024;
    std::mt19937 rng(5);
    const std::vector<f32> input = oracleInput(n, 0, &rng);
    std::vector<f32> expected(2u * n);
    oracleFft(input.data(), expected.data(), n);
    std::vector<std::vector<f32>> outputs(4, std::vector<f32>(2u * n));
    std::vector<std::thread> threads;
    for (std::vector<f32>& out : outputs)
        threads.emplace_back([&input, &out] { fftComplex(input.data(), out.data(), n); });
    for (std::thread& t : threads) t.join();
    for (const std::vector<f32>& out : outputs) EXPECT_TRUE(sameBits(out, expected));
}

TEST(Fft, MatchesDirectDftOnRandomInput) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<f32> dist(-1.0f, 1.0f);
    for (u32 n : {1u, 2u, 8u, 1024u}) {
        std::vector<f32> input(2u * n);
        for (f32& v : input) v = dist(rng);
        std::vector<f32> output(2u * n, 0.0f);
        ASSERT_TRUE(fftComplex(input.data(), output.data(), n));
        const std::vector<double> expected = directDft(input, n);
        // Single-precision error grows with log2(n) and the magnitude sqrt(n) of the sums.
        const double tolerance = 2e-6 * std::sqrt(double(n)) * (std::log2(double(n)) + 1.0) * 4.0;
        double worst = 0.0;
        for (u32 i = 0; i < 2u * n; ++i) worst = std::max(worst, std::fabs(double(output[i]) - expected[i]));
        EXPECT_LT(worst, tolerance) << "n = " << n;
    }
}

TEST(Fft, RefusesMissingArraysAndSizesThatAreNotPowersOfTwo) {
    std::vector<f32> input(2 * 12, 1.0f);
    std::vector<f32> output(2 * 12, 7.0f);
    EXPECT_FALSE(fftComplex(input.data(), output.data(), 12));
    EXPECT_FALSE(fftComplex(nullptr, output.data(), 8));
    EXPECT_EQ(output, std::vector<f32>(2 * 12, 7.0f));
    std::vector<f32> big(4u * FFT_MAX_SIZE, 0.0f);
    EXPECT_FALSE(fftComplex(big.data(), big.data() + 2u * FFT_MAX_SIZE, 2u * FFT_MAX_SIZE));
    EXPECT_FALSE(fftComplexSplit(input.data(), nullptr, output.data(), nullptr, 8));
    EXPECT_FALSE(fftComplexSplit(input.data(), nullptr, output.data(), output.data() + 12, 12));
}
