// The song clock and the beat events during play: a held song cue on the manual null output
// drives the song time, and every beat falls due once, in order, within a frame; the pull, the
// play-time queries and the tempo sequences over synthetic beat lists.
#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "audio/play/tempo_sequences.h"

#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/game_clock.h"
#include "tests/support/audio_songs.h"

using namespace test_support;

namespace {

constexpr u32 RATE = 48000;

void setBeats(const std::vector<f32>& times, const std::vector<u32>& flags = {}) {
    resetBeatAnalysis();
    for (size_t i = 0; i < times.size(); ++i) addSongBeat(times[i], 1.0f, flags.empty() ? 0u : flags[i]);
}

std::vector<f32> evenBeats(f32 first, f32 interval, u32 count) {
    std::vector<f32> times;
    for (u32 i = 0; i < count; ++i) times.push_back(first + interval * f32(i));
    return times;
}

std::vector<s32> indicesOf(const ClArray<s32>& out) { return std::vector<s32>(out.begin(), out.end()); }

struct SDelivery { s32 index; f32 beatTime, songTime; };

// Every beat due at the song time pulled and marked delivered, as the game step does.
void deliverDueBeats(std::vector<SDelivery>* deliveries = nullptr) {
    for (s32 index; (index = nextDueBeat()) >= 0; beatDelivered()) {
        if (deliveries) deliveries->push_back({index, g_aSongBeats[u32(index)].time, currentSongTime()});
    }
}

void resetBeats() {
    configClear();
    setBeats({});
    setSongTime(0.0f);
}

class BeatEvents : public ::testing::Test {
protected:
    void SetUp() override { resetBeats(); }
    void TearDown() override { releaseBeatAnalysis(); }
};

// ---------------------------------------------------------------------------------------------
// The song cue drives the clock

class SongClock : public SoundPackageTest {
protected:
    void SetUp() override {
        critSectionPoolInit();
        SoundPackageTest::SetUp();
        resetBeats();
        writeAudio("song.wav", sineWav(12 * RATE, RATE));
        packBank({bankCue("Song", {"song.wav"})});
        startEngine();
        resetSongAnalysis();
    }
    void TearDown() override {
        releaseSongAnalysis();
        SoundPackageTest::TearDown();
        releaseBeatAnalysis();
    }

    // One drawn frame of `seconds`: the engine updates, the output mixes the frame, then the
    // clock runs and the beats due are pulled as the game step does.
    void frame(f32 seconds, bool paused = false) {
        setClockDelta(GAME_CLOCK_SYSTEM, seconds);
        setClockDelta(GAME_CLOCK_GAMEPLAY, paused ? 0.0f : seconds);
        updateAudioEngine(seconds);
        getSoundEngineSystem()->advanceNullOutput(u32(std::lround(seconds * RATE)), nullptr);
        updateSongClock(1);
        deliverDueBeats(&m_deliveries);
    }

