// The decoding pass of the spectral analysis, over one small sample source: the stream is pulled
// one second at a time, turned into clipped mono, cut into overlapping Gaussian-windowed frames,
// transformed, and folded into the band values and the three-band energies of
// g_SpectrumAnalysis (spectrum_analysis.h).
//
// The analysis feeds it from a decode job (spectrum_stream.h); tests feed it sample arrays.
#pragma once

#include "audio/analysis/spectrum_geometry.h"
#include "core/types.h"

// The format facts of the stream being analysed (from the decoder's getCommonCodecInfo).
struct SSpectrumStreamFormat {
    u32 durationMs;
    u32 totalBytes;        // of decoded audio; may be an estimate for compressed formats
    u32 channels;
    u32 bytesPerSample;
    f32 sampleRate;        // Hz
    u32 integerSamples;    // 1: 4-byte samples are s32; 0: they are f32
};

class ISpectrumSampleSource {
public:
    virtual ~ISpectrumSampleSource() = default;
    // Copies up to `bytes` of interleaved samples, in stream order, into destination and returns
    // how many it copied: fewer only once the stream has ended (or failed).
    virtual u32 pullSamples(void* destination, u32 bytes) = 0;
    // True once the stream broke off with a decoding error.
    virtual bool hasFailed() = 0;
    // True when the decoder skipped damaged data on the way.
    virtual bool sawDamage() { return false; }
};

// Checks the format in the analysis's order and computes the geometry. Returns 0 when the song
// can be analysed, else the ESpectrumResult: 4 for 0 or more than 2 channels, 0 or more than 4
// bytes per sample, a rate outside [8,000, 192,000] Hz; 2 below 90,000 ms; 3 above
// 59,940,000 ms; 4 for a rate with no usable frame geometry or a stream with no whole frame.
s32 validateSpectrumStream(const SSpectrumStreamFormat& format, SSpectrumGeometry* outGeometry);

// A stream may end this much before its promised length (an estimate, a last block held back):
// the rest counts as silence. A stream that ends earlier is judged by what it delivered, unless
// its decoder skipped damaged data: then it is damaged (4) when what came is under the shortest
// song or under half of what was promised, since it is the file, not the song, that is short.
constexpr u32 SPECTRUM_SHORT_END_TOLERANCE_MS = 1000;

// Runs the whole pass and leaves the song's frames in g_SpectrumAnalysis (header filled,
// loadedFromCache 0, values normalised). Earlier tables are released first. Returns 0, or 4
// when a buffer cannot be allocated or the source failed before delivering the whole song; the
// state then holds no tables and a frame count of 0. A stream that ends, without failing, more
// than SPECTRUM_SHORT_END_TOLERANCE_MS short is logged to the audio log and judged by what it
// delivered: 2 (too short) below SPECTRUM_MIN_DURATION_MS, else the frame count and duration
// are those of the delivered audio. A stop request (requestSongAnalysisStop) ends it before its
// next second of audio with 5, the state as after a failure.
s32 runSpectrumPass(ISpectrumSampleSource* source, const SSpectrumStreamFormat& format,
                    const SSpectrumGeometry& geometry);

// One second of interleaved samples (sampleFrames x channels x bytesPerSample bytes) to mono:
// the channels are summed, multiplied by the channel count and the format's scale, and clipped
// to [0, 1] (negative halves of the wave become 0).
void convertChunkToMono(const u8* chunk, u32 sampleFrames, u32 channels, u32 bytesPerSample,
                        u32 integerSamples, f32* outMono);

// Gaussian window of `length` weights into g_SpectrumAnalysis.window (replacing any earlier
// one); running out of memory is fatal.
void buildGaussianWindow(u32 length);
void releaseAnalysisWindow();
// The weight formula itself, for tests.
f32 gaussianWindowWeight(u32 index, u32 length);

// `count` zeroed magnitude rows of hop f32 at g_SpectrumAnalysis.header.magnitudeRows. 1, or 0
// when out of memory.
s32 allocateSpectrumRows(u32 count, u32 hop);
void releaseSpectrumRows();

// The chunk callback: folds rowCount rows of hop magnitudes into the band values and energies
// from firstFrame on; the first call (firstFrame 0) sets the band count and allocates the
// tables (fatal when out of memory). Also raises the running maximum.
void foldSpectrumRows(u32 rowCount, u32 hop, u32 firstFrame, u32 frameCount, const f32* rows,
                      u32 nyquist, u32 userWord);

// After the last chunk: shapes every band value into [0, 0.97] and divides every energy by
// the running maximum. With a maximum of 0 (no measurable magnitude) everything becomes 0.
void normaliseSpectrumBands(u32 hop, u32 frameCount);
// The band value shaping for one raw sum and the running maximum (> 0).
f32 shapeSpectrumBandValue(f32 value, f32 maximum);
