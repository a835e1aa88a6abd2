// Plays one image sequence at a time: held, once, looped or ping-pong, at the sequence's rate.
#pragma once

#include "core/types.h"

struct SFlipbook;

enum EFlipbookMode : u32 {
    E_FLIPBOOK_NONE = 0,
    E_FLIPBOOK_HOLD = 1,
    E_FLIPBOOK_ONCE = 2,
    E_FLIPBOOK_LOOP = 3,
    E_FLIPBOOK_PING_PONG = 4,
};

class ClFlipbookPlayer {
public:
    u32 mode = E_FLIPBOOK_NONE;
    const SFlipbook* sequence = nullptr;
    u32 playing = 0;
    s32 frame = 0;
    f32 timeLeft = 0.0f;  // seconds until the next frame
    f32 period = 0.0f;    // 1 / frame rate
    u32 stopAtEnd = 0;    // a loop finishes its pass at the last frame
    u32 forward = 1;

    // Starts at frame 0 forward, or at the last frame backward.
    void start(const SFlipbook* flipbook, u32 playMode, bool forwards);
    // The sequence loaded under the name (fatal when none was), started at once.
    void play(const char* name, u32 playMode, bool forwards);
    // Steps frames for dt seconds; sequences of fewer than 2 frames do not move.
    void advance(f32 dt);
};
