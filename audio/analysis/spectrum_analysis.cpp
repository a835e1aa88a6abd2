#include "audio/analysis/spectrum_analysis.h"

#include "audio/analysis/spectral_cache.h"
#include "audio/analysis/spectrum_pass.h"
#include "audio/analysis/spectrum_stream.h"
#include "audio/audio_imports.h"
#include "core/config.h"
#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/file_layer.h"
#include "core/string_helpers.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>

SSpectrumAnalysisState g_SpectrumAnalysis;
const SSpectrumAnalysisState& spectrumAnalysis() { return g_SpectrumAnalysis; }

namespace {
std::atomic<f32> g_fSpectrumProgress{0.0f};
std::atomic<bool> g_bStopRequested{false};
}  // namespace

f32 getSpectrumAnalysisProgress() { return g_fSpectrumProgress.load(std::memory_order_relaxed); }
void setSpectrumAnalysisProgress(f32 progress) { g_fSpectrumProgress.store(progress, std::memory_order_relaxed); }

void requestSongAnalysisStop() { g_bStopRequested.store(true, std::memory_order_relaxed); }
void clearSongAnalysisStop() { g_bStopRequested.store(false, std::memory_order_relaxed); }
bool isSongAnalysisStopRequested() { return g_bStopRequested.load(std::memory_order_relaxed); }

namespace {

// 16-byte aligned (the allocator's own alignment covers it) and zeroed by calloc: a large table is
// fresh zero pages from the system, not cleared a second time here.
f32* allocateZeroedFloats(u32 count) {
    static_assert(alignof(std::max_align_t) >= 16, "calloc's blocks must be 16-byte aligned");
    const size_t bytes = ((size_t(count) * sizeof(f32)) + 15u) & ~size_t(15);
    return static_cast<f32*>(std::calloc(1, bytes == 0 ? 16 : bytes));
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

namespace {

bool cacheReadsAllowed(u32 force) {
    if (force != 0) return false;
    if (configGetInt("NEVER_CACHE") != 0) return false;
    // A music path given for the beat-analysis view: that song is always decoded again.
    return !configHasKey("VISUAL_BEAT_ANALYSIS");
}

s32 finishWithPlayback(u32 prepareToPlay) {
    if (prepareToPlay == 0) return 1;
    const SSpectrumHeader& h = g_SpectrumAnalysis.header;
    return prepareImportedSongSound(g_SpectrumAnalysis.songPath, h.duration, h.sampleRateF) != 0 ? 1 : 0;
}

s32 fail(s32* outResult, s32 code) {
    closeAnalysisStream();
    *outResult = code;
    return 0;
}

}  // namespace

s32 analyseSongSpectrum(const char16_t* path, const SSongIdentity& identity, s32* outResult, u32 prepareToPlay,
                        u32 force) {
    SSpectrumAnalysisState& s = g_SpectrumAnalysis;
    *outResult = E_SPECTRUM_RESULT_NONE;
    setSpectrumAnalysisProgress(0.0f);
    s.chunkCallback = foldSpectrumRows;
    wstrCopyN(s.songPath, path != nullptr ? path : u"", SPECTRUM_PATH_CAPACITY);
    toBackslashesW(s.songPath);

    if (!fileExistsW(s.songPath)) {
        *outResult = E_SPECTRUM_RESULT_CANNOT_OPEN;
        return 0;
    }

    if (cacheReadsAllowed(force) && readSpectrumCache(s.songPath, identity)) {
        s.header.loadedFromCache = 1;
        closeAnalysisStream();
        return finishWithPlayback(prepareToPlay);
    }

    if (!openAnalysisStream(s.songPath)) return fail(outResult, E_SPECTRUM_RESULT_UNDECODABLE);
    if (!readAnalysisStreamInfo()) return fail(outResult, E_SPECTRUM_RESULT_UNDECODABLE);

    const SSpectrumStreamFormat format = analysisStreamFormat();
    SSpectrumGeometry geometry;
    const s32 formatResult = validateSpectrumStream(format, &geometry);
    if (formatResult != E_SPECTRUM_RESULT_NONE) return fail(outResult, formatResult);

    ClAnalysisJobSampleSource source;
    const s32 passResult = runSpectrumPass(&source, format, geometry);
    closeAnalysisStream();
    if (passResult != E_SPECTRUM_RESULT_NONE) {
        *outResult = passResult;
        return 0;
    }
    writeSpectrumCache(s.songPath, identity);
    return finishWithPlayback(prepareToPlay);
}
