// The song's spectral analysis: one music file becomes spectral frames (short-time Fourier
// magnitudes folded into logarithmically widening bands and shaped to [0, 0.97]) and, per frame,
// three raw energy sums (low, middle, high) for the onset detection.
//
// One song is analysed or loaded at a time: the state is the single global g_SpectrumAnalysis,
// shared by the library's scan thread and the main thread. Callers never run two analyses at
// once (the front end pauses the scan and waits for it to be idle before the in-game entry).
//
// The frames either come from a decoding pass (loadedFromCache 0; the three-band energies and
// the onset arrays then exist too) or from the spectral cache (loadedFromCache 1; no energies).
#pragma once

#include "audio/decode/sample_pull.h"
#include "core/types.h"

// Wide units of the current song path, terminator included.
constexpr u32 SPECTRUM_PATH_CAPACITY = 768;
// The song identity that names the song's cache files: the first 32 bytes of its library record.
constexpr u32 SONG_IDENTITY_BYTES = 32;
// Band values per frame never exceed this (the geometry gives at most 24, at hop 1,600).
constexpr u32 SPECTRUM_MAX_BANDS = 32;

// Result codes of analyseSongSpectrum (the library flags a song by 2, 3 and 4).
enum ESpectrumResult : s32 {
    E_SPECTRUM_RESULT_NONE = 0,          // success, or the playback preparation failed
    E_SPECTRUM_RESULT_CANNOT_OPEN = 1,   // the music file cannot be opened for reading
    E_SPECTRUM_RESULT_TOO_SHORT = 2,     // shorter than SPECTRUM_MIN_DURATION_MS
    E_SPECTRUM_RESULT_TOO_LONG = 3,      // longer than SPECTRUM_MAX_DURATION_MS
    E_SPECTRUM_RESULT_UNDECODABLE = 4,   // no job, bad format, unusable geometry, no memory,
                                         // or the decoder failed during the pass
    E_SPECTRUM_RESULT_STOPPED = 5,       // a stop was requested: nothing is known of the song
};

constexpr u32 SPECTRUM_MIN_DURATION_MS = 90000;
constexpr u32 SPECTRUM_MAX_DURATION_MS = 59940000;
// Progress while decoding runs from 0 to this; the beat analysis and the features follow.
constexpr f32 SPECTRUM_DECODE_PROGRESS_END = 0.76f;

struct SSongIdentity {
    u8 bytes[SONG_IDENTITY_BYTES];
};

// The head of the song's analysis. Its 17 words are, in this order, the 68-byte head of the
// spectral cache file; words 12 and 15 are references in memory, so the cache writes the head
// field by field (spectral_cache.h).
struct SSpectrumHeader {
    char magic[4];            //  1 "SDFT", filled when the cache is written
    u32 version;              //  2 2, filled when the cache is written
    u32 windowLength;         //  3 samples per transform frame = 2 x hop
    u32 transformSize;        //  4 smallest power of two not below the window length
    u32 hop;                  //  5 samples between frame starts = magnitude bins kept per frame
    u32 sampleRate;           //  6 Hz, integer part of the decoder's rate
    u32 nyquist;              //  7 sampleRate / 2
    f32 frameDuration;        //  8 seconds = 1 / frames per second
    u32 channels;             //  9 1 or 2
    u32 bytesPerSample;       // 10 1 to 4
    u32 frameCount;           // 11 spectral frames of the song
    f32* magnitudeRows;       // 12 during a pass: the chunk's rows (frames per second x hop f32);
                              //    in the file: 68, the offset of the frame-offset table
    u32 loadedFromCache;      // 13 1 when the frames came from the cache file
    u32 bandCount;            // 14 band values per frame (at most SPECTRUM_MAX_BANDS)
    f32* bandValues;          // 15 frameCount rows of bandCount f32, row f at f x bandCount;
                              //    each value in [0, 0.97] once the pass has ended
    f32 duration;             // 16 seconds (decoder duration in ms x 0.001)
    f32 sampleRateF;          // 17 Hz, as the decoder reported it
};

