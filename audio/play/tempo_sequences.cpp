#include "audio/play/tempo_sequences.h"

#include "audio/analysis/beat.h"
#include "audio/analysis/beat_queries.h"

#include <algorithm>

namespace {

// Moves beat k onto the run's grid, but never past its neighbours: beats of two merged lists can
// lie closer together than twice the tolerance, and the dispatch and queries rely on the order.
void moveBeatOntoGrid(u32 k, f32 t) {
    SBeatArray& beats = g_aSongBeats;
    if (k > 0) t = std::max(t, beats[k - 1].time);
    if (k + 1 < beats.count) t = std::min(t, beats[k + 1].time);
    beats[k].time = t;
}

void appendBeat(STempoSequence* sequence, s32 index) {
    sequence->indices.push(index);
    sequence->power += g_aSongBeats[u32(index)].strength;
}

// Follows the run that starts with beats a and b, d seconds apart.
STempoSequence traceSequence(u32 a, u32 b, f32 d) {
    STempoSequence sequence = {};
    sequence.indices.init(ARRAY_INITIAL_CAPACITY);
    sequence.tempo = 60.0f / d;
    appendBeat(&sequence, s32(a));
    f32 t = g_aSongBeats[b].time;
    s32 k = s32(b);
    for (;;) {
        while (k >= 0) {
            moveBeatOntoGrid(u32(k), t);
            appendBeat(&sequence, k);
            t = g_aSongBeats[u32(k)].time + d;
            k = findNearestBeatInWindow(k + 1, t, TEMPO_FOLLOW_TOLERANCE, TEMPO_FOLLOW_TOLERANCE,
                                        E_BEATWINDOW_STRONGEST);
        }
        // One beat is missing at t: bridge it when the beat after it is there.
        const s32 last = *sequence.indices.last;
        const s32 after = findNearestBeatInWindow(0, t + d, TEMPO_FOLLOW_TOLERANCE, TEMPO_FOLLOW_TOLERANCE,
                                                  E_BEATWINDOW_STRONGEST);
        const s32 gap = findNearestBeatInWindow(0, t, TEMPO_BRIDGE_WINDOW, TEMPO_BRIDGE_WINDOW, E_BEATWINDOW_NEAREST);
        // Both must come after the run's last beat, so a run never repeats a beat or turns back.
        if (after <= last || gap <= last || after <= gap) break;
        appendBeat(&sequence, gap);
        appendBeat(&sequence, after);
        t = g_aSongBeats[u32(after)].time + d;
        k = findNearestBeatInWindow(gap + 1, t, TEMPO_FOLLOW_TOLERANCE, TEMPO_FOLLOW_TOLERANCE, E_BEATWINDOW_STRONGEST);
        if (k < 0) break;
    }
    sequence.power /= f32(sequence.indices.count);
    return sequence;
}

}  // namespace

STempoSequence* chooseBestSequence(ClArray<STempoSequence>& sequences, u32 minimumCount) {
    STempoSequence* best = nullptr;
    for (STempoSequence& sequence : sequences) {
        if (sequence.indices.count < minimumCount) continue;
        if (!best || sequence.indices.count > best->indices.count ||
            (sequence.indices.count == best->indices.count && sequence.power > best->power)) {
            best = &sequence;
        }
    }
    return best;
}

void findTempoSequences(f32 startTime, f32 endTime, const STempoRange& range, u32 minimumCount,
                        ClArray<s32>* out, u32 takeAll) {
    // Every return leaves a fresh, empty array: callers read and free it whatever happened.
    out->init(ARRAY_INITIAL_CAPACITY);
    const SBeatArray& beats = g_aSongBeats;
    if (!beats.inUse || beats.count == 0 || !(range.lowest > 0.0f) || !(range.highest > 0.0f)) return;
    u32 first = 0;
    while (first < beats.count && beats[first].time < startTime) ++first;
    if (first == beats.count) return;
    u32 end = first;
    while (end < beats.count && beats[end].time < endTime) ++end;

    const f32 shortestInterval = 60.0f / range.highest;
    const f32 longestInterval = 60.0f / range.lowest;
    ClArray<STempoSequence> sequences;
    sequences.init(ARRAY_INITIAL_CAPACITY);
    for (u32 a = first; a < end; ++a) {
        for (u32 b = a + 1; b < end; ++b) {
            const f32 d = beats[b].time - beats[a].time;
            if (d < shortestInterval) continue;
            if (d > longestInterval) break;
            sequences.push(traceSequence(a, b, d));
        }
    }

    if (const STempoSequence* chosen = chooseBestSequence(sequences, minimumCount)) {
        const u32 taken = takeAll ? chosen->indices.count : std::min(minimumCount, chosen->indices.count);
        for (u32 i = 0; i < taken; ++i) out->push(chosen->indices[i]);
    }
    for (STempoSequence& sequence : sequences) sequence.indices.release();
    sequences.release();
}
