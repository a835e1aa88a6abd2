// The world's beat subscriptions: the behaviours and effects that act on the song's beats
// subscribe here, and the game step hands each beat that falls due (audio's pull,
// audio/play/beat_events.h) to dispatchBeat, which calls every subscriber whose flag mask matches,
// the last subscribed first. Main thread only.
#pragma once

#include "audio/analysis/beat.h"
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

// Every subscription free: a new song starts with none.
void resetBeatSubscriptions();

// A null handle when all subscriptions are in use: the subscriber then receives no beats.
SBeatSubscriptionHandle subscribeBeat(BeatCallback callback, void* user, u32 flagMask);
// A null or stale handle is ignored. May be called from a callback.
void unsubscribeBeat(SBeatSubscriptionHandle handle);
// Unsubscribes and nulls the handle, so that it reads as not subscribed.
inline void dropBeatSubscription(SBeatSubscriptionHandle& handle) {
    unsubscribeBeat(handle);
    handle = {};
}

// One beat to every subscriber whose mask matches its flags, from the last subscribed to the
// first; a subscription made or dropped by a callback takes effect at once, and none is called
// twice for one beat.
void dispatchBeat(const SBeat& beat, s32 index);
