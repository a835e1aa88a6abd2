#include "audio/analysis/beat_queries.h"

#include "audio/analysis/beat.h"
#include "core/fatal_error.h"

#include <cmath>

s32 findNearestBeatInWindow(s32 startIndex, f32 t, f32 before, f32 after, u32 mode) {
    if (mode > E_BEATWINDOW_STRONGEST_STOP_AT_FIRST) fatalErrorf("findNearestBeatInWindow: unknown mode %u", mode);
    const SBeatArray& beats = g_aSongBeats;
    if (!beats.inUse) return -1;

    const f32 windowStart = t - before;
    const f32 windowEnd = t + after;
    u32 j = startIndex > 0 ? u32(startIndex) : 0u;
    while (j < beats.count && beats[j].time < windowStart) ++j;

    s32 best = -1;
    f32 bestDistance = 0.0f;
    f32 bestStrength = 0.0f;
    for (u32 seen = 0; j < beats.count && beats[j].time <= windowEnd && seen < BEAT_WINDOW_MAX_CANDIDATES;
         ++j, ++seen) {
        const SBeat& beat = beats[j];
        if (mode == E_BEATWINDOW_NEAREST) {
            const f32 distance = std::fabs(t - beat.time);
            if (best < 0 || distance < bestDistance) {
                best = s32(j);
                bestDistance = distance;
            }
            continue;
        }
        if (mode == E_BEATWINDOW_STRONGEST_STOP_AT_FIRST && j == 0) break;
        if (beat.strength > bestStrength) {
            best = s32(j);
            bestStrength = beat.strength;
        }
    }
    return best;
}
