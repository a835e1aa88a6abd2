// Onset detection, the first stage of the beat analysis: per spectral frame, how sharply the
// three-band energy rises, and the frames where that rise is a clear local peak.
//
// The functions taking arrays work on any energies; computeOnsetFunctions() and pickOnsets()
// run them over the current song (g_SpectrumAnalysis) into the beat analysis (tempo_search.h).
#pragma once

#include "audio/analysis/beat.h"
#include "audio/analysis/spectrum_analysis.h"
#include "core/types.h"

// Onset lists, in the order the tempo search walks them.
enum EOnsetList : u32 {
    E_ONSET_LIST_LOW = 0,
    E_ONSET_LIST_HIGH = 1,
    E_ONSET_LIST_SUMMED = 2,
};
constexpr u32 ONSET_LIST_COUNT = 3;
// Bands of SThreeBandEnergy: 0 low, 1 middle, 2 high.
constexpr u32 ONSET_BAND_COUNT = 3;

// Rises are picked at these heights; the energies are in units of the song's running maximum.
constexpr f32 ONSET_SUMMED_THRESHOLD = 1.5f;
constexpr f32 ONSET_BAND_THRESHOLD = 1.0f;

// w1 = trunc(0.041 / frame duration) frames: 5 at 126 frames per second, 4 at 120.
u32 onsetRiseWindow(f32 frameDuration);
// w2 = trunc(0.2 / frame duration) frames: 25 at 126, 24 at 120 (23 if taken in double).
u32 onsetPeakWindow(f32 frameDuration);

// `energies` holds frameCount records. The rise of the band at the frame: the
// band's energy summed over [max(frame, 1), min(frame + window, frameCount)) minus its sum over
// [max(frame - window, 1), frame), at least 0. Each energy counts as max(0, e), and a value that
// is not a number counts as 0. Frame 0 never enters either sum.
f32 onsetStrength(const SThreeBandEnergy* energies, u32 frameCount, u32 band, u32 frame, u32 window);

// Fills, for every frame, summed[i] = the sum of the three bands' rises, low[i] = the low band's
// rise and high[i] = the high band's rise.
void computeOnsetFunctions(const SThreeBandEnergy* energies, u32 frameCount, u32 window, f32* summed, f32* low, f32* high);

// True when, over frames [max(frame - window, 0), min(frame + window, frameCount)), another
// frame exists, every other frame's value is strictly below the frame's, and the frame's value
// is at least the threshold.
bool isOnsetPeak(const f32* values, u32 frameCount, u32 frame, u32 window, f32 threshold);

// Scans every frame in order and appends each pick as a record (time = frame x frame duration,
// flags and words 3 to 19 zero, strength = the function's value): summed peaks to the beat list
// and to lists[E_ONSET_LIST_SUMMED], low peaks to lists[E_ONSET_LIST_LOW], high peaks to
// lists[E_ONSET_LIST_HIGH]. Every list must be set up.
void pickOnsets(const f32* summed, const f32* low, const f32* high, u32 frameCount, f32 frameDuration,
                SBeatArray* beatList, SBeatArray* lists);

// The same two steps over the current song's energies, into its onset arrays, the beat
// analysis's onset lists and the song's beat list. A song without energies (frames from the
// spectral cache) has no frames to scan.
void computeOnsetFunctions();
void pickOnsets();
