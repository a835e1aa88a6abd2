// What audio asks of the layers above it: the song's playback sound belongs to the game world's
// sound services, which the analysis does not know, and what the song clock shows on screen (the
// equaliser and its pulse) belongs to the world too.
// The program fills the record once at start-up, before any thread starts
// (app/layer_imports.cpp), and clears it at shutdown. A null member does nothing: nothing is
// drawn, and a song cannot be made playable.
#pragma once

#include "core/types.h"

struct SAudioImports {
    // Makes the song's playable sound from its path, its duration in seconds and its rate in Hz.
    // Non-zero on success (world).
    u32 (*prepareSongSound)(const char16_t* path, f32 durationSeconds, f32 sampleRate) = nullptr;
    // A new song: the display values go back to 0 and the equaliser pulse starts again (world).
    void (*resetDisplay)() = nullptr;
    // Once per drawn frame, before the song time is read: the equaliser pulse moves on by dt
    // (world).
    void (*advancePulse)(f32 dt) = nullptr;
    // The equaliser strip for spectral frame `frame` (-1 before the song's first frame) (world).
    void (*drawEqualiser)(s32 frame) = nullptr;
};

// Copies the record; null clears every member.
void setAudioImports(const SAudioImports* imports);
const SAudioImports& audioImports();

// Runs the imported preparation; 0 without one.
u32 prepareImportedSongSound(const char16_t* path, f32 durationSeconds, f32 sampleRate);
