// The chosen song as the sound "UserMusic": its sound definition, made from the music file's
// path, and the held cue that the song clock follows.
//
// Main thread only. The song analysis reaches prepareSongSound through
// audio/audio_imports.h once the program installs it.
#pragma once

#include "core/types.h"

struct SSoundDefinition;

constexpr const char* SONG_CUE_NAME = "UserMusic";
// Units of the buffers the file name and the folder are split into, terminator included.
constexpr u32 SONG_PATH_PART_LENGTH = 768;

// Unloads the previous song's sound and fills the song's definition: one streamed sample, the
// file's name (owned by the definition) in the file's folder, the duration and sample rate
// given, full volume and pitch, volume-scale slots 0 and 1. 1 when the sound engine made the
// sound (a file it cannot open still counts), else 0: no free music-file sound, the engine not
// running, no memory for the name, or a name or folder of SONG_PATH_PART_LENGTH units or more.
u32 prepareSongSound(const char16_t* path, f32 durationSeconds, f32 sampleRate);
// Plays "UserMusic" held and makes it the song cue (audio/play/song_clock.h). 1 when a cue
// started, else 0 (the song cue is then none).
u32 startSongCue();

// The song's definition as prepareSongSound left it.
const SSoundDefinition& getSongSoundDefinition();
