// Tempo candidates, run tracing, run groups, the tempo choice and the final beat list, over
// generated onset lists and generated songs.
#include "audio/analysis/tempo_search.h"

#include "tests/support/audio_songs.h"

#include <tuple>

using namespace test_support;

namespace {

// Exact in binary, so that onset times and song lengths carry no rounding.
constexpr f32 EXACT_FRAME = 1.0f / 128.0f;

class TempoSearch : public ::testing::Test {
protected:
    void SetUp() override {
        m_analysis.chosenCandidate = m_analysis.chosenList = -1;
        m_analysis.frameDuration = EXACT_FRAME;
        createOnsetLists(&m_analysis);
        m_beats.init();
    }
    void TearDown() override {
        m_run.onsets.release();
        releaseTempoCandidates(&m_analysis);
        m_beats.release();
    }

    void setSongSeconds(f32 seconds) { m_analysis.frameCount = u32(seconds / EXACT_FRAME); }
    // The tempo candidates found for a song of this length.
    u32 candidatesFor(f32 songSeconds) {
        setSongSeconds(songSeconds);
        findTempoCandidates(&m_analysis);
        return m_analysis.candidates.count;
    }
    SBeatArray& list(EOnsetList which) { return m_analysis.onsetLists[which]; }
    void addOnset(EOnsetList which, f32 time, f32 strength = 2.0f) {
        pushBeat(&list(which), SBeat{time, strength, 0, 0, {}});
    }
    void addOnsets(EOnsetList which, std::initializer_list<f32> times) {
        for (f32 t : times) addOnset(which, t);
    }
    // Onset pairs `interval` apart every 2.5 s, so that no other interval votes.
    void addPairs(EOnsetList which, f32 interval, u32 pairs) {
        for (u32 k = 0; k < pairs; ++k) addOnsets(which, {2.5f * f32(k), 2.5f * f32(k) + interval});
    }
    u32 addCandidate(f32 tempo) {
        STempoCandidate candidate{};
        candidate.tempo = tempo;
        candidate.period = 60.0f / tempo;
        for (ClRunGroupArray& groups : candidate.groups) initRunGroupArray(&groups, 8);
        return m_analysis.candidates.push(candidate) - 1;
    }
    bool flagged(EOnsetList which, u32 index) { return (list(which)[index].flags & BEAT_FLAG_ON_PULSE) != 0; }
    // A run of the 0.5 s period traced into m_run: whether it qualifies.
    u32 trace(EOnsetList which, u32 start = 0, u32 candidate = 0) {
        return traceBeatRun(&m_run, &list(which), which, start, candidate, 0.5f, BEAT_RUN_TOLERANCE, 4, 4);
    }
    const ClRunGroupArray& summedGroups(u32 k) { return m_analysis.candidates[k].groups[E_ONSET_LIST_SUMMED]; }

    SBeatAnalysis m_analysis{};
    SBeatArray m_beats;
    SBeatRun m_run{};
};

}  // namespace

TEST_F(TempoSearch, FewerThanTwoOnsetsGiveNoCandidateAndTheSummedOnsetIsTheBeat) {
    setSongSeconds(100.0f);
    addOnset(E_ONSET_LIST_LOW, 3.0f);
    addOnset(E_ONSET_LIST_SUMMED, 4.0f, 5.0f);
    selectBeats(&m_analysis, &m_beats);
    ASSERT_EQ(m_analysis.chosenCandidate, -1);
    ASSERT_EQ(m_beats.count, 1u);
    EXPECT_EQ(m_beats[0].time, 4.0f);
}

