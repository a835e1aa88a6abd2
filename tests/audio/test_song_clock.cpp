// The song clock and the beat events during play: a held song cue on the manual null output
// drives the song time, and every beat reaches its subscribers once, in order, within a frame;
// the subscription pool, the play-time queries and the tempo sequences over synthetic beat lists.
#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "audio/play/tempo_sequences.h"

#include "audio/analysis/spawn_bars.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/sound/sound_bank.h"
#include "audio/sound/sound_bank_format.h"
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/file_layer.h"
#include "core/game_clock.h"
#include "core/name_hash.h"
#include "core/package_writer.h"
#include "core/packages.h"
#include "tests/audio/decoder_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr u32 RATE = 48000;
constexpr f32 SONG_SECONDS = 12.0f;

void setBeats(const std::vector<f32>& times, const std::vector<u32>& flags = {}) {
    resetBeatAnalysis();
    for (size_t i = 0; i < times.size(); ++i) {
        SBeat beat = {};
        beat.time = times[i];
        beat.strength = 1.0f;
        beat.flags = flags.empty() ? 0u : flags[i];
        pushBeat(&g_aSongBeats, beat);
    }
}

std::vector<f32> evenBeats(f32 first, f32 interval, u32 count) {
    std::vector<f32> times;
    for (u32 i = 0; i < count; ++i) times.push_back(first + interval * f32(i));
    return times;
}

struct SDelivery {
    s32 index;
    f32 beatTime;
    f32 songTime;
};

void recordDelivery(const SBeat& beat, s32 index, void* user) {
    static_cast<std::vector<SDelivery>*>(user)->push_back({index, beat.time, g_fSongTime});
}

std::vector<std::string> g_aCallOrder;

class BeatEvents : public ::testing::Test {
protected:
    void SetUp() override {
        g_aCallOrder.clear();
        configClear();
        setBeats({});
        g_fSongTime = 0.0f;
    }
    void TearDown() override { releaseBeatAnalysis(); }
};

// ---------------------------------------------------------------------------------------------
// The song cue drives the clock

class SongClock : public BeatEvents {
protected:
    fs::path m_root;

