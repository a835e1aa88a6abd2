// One onset or beat of the analysed song, the growable list that holds them, and the song's
// beat list that play, the beat events and the beat cache share.
#pragma once

#include "core/array.h"
#include "core/types.h"

// Membership words of an onset: one per tempo candidate, so at most this many candidates.
constexpr u32 BEAT_CANDIDATE_WORDS = 16;

// Flag bit 0: the onset is a beat of the song's final beat list.
constexpr u32 BEAT_FLAG_ON_PULSE = 1u;

// 20 words, 80 bytes: the same words in memory and in the beat cache file.
struct SBeat {
    f32 time;       // seconds = frame index x frame duration
    f32 strength;   // onset-function value at the frame
    u32 flags;      // 0 when picked; matched against beat-subscription masks
    u32 reserved;   // 0 when picked
    // Word k is 1 once the onset belongs to a run of tempo candidate k, so an onset joins at
    // most one run per candidate.
    u32 candidateMember[BEAT_CANDIDATE_WORDS];
};
static_assert(sizeof(SBeat) == 80, "SBeat is the 80-byte record of the beat cache");

// Capacity 8 at creation; appends copy all 20 words.
using SBeatArray = ClArray<SBeat>;

inline void pushBeat(SBeatArray* array, const SBeat& beat) { array->push(beat); }

// The song's beat list, in ascending time order: filled by the beat analysis or the beat cache,
// delivered by the beat events.
extern SBeatArray g_aSongBeats;
// The song's beat list for the layers above, which only read it.
const SBeatArray& songBeats();
// Index of the next beat the beat events deliver; 0 once the beats are loaded or analysed.
extern s32 g_iCurrentBeat;

// Leaves the list with no records, keeping its storage; a list not yet set up gets capacity 8.
inline void emptyBeats(SBeatArray* array) {
    if (!array->inUse) {
        array->init(ARRAY_INITIAL_CAPACITY);
        return;
    }
    array->count = 0;
    array->last = nullptr;
}
