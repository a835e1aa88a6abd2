// The forward complex FFT of the spectral analysis: iterative radix-2, in place after a
// bit-reversed copy, in single precision, unscaled. Data are n pairs (re, im) of f32.
//
// The twiddle factors advance by the trigonometric recurrence from (1, 0), not from a table, so
// the magnitudes match the analysis's tuning to the last bit.
#pragma once

#include "core/types.h"

// Forward transform of n pairs from input to output (distinct arrays of 2n f32). False, doing
// nothing, when either array is missing, n is 0 or n is not a power of two.
bool fftComplex(const f32* input, f32* output, u32 n);

// Copies pair j of input to the bit-reversed position of output (n a power of two).
void fftBitReverseCopy(const f32* input, f32* output, u32 n);

// The radix-2 passes in place over n pairs already in bit-reversed order. inverse flips the
// sign of the angle; the result is never scaled.
void fftButterflies(f32* data, u32 n, bool inverse);

// sqrt(re x re + im x im) in f32.
f32 complexMagnitude(f32 re, f32 im);
