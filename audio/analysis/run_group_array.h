// The run groups of the tempo search: for one tempo candidate and one onset list, the runs of
// onsets that follow the candidate's period.
#pragma once

#include "core/array.h"
#include "core/types.h"

// One traced run of onsets.
struct SBeatRun {
    u32 onsetList;  // 0 low, 1 high, 2 summed
    f32 phase;      // seconds: the first onset's time modulo the period
    f32 duration;   // seconds from the first member to the last
    u32 taken;      // the run was chosen, or overlaps a chosen run
    u32 chosen;     // the run itself was chosen
    f32 fit;        // how well its gap to a chosen run matches whole periods
    ClArray<s32> onsets;  // indices into the onset list; -1 for an expected beat with no onset
};

struct SBeatRunGroup {
    f32 time;   // from the first onset of the run filed last
    f32 score;
    ClArray<SBeatRun> runs;
};

using ClRunGroupArray = ClArray<SBeatRunGroup>;

// Sets the array up with room for the capacity, every record zeroed (no run arrays), count 0. An
// array already set up is released first, its runs included.
void initRunGroupArray(ClRunGroupArray* array, u32 capacity);
// Appends a copy of the group, which hands its run array over to the array. The storage doubles
// when an append finds count + 1 equal to the capacity; an array not set up is fatal.
void pushRunGroup(ClRunGroupArray* array, const SBeatRunGroup& group);
// Frees every group's runs (their onset lists too) and the storage, leaving every field 0.
// Returns 0 when the array was not set up, else 1.
u32 releaseRunGroupArray(ClRunGroupArray* array);
