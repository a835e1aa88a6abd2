// Queries over the song's beat list (g_aSongBeats, ascending time) that the analysis and the
// wave schedule ask before and during play.
#pragma once

#include "core/types.h"

// How findNearestBeatInWindow chooses among the beats of its window.
enum EBeatWindowMode : u32 {
    E_BEATWINDOW_NEAREST = 0,     // smallest |t - time|, the first on ties
    E_BEATWINDOW_STRONGEST = 1,   // largest strength above 0, the first on ties
    // As strongest, but the search ends, with the best found so far, when it meets beat 0.
    E_BEATWINDOW_STRONGEST_STOP_AT_FIRST = 2,
};

// A window holds at most this many candidate beats; later ones in it are not looked at.
constexpr u32 BEAT_WINDOW_MAX_CANDIDATES = 64;

// From beat `startIndex` (a negative index counts as 0), skips beats earlier than t - before and
// chooses among the following beats no later than t + after. Returns the beat's index, or -1
// when the window holds none (or, by strength, none above 0). Any other mode is fatal.
//
// Unlike the play-time queries, it answers before any beat has been delivered: the spawn
// analysis asks it before play starts.
s32 findNearestBeatInWindow(s32 startIndex, f32 t, f32 before, f32 after, u32 mode);
