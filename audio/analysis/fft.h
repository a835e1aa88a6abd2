// The forward complex FFT of the spectral analysis: iterative radix-2 over a bit-reversed copy,
// in single precision, unscaled.
//
// The twiddle factors come from the trigonometric recurrence from (1, 0), each pass its own, not
// from sin/cos per factor, so the magnitudes match the analysis's tuning to the last bit. The
// recurrence runs once per pass size into tables shared by every transform (built on first use,
// safe from any thread); every butterfly then does the same f32 operations in the same order as
// when the recurrence ran inside the loop.
#pragma once

#include "core/types.h"

// Largest transform the tables cover: the window of the highest sample rate the analysis takes
// (2 x 1,600 samples) rounded up to a power of two.
constexpr u32 FFT_MAX_SIZE = 4096;

// Magnitudes of bins 0 .. bins - 1 of the transform of the real input input[i] x weights[i]
// for i below length and zero from length on (weights null: input[i] itself), into
// outMagnitudes: the same bits as complexMagnitudes over the whole complex transform of that
// product (imaginary parts +0), for less work. scratchReal and scratchImag (n f32 each) are its
// working space and hold nothing useful after. False, doing nothing, on a missing array, a size n
// that is not a power of two in [1, FFT_MAX_SIZE], a length above n or more bins than n.
bool fftRealMagnitudes(const f32* input, const f32* weights, u32 length, u32 n, u32 bins, f32* scratchReal,
                       f32* scratchImag, f32* outMagnitudes);

// The later passes run sixteen lanes wide where the processor has AVX-512, eight where it has
// AVX, four otherwise; the results are the same bits. Tests lower the limit (4, 8 or 16) to run
// the narrower code on a wider machine. Returns the lane count now in use.
u32 fftSetLaneLimit(u32 lanes);

// sqrt(re x re + im x im) in f32.
f32 complexMagnitude(f32 re, f32 im);

// out[i] = complexMagnitude(real[i], imag[i]) for i below count, the same bits.
void complexMagnitudes(const f32* real, const f32* imag, u32 count, f32* out);