TEST_F(TempoSearch, CandidatesNeedHalfTheSongLengthOfVotesFromIntervalsUnderTwoHundredSixtyBeatsPerMinute) {
    for (u32 k = 0; k <= 60; ++k) addOnset(E_ONSET_LIST_SUMMED, 0.5f * f32(k));  // 60 intervals of 0.5 s
    EXPECT_EQ(candidatesFor(121.0f), 0u);
    ASSERT_EQ(candidatesFor(120.0f), 1u);  // half the length is 60: reached
    // The smoothed histogram is flat across the summing width; its first bin is the peak.
    EXPECT_NEAR(m_analysis.candidates[0].tempo, 120.0f, 8.0f);

    // Intervals shorter than 260 beats per minute never vote: dense hi-hats 0.20 to 0.23 s apart,
    // twelve pairs against a threshold of 2.
    createOnsetLists(&m_analysis);
    for (const f32 gap : {0.205f, 0.21f, 0.22f, 0.23f}) addPairs(E_ONSET_LIST_HIGH, gap, 3);
    EXPECT_EQ(candidatesFor(4.0f), 0u);
    // The shortest interval itself counts.
    createOnsetLists(&m_analysis);
    addPairs(E_ONSET_LIST_HIGH, TEMPO_SHORTEST_INTERVAL, 12);
    EXPECT_EQ(candidatesFor(4.0f), 1u);
}

// A matched onset off the grid widens the next window's early edge by its distance: 0.59 is
// 0.09 s late, so the next expected beat (1.09) also takes an onset 0.14 s early, past the
// tolerance of 0.0975 s, but not one 0.15 s late.
TEST_F(TempoSearch, TracedRunsCarryTheirErrorBridgeLongRunsAndSkipTheirCandidatesOnsets) {
    addOnsets(E_ONSET_LIST_LOW, {0.0f, 0.59f, 0.95f, 1.45f, 1.95f});
    addOnsets(E_ONSET_LIST_HIGH, {0.0f, 0.59f, 1.24f, 1.74f, 2.24f});
    EXPECT_EQ(trace(E_ONSET_LIST_LOW), 1u);
    EXPECT_EQ(m_run.onsets.count, 5u);
    EXPECT_EQ(trace(E_ONSET_LIST_HIGH), 0u);
    EXPECT_EQ(m_run.onsets.count, 2u);

    // A miss is bridged only after five consecutive matches. Low: beats 0 .. 4 present (four
    // matches after the start); high: beats 0 .. 5 (five matches).
    createOnsetLists(&m_analysis);
    for (u32 k = 0; k < 12; ++k) {
        if (k != 5) addOnset(E_ONSET_LIST_LOW, 0.2f + 0.5f * f32(k));
        if (k != 6) addOnset(E_ONSET_LIST_HIGH, 0.2f + 0.5f * f32(k));
    }
    EXPECT_EQ(trace(E_ONSET_LIST_LOW), 1u);
    EXPECT_EQ(m_run.onsets.count, 5u);
    EXPECT_EQ(trace(E_ONSET_LIST_HIGH), 1u);
    ASSERT_EQ(m_run.onsets.count, 12u);
    EXPECT_EQ(m_run.onsets[6], -1);
    EXPECT_EQ(m_run.onsets[11], 10);
    EXPECT_NEAR(m_run.phase, 0.2f, 1e-6f);

    // A run passes over onsets already in a run of its candidate.
    addOnsets(E_ONSET_LIST_SUMMED, {0.0f, 0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 2.55f});
    list(E_ONSET_LIST_SUMMED)[5].candidateMember[3] = 1;  // 2.5 s belongs to candidate 3
    ASSERT_EQ(trace(E_ONSET_LIST_SUMMED, 0, 3), 1u);
    EXPECT_EQ(m_run.onsets[m_run.onsets.count - 1], 6);
    ASSERT_EQ(trace(E_ONSET_LIST_SUMMED, 0, 2), 1u);
    EXPECT_EQ(m_run.onsets[m_run.onsets.count - 1], 5);
}

