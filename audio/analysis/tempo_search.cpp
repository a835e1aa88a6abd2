#include "audio/analysis/tempo_search.h"

#include "audio/analysis/spectrum_analysis.h"
#include "core/float_array.h"

#include <algorithm>
#include <cmath>

SBeatAnalysis g_BeatAnalysis = {0.0f, 0, 0, {}, {}, -1, -1, 0.0f};
const SBeatAnalysis& beatAnalysis() { return g_BeatAnalysis; }

namespace {

// Widths of the histogram smoothing and of the peak search: the tempo change at b that a timing
// error of this many seconds makes.
constexpr f32 TEMPO_SUMMING_ERROR = 0.03f;
constexpr f32 TEMPO_PEAK_ERROR = 0.08f;
constexpr f32 TEMPO_MERGE_ERROR = 0.06f;
constexpr f32 TEMPO_MERGE_MIN_WIDTH = 4.0f;
// Octave damping: a slow tempo whose 1.5x and 3x tempos are candidates too.
constexpr f32 TEMPO_OCTAVE_SLOW = 50.0f;
constexpr f32 TEMPO_OCTAVE_HALF_WIDTH = 4.0f;
constexpr f32 TEMPO_OCTAVE_THIRD_WIDTH = 8.0f;
constexpr f32 TEMPO_OCTAVE_DAMPING = 5.0f;
// Groups are scored only below this tempo.
constexpr f32 TEMPO_SCORED_BELOW = 9999.0f;

void emptyIndices(ClArray<s32>* indices) {
    if (!indices->inUse) {
        indices->init(ARRAY_INITIAL_CAPACITY);
        return;
    }
    indices->count = 0;
    indices->last = nullptr;
}

void tempoWidths(f32 timingError, s32* widths) {
    widths[0] = 0;
    for (u32 b = 1; b < TEMPO_HISTOGRAM_BINS; ++b) {
        const f32 tempo = f32(b);
        widths[b] = s32(std::floor(60.0f / (60.0f / tempo - timingError) - tempo + 0.5f));
    }
}

void tempoHistogram(const SBeatArray& list, s32* histogram) {
    for (u32 i = 0; i < TEMPO_HISTOGRAM_BINS; ++i) histogram[i] = 0;
    for (u32 i = 0; i < list.count; ++i) {
        const f32 first = list[i].time + TEMPO_SHORTEST_INTERVAL;
        const f32 end = list[i].time + TEMPO_LONGEST_INTERVAL;
        for (u32 j = i + 1; j < list.count && list[j].time < end; ++j) {
            if (list[j].time < first) continue;
            const u32 bin = u32(60.0f / (list[j].time - list[i].time));
            if (bin < TEMPO_HISTOGRAM_BINS) ++histogram[bin];
        }
    }
}

void mergeCandidate(ClTempoCandidateArray* candidates, f32 tempo) {
    if (candidates->count >= TEMPO_MAX_CANDIDATES) return;
    const f32 width = std::max(TEMPO_MERGE_MIN_WIDTH, 60.0f / (60.0f / tempo - TEMPO_MERGE_ERROR) - tempo);
    for (const STempoCandidate& candidate : *candidates) {
        if (std::fabs(candidate.tempo - tempo) <= width) return;
    }
    STempoCandidate candidate{};
    candidate.tempo = tempo;
    candidate.period = 60.0f / tempo;
    for (ClRunGroupArray& groups : candidate.groups) initRunGroupArray(&groups, ARRAY_INITIAL_CAPACITY);
    candidates->push(candidate);
}

f32 onsetTime(const SBeatArray& list, s32 index) { return list[u32(index)].time; }
f32 runFirstTime(const SBeatArray& list, const SBeatRun& run) { return onsetTime(list, run.onsets[0]); }
f32 runLastTime(const SBeatArray& list, const SBeatRun& run) { return onsetTime(list, run.onsets[run.onsets.count - 1]); }

// Distance of two phases around the circle of one period.
f32 phaseDistance(f32 a, f32 b, f32 period) {
    const f32 d = std::fabs(a - b);
    return std::min(d, period - d);
}

void fileRun(ClRunGroupArray* groups, const SBeatRun& traced, const SBeatArray& list, f32 period) {
    SBeatRun run = traced;
    run.onsets = ClArray<s32>();
    run.onsets.init(ARRAY_INITIAL_CAPACITY);
    for (s32 index : traced.onsets) run.onsets.push(index);
    const f32 firstTime = runFirstTime(list, run);

    for (SBeatRunGroup& group : *groups) {
        const SBeatRun& lastFiled = group.runs[group.runs.count - 1];
        if (phaseDistance(run.phase, lastFiled.phase, period) <= BEAT_RUN_TOLERANCE) {
            group.runs.push(run);
            group.time = firstTime;
            return;
        }
    }
    SBeatRunGroup group{};
    group.time = firstTime;
    group.runs.init(ARRAY_INITIAL_CAPACITY);
    group.runs.push(run);
    pushRunGroup(groups, group);
}

void scoreGroups(STempoCandidate* candidate) {
    for (ClRunGroupArray& groups : candidate->groups) {
        for (SBeatRunGroup& group : groups) {
            f32 total = 0.0f;
            for (const SBeatRun& run : group.runs) total += run.duration;
            const f32 divisor = f32(std::max(group.runs.count, BEAT_RUN_MIN_LENGTH));
            group.score = candidate->tempo < TEMPO_SCORED_BELOW ? (total / divisor) * total * candidate->tempo / 1000.0f
                                                                : 0.0f;
        }
    }
}

void dampOctaves(ClTempoCandidateArray* candidates) {
    const u32 n = candidates->count;
    for (u32 c = 0; c < n; ++c) {
        const f32 slow = (*candidates)[c].tempo;
        if (!(slow < TEMPO_OCTAVE_SLOW)) continue;
        for (u32 d = 0; d < n; ++d) {
            if (d == c || !(std::fabs((*candidates)[d].tempo - 1.5f * slow) < TEMPO_OCTAVE_HALF_WIDTH)) continue;
            for (u32 e = 0; e < n; ++e) {
                if (e == c || !(std::fabs((*candidates)[e].tempo - 3.0f * slow) < TEMPO_OCTAVE_THIRD_WIDTH)) continue;
                for (ClRunGroupArray& groups : (*candidates)[c].groups) {
                    for (SBeatRunGroup& group : groups) group.score /= TEMPO_OCTAVE_DAMPING;
                }
            }
        }
    }
}

// Marks the run as taken and chosen, flags its onsets as beats, and marks every run of the
// groups that overlaps it in time as taken.
void takeRun(ClRunGroupArray* groups, SBeatArray* list, SBeatRun* taken) {
    taken->taken = 1;
    taken->chosen = 1;
    for (s32 index : taken->onsets) {
        if (index >= 0) (*list)[u32(index)].flags |= BEAT_FLAG_ON_PULSE;
    }
    const f32 first = runFirstTime(*list, *taken);
    const f32 last = runLastTime(*list, *taken);
    for (SBeatRunGroup& group : *groups) {
        for (SBeatRun& run : group.runs) {
            if (runLastTime(*list, run) >= first && runFirstTime(*list, run) <= last) run.taken = 1;
        }
    }
}

// Takes, one after another, the free run whose gap from t (forward for a reach of 0 or more,
// backward otherwise) is within the reach and lies best on whole periods.
void extendRuns(ClRunGroupArray* groups, SBeatArray* list, f32 period, f32 t, f32 reach) {
    for (;;) {
        SBeatRun* best = nullptr;
        f32 bestFit = -1.0f;
        for (SBeatRunGroup& group : *groups) {
            for (SBeatRun& run : group.runs) {
                if (run.taken) continue;
                const f32 gap = reach >= 0.0f ? runFirstTime(*list, run) - t : t - runLastTime(*list, run);
                if (!(gap >= 0.0f && gap <= std::fabs(reach))) continue;
                const f32 x = gap / period;
                run.fit = 2.0f * std::fabs((x - std::floor(x)) - 0.5f);
                if (run.fit > bestFit) {
                    bestFit = run.fit;
                    best = &run;
                }
            }
        }
        if (!best) return;
        takeRun(groups, list, best);
        t = reach < 0.0f ? runFirstTime(*list, *best) : runLastTime(*list, *best);
    }
}

// Flags the strongest onset of each cluster among the onsets with first <= time < end: a cluster
// is an onset and the ones less than BEAT_CLUSTER_SPAN after it; the next starts at least that
// long after the onset flagged.
void flagClusters(SBeatArray* list, f32 first, f32 end) {
    u32 i = 0;
    while (i < list->count && (*list)[i].time < first) ++i;
    while (i < list->count && (*list)[i].time < end) {
        const f32 start = (*list)[i].time;
        u32 strongest = i;
        for (u32 j = i + 1; j < list->count && (*list)[j].time < end && (*list)[j].time - start < BEAT_CLUSTER_SPAN;
             ++j) {
            if ((*list)[j].strength > (*list)[strongest].strength) strongest = j;
        }
        (*list)[strongest].flags |= BEAT_FLAG_ON_PULSE;
        const f32 flaggedTime = (*list)[strongest].time;
        i = strongest + 1;
        while (i < list->count && (*list)[i].time - flaggedTime < BEAT_CLUSTER_SPAN) ++i;
    }
}

}  // namespace

