// Tempo search and beat selection, the second stage of the beat analysis: from the three onset
// lists it finds the tempos the song plausibly has, traces runs of onsets that follow each
// tempo, chooses the strongest family of runs, flags the onsets that form the song's pulse, and
// builds the song's final beat list.
//
// Everything works on an SBeatAnalysis record; analyseBeats() runs the whole analysis of the
// current song on g_BeatAnalysis and the song's beat list.
#pragma once

#include "audio/analysis/beat.h"
#include "audio/analysis/onset_detection.h"
#include "audio/analysis/run_group_array.h"
#include "core/types.h"

// Tempo histograms: one counter per whole beats-per-minute value.
constexpr u32 TEMPO_HISTOGRAM_BINS = 300;
// Onset intervals that vote: 260 down to 33 beats per minute (lower edge in, upper edge out).
constexpr f32 TEMPO_SHORTEST_INTERVAL = 0.23076923f;
constexpr f32 TEMPO_LONGEST_INTERVAL = 1.8181818f;
// The membership words of SBeat hold this many candidates; later ones are dropped.
constexpr u32 TEMPO_MAX_CANDIDATES = BEAT_CANDIDATE_WORDS;

// Run tracing: the expected beat may be missed by this much; a run needs this many entries; a
// skipped beat is earned by this many matches (the countdown must fall below 0, so one more).
constexpr f32 BEAT_RUN_TOLERANCE = 0.0975f;
constexpr u32 BEAT_RUN_MIN_LENGTH = 4;
constexpr s32 BEAT_RUN_HITS_PER_MISS = 4;
// Chosen runs are extended by runs at most this far before and after them.
constexpr f32 BEAT_RUN_EXTENSION_REACH = 5.0f;
// Onsets outside runs are thinned to the strongest of each cluster this long.
constexpr f32 BEAT_CLUSTER_SPAN = 0.3f;

// One tempo the song plausibly has, with the runs that follow it per onset list.
struct STempoCandidate {
    f32 tempo;    // beats per minute
    f32 period;   // seconds = 60 / tempo
    ClRunGroupArray groups[ONSET_LIST_COUNT];  // indexed by EOnsetList
};

using ClTempoCandidateArray = ClArray<STempoCandidate>;

struct SBeatAnalysis {
    // Copied from the song's SSpectrumHeader when the analysis starts.
    f32 frameDuration;
    u32 frameCount;
    u32 hop;
    SBeatArray onsetLists[ONSET_LIST_COUNT];  // indexed by EOnsetList, ascending time
    ClTempoCandidateArray candidates;         // at most TEMPO_MAX_CANDIDATES
    s32 chosenCandidate;                      // -1 when nothing was chosen
    s32 chosenList;                           // -1 when nothing was chosen
    // The tempo shown and reported: the chosen candidate's as its taken runs keep it
    // (measureChosenTempo); 0 when nothing was chosen.
    f32 measuredTempo;
};

extern SBeatAnalysis g_BeatAnalysis;
// The beat analysis for the layers above, which only read it.
const SBeatAnalysis& beatAnalysis();

// The run groups of the choice; null when nothing was chosen.
ClRunGroupArray* chosenRunGroups(SBeatAnalysis* analysis);

// Sets up the candidate array and the three onset lists with no records (capacity 8), releasing
// what an earlier song left; no choice.
void createOnsetLists(SBeatAnalysis* analysis);
void createOnsetLists();
// Frees the onset lists and every candidate with its groups and runs.
void releaseTempoCandidates(SBeatAnalysis* analysis);
void releaseTempoCandidates();

// Histograms the onset intervals of each list, smooths them, picks the peaks that reach half the
// song's length in seconds and merges them into candidates (lists low, high, summed; peaks in
// ascending tempo). A peak within its merge width of a candidate is dropped, and so is every
// peak once TEMPO_MAX_CANDIDATES exist.
void findTempoCandidates(SBeatAnalysis* analysis);

// Traces the run of onsets that follows `period` from the start onset of the list, skipping
// onsets already in a run of the candidate. Returns 1 when the run holds at least minLength
// entries (skipped beats, -1, count; trailing ones are removed). The run's index array is set
// up when it is not yet.
u32 traceBeatRun(SBeatRun* run, const SBeatArray* list, u32 listIndex, u32 start, u32 candidate, f32 period,
                 f32 tolerance, u32 minLength, s32 hitsPerMiss);

// Traces a run from every onset of every list for every candidate and files each run that
// qualifies in a run group of its candidate and list, marking its onsets as members; then scores
// every group.
//
// Filing: a run joins the first group of its candidate and list whose last-filed run has its
// phase within BEAT_RUN_TOLERANCE of the run's phase, measured around the circle of one period
// (phases 0.01 s and P - 0.01 s are 0.02 s apart); otherwise it starts a new group. So a group
// gathers the runs that lie on one beat grid, whatever gaps separate them.
void traceAllRuns(SBeatAnalysis* analysis);

// Damps tempos below 50 that have both a 1.5x and a 3x candidate, chooses the best-scoring run
// group, and takes its runs (longest first, each extended by runs up to 5 s before and after it
// that fall best on whole periods), flagging their onsets as beats.
// Then measures the tempo the taken runs keep (measureChosenTempo).
void chooseTempo(SBeatAnalysis* analysis);
// The histogram gives whole tempos, and on a plateau of equal sums its peak is the plateau's
// slowest tempo: beats 0.484 s apart would be told as 122 beats per minute. The measured tempo
// is 60 over the mean spacing of the taken runs' entries (their total span over their total
// count of periods); the candidate's own tempo when the runs span nothing, 0 without a choice.
// The candidate keeps its tempo and period: beat selection steps by 60 over the histogram's
// tempo.
void measureChosenTempo(SBeatAnalysis* analysis);

// Flags the strongest onset of each 0.3 s cluster of the summed list.
void flagBeatsWithoutTempo(SBeatAnalysis* analysis);
// The same clustering for the summed onsets outside the taken runs of the choice: before the
// first, from one period after each run's last onset to the next run's first, and from one
// period after the last run's last onset on.
void flagBeatsAroundRuns(SBeatAnalysis* analysis);

// Replaces the beat list with the flagged onsets of the chosen list (the summed list when none
// was chosen) merged by time with the flagged summed onsets; equal times give one record, the
// summed one when it is flagged.
void buildBeatList(const SBeatAnalysis* analysis, SBeatArray* beatList);

// From picked onsets to the beat list: findTempoCandidates, traceAllRuns, chooseTempo, the
// flagging that fits the choice, buildBeatList.
void selectBeats(SBeatAnalysis* analysis, SBeatArray* beatList);

// The whole beat analysis of the current song, over its three-band energies: the frame facts
// from the spectral header, fresh onset lists and candidates, the onset functions and picks,
// then selectBeats into the song's beat list.
void analyseBeats();
