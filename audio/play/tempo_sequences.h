// Runs of evenly spaced beats between two song times within a tempo range, asked for during play by
// enemies that move in rhythm. Following a run moves the beats it follows onto the run's exact grid
// in the song's beat list, for the rest of the song. Main thread only.
#pragma once

#include "core/array.h"
#include "core/types.h"

// A followed beat may lie this far from where the run expects it.
constexpr f32 TEMPO_FOLLOW_TOLERANCE = 0.055f;
// One missing beat is bridged by the beat nearest its expected time within this distance.
constexpr f32 TEMPO_BRIDGE_WINDOW = 0.22f;

struct STempoSequence {
    ClArray<s32> indices;  // beat indices, capacity 8 at creation
    f32 tempo;             // beats per minute: 60 / interval
    u32 reserved0;
    u32 reserved1;
    f32 power;             // mean strength of its beats
    u32 reserved2;
};

struct STempoRange {
    f32 lowest;   // beats per minute
    f32 middle;   // not used by the search
    f32 highest;
};

// Sets `out` up anew (capacity 8) and fills it with the beat indices of the best run starting in
// [start, end): its first `minimumCount` indices, or all of them with `takeAll`. No run, no beats or
// a start after the last beat leave it empty.
void findTempoSequences(f32 startTime, f32 endTime, const STempoRange& range, u32 minimumCount,
                        ClArray<s32>* out, u32 takeAll);

// Among the sequences of at least `minimumCount` entries, the one with the most; on equal counts a
// later one wins only with strictly more power. Null when none qualifies.
STempoSequence* chooseBestSequence(ClArray<STempoSequence>& sequences, u32 minimumCount);