ClRunGroupArray* chosenRunGroups(SBeatAnalysis* analysis) {
    if (analysis->chosenCandidate < 0 || analysis->chosenList < 0) return nullptr;
    return &analysis->candidates[u32(analysis->chosenCandidate)].groups[analysis->chosenList];
}

void releaseTempoCandidates(SBeatAnalysis* analysis) {
    for (SBeatArray& list : analysis->onsetLists) list.release();
    if (analysis->candidates.inUse) {
        for (STempoCandidate& candidate : analysis->candidates) {
            for (ClRunGroupArray& groups : candidate.groups) releaseRunGroupArray(&groups);
        }
    }
    analysis->candidates.release();
    analysis->chosenCandidate = -1;
    analysis->chosenList = -1;
    analysis->measuredTempo = 0.0f;
}

void releaseTempoCandidates() { releaseTempoCandidates(&g_BeatAnalysis); }

void createOnsetLists(SBeatAnalysis* analysis) {
    releaseTempoCandidates(analysis);
    analysis->candidates.init(ARRAY_INITIAL_CAPACITY);
    for (SBeatArray& list : analysis->onsetLists) list.init(ARRAY_INITIAL_CAPACITY);
}

void createOnsetLists() { createOnsetLists(&g_BeatAnalysis); }

