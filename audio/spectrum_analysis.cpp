#include "audio/spectrum_analysis.h"

#include "core/fatal_error.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

SSpectrumAnalysisState g_SpectrumAnalysis;

namespace {
std::atomic<f32> g_fSpectrumProgress{0.0f};
}  // namespace

f32 getSpectrumAnalysisProgress() { return g_fSpectrumProgress.load(std::memory_order_relaxed); }
void setSpectrumAnalysisProgress(f32 progress) { g_fSpectrumProgress.store(progress, std::memory_order_relaxed); }

namespace {

f32* allocateZeroedFloats(u32 count) {
    const size_t bytes = ((size_t(count) * sizeof(f32)) + 15u) & ~size_t(15);
    void* block = std::aligned_alloc(16, bytes == 0 ? 16 : bytes);
    if (block != nullptr) std::memset(block, 0, bytes == 0 ? 16 : bytes);
    return static_cast<f32*>(block);
}

}  // namespace

void allocateSpectrumEnergyTables(u32 frameCount) {
    releaseSpectrumEnergyTables();
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    s.threeBandEnergies = reinterpret_cast<SThreeBandEnergy*>(allocateZeroedFloats(frameCount * 3u));
    s.onsetSummed = allocateZeroedFloats(frameCount);
    s.onsetLow = allocateZeroedFloats(frameCount);
    s.onsetHigh = allocateZeroedFloats(frameCount);
    if (s.threeBandEnergies == nullptr || s.onsetSummed == nullptr || s.onsetLow == nullptr || s.onsetHigh == nullptr)
        fatalError("spectrum analysis: no memory for the energy tables");
    s.energyFrameCount = frameCount;
}

void releaseSpectrumEnergyTables() {
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    std::free(s.threeBandEnergies);
    std::free(s.onsetSummed);
    std::free(s.onsetLow);
    std::free(s.onsetHigh);
    s.threeBandEnergies = nullptr;
    s.onsetSummed = nullptr;
    s.onsetLow = nullptr;
    s.onsetHigh = nullptr;
    s.energyFrameCount = 0;
}

void releaseSpectrumAnalysis() {
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    if (s.cacheImage != nullptr) {
        std::free(s.cacheImage);  // the band values live inside it
    } else {
        std::free(s.header.bandValues);
    }
    s.cacheImage = nullptr;
    s.header.bandValues = nullptr;
    std::free(s.header.magnitudeRows);
    s.header.magnitudeRows = nullptr;
    std::free(s.window);
    s.window = nullptr;
    releaseSpectrumEnergyTables();
}

void resetSpectrumAnalysis() {
    releaseSpectrumAnalysis();
    std::memset(&g_SpectrumAnalysis, 0, sizeof(g_SpectrumAnalysis));
    setSpectrumAnalysisProgress(0.0f);
}
