#include "audio/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// Double-precision DFT as the reference.
std::vector<double> directDft(const std::vector<f32>& input, u32 n) {
    std::vector<double> out(2u * n, 0.0);
    for (u32 k = 0; k < n; ++k) {
        double re = 0.0;
        double im = 0.0;
        for (u32 j = 0; j < n; ++j) {
            const double angle = -2.0 * M_PI * double(k) * double(j) / double(n);
            re += input[2u * j] * std::cos(angle) - input[2u * j + 1u] * std::sin(angle);
            im += input[2u * j] * std::sin(angle) + input[2u * j + 1u] * std::cos(angle);
        }
        out[2u * k] = re;
        out[2u * k + 1u] = im;
    }
    return out;
}

}  // namespace

TEST(Fft, MatchesDirectDftOnRandomInput) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<f32> dist(-1.0f, 1.0f);
    for (u32 n : {1u, 2u, 4u, 8u, 64u, 1024u, 2048u}) {
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

TEST(Fft, PureToneLandsInItsBin) {
    const u32 n = 1024;
    std::vector<f32> input(2u * n, 0.0f);
    for (u32 j = 0; j < n; ++j) input[2u * j] = std::cos(2.0f * 3.1415927f * 37.0f * float(j) / float(n));
    std::vector<f32> output(2u * n);
    ASSERT_TRUE(fftComplex(input.data(), output.data(), n));
    EXPECT_NEAR(complexMagnitude(output[2 * 37], output[2 * 37 + 1]), 512.0f, 0.05f);
    EXPECT_NEAR(complexMagnitude(output[2 * 36], output[2 * 36 + 1]), 0.0f, 0.05f);
    EXPECT_NEAR(complexMagnitude(output[2 * (n - 37)], output[2 * (n - 37) + 1]), 512.0f, 0.05f);
}

TEST(Fft, RefusesMissingArraysAndSizesThatAreNotPowersOfTwo) {
    std::vector<f32> input(2 * 12, 1.0f);
    std::vector<f32> output(2 * 12, 7.0f);
    EXPECT_FALSE(fftComplex(input.data(), output.data(), 0));
    EXPECT_FALSE(fftComplex(input.data(), output.data(), 12));
    EXPECT_FALSE(fftComplex(nullptr, output.data(), 8));
    EXPECT_FALSE(fftComplex(input.data(), nullptr, 8));
    for (f32 v : output) EXPECT_EQ(v, 7.0f);
}

TEST(Fft, BitReverseCopyPermutesPairs) {
    const u32 n = 8;
    std::vector<f32> input(2 * n);
    for (u32 j = 0; j < n; ++j) {
        input[2 * j] = float(j);
        input[2 * j + 1] = float(100 + j);
    }
    std::vector<f32> output(2 * n);
    fftBitReverseCopy(input.data(), output.data(), n);
    const u32 reversed[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (u32 j = 0; j < n; ++j) {
        EXPECT_EQ(output[2 * reversed[j]], float(j));
        EXPECT_EQ(output[2 * reversed[j] + 1], float(100 + j));
    }
}