void findTempoCandidates(SBeatAnalysis* analysis) {
    s32 summingWidths[TEMPO_HISTOGRAM_BINS];
    s32 peakWidths[TEMPO_HISTOGRAM_BINS];
    s32 histogram[TEMPO_HISTOGRAM_BINS];
    tempoWidths(TEMPO_SUMMING_ERROR, summingWidths);
    tempoWidths(TEMPO_PEAK_ERROR, peakWidths);
    const f32 threshold = f32(analysis->frameCount) * analysis->frameDuration * 0.5f;

    ClFloatArray smoothed;
    ClIntArray peaks;
    for (const SBeatArray& list : analysis->onsetLists) {
        tempoHistogram(list, histogram);
        smoothed.init(TEMPO_HISTOGRAM_BINS + 1);
        windowedIntSums(histogram, summingWidths, TEMPO_HISTOGRAM_BINS, &smoothed);
        peaks.init(ARRAY_INITIAL_CAPACITY);
        findWindowMaxima(smoothed.data, peakWidths, TEMPO_HISTOGRAM_BINS, threshold, &peaks);
        for (s32 peak : peaks) {
            // An empty histogram with a zero threshold peaks everywhere; tempo 0 has no period.
            if (smoothed[u32(peak)] > 0.0f) mergeCandidate(&analysis->candidates, f32(peak));
        }
    }
    smoothed.release();
    peaks.release();
}