// Raw energy sums of one frame, divided by the running maximum once the pass has ended.
struct SThreeBandEnergy {
    f32 low;
    f32 middle;
    f32 high;
};

// The chunk callback: folds `rowCount` magnitude rows of `hop` bins into the band table and the
// energies from `firstFrame` on (foldSpectrumRows).
using SpectrumChunkCallback = void (*)(u32 rowCount, u32 hop, u32 firstFrame, u32 frameCount,
                                       const f32* rows, u32 nyquist, u32 userWord);

struct SSpectrumAnalysisState {
    SSpectrumHeader header;
    SAnalysisStreamInfo stream;          // the decode job being read and its format facts
    char16_t songPath[SPECTRUM_PATH_CAPACITY];  // '/' turned into '\'
    u32 framesPerSecond;                 // F: frames per second of song = sampleRate / hop

    f32* window;                         // windowLength Gaussian weights during a pass
    f32 runningMaximum;                  // of the magnitudes at the band indices

    // After a decoding pass only (null when the frames came from the cache): frameCount records
    // each. The onset arrays are allocated zeroed here and filled by the onset detection.
    SThreeBandEnergy* threeBandEnergies;
    f32* onsetSummed;                    // S: summed over the three bands
    f32* onsetLow;                       // L: low band
    f32* onsetHigh;                      // H: high band
    u32 energyFrameCount;                // frames the four arrays above hold

    u8* cacheImage;                      // the band values laid out as their cache file (read or being built); bandValues points into it
    SpectrumChunkCallback chunkCallback;
    u32 chunkUserWord;
};

extern SSpectrumAnalysisState g_SpectrumAnalysis;
// The song's spectral analysis for the layers above, which only read it.
const SSpectrumAnalysisState& spectrumAnalysis();

// The pass's progress, 0 to SPECTRUM_DECODE_PROGRESS_END, for the library's display (any thread).
f32 getSpectrumAnalysisProgress();
void setSpectrumAnalysisProgress(f32 progress);

// Band value of a frame (no range check: frame < frameCount, band < bandCount).
inline f32 spectrumBandValue(u32 frame, u32 band) {
    return g_SpectrumAnalysis.header.bandValues[frame * g_SpectrumAnalysis.header.bandCount + band];
}

// ---------------------------------------------------------------------------------------------
// The analysis

// A request, from any thread, that the running analysis end early: the decoding pass ends at its
// next second of audio with E_SPECTRUM_RESULT_STOPPED, the beat analysis is skipped, and no cache
// is written from what was cut short. It holds, for every analysis, until cleared.
void requestSongAnalysisStop();
void clearSongAnalysisStop();
bool isSongAnalysisStopRequested();

// Makes the song's frames ready: from the spectral cache unless `force` is set, the setting
// NEVER_CACHE is non-zero or VISUAL_BEAT_ANALYSIS exists; otherwise by decoding the song, after
// which the cache is rewritten. `path` is the music file (wide, '/' or '\'); `identity` names
// the cache file. outResult is 0 at entry and an ESpectrumResult on failure. With
// `prepareToPlay` the song's playback sound is prepared afterwards (audio/audio_imports.h); its
// failure returns 0 with result 0. Returns 1 when the frames are ready.
s32 analyseSongSpectrum(const char16_t* path, const SSongIdentity& identity, s32* outResult,
                        u32 prepareToPlay, u32 force);

// Clears the whole state for a new song, freeing what an earlier song left.
void resetSpectrumAnalysis();
// Frees the band values (or the loaded cache image) and the energies and onset arrays; the
// header's words other than the two references stay.
void releaseSpectrumAnalysis();

// Allocates the energy table and the three onset arrays for `frameCount` frames, zeroed,
// replacing any earlier ones; allocation failure is fatal.
void allocateSpectrumEnergyTables(u32 frameCount);
// Frees the energy table and the three onset arrays (the beat analysis's release calls it).
void releaseSpectrumEnergyTables();