    std::vector<SDelivery> m_deliveries;
};

TEST_F(SongClock, PauseHoldsTheTimeAndAHitchDeliversTheBeatsItPassedOnceInOrder) {
    setBeats(evenBeats(0.25f, 0.25f, 20));
    const SCueHandle cue = playCueHeld("Song");
    ASSERT_TRUE(cue);
    setSongCue(cue);
    updateAudioEngine(0.0f);
    for (int i = 0; i < 40; ++i) frame(1.0f / 60.0f);
    const size_t deliveredBeforePause = m_deliveries.size();
    // Until the pause every beat comes within a frame of its time.
    for (const SDelivery& d : m_deliveries) EXPECT_LE(d.songTime - d.beatTime, 1.0f / 60.0f + 1e-4f) << d.index;
    const f32 timeAtPause = currentSongTime();

    pauseAllCues();
    for (int i = 0; i < 30; ++i) frame(1.0f / 60.0f, true);
    // A held song time delivers nothing again.
    EXPECT_EQ(currentSongTime(), timeAtPause);
    EXPECT_EQ(m_deliveries.size(), deliveredBeforePause);

    resumeAllCues();
    frame(1.3f);  // a hitch: the audible position jumps well past several beats at once
    EXPECT_GE(m_deliveries.size(), deliveredBeforePause + 5);
    for (int i = 0; i < 200; ++i) frame(1.0f / 60.0f);
    ASSERT_EQ(m_deliveries.size(), 20u);
    for (u32 i = 0; i < 20; ++i) EXPECT_EQ(m_deliveries[i].index, s32(i));
}

// ---------------------------------------------------------------------------------------------
// Queries

std::pair<f32, s32> nextBeat(f32 lead) {
    s32 index = 7;
    const f32 time = getTimeToNextBeat(lead, &index);
    return {time, index};
}

// Before the first beat, between beats, while a beat is being delivered and past the last.
TEST_F(BeatEvents, QueriesAnswerTheNextBeatAndTheOneAfterALead) {
    setBeats({1.0f, 2.0f, 3.0f, 4.0f});
    const auto expectNone = [](const char* when) {
        SCOPED_TRACE(when);
        for (const f32 lead : {0.0f, 1.0f}) {
            const auto [time, index] = nextBeat(lead);
            EXPECT_EQ(time, 0.0f) << lead;
            EXPECT_EQ(index, -1) << lead;
        }
        EXPECT_EQ(getNextBeat(), nullptr);
    };
    setSongTime(0.5f);
    deliverDueBeats();
    expectNone("before the first beat");

    setSongTime(1.5f);
    deliverDueBeats();
    const auto [time, index] = nextBeat(0.0f);
    EXPECT_EQ(time, 0.5f);
    EXPECT_EQ(index, 1);
    const auto [timeAfterLead, indexAfterLead] = nextBeat(1.0f);
    EXPECT_EQ(timeAfterLead, 1.5f);
    EXPECT_EQ(indexAfterLead, 2);
    EXPECT_EQ(getTimeToBeatAfter(1, 0.0f), 1.5f);
    EXPECT_EQ(getTimeToBeatAfter(5, 0.0f), 0.0f);

    // While the beat at 2 s is being delivered the queries answer the beat after it.
    setSongTime(2.25f);
    ASSERT_EQ(nextDueBeat(), 1);
    const auto [timeDelivering, indexDelivering] = nextBeat(0.0f);
    EXPECT_EQ(timeDelivering, 0.75f);
    EXPECT_EQ(indexDelivering, 2);
    ASSERT_NE(getNextBeat(), nullptr);
    EXPECT_EQ(getNextBeat()->time, 3.0f);
    EXPECT_EQ(getTimeToBeatAfter(1, 0.0f), 1.75f);
    beatDelivered();

    setSongTime(5.0f);
    deliverDueBeats();
    expectNone("past the last beat");
}

TEST_F(BeatEvents, ThePullAnswersEachDueBeatOnceInOrderAndTheFrameClockFollowsTheSongTime) {
    setBeats({1.0f, 2.0f, 3.0f});
    setSongTime(1.0f);
    EXPECT_EQ(nextDueBeat(), -1) << "a beat at the song time waits a frame";
    setSongTime(2.5f);
    EXPECT_EQ(nextDueBeat(), 0);
    EXPECT_EQ(nextDueBeat(), 0) << "asking again does not advance";
    beatDelivered();
    EXPECT_EQ(nextDueBeat(), 1);
    beatDelivered();
    EXPECT_EQ(nextDueBeat(), -1) << "the beat at 3 s is not due at 2.5 s";
    beatDelivered();  // nothing was answered: nothing moves
    ASSERT_NE(getNextBeat(), nullptr);
    EXPECT_EQ(getNextBeat()->time, 3.0f);
    setSongTime(3.5f);
    ASSERT_TRUE(configSetValue("VISUAL_BEAT_ANALYSIS", "song.wav"));
    EXPECT_EQ(nextDueBeat(), -1) << "viewed beats are not delivered";
    configClear();
    EXPECT_EQ(nextDueBeat(), 2);
    beatDelivered();

    // The frame clock gives frame -1 while the song time is negative and holds the last frame.
    resetSongAnalysis();
    g_SongFeatures.frameDuration = 0.01f;
    g_SpectrumAnalysis.header.frameCount = 100;
    setClockDelta(GAME_CLOCK_GAMEPLAY, 0.25f);
    setSongTime(-0.5f);
    updateSongClock(0);
    EXPECT_EQ(currentSpectrumFrame(), -1) << "at -0.25 s";
    updateSongClock(0);
    EXPECT_EQ(currentSpectrumFrame(), 0) << "at exactly 0";
    updateSongClock(0);
    EXPECT_EQ(currentSpectrumFrame(), 25) << "at 0.25 s";
    setSongTime(currentSongTime() + 50.0f);
    updateSongClock(0);
    EXPECT_EQ(currentSpectrumFrame(), 99) << "far past the end: the last frame";
    g_SpectrumAnalysis.header.frameCount = 0;
    releaseSongAnalysis();
    EXPECT_DEATH(updateSongClock(1), "no song is playing");
}

TEST_F(BeatEvents, SpacedBeatsStayInsideTheirWindowAndCount) {
    setBeats({0.0f, 1.0f, 1.1f, 1.3f, 1.35f, 1.6f, 2.0f, 5.0f}, {0, 0, 1, 1, 1, 2, 1, 1});
    ClArray<s32> out;
    const auto collect = [&out](f32 start, f32 end, u32 count, u32 mask, f32 spacing) {
        collectSpacedBeats(start, end, count, mask, spacing, &out);
        return indicesOf(out);
    };
    EXPECT_EQ(collect(0.9f, 2.0f, 10, 1, 0.2f), (std::vector<s32>{1, 3}));
    // A window without beats takes none, not the next one after it; nor does a count of 0.
    EXPECT_EQ(collect(3.0f, 4.0f, 10, 0, 0.0f).size(), 0u);
    EXPECT_EQ(collect(0.9f, 2.0f, 0, 0, 0.0f).size(), 0u);
    out.release();
}

// ---------------------------------------------------------------------------------------------
// Tempo sequences

TEST_F(BeatEvents, TempoSequencesFindTheGridMoveBeatsOntoItAndTheBestHasTheMostBeats) {
    const STempoRange range = {100.0f, 120.0f, 140.0f};
    ClArray<s32> out;
    setBeats(evenBeats(1.0f, 0.5f, 9));
    g_aSongBeats[4].time += 0.05f;  // off the grid, inside the tolerance
    // A followed beat moves onto the grid; a start after the last beat leaves a fresh, empty array.
    findTempoSequences(0.0f, 100.0f, range, 4, &out, 0);
    EXPECT_EQ(indicesOf(out), std::vector<s32>({0, 1, 2, 3}));
    EXPECT_EQ(g_aSongBeats[4].time, 3.0f);
    findTempoSequences(0.0f, 100.0f, range, 4, &out, 1);
    EXPECT_EQ(out.count, 9u);
    findTempoSequences(10.0f, 100.0f, range, 4, &out, 0);
    EXPECT_EQ(out.count, 0u);

    // Two beats lie close together after a grid point: following moves the later, stronger one
    // back onto the grid, but never past its neighbour.
    setBeats({1.0f, 1.5f, 2.03f, 2.05f, 2.5f, 3.0f});
    g_aSongBeats[2].strength = 0.5f;  // the run follows the stronger 2.05 and pulls it to 2.0
    findTempoSequences(0.0f, 100.0f, range, 3, &out, 1);
    for (u32 i = 1; i < g_aSongBeats.count; ++i) EXPECT_LE(g_aSongBeats[i - 1].time, g_aSongBeats[i].time);
    out.release();

    // The best sequence has the most beats, then strictly more power.
    ClArray<STempoSequence> sequences;
    sequences.init();
    for (const auto& [count, power] : {std::pair(3u, 9.0f), {5u, 1.0f}, {5u, 1.0f}, {2u, 9.0f}}) {
        STempoSequence sequence = {};
        sequence.indices.init();
        for (u32 j = 0; j < count; ++j) sequence.indices.push(s32(j));
        sequence.power = power;
        sequences.push(sequence);
    }
    EXPECT_EQ(chooseBestSequence(sequences, 3), &sequences[1]);  // an equal power does not replace
    EXPECT_EQ(chooseBestSequence(sequences, 6), nullptr);
    for (STempoSequence& sequence : sequences) sequence.indices.release();
    sequences.release();
}

}  // namespace
