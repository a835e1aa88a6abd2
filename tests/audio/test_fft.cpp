#include "audio/analysis/fft.h"
#include "tests/audio/fft_lane_widths.h"

#include <gtest/gtest.h>

#include <cmath>
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

// The oracle's magnitudes of a real input (imaginary parts +0).
std::vector<f32> oracleMagnitudes(const std::vector<f32>& real, u32 n) {
    std::vector<f32> interleaved(2u * n, 0.0f), transformed(2u * n), magnitudes(n);
    for (u32 j = 0; j < n; ++j) interleaved[2u * j] = real[j];
    oracleFft(interleaved.data(), transformed.data(), n);
    for (u32 k = 0; k < n; ++k) magnitudes[k] = complexMagnitude(transformed[2u * k], transformed[2u * k + 1u]);
    return magnitudes;
}

bool sameBits(const std::vector<f32>& a, const std::vector<f32>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(f32)) == 0;
}

// Samples of the kinds the analysis gives: windowed noise, and signed zeros with huge and tiny
// values.
std::vector<f32> samplesOf(u32 n, u32 kind, std::mt19937* rng) {
    std::uniform_real_distribution<f32> dist(0.0f, 1.0f);
    static const f32 specials[] = {-0.0f, 0.0f, 3.0e30f, -1.0e-40f, 1.0e-30f, -7.5f};
    std::vector<f32> samples(n);
    for (f32& sample : samples) sample = kind == 0 ? dist(*rng) : specials[(*rng)() % 6u];
    return samples;
}

// The real transform against the oracle over the same windowed product, on every size, with
// window lengths that end inside a lane group and with none; the bin past the asked ones is left
// alone.
void expectRealMagnitudesLikeTheOracle() {
    std::mt19937 rng(31);
    std::uniform_real_distribution<f32> dist(0.0f, 1.0f);
    for (u32 n = 1; n <= FFT_MAX_SIZE; n <<= 1) {
        for (u32 kind = 0; kind < 2; ++kind) {
            for (u32 length : {n, n - n / 4u, n / 2u + n / 5u + 1u, 0u}) {
                if (length > n) continue;
                const std::vector<f32> samples = samplesOf(n, kind, &rng);
                std::vector<f32> weights(n), product(n, 0.0f);
                for (u32 i = 0; i < n; ++i) weights[i] = dist(rng);
                for (u32 i = 0; i < length; ++i) product[i] = samples[i] * weights[i];
                const std::vector<f32> expected = oracleMagnitudes(product, n);
                // All bins, half, and counts ending inside the first and second quarters.
                for (u32 bins : {n, n / 2u, n / 3u + 1u, n / 4u > 1u ? n / 4u - 1u : 1u}) {
                    SCOPED_TRACE(::testing::Message() << "n " << n << ", kind " << kind << ", length " << length
                                                      << ", bins " << bins);
                    std::vector<f32> windowed(bins + 1u, 7.0f), plain(bins + 1u, 7.0f), scratchRe(n), scratchIm(n);
                    std::vector<f32> kept(expected.begin(), expected.begin() + bins);
                    kept.push_back(7.0f);
                    ASSERT_TRUE(fftRealMagnitudes(samples.data(), weights.data(), length, n, bins, scratchRe.data(),
                                                  scratchIm.data(), windowed.data()));
                    EXPECT_TRUE(sameBits(windowed, kept)) << "weighted";
                    ASSERT_TRUE(fftRealMagnitudes(product.data(), nullptr, length, n, bins, scratchRe.data(),
                                                  scratchIm.data(), plain.data()));
                    EXPECT_TRUE(sameBits(plain, kept)) << "unweighted";
                }
            }
        }
    }
}

std::vector<f32> realMagnitudes(const std::vector<f32>& samples, u32 n) {
    std::vector<f32> out(n), scratchRe(n), scratchIm(n);
    EXPECT_TRUE(fftRealMagnitudes(samples.data(), nullptr, n, n, n, scratchRe.data(), scratchIm.data(), out.data()));
    return out;
}

}  // namespace

TEST(Fft, RealMagnitudesMatchTheRecurrenceOracleBitForBit) {
    forEachFftLaneWidth(expectRealMagnitudesLikeTheOracle);
}

TEST(Fft, RealMagnitudesRefuseLengthsAndBinsBeyondTheSizeAndAgreeFromSeveralThreads) {
    std::vector<f32> samples(16, 0.5f), scratchRe(16), scratchIm(16), out(16, 7.0f);
    EXPECT_FALSE(fftRealMagnitudes(samples.data(), nullptr, 17, 16, 8, scratchRe.data(), scratchIm.data(), out.data()));
    EXPECT_FALSE(fftRealMagnitudes(samples.data(), nullptr, 16, 16, 17, scratchRe.data(), scratchIm.data(), out.data()));
    EXPECT_FALSE(fftRealMagnitudes(samples.data(), nullptr, 12, 12, 6, scratchRe.data(), scratchIm.data(), out.data()));
    EXPECT_FALSE(fftRealMagnitudes(samples.data(), nullptr, 2u * FFT_MAX_SIZE, 2u * FFT_MAX_SIZE, 8, scratchRe.data(),
                                   scratchIm.data(), out.data()));
    EXPECT_FALSE(fftRealMagnitudes(nullptr, nullptr, 16, 16, 8, scratchRe.data(), scratchIm.data(), out.data()));
    EXPECT_EQ(out[0], 7.0f);

    // Transforms from several threads at once agree: the first calls build the tables, and
    // threads racing to them must all see whole tables.
    const u32 n = 1024;
    std::mt19937 rng(5);
    const std::vector<f32> noise = samplesOf(n, 0, &rng);
    const std::vector<f32> expected = oracleMagnitudes(noise, n);
    std::vector<std::vector<f32>> outputs(4);
    std::vector<std::thread> threads;
    for (std::vector<f32>& result : outputs) threads.emplace_back([&noise, &result] { result = realMagnitudes(noise, n); });
    for (std::thread& t : threads) t.join();
    for (const std::vector<f32>& result : outputs) EXPECT_TRUE(sameBits(result, expected));
}

