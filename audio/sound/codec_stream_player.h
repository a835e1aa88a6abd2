// The stream player: plays one music file as a user stream of the sound layer whose PCM comes
// from a decode job. The sound engine steps it once per frame on the main thread and drives play,
// pause, resume, stop and release; the layer's stream thread pulls the job's ring through the
// player's read callback.
//
// Every call into the sound layer is made under the engine's FMOD lock, given at init (a null
// lock runs unlocked). The isPlaying polls use a try-enter and count a busy lock as "no news".
#pragma once

#include "core/types.h"
#include "platform/sound/sound_system.h"

class ClCodecStreamInstance;
struct SCritSection;

constexpr u32 CODEC_STREAM_PLAYER_PATH_CAPACITY = 768;
// The layer's mode for the stream: 2D, software, created as a stream, PCM from the callback.
constexpr u32 CODEC_STREAM_PLAYER_MODE = E_SOUNDMODE_2D | E_SOUNDMODE_SOFTWARE | E_SOUNDMODE_CREATESTREAM |
                                         E_SOUNDMODE_OPENUSER;

enum ECodecStreamPlayerState : s32 {
    E_STREAMPLAYER_CREATED = 0,
    E_STREAMPLAYER_OPENING = 1,
    E_STREAMPLAYER_WAITING_FOR_JOB = 2,
    E_STREAMPLAYER_CREATING_STREAM = 3,
    E_STREAMPLAYER_READY = 4,
    E_STREAMPLAYER_PLAYING = 5,
    E_STREAMPLAYER_PAUSED = 6,
    E_STREAMPLAYER_STOPPING = 7,
    E_STREAMPLAYER_STOPPED = 8,
    E_STREAMPLAYER_ERROR = 9,
};

struct SCodecStreamPlayer {
    s32 formatId;                // ECodecFormatId
    s32 state;                   // ECodecStreamPlayerState; the engine reads it directly
    char16_t path[CODEC_STREAM_PLAYER_PATH_CAPACITY];
    ClCodecStreamInstance* job;
    ClSound sound;
    ClChannel channel;
    ClSoundSystem* system;
    SCritSection* fmodLock;
};

// Stores the format and the path (at most 767 units, zero-filled), E_STREAMPLAYER_CREATED, no
// job, sound or channel. Returns 1.
s32 initCodecStreamPlayer(SCodecStreamPlayer* player, s32 formatId, const char16_t* widePath, ClSoundSystem* system,
                          SCritSection* fmodLock);
// One step of the state machine (main thread). An unknown state is fatal.
void stepCodecStreamPlayer(SCodecStreamPlayer* player);
// Each answers 1 when its state allowed it, else 0 with nothing changed: play only when ready;
// unpause only while playing (for a stream started paused; the state stays playing); pause only
// while playing with a channel; resume only while paused with a channel; stop only while playing
// or paused with a channel.
s32 playCodecStreamPlayer(SCodecStreamPlayer* player, bool startPaused);
s32 unpauseCodecStreamPlayer(SCodecStreamPlayer* player);
s32 pauseCodecStreamPlayer(SCodecStreamPlayer* player);
s32 resumeCodecStreamPlayer(SCodecStreamPlayer* player);
s32 stopCodecStreamPlayer(SCodecStreamPlayer* player);
// Releases the stream (waiting out its read callbacks) and then the job. The state is kept.
void releaseCodecStreamPlayer(SCodecStreamPlayer* player);

// The stream's callbacks: the read hands the request to the job named by the sound's user data
// (E_SOUND_ERR_INVALID_PARAM when there is none); the stream cannot be repositioned, so the
// set-position callback does nothing.
ESoundResult codecStreamPlayerReadCallback(ClSound sound, void* data, u32 bytes);
ESoundResult codecStreamPlayerSetPositionCallback(ClSound sound, s32 subSound, u32 position, ESoundTimeUnit unit);
