#include "audio/play/beat_events.h"

#include "audio/analysis/spectrum_analysis.h"
#include "audio/analysis/tempo_search.h"
#include "audio/play/song_clock.h"
#include "core/config.h"

namespace {

// Set from nextDueBeat answering a beat until beatDelivered: that beat is being delivered.
bool g_bDispatching = false;

bool matchesMask(u32 mask, u32 flags) { return mask == 0 || (mask & flags) != 0; }

// Where the queries start, or -1 before the first beat has been delivered.
s32 queryStart() {
    if (g_iCurrentBeat < 1 || !g_aSongBeats.inUse) return -1;
    return g_bDispatching ? g_iCurrentBeat + 1 : g_iCurrentBeat;
}

}  // namespace

void resetBeatAnalysis() {
    emptyBeats(&g_aSongBeats);
    g_iCurrentBeat = 0;
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