u32 traceBeatRun(SBeatRun* run, const SBeatArray* list, u32 listIndex, u32 start, u32 candidate, f32 period,
                 f32 tolerance, u32 minLength, s32 hitsPerMiss) {
    emptyIndices(&run->onsets);
    run->onsetList = listIndex;
    run->taken = 0;
    run->chosen = 0;
    run->fit = 0.0f;
    const f32 startTime = (*list)[start].time;
    run->phase = (startTime / period - std::floor(startTime / period)) * period;
    run->onsets.push(s32(start));

    f32 expected = startTime;
    f32 carriedError = 0.0f;
    u32 missesAllowed = 0;
    s32 hitCountdown = hitsPerMiss;
    u32 current = start;
    while (current < list->count) {
        const f32 next = expected + period;
        f32 low = next - tolerance;
        f32 high = next + tolerance;
        // The carried error is a distance, never negative: only the early edge ever widens.
        if (carriedError > 0.0f) {
            low -= carriedError;
        } else {
            high += std::fabs(carriedError);
        }
        carriedError = 0.0f;

        s32 nearest = -1;
        f32 nearestDistance = 0.0f;
        for (u32 j = current + 1; j < list->count && (*list)[j].time < high; ++j) {
            const SBeat& onset = (*list)[j];
            if (onset.time < low || onset.candidateMember[candidate] != 0) continue;
            const f32 distance = std::fabs(onset.time - next);
            if (nearest < 0 || distance < nearestDistance) {
                nearest = s32(j);
                nearestDistance = distance;
            }
        }

        if (nearest < 0) {
            if (missesAllowed == 0) break;
            --missesAllowed;
            hitCountdown = hitsPerMiss;
            run->onsets.push(-1);
            expected = next;
            continue;
        }
        --hitCountdown;
        if (hitCountdown < 0 && missesAllowed == 0) missesAllowed = 1;
        carriedError = nearestDistance;
        current = u32(nearest);
        run->onsets.push(nearest);
        expected = (*list)[current].time;
    }

    while (run->onsets.count > 0 && run->onsets[run->onsets.count - 1] < 0) run->onsets.removeAt(run->onsets.count - 1);
    run->duration = runLastTime(*list, *run) - runFirstTime(*list, *run);
    return run->onsets.count >= minLength ? 1 : 0;
}

void traceAllRuns(SBeatAnalysis* analysis) {
    SBeatRun traced{};
    traced.onsets.init(ARRAY_INITIAL_CAPACITY);
    for (u32 listIndex = 0; listIndex < ONSET_LIST_COUNT; ++listIndex) {
        SBeatArray* list = &analysis->onsetLists[listIndex];
        for (u32 start = 0; start < list->count; ++start) {
            for (u32 k = 0; k < analysis->candidates.count; ++k) {
                STempoCandidate& candidate = analysis->candidates[k];
                if (!traceBeatRun(&traced, list, listIndex, start, k, candidate.period, BEAT_RUN_TOLERANCE,
                                  BEAT_RUN_MIN_LENGTH, BEAT_RUN_HITS_PER_MISS)) {
                    continue;
                }
                fileRun(&candidate.groups[listIndex], traced, *list, candidate.period);
                for (s32 index : traced.onsets) {
                    if (index >= 0) (*list)[u32(index)].candidateMember[k] = 1;
                }
            }
        }
    }
    traced.onsets.release();
    for (STempoCandidate& candidate : analysis->candidates) scoreGroups(&candidate);
}

void chooseTempo(SBeatAnalysis* analysis) {
    dampOctaves(&analysis->candidates);

    analysis->chosenCandidate = -1;
    analysis->chosenList = -1;
    analysis->measuredTempo = 0.0f;
    f32 bestScore = 0.0f;
    for (u32 k = 0; k < analysis->candidates.count; ++k) {
        for (u32 listIndex = 0; listIndex < ONSET_LIST_COUNT; ++listIndex) {
            for (const SBeatRunGroup& group : analysis->candidates[k].groups[listIndex]) {
                if (group.score > bestScore) {
                    bestScore = group.score;
                    analysis->chosenCandidate = s32(k);
                    analysis->chosenList = s32(listIndex);
                }
            }
        }
    }
    ClRunGroupArray* groups = chosenRunGroups(analysis);
    if (!groups) return;

    SBeatArray* list = &analysis->onsetLists[analysis->chosenList];
    const f32 period = analysis->candidates[u32(analysis->chosenCandidate)].period;
    for (;;) {
        SBeatRun* longest = nullptr;
        f32 longestDuration = 0.0f;
        for (SBeatRunGroup& group : *groups) {
            for (SBeatRun& run : group.runs) {
                if (!run.taken && run.duration > longestDuration) {
                    longestDuration = run.duration;
                    longest = &run;
                }
            }
        }
        if (!longest) break;
        takeRun(groups, list, longest);
        extendRuns(groups, list, period, runFirstTime(*list, *longest), -BEAT_RUN_EXTENSION_REACH);
        extendRuns(groups, list, period, runLastTime(*list, *longest), BEAT_RUN_EXTENSION_REACH);
    }
    measureChosenTempo(analysis);
}

