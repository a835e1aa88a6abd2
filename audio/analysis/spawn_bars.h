// Song features for the wave generation and the in-game effects, derived from the spectral frames
// and the beats of the current song (g_SpectrumAnalysis, g_aSongBeats): half-second spawn bars
// with their intensity levels, the spawn events taken from rising band levels, "drop" beats that
// follow a quiet stretch, per-frame band envelopes and the song's fingerprint
// (song_fingerprint.h).
//
// The state is one global, like the analysis it reads; the song's reset and release
// (resetSongFeatures, releaseSongFeatures) bracket it.
#pragma once

#include "core/array.h"
#include "core/types.h"

// A band value in [0, 0.97] becomes a band level trunc(14 x value): 0 to 13.
constexpr f32 SPAWN_BAND_LEVEL_SCALE = 14.0f;
constexpr s32 SPAWN_MAX_BAND_LEVEL = 13;
// Difficulty levels, each with its (lo, hi) entry of `spawn_bar_range` in "playbalance.txt".
constexpr u32 SPAWN_LEVEL_COUNT = 6;
// Capacity of the spawn-event list at each song's reset; it doubles when full.
constexpr u32 SPAWN_EVENT_INITIAL_CAPACITY = 250000;
// Frames over which a band envelope averages (the frame and the 9 after it).
constexpr u32 SPAWN_ENVELOPE_FRAMES = 10;
// Frame duration of the song features before a song's features exist.
constexpr f32 SPAWN_DEFAULT_FRAME_DURATION = 1.0f / 60.0f;

// Drop beats: a loud bar after two quiet ones flags the strongest beat near it.
constexpr f32 DROP_QUIET_LEVEL = 0.043f;       // mean raw level of the two bars before, below
constexpr f32 DROP_LOUD_LEVEL = 0.35f;         // raw level of the bar, above
constexpr f32 DROP_HOLD_OFF_SECONDS = 5.0f;    // never this soon after the first audible frame
constexpr f32 DROP_NEAR_WINDOW = 0.5f;         // seconds either side, tried first
constexpr f32 DROP_FAR_WINDOW = 1.0f;          // then this
constexpr u32 BEAT_FLAG_DROP = 2u;             // bit 1 of the beat's flag word
constexpr f32 DROP_BEAT_STRENGTH = 20.0f;

// One half-second bar, seven words.
struct SSpawnBar {
    f32 time;           // seconds: start frame x frame duration
    f32 activity;       // summed frame activity over the half second after the bar's first
    f32 rawLevel;       // min(1, activity / 40)
    f32 level;          // the raw level normalised over the song, [0, 1]
    s32 spawnTarget;    // spawn events the bar asks for
    u32 reserved;       // 0
    f32 smoothedLevel;  // exponential moving average of the levels (period 5)
};
static_assert(sizeof(SSpawnBar) == 28, "SSpawnBar is seven words");

// One spawn event: a band level reached in a frame.
struct SSpawnEvent {
    u32 frame;      // spectral frame index
    u32 reserved;   // 0
    u8 bandLevel;   // 0 to 13
    u8 band;        // band index
};

using ClSpawnBarArray = ClArray<SSpawnBar>;
using ClSpawnEventArray = ClArray<SSpawnEvent>;

struct SSongFeatures {
    ClSpawnBarArray bars;           // capacity 8 at the reset
    // The list the wave generation reads (getSongSpawnEvents), bar after bar in frame order.
    ClSpawnEventArray spawnEvents;
    f32 frameDuration;              // of the song's frames; SPAWN_DEFAULT_FRAME_DURATION at reset
    f32 referenceLevel;             // the 75th percentile of the raw levels; 1.0 at reset
    // frameCount rows of bandCount floats (row f at f x bandCount), built once per song; null
    // until then.
    f32* bandEnvelopes;
    u32 envelopeFrameCount;
    u32 envelopeBandCount;
};

extern SSongFeatures g_SongFeatures;
// The song's features for the layers above, which only read them.
const SSongFeatures& songFeatures();

// New state for a song: empty bar list (capacity 8) and spawn-event list (capacity
// SPAWN_EVENT_INITIAL_CAPACITY), default frame duration, reference level 1, no envelopes.
// Frees what an earlier song left.
void resetSongFeatures();
// Frees the lists and the envelopes. The fingerprint buffer lives on until the next
// computeSongFeatures or releaseSongFeatureBuffer (song_fingerprint.h).
void releaseSongFeatures();

// A difficulty's entry of `spawn_bar_range`: the spawn targets of the quietest and loudest bars.
struct SSpawnBarRange {
    s32 lo;
    s32 hi;
};

// The entry of `spawn_bar_range` in "playbalance.txt" for the difficulty `levelIndex` (0 to 5).
// It reads the script cache, so only the main thread calls it; a missing script, section or
// entry is fatal.
SSpawnBarRange readSpawnBarRange(u32 levelIndex);

// Builds the bars, the spawn events, the envelopes (once per song), the fingerprint and the drop
// beats of the current song for the difficulty `levelIndex` (0 to 5), whose entry of
// `spawn_bar_range` gives the spawn targets. A missing script, section or entry is fatal.
// Replaces the bars, the events and the fingerprint of an earlier call.
void computeSongFeatures(u32 levelIndex);
// The same with the range given, so that a thread that must not read scripts (the library's
// background analysis) can build the features from ranges read for it at start-up.
void computeSongFeaturesForRange(SSpawnBarRange range);

// The spawn events of the current song, in bar and frame order. The wave generation reads them
// after computeSongFeatures; the list is rebuilt by each call and freed by releaseSongFeatures.
const ClSpawnEventArray& getSongSpawnEvents();
const ClSpawnBarArray& getSongSpawnBars();

// trunc(14 x value), held to 0 .. 13 (a value that is not a number counts as 0).
s32 spawnBandLevel(f32 value);
// B = trunc(0.5 / frame duration) frames, at least 1 (62 at 126 frames per second, 59 at 120).
u32 spawnBarFrames(f32 frameDuration);
// B x frame duration, at least 0.01 s.
f32 spawnBarDuration(f32 frameDuration);

// The bar index of a song time: trunc(time / bar duration) at the features' frame duration.
// A negative time gives 0; a time past the last bar gives an index past the bar list, so callers
// check it against the bar count.
s32 timeToSpectrumFrame(f32 time);

// Frame index x frame duration of the current song's first frame with a band level of at least
// 1; 0 when no frame has one.
f32 findFirstAudibleTime();
