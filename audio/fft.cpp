#include "audio/fft.h"

#include <cmath>

namespace {

constexpr f32 FFT_PI = 3.1415927f;

}  // namespace

void fftBitReverseCopy(const f32* input, f32* output, u32 n) {
    u32 reversed = 0;
    for (u32 j = 0; j < n; ++j) {
        output[2u * reversed] = input[2u * j];
        output[2u * reversed + 1u] = input[2u * j + 1u];
        // Add one to the reversed counter: the carry runs from the top bit downward.
        u32 bit = n >> 1;
        while (bit != 0 && (reversed & bit) != 0) {
            reversed ^= bit;
            bit >>= 1;
        }
        reversed |= bit;
    }
}

void fftButterflies(f32* data, u32 n, bool inverse) {
    for (u32 half = 1; half < n; half <<= 1) {
        const f32 angle = (inverse ? FFT_PI : -FFT_PI) / static_cast<f32>(half);
        const f32 halfSine = std::sin(angle * 0.5f);
        const f32 stepReal = -2.0f * halfSine * halfSine;
        const f32 stepImag = std::sin(angle);
        f32 wr = 1.0f;
        f32 wi = 0.0f;
        const u32 span = half << 1;
        for (u32 m = 0; m < half; ++m) {
            for (u32 j = m; j < n; j += span) {
                f32* a = data + 2u * j;
                f32* b = data + 2u * (j + half);
                const f32 tr = wr * b[0] - wi * b[1];
                const f32 ti = wr * b[1] + wi * b[0];
                b[0] = a[0] - tr;
                b[1] = a[1] - ti;
                a[0] = a[0] + tr;
                a[1] = a[1] + ti;
            }
            // Both parts advance from the old twiddle: the pair is one rotation.
            const f32 oldReal = wr;
            wr = wr + (wr * stepReal - wi * stepImag);
            wi = wi + (wi * stepReal + oldReal * stepImag);
        }
    }
}

bool fftComplex(const f32* input, f32* output, u32 n) {
    if (input == nullptr || output == nullptr || n == 0 || (n & (n - 1u)) != 0) return false;
    fftBitReverseCopy(input, output, n);
    fftButterflies(output, n, false);
    return true;
}

f32 complexMagnitude(f32 re, f32 im) {
    return std::sqrt(re * re + im * im);
}
