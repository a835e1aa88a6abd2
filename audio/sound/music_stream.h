// What the sound engine asks of a music stream: a player that opens a decode job for a music
// file, turns it into a user stream of the sound layer and drives its one channel. The engine
// steps it once per frame and reads its state to start the music voice and to tell when the song
// has ended. The codec stream player is the game's player; tests give their own.
#pragma once

#include "core/types.h"
#include "platform/sound/sound_system.h"

enum EMusicStreamState : s32 {
    E_MUSICSTREAM_CREATED = 0,
    E_MUSICSTREAM_OPENING = 1,
    E_MUSICSTREAM_WAITING_FOR_JOB = 2,
    E_MUSICSTREAM_CREATING_STREAM = 3,
    E_MUSICSTREAM_READY = 4,
    E_MUSICSTREAM_PLAYING = 5,
    E_MUSICSTREAM_PAUSED = 6,
    E_MUSICSTREAM_STOPPING = 7,
    E_MUSICSTREAM_STOPPED = 8,
    E_MUSICSTREAM_ERROR = 9,
};

class IMusicStream {
public:
    virtual ~IMusicStream() = default;
    // One step of the player's state machine (main thread).
    virtual void step() = 0;
    virtual s32 state() const = 0;  // EMusicStreamState
    // Each answers 1 when the state allowed the call, else 0 and nothing changes.
    virtual s32 play(bool startPaused) = 0;
    virtual s32 unpause() = 0;
    virtual s32 pause() = 0;
    virtual s32 resume() = 0;
    virtual s32 stop() = 0;
    // The stream (from READY on) and its channel (from PLAYING on); null handles otherwise.
    virtual ClSound sound() const = 0;
    virtual ClChannel channel() const = 0;
    // Releases the stream and the decode job. The state is left as it was.
    virtual void release() = 0;
};

