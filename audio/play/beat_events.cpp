#include "audio/play/beat_events.h"

#include "audio/analysis/spectrum_analysis.h"
#include "audio/analysis/tempo_search.h"
#include "audio/audio_imports.h"
#include "audio/play/song_clock.h"
#include "core/config.h"
#include "core/fixed_pool.h"
#include "core/global_objects.h"

namespace {

ClFixedPool<SBeatSubscription, BEAT_SUBSCRIPTION_CAPACITY> g_BeatSubscriptions;
u32 g_uNextSubscriptionSerial = 1;
// Each beat delivered is one round; a record already reached in the round is not called again,
// even when an unsubscribe during the round moves it to a position the walk has yet to visit.
u32 g_uDeliveryRound = 0;
// Set from nextDueBeat answering a beat until beatDelivered: that beat is being delivered.
bool g_bDispatching = false;

bool matchesMask(u32 mask, u32 flags) { return mask == 0 || (mask & flags) != 0; }

void deliverBeat(u32 index) {
    const SBeat beat = g_aSongBeats[index];
    ++g_uDeliveryRound;
    for (u32 position = g_BeatSubscriptions.used; position > 0;) {
        --position;
        if (position >= g_BeatSubscriptions.used) continue;  // released by a callback
        SBeatSubscription* subscription = g_BeatSubscriptions.table[position];
        if (subscription->deliveredRound == g_uDeliveryRound) continue;
        subscription->deliveredRound = g_uDeliveryRound;
        if (matchesMask(subscription->flagMask, beat.flags)) subscription->callback(beat, s32(index), subscription->user);
    }
}

// Where the queries start, or -1 before the first beat has been delivered.
s32 queryStart() {
    if (g_iCurrentBeat < 1 || !g_aSongBeats.inUse) return -1;
    return g_bDispatching ? g_iCurrentBeat + 1 : g_iCurrentBeat;
}

}  // namespace

void resetBeatAnalysis() {
    emptyBeats(&g_aSongBeats);
    g_iCurrentBeat = 0;
    g_BeatSubscriptions.init();
    g_bDispatching = false;
    // The analysis itself runs later, once the song's frames exist; the view mode too.
    createOnsetLists();
}

void releaseBeatAnalysis() {
    releaseTempoCandidates();
    releaseSpectrumEnergyTables();
    g_BeatAnalysis.frameCount = 0;
    g_aSongBeats.release();
    g_iCurrentBeat = 0;
    g_BeatSubscriptions.releaseAll();
}

SBeatSubscriptionHandle subscribeBeat(BeatCallback callback, void* user, u32 flagMask) {
    SBeatSubscription* record = g_BeatSubscriptions.take();
    if (!record) return {};
    record->flagMask = flagMask;
    record->callback = callback;
    record->user = user;
    record->serial = g_uNextSubscriptionSerial++;
    // Subscribed during a delivery: the beat being delivered is not for it.
    record->deliveredRound = g_uDeliveryRound;
    return {record, record->serial};
}

void unsubscribeBeat(SBeatSubscriptionHandle handle) {
    if (!handle.record || handle.record->serial != handle.serial) return;
    handle.record->serial = 0;
    g_BeatSubscriptions.release(handle.record);
}

u32 liveBeatSubscriptions() { return g_BeatSubscriptions.used; }

void dispatchBeats() {
    if (configHasKey("VISUAL_BEAT_ANALYSIS")) {
        if (currentSongTime() > 0.0f) {
            if (audioImports().drawBeatAnalysisView) audioImports().drawBeatAnalysisView();
            return;
        }
        if (currentSongTime() < 0.0f) return;
    }
    for (s32 index; (index = nextDueBeat()) >= 0; beatDelivered()) deliverBeat(u32(index));
}

s32 nextDueBeat() {
    if (!g_aSongBeats.inUse || configHasKey("VISUAL_BEAT_ANALYSIS")) return -1;
    if (g_iCurrentBeat < 0 || u32(g_iCurrentBeat) >= g_aSongBeats.count) return -1;
    if (!(g_aSongBeats[u32(g_iCurrentBeat)].time < currentSongTime())) return -1;
    g_bDispatching = true;
    return g_iCurrentBeat;
}

void beatDelivered() {
    if (!g_bDispatching) return;
    g_bDispatching = false;
    ++g_iCurrentBeat;
}

f32 getTimeToNextBeat(f32 minimumLead, s32* outIndex) {
    if (outIndex) *outIndex = -1;
    const s32 start = queryStart();
    if (start < 0) return 0.0f;
    for (u32 j = u32(start); j < g_aSongBeats.count; ++j) {
        const f32 lead = g_aSongBeats[j].time - currentSongTime();
        if (lead >= minimumLead) {
            if (outIndex) *outIndex = s32(j);
            return lead;
        }
    }
    return 0.0f;
}

f32 getTimeToBeatAfter(u32 beatsToSkip, f32 minimumLead) {
    const s32 start = queryStart();
    if (start < 0) return 0.0f;
    for (u64 j = u64(start) + beatsToSkip; j < g_aSongBeats.count; ++j) {
        const f32 lead = g_aSongBeats[u32(j)].time - currentSongTime();
        if (lead >= minimumLead) return lead;
    }
    return 0.0f;
}

const SBeat* getNextBeat() {
    const s32 start = queryStart();
    if (start < 0 || u32(start) >= g_aSongBeats.count) return nullptr;
    return &g_aSongBeats[u32(start)];
}

void collectSpacedBeats(f32 startTime, f32 endTime, u32 maximumCount, u32 flagMask, f32 minimumSpacing,
                        ClArray<s32>* out) {
    out->init(ARRAY_INITIAL_CAPACITY);
    if (!g_aSongBeats.inUse || maximumCount == 0) return;
    const SBeatArray& beats = g_aSongBeats;
    u32 j = 0;
    while (j < beats.count && beats[j].time < startTime) ++j;
    if (j == beats.count || beats[j].time >= endTime) return;

    // The window's first beat anchors the run whatever its flags.
    out->push(s32(j));
    f32 lastTaken = beats[j].time;
    for (++j; j < beats.count && beats[j].time < endTime && out->count < maximumCount; ++j) {
        if (!matchesMask(flagMask, beats[j].flags)) continue;
        if (beats[j].time - lastTaken > minimumSpacing) {
            out->push(s32(j));
            lastTaken = beats[j].time;
        }
    }
}

void passBeatsPlayedBefore(f32 songTime) {
    const SBeatArray& beats = g_aSongBeats;
    if (!beats.inUse) return;
    while (g_iCurrentBeat >= 0 && u32(g_iCurrentBeat) < beats.count && beats[u32(g_iCurrentBeat)].time < songTime) {
        ++g_iCurrentBeat;
    }
}