TEST_F(TempoSearch, RunsOnOneGridShareAGroupScoredByTheirDurationsWhateverTheirPhaseWrap) {
    const u32 k = addCandidate(120.0f);
    // Two runs on the 0.5 s grid with a gap, and one run half a beat off it.
    addOnsets(E_ONSET_LIST_SUMMED, {1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 20.0f, 20.5f, 21.0f, 21.5f});
    addOnsets(E_ONSET_LIST_SUMMED, {40.25f, 40.75f, 41.25f, 41.75f});
    traceAllRuns(&m_analysis);
    const ClRunGroupArray& groups = summedGroups(k);
    ASSERT_EQ(groups.count, 2u);
    ASSERT_EQ(groups[0].runs.count, 2u);
    ASSERT_EQ(groups[1].runs.count, 1u);
    ASSERT_EQ(groups[0].time, 20.0f);
    EXPECT_FLOAT_EQ(groups[0].score, (3.5f / 4.0f) * 3.5f * 120.0f / 1000.0f);  // durations 2 and 1.5
    EXPECT_FLOAT_EQ(groups[1].score, (1.5f / 4.0f) * 1.5f * 120.0f / 1000.0f);
    for (const SBeat& onset : list(E_ONSET_LIST_SUMMED)) EXPECT_EQ(onset.candidateMember[k], 1u);
    EXPECT_EQ(m_analysis.candidates[k].groups[E_ONSET_LIST_LOW].count, 0u);

    // Group phases compare around the period: 0.49 and 0.01 of 0.5 s are 0.02 s apart.
    createOnsetLists(&m_analysis);
    const u32 wrapped = addCandidate(120.0f);
    addOnsets(E_ONSET_LIST_SUMMED, {0.49f, 0.99f, 1.49f, 1.99f, 10.01f, 10.51f, 11.01f, 11.51f});
    traceAllRuns(&m_analysis);
    ASSERT_EQ(summedGroups(wrapped).count, 1u);
    EXPECT_EQ(summedGroups(wrapped)[0].runs.count, 2u);
}

TEST_F(TempoSearch, SlowTempoIsDampedByFiveWhenOneAndAHalfAndThreeTimesItAreCandidates) {
    for (const auto& [tempo, score] : {std::pair(40.0f, 100.0f), {60.0f, 30.0f}, {118.0f, 25.0f}}) {
        SBeatRunGroup group{};
        group.score = score;
        group.runs.init(8);
        pushRunGroup(&m_analysis.candidates[addCandidate(tempo)].groups[E_ONSET_LIST_HIGH], group);
    }
    f32& slowScore = m_analysis.candidates[0].groups[E_ONSET_LIST_HIGH][0].score;
    chooseTempo(&m_analysis);
    EXPECT_EQ(slowScore, 20.0f);
    EXPECT_EQ(m_analysis.chosenCandidate, 1);
    EXPECT_EQ(m_analysis.chosenList, s32(E_ONSET_LIST_HIGH));
    // Eight beats per minute away from three times the slow tempo is too far: no damping.
    slowScore = 100.0f;
    m_analysis.candidates[2].tempo = 128.0f;
    chooseTempo(&m_analysis);
    EXPECT_EQ(slowScore, 100.0f);
    EXPECT_EQ(m_analysis.chosenCandidate, 0);
}

