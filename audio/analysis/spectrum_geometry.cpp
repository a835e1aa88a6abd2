#include "audio/analysis/spectrum_geometry.h"

#include <cmath>

s32 roundToNearestInt(f32 x) {
    return static_cast<s32>(std::floor(x + 0.5f));
}

u32 spectrumFramesPerSecond(u32 sampleRate) {
    for (u32 f = SPECTRUM_MIN_FRAMES_PER_SECOND; f <= SPECTRUM_MAX_FRAMES_PER_SECOND; ++f) {
        if (sampleRate % f == 0) return f;
    }
    return 0;
}

bool computeSpectrumGeometry(f32 sampleRate, SSpectrumGeometry* out) {
    *out = SSpectrumGeometry{};
    // Negative, NaN and huge rates fall out here before any integer conversion.
    if (!(sampleRate >= static_cast<f32>(SPECTRUM_MIN_SAMPLE_RATE)) ||
        !(sampleRate <= static_cast<f32>(SPECTRUM_MAX_SAMPLE_RATE))) {
        return false;
    }
    const u32 rate = static_cast<u32>(sampleRate);
    const u32 framesPerSecond = spectrumFramesPerSecond(rate);
    if (framesPerSecond == 0) return false;

    const f32 frameDuration = 1.0f / static_cast<f32>(framesPerSecond);
    const s32 hop = roundToNearestInt(sampleRate * frameDuration);
    if (hop <= 0 || static_cast<u64>(hop) * framesPerSecond != rate) return false;

    out->sampleRate = rate;
    out->framesPerSecond = framesPerSecond;
    out->frameDuration = frameDuration;
    out->hop = static_cast<u32>(hop);
    out->windowLength = 2u * out->hop;
    u32 transformSize = 1;
    while (transformSize < out->windowLength) transformSize <<= 1;
    out->transformSize = transformSize;
    out->nyquist = rate / 2u;
    out->bandCount = spectrumBandCount(out->hop);
    return true;
}

u32 spectrumBandWidth(u32 band) {
    f32 result = 1.0f;
    f32 base = 1.3f;
    for (u32 e = band; e != 0; e >>= 1) {
        if ((e & 1u) != 0) result = result * base;
        base = base * base;
    }
    return static_cast<u32>(result);
}

u32 layoutSpectrumBands(u32 hop, u32* outFirstBin, u32* outWidth, u32 capacity) {
    u32 bin = 0;
    u32 band = 0;
    while (bin < hop && band < hop && band < capacity) {
        u32 width = spectrumBandWidth(band);
        if (width > hop - bin) width = hop - bin;
        if (outFirstBin != nullptr) outFirstBin[band] = bin;
        if (outWidth != nullptr) outWidth[band] = width;
        bin += width;
        ++band;
    }
    return band;
}

u32 spectrumBandCount(u32 hop) {
    // Widths grow geometrically, so no hop a 32-bit count can hold needs more than 64 bands.
    return layoutSpectrumBands(hop, nullptr, nullptr, 64);
}

SThreeBandSplit computeThreeBandSplit(u32 nyquist, u32 hop) {
    SThreeBandSplit split{};
    if (hop == 0) return split;
    const f32 binWidth = static_cast<f32>(nyquist) / static_cast<f32>(hop);
    if (!(binWidth > 0.0f)) return split;
    const f32 lowEdge = 450.0f / binWidth;
    const f32 middleEdge = 2000.0f / binWidth;
    // Edges beyond the kept bins are cut at the hop, so a sum never reads past a row.
    const u32 low = lowEdge < static_cast<f32>(hop) ? static_cast<u32>(lowEdge) : hop;
    const u32 middleAll = middleEdge < static_cast<f32>(hop) ? static_cast<u32>(middleEdge) : hop;
    const u32 middle = middleAll > low ? middleAll - low : 0;
    u32 high = (hop + middle) / 5u + middle;
    split.low = low;
    split.middle = middle;
    split.high = high < hop ? high : hop;
    return split;
}

u32 spectrumFrameCount(u32 totalBytes, u32 channels, u32 bytesPerSample, u32 hop) {
    const u64 frameBytes = static_cast<u64>(channels) * bytesPerSample;
    if (frameBytes == 0 || hop == 0) return 0;
    const u64 samples = totalBytes / frameBytes;
    return static_cast<u32>(samples / hop + (samples % hop != 0 ? 1u : 0u));
}