    void SetUp() override {
        BeatEvents::SetUp();
        critSectionPoolInit();
        m_root = fs::temp_directory_path() / ("velodrix_song_clock_" + std::to_string(getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "src" / "Audio");
        using namespace decoder_test;
        const u32 frames = u32(SONG_SECONDS * RATE);
        writeFileBytes((m_root / "src" / "Audio" / "song.wav").string(),
                       makeWav({.channels = 1, .rate = RATE}, packPcm(makeSignal(frames, 1, RATE, 16), 16)));
        SSoundBankInput song;
        song.nameHash = crc32TextNoCase("Song");
        song.definition.nameHash = song.nameHash;
        song.definition.sampleCount = 1;
        std::snprintf(song.definition.fileNames[0], SOUND_SAMPLE_NAME_SIZE, "%s", "song.wav");
        song.definition.weights[0] = 1.0f;
        song.definition.lengths[0] = -1.0f;
        song.definition.defaultFrequencies[0] = -1.0f;
        writeFileBytes((m_root / "src" / "Audio" / "ZUNO_SFX.iAudioSB").string(),
                       soundBankBuild(crc32TextNoCase("ZUNO_SFX"), 0.0f, {song}));
        std::string error;
        ASSERT_TRUE(packageWriterPackFolder((m_root / "src").c_str(), m_root.c_str(), "TEST", {}, &error)) << error;
        setDataDir((m_root.string() + "/").c_str());
        fileLayerInit();
        packagesInit();
        ASSERT_EQ(archiveMount("TEST", 4, nullptr), 1u);
        setAudioEngineOutput(E_SOUNDOUTPUT_NOSOUND_MANUAL);
        ASSERT_EQ(initAudioEngine(0), 1);
        ASSERT_EQ(loadSoundBank("ZUNO_SFX", 0), 1);
        resetSongAnalysis();
    }

    void TearDown() override {
        releaseSongAnalysis();
        shutdownAudioEngine();
        setAudioEngineOutput(E_SOUNDOUTPUT_AUTODETECT);
        packagesShutdown();
        fileLayerShutdown();
        setDataDir("");
        fs::remove_all(m_root);
        BeatEvents::TearDown();
    }

    // One drawn frame of `seconds`: the engine updates, the output mixes the frame, then the
    // clock and the beat events run as the in-game draw passes run them.
    void frame(f32 seconds, bool paused = false) {
        setClockDelta(GAME_CLOCK_SYSTEM, seconds);
        setClockDelta(GAME_CLOCK_GAMEPLAY, paused ? 0.0f : seconds);
        updateAudioEngine(seconds);
        getSoundEngineSystem()->advanceNullOutput(u32(std::lround(seconds * RATE)), nullptr);
        updateSongClock(1);
        dispatchBeats();
    }

    void startSong() {
        const SCueHandle cue = playCueHeld("Song");
        ASSERT_TRUE(cue);
        setSongCue(cue);
        updateAudioEngine(0.0f);
    }
};

void expectEachBeatOnceInOrderWithinAFrame(const std::vector<SDelivery>& deliveries, u32 beatCount,
                                           f32 frameSeconds) {
    ASSERT_EQ(deliveries.size(), beatCount);
    for (u32 i = 0; i < beatCount; ++i) {
        EXPECT_EQ(deliveries[i].index, s32(i));
        EXPECT_GT(deliveries[i].songTime, deliveries[i].beatTime) << "beat " << i;
        EXPECT_LE(deliveries[i].songTime - deliveries[i].beatTime, frameSeconds + 1e-4f) << "beat " << i;
    }
}

TEST_F(SongClock, EveryBeatArrivesOnceInOrderWithinOneFrameAtSeveralFrameRates) {
    for (const f32 fps : {30.0f, 60.0f, 144.0f}) {
        SCOPED_TRACE(fps);
        setBeats(evenBeats(0.11f, 0.37f, 8));
        std::vector<SDelivery> deliveries;
        subscribeBeat(recordDelivery, &deliveries, 0);
        startSong();
        f32 previous = -1.0f;
        for (int i = 0; i < int(3.5f * fps); ++i) {
            frame(1.0f / fps);
            EXPECT_GE(g_fSongTime, previous) << "the song time never steps back";
            previous = g_fSongTime;
        }
        expectEachBeatOnceInOrderWithinAFrame(deliveries, 8, 1.0f / fps);
        releaseSongAnalysis();
        resetSongAnalysis();
    }
}

TEST_F(SongClock, PauseHoldsTheTimeAndAHitchDeliversTheBeatsItPassedOnceInOrder) {
    setBeats(evenBeats(0.25f, 0.25f, 20));
    std::vector<SDelivery> deliveries;
    subscribeBeat(recordDelivery, &deliveries, 0);
    startSong();
    for (int i = 0; i < 40; ++i) frame(1.0f / 60.0f);
    const size_t deliveredBeforePause = deliveries.size();
    const f32 timeAtPause = g_fSongTime;

    pauseAllCues();
    for (int i = 0; i < 30; ++i) frame(1.0f / 60.0f, true);
    EXPECT_FLOAT_EQ(g_fSongTime, timeAtPause);
    EXPECT_EQ(deliveries.size(), deliveredBeforePause) << "a held song time delivers nothing again";

    resumeAllCues();
    frame(1.3f);  // a hitch: the audible position jumps well past several beats at once
    for (size_t i = 1; i < deliveries.size(); ++i) EXPECT_EQ(deliveries[i].index, deliveries[i - 1].index + 1);
    EXPECT_GE(deliveries.size(), deliveredBeforePause + 5);
    for (int i = 0; i < 200; ++i) frame(1.0f / 60.0f);
    ASSERT_EQ(deliveries.size(), 20u);
    for (u32 i = 0; i < 20; ++i) EXPECT_EQ(deliveries[i].index, s32(i));
}

TEST_F(BeatEvents, TheFrameClockGivesFrameMinusOneWhileNegativeAndHoldsTheLastFrame) {
    resetSongAnalysis();
    g_SongFeatures.frameDuration = 0.01f;
    g_SpectrumAnalysis.header.frameCount = 100;
    setClockDelta(GAME_CLOCK_GAMEPLAY, 0.25f);
    g_fSongTime = -0.5f;
    updateSongClock(0);
    EXPECT_EQ(g_iSpectrumFrame, -1);
    updateSongClock(0);
    EXPECT_EQ(g_iSpectrumFrame, 0);  // exactly 0
    updateSongClock(0);
    EXPECT_EQ(g_iSpectrumFrame, 25);
    g_fSongTime = 50.0f;
    updateSongClock(0);
    EXPECT_EQ(g_iSpectrumFrame, 99);
    g_SpectrumAnalysis.header.frameCount = 0;
    releaseSongAnalysis();
    EXPECT_DEATH(updateSongClock(1), "no song is playing");
}

// ---------------------------------------------------------------------------------------------
// Subscriptions

struct SCallRecorder {
    std::vector<std::string> calls;
    SBeatSubscriptionHandle toUnsubscribe;
    const char* name = "";
};

void recordName(const SBeat&, s32, void* user) {
    auto* recorder = static_cast<SCallRecorder*>(user);
    recorder->calls.push_back(recorder->name);
}


void recordOrder(const SBeat&, s32, void* user) {
    auto* recorder = static_cast<SCallRecorder*>(user);
    g_aCallOrder.push_back(recorder->name);
    if (recorder->toUnsubscribe) {
        unsubscribeBeat(recorder->toUnsubscribe);
        recorder->toUnsubscribe = {};
    }
}

TEST_F(BeatEvents, MasksChooseBeatsTheLatestSubscriberComesFirstAndEqualTimesWait) {
    setBeats({0.5f, 1.0f, 1.5f}, {0u, 2u, 4u});
    SCallRecorder a{{}, {}, "A"}, b{{}, {}, "B"}, masked{{}, {}, "M"};
    subscribeBeat(recordOrder, &a, 0);
    subscribeBeat(recordOrder, &b, 0);
    subscribeBeat(recordName, &masked, 6);

    g_fSongTime = 0.5f;
    dispatchBeats();
    EXPECT_TRUE(g_aCallOrder.empty()) << "a beat equal to the song time waits a frame";
    g_fSongTime = 2.0f;
    g_aCallOrder.clear();
    dispatchBeats();
    EXPECT_EQ(g_aCallOrder, (std::vector<std::string>{"B", "A", "B", "A", "B", "A"}));
    EXPECT_EQ(masked.calls.size(), 2u) << "mask 6 takes the beats flagged 2 and 4";
}

TEST_F(BeatEvents, UnsubscribingDuringDeliveryCallsNoRecordTwiceAndStaleHandlesAreIgnored) {
    setBeats({0.5f});
    SCallRecorder first{{}, {}, "first"}, second{{}, {}, "second"}, third{{}, {}, "third"};
    const SBeatSubscriptionHandle firstHandle = subscribeBeat(recordOrder, &first, 0);
    subscribeBeat(recordOrder, &second, 0);
    subscribeBeat(recordOrder, &third, 0);
    // The top subscriber removes the bottom one: the pool moves the top record into the bottom
    // slot, which the walk has yet to visit.
    third.toUnsubscribe = firstHandle;
    g_aCallOrder.clear();
    g_fSongTime = 1.0f;
    dispatchBeats();
    EXPECT_EQ(g_aCallOrder, (std::vector<std::string>{"third", "second"}));
    EXPECT_EQ(liveBeatSubscriptions(), 2u);

    // The freed record is handed out again; the old handle must not remove the new subscriber.
    SCallRecorder fourth{{}, {}, "fourth"};
    const SBeatSubscriptionHandle fourthHandle = subscribeBeat(recordOrder, &fourth, 0);
    EXPECT_EQ(fourthHandle.record, firstHandle.record);
    unsubscribeBeat(firstHandle);
    EXPECT_EQ(liveBeatSubscriptions(), 3u);
    unsubscribeBeat(fourthHandle);
    EXPECT_EQ(liveBeatSubscriptions(), 2u);
}

TEST_F(BeatEvents, AFullPoolRefusesTheSubscription) {
    SCallRecorder recorder;
    for (u32 i = 0; i < 256; ++i) ASSERT_TRUE(subscribeBeat(recordName, &recorder, 0));
    EXPECT_FALSE(subscribeBeat(recordName, &recorder, 0));
}

// ---------------------------------------------------------------------------------------------
// Queries

TEST_F(BeatEvents, QueriesAnswerNoneBeforeTheFirstBeatAndPastTheLast) {
    setBeats({1.0f, 2.0f, 3.0f});
    s32 index = 7;
    g_fSongTime = 0.5f;
    EXPECT_EQ(getTimeToNextBeat(0.0f, &index), 0.0f);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(getNextBeat(), nullptr);

    g_fSongTime = 1.5f;
    dispatchBeats();
    EXPECT_FLOAT_EQ(getTimeToNextBeat(0.0f, &index), 0.5f);
    EXPECT_EQ(index, 1);
    EXPECT_FLOAT_EQ(getTimeToNextBeat(1.0f, &index), 1.5f) << "the first beat at least the lead ahead";
    EXPECT_EQ(index, 2);
    EXPECT_FLOAT_EQ(getTimeToBeatAfter(1, 0.0f), 1.5f);
    EXPECT_EQ(getTimeToBeatAfter(5, 0.0f), 0.0f);
    ASSERT_NE(getNextBeat(), nullptr);
    EXPECT_FLOAT_EQ(getNextBeat()->time, 2.0f);

    g_fSongTime = 4.0f;
    dispatchBeats();
    EXPECT_EQ(getTimeToNextBeat(0.0f, &index), 0.0f);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(getNextBeat(), nullptr);
}

TEST_F(BeatEvents, SpacedBeatsStayInsideTheirWindowAndCount) {
    setBeats({0.0f, 1.0f, 1.1f, 1.3f, 1.35f, 1.6f, 2.0f, 5.0f}, {0, 0, 1, 1, 1, 2, 1, 1});
    ClArray<s32> out;
    collectSpacedBeats(0.9f, 2.0f, 10, 1, 0.2f, &out);
    EXPECT_EQ(std::vector<s32>(out.begin(), out.end()), (std::vector<s32>{1, 3}));
    collectSpacedBeats(3.0f, 4.0f, 10, 0, 0.0f, &out);
    EXPECT_EQ(out.count, 0u) << "a window without beats takes none, not the next one after it";
    collectSpacedBeats(0.9f, 2.0f, 0, 0, 0.0f, &out);
    EXPECT_EQ(out.count, 0u);
    out.release();
}

// ---------------------------------------------------------------------------------------------
// Tempo sequences

TEST_F(BeatEvents, TempoSequencesFindTheGridMoveBeatsOntoItAndKeepTheOrder) {
    const STempoRange range = {100.0f, 120.0f, 140.0f};
    ClArray<s32> out;

    setBeats(evenBeats(1.0f, 0.5f, 9));
    g_aSongBeats[4].time += 0.05f;  // off the grid, inside the tolerance
    findTempoSequences(0.0f, 100.0f, range, 4, &out, 0);
    EXPECT_EQ(std::vector<s32>(out.begin(), out.end()), (std::vector<s32>{0, 1, 2, 3}));
    EXPECT_FLOAT_EQ(g_aSongBeats[4].time, 3.0f) << "a followed beat moves onto the grid";
    findTempoSequences(0.0f, 100.0f, range, 4, &out, 1);
    EXPECT_EQ(out.count, 9u);

    findTempoSequences(10.0f, 100.0f, range, 4, &out, 0);
    EXPECT_EQ(out.count, 0u) << "a start after the last beat leaves a fresh, empty array";

    // Two beats lie close together after a grid point: following moves the later, stronger one
    // back onto the grid, but never past its neighbour.
    setBeats({1.0f, 1.5f, 2.03f, 2.05f, 2.5f, 3.0f});
    g_aSongBeats[2].strength = 0.5f;  // the run follows the stronger 2.05 and pulls it to 2.0
    findTempoSequences(0.0f, 100.0f, range, 3, &out, 1);
    for (u32 i = 1; i < g_aSongBeats.count; ++i) EXPECT_LE(g_aSongBeats[i - 1].time, g_aSongBeats[i].time);
    out.release();
}

TEST_F(BeatEvents, TheBestSequenceHasTheMostBeatsThenStrictlyMorePower) {
    ClArray<STempoSequence> sequences;
    sequences.init();
    const u32 counts[] = {3, 5, 5, 2};
    const f32 powers[] = {9.0f, 1.0f, 1.0f, 9.0f};
    for (u32 i = 0; i < 4; ++i) {
        STempoSequence sequence = {};
        sequence.indices.init();
        for (u32 j = 0; j < counts[i]; ++j) sequence.indices.push(s32(j));
        sequence.power = powers[i];
        sequences.push(sequence);
    }
    EXPECT_EQ(chooseBestSequence(sequences, 3), &sequences[1]) << "an equal power does not replace";
    EXPECT_EQ(chooseBestSequence(sequences, 6), nullptr);
    for (STempoSequence& sequence : sequences) sequence.indices.release();
    sequences.release();
}

}  // namespace