TEST_F(TempoSearch, ExtensionTakesTheNearbyRunThatFallsOnWholePeriods) {
    const u32 k = addCandidate(120.0f);
    for (u32 i = 0; i <= 10; ++i) addOnset(E_ONSET_LIST_SUMMED, 0.5f * f32(i));  // run A: 0 .. 5 s
    addOnsets(E_ONSET_LIST_SUMMED, {6.0f, 6.25f, 6.5f, 6.75f, 7.0f, 7.25f, 7.5f, 7.75f});  // B and C interleaved
    SBeatRunGroup group{};
    group.score = 1.0f;
    group.runs.init(8);
    // A, then C: 6.25 .. 7.75, 2.5 periods after A, then B: 6.0 .. 7.5, 2 periods after A.
    using L = std::vector<s32>;
    for (const auto& [members, duration] : {std::pair(L{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 5.0f),
                                            {L{12, 14, 16, 18}, 1.5f}, {L{11, 13, 15, 17}, 1.5f}}) {
        SBeatRun run{};
        run.onsets.init(8);
        for (s32 m : members) run.onsets.push(m);
        run.duration = duration;
        group.runs.push(run);
    }
    pushRunGroup(&m_analysis.candidates[k].groups[E_ONSET_LIST_SUMMED], group);

    chooseTempo(&m_analysis);
    const SBeatRunGroup& result = summedGroups(k)[0];
    EXPECT_EQ(result.runs[0].chosen, 1u);
    EXPECT_EQ(result.runs[2].chosen, 1u);
    EXPECT_EQ(result.runs[2].fit, 1.0f);
    EXPECT_EQ(result.runs[1].fit, 0.0f);
    // C is not chosen but taken: it overlaps B.
    EXPECT_EQ(result.runs[1].chosen, 0u);
    EXPECT_EQ(result.runs[1].taken, 1u);
    EXPECT_TRUE(flagged(E_ONSET_LIST_SUMMED, 11));
    EXPECT_FALSE(flagged(E_ONSET_LIST_SUMMED, 12));

    // Outside the runs only the strongest onset of each 0.3 s cluster is flagged.
    // 7.9 s lies within a period of B's end: left alone.
    for (const auto& [time, strength] : {std::pair(7.9f, 1.0f), {9.0f, 2.0f}, {9.25f, 3.0f}})
        addOnset(E_ONSET_LIST_SUMMED, time, strength);
    flagBeatsAroundRuns(&m_analysis);
    buildBeatList(&m_analysis, &m_beats);
    const EOnsetList summed = E_ONSET_LIST_SUMMED;
    EXPECT_FALSE(flagged(summed, 19));
    EXPECT_FALSE(flagged(summed, 20));
    EXPECT_TRUE(flagged(summed, 21));
    ASSERT_EQ(m_beats.count, 11u + 4u + 1u);
    EXPECT_EQ(m_beats[14].time, 7.5f);
    EXPECT_EQ(m_beats[15].time, 9.25f);
}

TEST_F(TempoSearch, OnsetsAQuarterSecondApartFormOneClusterFlaggingTheStronger) {
    // 5.5 s is less than 0.3 s after the flagged onset.
    for (const auto& [time, strength] : {std::pair(5.0f, 2.0f), {5.25f, 3.0f}, {5.5f, 9.0f}, {5.55f, 1.0f}})
        addOnset(E_ONSET_LIST_SUMMED, time, strength);
    flagBeatsWithoutTempo(&m_analysis);
    const EOnsetList summed = E_ONSET_LIST_SUMMED;
    EXPECT_FALSE(flagged(summed, 0));
    EXPECT_TRUE(flagged(summed, 1)) << "the stronger of the cluster at 5 s";
    EXPECT_FALSE(flagged(summed, 2)) << "less than 0.3 s after the flagged onset";
    EXPECT_TRUE(flagged(summed, 3));
}

// ---------------------------------------------------------------------------------------------
// Generated songs, two minutes of 16-bit stereo samples at 44.1 kHz through the spectral pass,
// then the whole beat analysis of the song.

namespace {

constexpr u32 SAMPLE_RATE = 44100;
constexpr u32 SONG_SECONDS = 120;

// Drum hits: a kick with a noise burst, decaying over tens of milliseconds (a burst shorter than
// the onset window gives a flat onset function and no peak). The bass line plays sine notes of
// 110 to 165 Hz on beat 1, after beat 2 and on beat 3 of each bar, and ends before the last hit.
// Without the kick's low thump the bass would own the low band, whose onsets then follow the
// bass's frame-to-frame flicker (the window is barely two of its periods long), up to 50 ms after
// the beat. Gives the interleaved samples and the hit times.
std::pair<std::vector<s16>, std::vector<f32>> makeDrumSong(f32 bpm, bool bass) {
    std::vector<f32> mono(SAMPLE_RATE * SONG_SECONDS, 0.0f), hits;
    const f32 beat = 60.0f / bpm;
    u32 noise = 12345;
    for (f32 t = 1.0f; t + 0.5f < f32(SONG_SECONDS); t += beat) {
        const u32 first = u32(t * f32(SAMPLE_RATE));
        hits.push_back(f32(first) / f32(SAMPLE_RATE));
        for (u32 i = 0; i < SAMPLE_RATE / 10; ++i) {
            noise = noise * 1664525u + 1013904223u;
            const f32 white = f32(noise >> 8) / f32(1u << 24) * 2.0f - 1.0f;
            const f32 age = f32(i) / f32(SAMPLE_RATE);
            // A kick: a sine falling from 150 to 50 Hz, and a noise burst on top.
            const f32 phase = 6.2831853f * (50.0f * age + 100.0f * 0.03f * (1.0f - std::exp(-age / 0.03f)));
            mono[first + i] += 0.7f * std::sin(phase) * std::exp(-age / 0.06f) + 0.4f * white * std::exp(-age / 0.02f);
        }
    }
    const f32 notes[3][4] = {{0.0f, 1.4f, 0.35f, 110.0f}, {1.5f, 0.4f, 0.45f, 164.8f}, {2.0f, 1.8f, 0.3f, 146.8f}};
    for (u32 bar = 0; bass; ++bar) {
        bass = false;
        for (const auto& note : notes) {
            const f32 start = 1.0f + beat * (4.0f * f32(bar) + note[0]);
            if (start + beat * note[1] > hits.back()) continue;
            bass = true;
            const u32 first = u32(start * f32(SAMPLE_RATE));
            const u32 length = u32(beat * note[1] * f32(SAMPLE_RATE));
            for (u32 i = 0; i < length && first + i < mono.size(); ++i) {
                const f32 envelope = std::min({1.0f, f32(i) / 200.0f, f32(length - i) / 200.0f});
                mono[first + i] += note[2] * envelope * std::sin(6.2831853f * note[3] * f32(i) / f32(SAMPLE_RATE));
            }
        }
    }
    return {pcm16(mono, 2), hits};
}

class DrumSong : public ::testing::TestWithParam<std::tuple<f32, bool>> {
protected:
    void TearDown() override {
        releaseTempoCandidates();
        g_aSongBeats.release();
        resetSpectrumAnalysis();
    }
};

}  // namespace

TEST_P(DrumSong, BeatsOfTheAnalysedSongLandOnTheHits) {
    const auto [bpm, bass] = GetParam();
    const auto [samples, hits] = makeDrumSong(bpm, bass);
    ASSERT_EQ(runPassOver(samples, 2, SAMPLE_RATE), 0);
    createOnsetLists();
    emptyBeats(&g_aSongBeats);
    analyseBeats();

    ASSERT_GE(g_BeatAnalysis.chosenCandidate, 0);
    // The bass line's intervals widen the histogram's peak: the candidate stays within the merge
    // width, the distance at which it stands for the true tempo.
    const f32 tempo = g_BeatAnalysis.candidates[u32(g_BeatAnalysis.chosenCandidate)].tempo;
    EXPECT_LE(std::fabs(tempo - bpm), 60.0f / (60.0f / bpm - 0.06f) - bpm);
    // The tempo told is the one the beats keep, not the histogram's whole number; beat selection
    // steps by the histogram's.
    EXPECT_NEAR(g_BeatAnalysis.measuredTempo, bpm, 0.5f);
    EXPECT_EQ(g_BeatAnalysis.candidates[u32(g_BeatAnalysis.chosenCandidate)].period, 60.0f / tempo);
    ASSERT_EQ(g_aSongBeats.count, hits.size());
    // A frame's transform covers two hops from its start, so an onset frame may begin up to two
    // frames before the hit it hears.
    const f32 frame = g_SpectrumAnalysis.header.frameDuration;
    for (u32 i = 0; i < g_aSongBeats.count; ++i) EXPECT_NEAR(g_aSongBeats[i].time, hits[i] - frame, 1.01f * frame) << i;
}

INSTANTIATE_TEST_SUITE_P(NinetyToHundredForty, DrumSong,
                         ::testing::Combine(::testing::Values(90.0f, 120.0f, 124.0f, 128.0f, 140.0f), ::testing::Bool()),
                         [](const auto& info) {
                             return std::to_string(int(std::get<0>(info.param))) +
                                    (std::get<1>(info.param) ? "WithBass" : "ClicksOnly");
                         });
