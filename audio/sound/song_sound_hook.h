// The step that makes an analysed song playable. The song's playback sound belongs to the game
// world's sound services, which the analysis does not know; whoever owns them installs the
// preparation here (the in-game entry relies on it).
#pragma once

#include "core/types.h"

// Makes the song's playable sound from its path, its duration in seconds and its rate in Hz.
// Non-zero on success.
using PrepareSongSoundFn = u32 (*)(const char16_t* path, f32 durationSeconds, f32 sampleRate);

// Null removes the hook.
void setPrepareSongSoundHook(PrepareSongSoundFn hook);
// Runs the hook (the world's prepareSongSound once installed). Without one nothing can be
// prepared, so the answer is 0.
u32 runPrepareSongSoundHook(const char16_t* path, f32 durationSeconds, f32 sampleRate);
