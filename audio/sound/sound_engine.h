// The sound engine: voices, cues by name, volumes and fades on the game clocks, and the
// streamed music.
//
// Every definition of a loaded sound bank (audio/sound_bank.h) and every music-file sound has a
// run-time instance with 64 voices. A cue played by name takes a cue handle and a voice of its
// definition's instance; the voice starts at the next update. The engine owns the sound layer
// (platform/sound/sound_system.h) and calls it only under one pooled lock, the FMOD lock.
//
// Volume-scale slots (ten; audio/sound_bank_format.h names them): 0 music, 1 the song-volume
// factor, 2 effects, 3 voice, 4 to 9 free. Each has a base factor (the audio options). A voice
// sounds at its volume factor x its fade x, for each slot its definition lists, the base factor,
// x the master factor (0 with AUDIO_MUTE_ALL > 0). That volume goes on the voice's
// channel only: the sample's dry group stays at 1.0, since all voices of a sample share it, and
// the wet group stays at 0.
//
// Clocks: fades run on game clock 1 (they stand still while the game is paused).
// Timeline players and the time of a voice without a channel run on clock 0, or on clock 1 when
// the setting FIXED_DT is above 0.
//
// Main thread only, except the accessors of the system and the lock, which the stream player
// uses from the main thread as well.
#pragma once

#include "audio/sound/music_stream.h"
#include "core/types.h"
#include "platform/sound/sound_system.h"

struct SCritSection;
struct SCueRecord;
struct SSoundDefinition;

constexpr u32 CUE_HANDLE_POOL_SIZE = 128;
constexpr u32 SOUND_INSTANCE_VOICE_COUNT = 64;
constexpr u32 DELAYED_START_POOL_SIZE = 32;
constexpr u32 MUSIC_FILE_SOUND_POOL_SIZE = 32;
constexpr u32 SOUND_ENGINE_CHANNELS = 128;

// A caller's hold on a cue. The generation makes a handle kept after its cue was freed (and
// perhaps handed to another caller) stale: every call with it does nothing and reports "no cue".
struct SCueHandle {
    SCueRecord* record = nullptr;
    u32 generation = 0;
    explicit operator bool() const { return record != nullptr; }
    bool operator==(const SCueHandle& other) const = default;
};

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

// Reads AUDIO_MUTE_ALL and FIXED_DT, starts the sound layer (128 channels, 48 kHz), creates the
// FMOD lock (fatal when the lock pool is exhausted) and the pools, then sets up the codec
// registry with the argument (codecRegistration). A layer that cannot start is fatal. Returns 1.
s32 initAudioEngine(u32 codecRegistrationArgument);
// Stops every voice, releases the music-file sounds (their streams and decode jobs) and the
// banks, closes the sound layer (its stream thread and output), and only then shuts the codec
// registry down; destroys the lock.
void shutdownAudioEngine();
bool isAudioEngineRunning();
// Once per frame from the tick. The step is not used: the engine reads the game clocks.
void updateAudioEngine(f32 dt);

// Before initAudioEngine: the layer's output (default E_SOUNDOUTPUT_AUTODETECT, the device or
// the null clock).
void setAudioEngineOutput(ESoundOutputType output);

// The layer and the FMOD lock, for the stream player; null before init.
ClSoundSystem* getSoundEngineSystem();
SCritSection* getSoundEngineLock();

// ---------------------------------------------------------------------------------------------
// Cues

// One-shot: the engine frees the voice when the sound ends. A name without a cue, or no free
// handle or voice, plays nothing.
void playCue(const char* name);
void playCueByHash(u32 nameHash);
// Held by the caller until stopCue or releaseCueWhenFinished; never freed by the engine on its
// own. A null handle when no cue has the name or no handle or voice is free.
SCueHandle playCueHeld(const char* name);
SCueHandle acquireCueByHash(u32 nameHash);

// A negative fade counts as 0 (stop at once, handle freed now); a positive fade frees the handle
// when the fade-out ends.
void stopCue(SCueHandle handle, f32 fadeSeconds);
// A held cue becomes a one-shot. Nothing for a stale handle or a cue already fading out.
void releaseCueWhenFinished(SCueHandle handle);
// No handle (or a stale one) counts as finished. A music voice is finished when its stream
// player has stopped or failed, or when it has no channel and is not waiting for its player; any other voice when its channel is not playing and it is not waiting to start.
bool isCueFinished(SCueHandle handle);
// The chosen sample's length in seconds; 0 with no handle or an unknown length.
f32 getCueDuration(SCueHandle handle);
// Channel position in ms x 0.001 + the voice's start offset; the stored time with no channel;
// 0 with no handle.
f32 getCuePosition(SCueHandle handle);
// Clamped to [0, 1] and [-1, 1]; both are applied at the next update.
void setCueVolume(SCueHandle handle, f32 volume);
void setCuePan(SCueHandle handle, f32 pan);

// Pauses every voice that has a handle; resume does the reverse.
void pauseAllCues();
void resumeAllCues();

// ---------------------------------------------------------------------------------------------
// Volume-scale slots (slot numbers outside 0 to 9 are ignored)

// The options' factor of a slot (1.0 at start).
void setVolumeScaleBase(u32 slot, f32 factor);

// ---------------------------------------------------------------------------------------------
// Diagnostics for tests

// The channel of a cue's voice (a null handle when it has none), to check what the layer plays.
ClChannel getCueChannel(SCueHandle handle);
