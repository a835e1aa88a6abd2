#include "world/processors/beat_subscribers.h"

#include "core/fixed_pool.h"
#include "core/global_objects.h"

namespace {

struct SBeatSubscriptionPool {
    ClFixedPool<SBeatSubscription, BEAT_SUBSCRIPTION_CAPACITY> pool;
    SBeatSubscriptionPool() { pool.init(); }
};

SBeatSubscriptionPool g_BeatSubscriptions;
u32 g_uNextSubscriptionSerial = 1;
// Each beat dispatched is one round; a record already reached in the round is not called again,
// even when an unsubscribe during the round moves it to a position the walk has yet to visit.
u32 g_uDeliveryRound = 0;

bool matchesMask(u32 mask, u32 flags) { return mask == 0 || (mask & flags) != 0; }

}  // namespace

void resetBeatSubscriptions() { g_BeatSubscriptions.pool.init(); }

SBeatSubscriptionHandle subscribeBeat(BeatCallback callback, void* user, u32 flagMask) {
    SBeatSubscription* record = g_BeatSubscriptions.pool.take();
    if (!record) return {};
    record->flagMask = flagMask;
    record->callback = callback;
    record->user = user;
    record->serial = g_uNextSubscriptionSerial++;
    // Subscribed during a dispatch: the beat being dispatched is not for it.
    record->deliveredRound = g_uDeliveryRound;
    return {record, record->serial};
}

void unsubscribeBeat(SBeatSubscriptionHandle handle) {
    if (!handle.record || handle.record->serial != handle.serial) return;
    handle.record->serial = 0;
    g_BeatSubscriptions.pool.release(handle.record);
}

void dispatchBeat(const SBeat& dueBeat, s32 index) {
    const SBeat beat = dueBeat;
    ClFixedPool<SBeatSubscription, BEAT_SUBSCRIPTION_CAPACITY>& pool = g_BeatSubscriptions.pool;
    ++g_uDeliveryRound;
    for (u32 position = pool.used; position > 0;) {
        --position;
        if (position >= pool.used) continue;  // released by a callback
        SBeatSubscription* subscription = pool.table[position];
        if (subscription->deliveredRound == g_uDeliveryRound) continue;
        subscription->deliveredRound = g_uDeliveryRound;
        if (matchesMask(subscription->flagMask, beat.flags)) subscription->callback(beat, index, subscription->user);
    }
}