void measureChosenTempo(SBeatAnalysis* analysis) {
    analysis->measuredTempo = 0.0f;
    const ClRunGroupArray* groups = chosenRunGroups(analysis);
    if (!groups) return;
    analysis->measuredTempo = analysis->candidates[u32(analysis->chosenCandidate)].tempo;
    const SBeatArray& list = analysis->onsetLists[analysis->chosenList];
    f64 seconds = 0.0;
    u32 periods = 0;
    for (const SBeatRunGroup& group : *groups) {
        for (const SBeatRun& run : group.runs) {
            if (!run.chosen) continue;
            // A run's entries stand one period apart, its skipped beats (-1) included.
            seconds += f64(runLastTime(list, run)) - f64(runFirstTime(list, run));
            periods += run.onsets.count - 1;
        }
    }
    if (periods == 0 || !(seconds > 0.0)) return;
    analysis->measuredTempo = f32(60.0 * f64(periods) / seconds);
}

void flagBeatsWithoutTempo(SBeatAnalysis* analysis) {
    flagClusters(&analysis->onsetLists[E_ONSET_LIST_SUMMED], -INFINITY, INFINITY);
}

void flagBeatsAroundRuns(SBeatAnalysis* analysis) {
    ClRunGroupArray* groups = chosenRunGroups(analysis);
    if (!groups) return;
    const SBeatArray& chosen = analysis->onsetLists[analysis->chosenList];
    const f32 period = analysis->candidates[u32(analysis->chosenCandidate)].period;

    ClArray<const SBeatRun*> taken;
    taken.init(ARRAY_INITIAL_CAPACITY);
    for (const SBeatRunGroup& group : *groups) {
        for (const SBeatRun& run : group.runs) {
            if (run.chosen) taken.push(&run);
        }
    }
    std::sort(taken.begin(), taken.end(),
              [](const SBeatRun* a, const SBeatRun* b) { return a->onsets[0] < b->onsets[0]; });

    SBeatArray* summed = &analysis->onsetLists[E_ONSET_LIST_SUMMED];
    f32 from = -INFINITY;
    for (const SBeatRun* run : taken) {
        flagClusters(summed, from, runFirstTime(chosen, *run));
        from = runLastTime(chosen, *run) + period;
    }
    flagClusters(summed, from, INFINITY);
    taken.release();
}

void buildBeatList(const SBeatAnalysis* analysis, SBeatArray* beatList) {
    emptyBeats(beatList);
    const SBeatArray& summed = analysis->onsetLists[E_ONSET_LIST_SUMMED];
    const SBeatArray& other = analysis->chosenList >= 0 ? analysis->onsetLists[analysis->chosenList] : summed;
    u32 i = 0;
    u32 j = 0;
    while (i < other.count || j < summed.count) {
        if (j >= summed.count || (i < other.count && other[i].time < summed[j].time)) {
            if (other[i].flags & BEAT_FLAG_ON_PULSE) pushBeat(beatList, other[i]);
            ++i;
        } else if (i >= other.count || summed[j].time < other[i].time) {
            if (summed[j].flags & BEAT_FLAG_ON_PULSE) pushBeat(beatList, summed[j]);
            ++j;
        } else {
            if (summed[j].flags & BEAT_FLAG_ON_PULSE) {
                pushBeat(beatList, summed[j]);
            } else if (other[i].flags & BEAT_FLAG_ON_PULSE) {
                pushBeat(beatList, other[i]);
            }
            ++i;
            ++j;
        }
    }
}

void selectBeats(SBeatAnalysis* analysis, SBeatArray* beatList) {
    findTempoCandidates(analysis);
    traceAllRuns(analysis);
    chooseTempo(analysis);
    if (analysis->chosenCandidate >= 0) {
        flagBeatsAroundRuns(analysis);
    } else {
        flagBeatsWithoutTempo(analysis);
    }
    buildBeatList(analysis, beatList);
}

void analyseBeats() {
    SBeatAnalysis* analysis = &g_BeatAnalysis;
    const SSpectrumHeader& header = g_SpectrumAnalysis.header;
    analysis->frameDuration = header.frameDuration;
    analysis->frameCount = header.frameCount;
    analysis->hop = header.hop;
    // Fresh lists, so that a second analysis of the song never adds to the first one's onsets.
    createOnsetLists(analysis);
    emptyBeats(&g_aSongBeats);
    computeOnsetFunctions();
    pickOnsets();
    selectBeats(analysis, &g_aSongBeats);
}
