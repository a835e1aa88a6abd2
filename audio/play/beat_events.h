// The song's beats during play: each beat falls due once, in order, to the deliverer above audio
// that pulls them once per drawn frame, and the time queries about upcoming beats. Main thread
// only.
#pragma once

#include "audio/analysis/beat.h"
#include "core/array.h"
#include "core/types.h"

// New beat state for a song: an empty beat list (capacity 8), beat 0 next, and the onset lists
// created for the analysis.
void resetBeatAnalysis();
// Frees the onset lists and tempo candidates, the energy and onset arrays and the beat list.
void releaseBeatAnalysis();

// The pull a beat deliverer runs once per drawn frame, after the song clock:
//   for (s32 index; (index = nextDueBeat()) >= 0; beatDelivered()) deliver songBeats()[index];
// The index of the next beat whose time is strictly below the song time, or -1 when none is due
// (or VISUAL_BEAT_ANALYSIS is set: the beats are then only viewed). From then until beatDelivered
// the queries below treat that beat as the one being delivered. Does not advance.
s32 nextDueBeat();
// The beat nextDueBeat answered has been delivered: the next one becomes due.
void beatDelivered();
// Moves the next beat to deliver past every beat strictly below the song time without
// delivering any (a view that shows the analysis instead of playing it).
void passBeatsPlayedBefore(f32 songTime);

// The queries start at the next beat to deliver (the one after it while one is being delivered), and
// answer none until the first beat has been delivered.

// Seconds from the song time to the first upcoming beat at least `minimumLead` ahead, with its
// index in *outIndex (may be null); 0 and -1 when there is none.
f32 getTimeToNextBeat(f32 minimumLead, s32* outIndex);
// As above, starting `beatsToSkip` beats further on; 0 when there is none.
f32 getTimeToBeatAfter(u32 beatsToSkip, f32 minimumLead);
// The next beat to deliver, or null.
const SBeat* getNextBeat();

// Fills `out` (set up anew, capacity 8) with indices of beats in [start, end): the first beat of
// the window, then each later one that matches the mask (0: any) and lies strictly more than
// `minimumSpacing` after the last one taken, up to `maximumCount` indices.
void collectSpacedBeats(f32 startTime, f32 endTime, u32 maximumCount, u32 flagMask, f32 minimumSpacing,
                        ClArray<s32>* out);
