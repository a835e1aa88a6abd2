// Plays one image sequence at a time: held, once, looped or ping-pong, at the sequence's rate,
// with a queue of sequences to start next after a delay or once the current one has finished.
#pragma once

#include "core/colour_animator.h"
#include "core/intrusive_list.h"
#include "core/types.h"

struct SFlipbook;

enum EFlipbookMode : u32 {
    E_FLIPBOOK_NONE = 0,
    E_FLIPBOOK_HOLD = 1,
    E_FLIPBOOK_ONCE = 2,
    E_FLIPBOOK_LOOP = 3,
    E_FLIPBOOK_PING_PONG = 4,
};

// A play waiting in the player's queue.
struct SFlipbookQueued : ClListNode {
    f32 delay;  // seconds left
    const SFlipbook* sequence;
    u32 mode;
    u32 waitForEnd;  // also waits until the current sequence has finished
    u32 forward;
};

class ClFlipbookPlayer {
public:
    ClFlipbookPlayer() = default;
    ClFlipbookPlayer(const ClFlipbookPlayer&) = delete;
    ClFlipbookPlayer& operator=(const ClFlipbookPlayer&) = delete;
    ~ClFlipbookPlayer() { clearQueue(); }

    u32 mode = E_FLIPBOOK_NONE;
    const SFlipbook* sequence = nullptr;
    u32 playing = 0;
    s32 frame = 0;
    f32 timeLeft = 0.0f;  // seconds until the next frame
    f32 period = 0.0f;    // 1 / frame rate
    u32 stopAtEnd = 0;    // a loop finishes its pass at the last frame
    u32 forward = 1;
    SColourAnimator colour;  // the owner's tint, advanced with the frames
    ClIntrusiveList pending;

    // Starts at frame 0 forward, or at the last frame backward.
    void start(const SFlipbook* flipbook, u32 playMode, bool forwards);
    // Drops every queued play and queues the sequence loaded under the name (fatal when none
    // was): at once with a delay of 0, else on the first update after the delay has passed.
    void play(const char* name, u32 playMode, f32 delay, bool forwards);
    // Starts at once when nothing is queued and the delay is exactly 0; else joins the queue.
    void queue(const SFlipbook* flipbook, u32 playMode, bool waitForEnd, f32 delay, bool forwards);
    // Advances the frames and the colour by the step of the game clock, then counts down the
    // first queued play: it starts once its delay has run out, and one that waits for the end
    // asks a loop to finish its pass and starts on an update after playing stopped.
    void update(int clock);
    void clearQueue();
    // Steps frames for dt seconds; sequences of fewer than 2 frames do not move.
    void advance(f32 dt);
};
