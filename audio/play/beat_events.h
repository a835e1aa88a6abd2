// The song's beats during play: delivered once each, in order, to every subscriber whose flag mask
// matches, and the time queries about upcoming beats. Main thread only.
#pragma once

#include "audio/analysis/beat.h"
#include "core/array.h"
#include "core/types.h"

// Called with the beat, its index in the song's beat list and the subscriber's own pointer.
using BeatCallback = void (*)(const SBeat& beat, s32 index, void* user);

struct SBeatSubscription {
    u32 flagMask;          // 0: every beat; otherwise beats whose flag word shares a bit
    BeatCallback callback;
    void* user;
    u32 poolIndex;         // position in the pool's table
    u32 serial;            // changes every time the record is handed out
    u32 deliveredRound;    // the delivery round that last reached this record
};

// What a subscriber keeps: a handle whose serial no longer matches (the record was released and
// handed out again) is stale, and unsubscribing with it does nothing.
struct SBeatSubscriptionHandle {
    SBeatSubscription* record = nullptr;
    u32 serial = 0;
    explicit operator bool() const { return record != nullptr; }
};

// New beat state for a song: an empty beat list (capacity 8), beat 0 next, every subscription
// free, and the onset lists created for the analysis.
void resetBeatAnalysis();
// Frees the onset lists and tempo candidates, the energy and onset arrays and the beat list, and
// returns every subscription.
void releaseBeatAnalysis();

// A null handle when all subscriptions are in use: the subscriber then receives no beats.
SBeatSubscriptionHandle subscribeBeat(BeatCallback callback, void* user, u32 flagMask);
// A null or stale handle is ignored. May be called from a callback.
void unsubscribeBeat(SBeatSubscriptionHandle handle);
// Unsubscribes and nulls the handle, so that it reads as not subscribed.
inline void dropBeatSubscription(SBeatSubscriptionHandle& handle) {
    unsubscribeBeat(handle);
    handle = {};
}
u32 liveBeatSubscriptions();

// Once per drawn frame, after the song clock: every beat whose time is strictly below the song
// time, in order, to the matching subscribers from the last subscribed to the first. With
// VISUAL_BEAT_ANALYSIS set, the beat-analysis view is drawn instead while the song time is
// positive.
void dispatchBeats();

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

// The queries start at the next beat to deliver (the one after it while a callback runs), and
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
