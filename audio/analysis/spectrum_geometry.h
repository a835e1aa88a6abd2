// The geometry of a song's spectral frames, as pure functions of the stream's format: frames per
// second, hop, window, transform size, the logarithmic bands and the three-band split.
//
// Every value is reproduced in single precision exactly as the analysis uses it: the frame
// duration, the hop and the band widths come from f32 arithmetic, so the generated levels stay
// the same on every machine.
#pragma once

#include "core/types.h"

// Rates the analysis accepts, in Hz (integer part of the decoder's rate).
constexpr u32 SPECTRUM_MIN_SAMPLE_RATE = 8000;
constexpr u32 SPECTRUM_MAX_SAMPLE_RATE = 192000;
// Frames per second: the smallest divisor of the rate from this value up.
constexpr u32 SPECTRUM_MIN_FRAMES_PER_SECOND = 120;
// Odd rates with no divisor near 120 would give a tiny hop and millions of frames: refused.
constexpr u32 SPECTRUM_MAX_FRAMES_PER_SECOND = 200;
// Bands per frame at the largest hop (1,600 at 192 kHz).
constexpr u32 SPECTRUM_BAND_CAPACITY = 24;

struct SSpectrumGeometry {
    u32 sampleRate;       // R
    u32 framesPerSecond;  // F, divides R
    f32 frameDuration;    // 1 / F in f32
    u32 hop;              // R / F: samples between frame starts, magnitude bins kept per frame
    u32 windowLength;     // 2 x hop
    u32 transformSize;    // smallest power of two not below the window length
    u32 nyquist;          // R / 2
    u32 bandCount;
};

// The bins of the three raw energies: low [0, low), middle [low, middle), high [middle, high).
// The bin width is taken as Nyquist / hop (not rate / transform size), as the onset thresholds
// were tuned with it.
struct SThreeBandSplit {
    u32 low;
    u32 middle;
    u32 high;
};

// floor(x + 0.5) as an integer.
s32 roundToNearestInt(f32 x);

// Smallest F >= 120 dividing the rate, or 0 when none lies in [120, 200].
u32 spectrumFramesPerSecond(u32 sampleRate);

// The geometry for a decoder's rate. False (the song cannot be analysed) when the integer rate
// lies outside [8,000, 192,000] Hz, has no frames-per-second in [120, 200], or the rounded hop
// times F differs from the rate.
bool computeSpectrumGeometry(f32 sampleRate, SSpectrumGeometry* out);

// trunc(1.3^band) with 1.3 as f32 and the power formed by binary exponentiation in f32.
u32 spectrumBandWidth(u32 band);

// Lays the bands from bin 0 upward over `hop` bins: band b is spectrumBandWidth(b) wide, the last
// takes only the bins left below hop. Writes each band's first bin and width (up to `capacity`
// bands) and returns the band count, which stops at the capacity.
u32 layoutSpectrumBands(u32 hop, u32* outFirstBin, u32* outWidth, u32 capacity);
u32 spectrumBandCount(u32 hop);

SThreeBandSplit computeThreeBandSplit(u32 nyquist, u32 hop);

// ceil((totalBytes / (channels x bytesPerSample)) / hop) with integer divisions; 0 when any
// divisor is 0.
u32 spectrumFrameCount(u32 totalBytes, u32 channels, u32 bytesPerSample, u32 hop);
