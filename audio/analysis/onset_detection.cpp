#include "audio/analysis/onset_detection.h"

#include "audio/analysis/tempo_search.h"

#include <algorithm>

namespace {

// Windows wider than any song: keeps the frame arithmetic below in range for absurd durations.
constexpr f32 ONSET_WINDOW_LIMIT = f32(1u << 24);

u32 framesIn(f32 seconds, f32 frameDuration) {
    if (!(frameDuration > 0.0f)) return 0;
    const f32 frames = seconds / frameDuration;
    if (!(frames < ONSET_WINDOW_LIMIT)) return u32(ONSET_WINDOW_LIMIT);
    return u32(frames);
}

// Negative energies and values that are not numbers count as 0.
f32 positiveEnergy(f32 e) { return e > 0.0f ? e : 0.0f; }

f32 bandEnergy(const SThreeBandEnergy& energy, u32 band) {
    switch (band) {
        case 0: return energy.low;
        case 1: return energy.middle;
        default: return energy.high;
    }
}

f32 bandSum(const SThreeBandEnergy* energies, u32 band, u32 first, u32 end) {
    f32 sum = 0.0f;
    for (u32 i = first; i < end; ++i) sum += positiveEnergy(bandEnergy(energies[i], band));
    return sum;
}

}  // namespace

u32 onsetRiseWindow(f32 frameDuration) { return framesIn(0.041f, frameDuration); }

u32 onsetPeakWindow(f32 frameDuration) { return framesIn(0.2f, frameDuration); }

f32 onsetStrength(const SThreeBandEnergy* energies, u32 frameCount, u32 band, u32 frame, u32 window) {
    const u32 aheadFirst = std::max(frame, 1u);
    const u32 aheadEnd = u32(std::min<u64>(u64(frame) + window, frameCount));
    const u32 behindFirst = frame > window ? std::max(frame - window, 1u) : 1u;
    const f32 rise = bandSum(energies, band, aheadFirst, aheadEnd) - bandSum(energies, band, behindFirst, frame);
    return positiveEnergy(rise);
}

namespace {

// The three bands' sums of bandSum over the same frames in one walk: each band's additions keep
// their order, and the three chains no longer wait on each other.
void bandSums(const SThreeBandEnergy* energies, u32 first, u32 end, f32* sums) {
    f32 low = 0.0f, middle = 0.0f, high = 0.0f;
    for (u32 i = first; i < end; ++i) {
        low += positiveEnergy(energies[i].low);
        middle += positiveEnergy(energies[i].middle);
        high += positiveEnergy(energies[i].high);
    }
    sums[0] = low;
    sums[1] = middle;
    sums[2] = high;
}

}  // namespace

void computeOnsetFunctions(const SThreeBandEnergy* energies, u32 frameCount, u32 window, f32* summed, f32* low,
                           f32* high) {
    static_assert(ONSET_BAND_COUNT == 3, "one sum per band");
    for (u32 i = 0; i < frameCount; ++i) {
        // onsetStrength's windows, for the three bands at once.
        const u32 aheadFirst = std::max(i, 1u);
        const u32 aheadEnd = u32(std::min<u64>(u64(i) + window, frameCount));
        const u32 behindFirst = i > window ? std::max(i - window, 1u) : 1u;
        f32 ahead[ONSET_BAND_COUNT], behind[ONSET_BAND_COUNT];
        bandSums(energies, aheadFirst, aheadEnd, ahead);
        bandSums(energies, behindFirst, i, behind);
        f32 rises[ONSET_BAND_COUNT];
        f32 sum = 0.0f;
        for (u32 band = 0; band < ONSET_BAND_COUNT; ++band) {
            rises[band] = positiveEnergy(positiveEnergy(ahead[band] - behind[band]));
            sum += rises[band];
        }
        summed[i] = sum * 1.0f;
        low[i] = rises[0];
        high[i] = rises[2];
    }
}

bool isOnsetPeak(const f32* values, u32 frameCount, u32 frame, u32 window, f32 threshold) {
    const f32 value = values[frame];
    if (!(value >= threshold)) return false;
    const u32 first = frame > window ? frame - window : 0;
    const u32 end = u32(std::min<u64>(u64(frame) + window, frameCount));
    bool otherFrame = false;
    for (u32 i = first; i < end; ++i) {
        if (i == frame) continue;
        if (!(values[i] < value)) return false;
        otherFrame = true;
    }
    return otherFrame;
}

void pickOnsets(const f32* summed, const f32* low, const f32* high, u32 frameCount, f32 frameDuration,
                SBeatArray* beatList, SBeatArray* lists) {
    const u32 window = onsetPeakWindow(frameDuration);
    for (u32 i = 0; i < frameCount; ++i) {
        SBeat beat{};
        beat.time = f32(i) * frameDuration;
        if (isOnsetPeak(summed, frameCount, i, window, ONSET_SUMMED_THRESHOLD)) {
            beat.strength = summed[i];
            pushBeat(beatList, beat);
            pushBeat(&lists[E_ONSET_LIST_SUMMED], beat);
        }
        if (isOnsetPeak(low, frameCount, i, window, ONSET_BAND_THRESHOLD)) {
            beat.strength = low[i];
            pushBeat(&lists[E_ONSET_LIST_LOW], beat);
        }
        if (isOnsetPeak(high, frameCount, i, window, ONSET_BAND_THRESHOLD)) {
            beat.strength = high[i];
            pushBeat(&lists[E_ONSET_LIST_HIGH], beat);
        }
    }
}

namespace {

// Frames that have energies and onset arrays: none when the frames came from the spectral cache.
u32 songOnsetFrames() {
    const SSpectrumAnalysisState& song = g_SpectrumAnalysis;
    if (!song.threeBandEnergies || !song.onsetSummed || !song.onsetLow || !song.onsetHigh) return 0;
    return std::min(song.energyFrameCount, g_BeatAnalysis.frameCount);
}

}  // namespace

void computeOnsetFunctions() {
    SSpectrumAnalysisState& song = g_SpectrumAnalysis;
    computeOnsetFunctions(song.threeBandEnergies, songOnsetFrames(), onsetRiseWindow(g_BeatAnalysis.frameDuration),
                          song.onsetSummed, song.onsetLow, song.onsetHigh);
}

void pickOnsets() {
    const SSpectrumAnalysisState& song = g_SpectrumAnalysis;
    pickOnsets(song.onsetSummed, song.onsetLow, song.onsetHigh, songOnsetFrames(), g_BeatAnalysis.frameDuration,
               &g_aSongBeats, g_BeatAnalysis.onsetLists);
}
