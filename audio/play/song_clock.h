// The song clock: the playing song's time and current spectral frame, taken once per drawn frame
// from the song cue's audible position, and the life of one song's analysis state (reset before a
// song, released after it). Main thread, except that the library also resets and releases around
// its background analyses.
#pragma once

#include "audio/sound/sound_engine.h"
#include "core/types.h"

// Seconds into the song; 0 after a reset. Negative during a run-up driven by the frame clock.
f32 currentSongTime();
// Where the song clock stands, for the action mode's run-up before the song starts.
void setSongTime(f32 seconds);
// The spectral frame of the song time; -1 after a reset and while the song time is negative.
extern s32 g_iSpectrumFrame;
// The spectral frame the song time has reached (-1 before the first), for the layers above.
s32 currentSpectrumFrame();

// New state for a song: the spectral analysis, the song features (spawn bars and events, frame
// duration 1/60, reference level 1), no song cue, song time 0, frame -1, and the display values.
void resetSongAnalysis();
// Stops and gives up the song cue, then frees the song features and the spectral frames.
void releaseSongAnalysis();

// The in-game mode hands over the held cue of the song it starts; the clock follows it.
void setSongCue(SCueHandle cue);
SCueHandle getSongCue();

// Once per drawn frame. With `followCue` the song time is the cue's audible position (asking for
// it without a song cue is fatal); otherwise it moves on by the gameplay clock's step. A song time
// is never clamped: after a resume the audible position may jump ahead, and the beats it passes are
// delivered in that frame.
void updateSongClock(u32 followCue);

// trunc(time / frame duration), held to [0, frameCount - 1]; -1 for a song with no frames.
s32 spectrumFrameAt(f32 songTime, f32 frameDuration, u32 frameCount);
