// Spawn bars, spawn events, band envelopes and drop beats over made-up band values and over a
// generated song with loud and quiet sections; the beat window query they use.
#include "audio/analysis/spawn_bars.h"

#include "audio/analysis/beat.h"
#include "audio/analysis/beat_queries.h"
#include "audio/analysis/song_fingerprint.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/analysis/spectrum_pass.h"
#include "audio/analysis/tempo_search.h"
#include "core/fatal_error.h"
#include "core/script_cache.h"
#include "core/script_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct SFatal : std::runtime_error {
    using std::runtime_error::runtime_error;
};
void throwOnFatal(const char* reason) { throw SFatal(reason); }

class ClOneScript : public IScriptSource {
public:
    bool readScriptFile(const char* name, std::vector<char>* out) override {
        if (std::string(name) != "playbalance.txt" || text.empty()) return false;
        out->assign(text.begin(), text.end());
        return true;
    }
    std::string text;
};

// Levels 1 to 4 give fixed targets (lo = hi) for the rise-pass cases.
constexpr const char* TEST_PLAYBALANCE =
    "spawn_bar_range { { 2, 6 }; { 3, 3 }; { 4, 4 }; { 0, 0 }; { 9, 9 }; { 6, 14 }; };";

void addBeat(f32 time, f32 strength) {
    SBeat beat{};
    beat.time = time;
    beat.strength = strength;
    pushBeat(&g_aSongBeats, beat);
}

class SongFeatures : public ::testing::Test {
protected:
    void SetUp() override {
        scriptRegistriesInit();
        m_script.text = TEST_PLAYBALANCE;
        setScriptSource(&m_script);
        resetSpectrumAnalysis();
        resetSongFeatures();
        g_aSongBeats.release();
        emptyBeats(&g_aSongBeats);
        g_iCurrentBeat = 0;
    }
    void TearDown() override {
        setFatalErrorHook(nullptr);
        releaseSongFeatures();
        releaseSongFeatureBuffer();
        g_aSongBeats.release();
        resetSpectrumAnalysis();
        freeAllScripts();
        setScriptSource(nullptr);
    }

    // A song of made-up band values, all 0; set levels with setLevel.
    void makeSong(f32 frameDuration, u32 frameCount, u32 bandCount) {
        resetSpectrumAnalysis();
        SSpectrumHeader& h = g_SpectrumAnalysis.header;
        h.frameDuration = frameDuration;
        h.frameCount = frameCount;
        h.bandCount = bandCount;
        h.bandValues = static_cast<f32*>(std::calloc(size_t(frameCount) * bandCount, sizeof(f32)));
    }
    // A value in the middle of the level's range.
    static void setLevel(u32 frame, u32 band, s32 level) {
        SSpectrumHeader& h = g_SpectrumAnalysis.header;
        h.bandValues[frame * h.bandCount + band] = (f32(level) + 0.5f) / 14.0f;
    }
    static std::vector<SSpawnEvent> eventsInFrames(u32 first, u32 end) {
        std::vector<SSpawnEvent> events;
        for (const SSpawnEvent& event : getSongSpawnEvents()) {
            if (event.frame >= first && event.frame < end) events.push_back(event);
        }
        return events;
    }

    ClOneScript m_script;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Worked values

TEST(SpawnBarGeometry, BarFramesFollowTheFrameRateInSinglePrecision) {
    EXPECT_EQ(spawnBarFrames(1.0f / 126.0f), 62u);
    EXPECT_EQ(spawnBarFrames(1.0f / 120.0f), 59u);
    EXPECT_EQ(spawnBarFrames(1.0f / 147.0f), 73u);
    EXPECT_EQ(spawnBandLevel(0.97f), 13);
    EXPECT_EQ(spawnBandLevel(0.0714f), 0);
    EXPECT_EQ(spawnBandLevel(std::nanf("")), 0);
}

TEST_F(SongFeatures, SilentMinuteAtOneHundredTwentySixFramesGivesOneHundredTwentyOneQuietBars) {
    const f32 frameDuration = 1.0f / 126.0f;
    makeSong(frameDuration, 7560, 18);
    computeSongFeatures(0);

    const ClSpawnBarArray& bars = getSongSpawnBars();
    ASSERT_EQ(bars.count, 121u);
    for (u32 k = 0; k < bars.count; ++k) {
        EXPECT_EQ(bars[k].time, f32(1 + 62 * k) * frameDuration) << k;
        EXPECT_EQ(bars[k].level + bars[k].smoothedLevel, 0.0f);
        EXPECT_EQ(bars[k].spawnTarget, 2) << "silence asks for lo";
    }
    EXPECT_EQ(findFirstAudibleTime(), 0.0f);
    // A time gives the index of its bar.
    EXPECT_EQ(timeToSpectrumFrame(bars[120].time), 120);
    for (f32 before : {0.0f, -3.0f, std::nanf("")}) EXPECT_EQ(timeToSpectrumFrame(before), 0);

    // Nothing rises, so the counting-all pass gives lo events of level 0 at each bar's start.
    ASSERT_EQ(getSongSpawnEvents().count, 121u * 2u);
    EXPECT_EQ(getSongSpawnEvents()[2].frame, 63u);
    EXPECT_EQ(getSongSpawnEvents()[2].bandLevel, 0u);

    // A song too short for one bar has none.
    makeSong(frameDuration, 63, 18);
    computeSongFeatures(0);
    EXPECT_EQ(getSongSpawnBars().count + getSongSpawnEvents().count, 0u);
}

// ---------------------------------------------------------------------------------------------
// Spawn events: the first rise pass that reaches the bar's target

// Eight frames a second (bars of 4 frames from frame 1), three bands; band 0 jumps from 0 to 5
// at frame 1 and holds, so the first bar has rises of 3 values (step 2) or 5 values (step 1).
class SpawnEvents : public SongFeatures {
protected:
    void SetUp() override {
        SongFeatures::SetUp();
        makeSong(0.125f, 20, 3);
        for (u32 f = 1; f < 5; ++f) setLevel(f, 0, 5);
    }
    std::vector<std::pair<u32, u32>> firstBar() {
        std::vector<std::pair<u32, u32>> out;
        for (const SSpawnEvent& e : eventsInFrames(1, 5)) out.push_back({e.frame * 100 + e.band, e.bandLevel});
        return out;
    }
};

TEST_F(SpawnEvents, FirstPassThatReachesTheTargetIsKept) {
    using V = std::vector<std::pair<u32, u32>>;
    // Target 3: the step-two pass. Target 4: the step-one pass, stopped at the target. Target 0:
    // still the first event met.
    const std::pair<s32, V> cases[] = {{1, {{100, 1}, {100, 3}, {100, 5}}},
                                       {2, {{100, 1}, {100, 2}, {100, 3}, {100, 4}}},
                                       {3, {{100, 1}}}};
    for (const auto& [level, expected] : cases) {
        computeSongFeatures(level);
        EXPECT_EQ(firstBar(), expected) << "level " << level;
    }
    // The second bar (frames 5 to 8) has no rise: with target 0 the step-two pass gives nothing.
    EXPECT_TRUE(eventsInFrames(5, 9).empty());
}

TEST_F(SpawnEvents, CountingAllPassTakesEveryLevelFromZeroFrameByFrame) {
    computeSongFeatures(4);  // target 9: the rises give 3 and 5
    const std::vector<SSpawnEvent> events = eventsInFrames(1, 5);
    ASSERT_EQ(events.size(), 9u);
    for (u32 v = 0; v <= 5; ++v) EXPECT_EQ(events[v].frame * 100 + events[v].band * 10 + events[v].bandLevel, 100 + v);
    EXPECT_EQ(events[7].band, 2u);
    EXPECT_EQ(events[8].frame * 100 + events[8].bandLevel, 200u);
}

TEST_F(SpawnEvents, EnvelopesAverageTenFramesAndAreBuiltOncePerSong) {
    computeSongFeatures(1);
    const f32* envelopes = g_SongFeatures.bandEnvelopes;
    ASSERT_NE(envelopes, nullptr);
    EXPECT_EQ(g_SongFeatures.envelopeFrameCount, 20u);
    EXPECT_FLOAT_EQ(envelopes[0 * 3 + 0], 2.0f);   // frames 0..9: four of level 5
    EXPECT_FLOAT_EQ(envelopes[4 * 3 + 0], 0.5f);   // frames 4..13: one
    EXPECT_FLOAT_EQ(envelopes[0 * 3 + 1], 0.0f);
    setLevel(19, 2, 7);
    computeSongFeatures(1);
    EXPECT_EQ(g_SongFeatures.bandEnvelopes, envelopes);
    EXPECT_FLOAT_EQ(g_SongFeatures.bandEnvelopes[19 * 3 + 2], 0.0f) << "kept from the first call";
}

TEST_F(SpawnEvents, MissingDifficultyEntryOrSectionIsFatal) {
    setFatalErrorHook(throwOnFatal);
    try {
        computeSongFeatures(6);
        FAIL() << "difficulty 6 has no entry";
    } catch (const SFatal& fatal) {
        EXPECT_NE(std::string(fatal.what()).find("spawn_bar_range"), std::string::npos) << fatal.what();
        EXPECT_NE(std::string(fatal.what()).find("difficulty 6"), std::string::npos) << fatal.what();
    }
    freeAllScripts();
    m_script.text = "spawn_bar_range { { 2 }; };";
    EXPECT_THROW(computeSongFeatures(0), SFatal);
}

// ---------------------------------------------------------------------------------------------
// Drop beats on made-up levels

namespace {
// Exact in binary: bars of 64 frames start at 1, 65, ...; bar k lasts 0.5 s and its window is
// frames [64k + 65, 64k + 129).
constexpr f32 DROP_FRAME = 1.0f / 128.0f;
}  // namespace

class DropBeats : public SongFeatures {
protected:
    // Loud (every band at 13) from `loudFrom` seconds on, silent before, after a first audible
    // frame at `audibleAt` seconds; beats every 0.25 s with strength 1.
    void makeDropSong(f32 audibleAt, f32 loudFrom, f32 seconds) {
        g_aSongBeats.release();
        emptyBeats(&g_aSongBeats);
        const u32 frames = u32(seconds / DROP_FRAME);
        makeSong(DROP_FRAME, frames, 4);
        setLevel(u32(audibleAt / DROP_FRAME), 0, 1);
        for (u32 f = u32(loudFrom / DROP_FRAME); f < frames; ++f) {
            for (u32 b = 0; b < 4; ++b) setLevel(f, b, 13);
        }
        for (f32 t = 0.0f; t < seconds; t += 0.25f) addBeat(t, 1.0f);
    }
    std::vector<f32> dropTimes() {
        std::vector<f32> times;
        for (const SBeat& beat : g_aSongBeats) {
            if (beat.flags & BEAT_FLAG_DROP) times.push_back(beat.time);
        }
        return times;
    }
};

TEST_F(DropBeats, LoudBarAfterTwoQuietOnesFlagsTheStrongestNearbyBeat) {
    makeDropSong(0.0f, 20.0f, 40.0f);
    // Bar 39 (t = 19.5 s, window from 20.0078 s) is the first loud one; bar 38 holds one loud
    // frame. The near window is [19, 20].
    g_aSongBeats[u32(19.25f / 0.25f)].strength = 3.0f;
    g_aSongBeats[u32(19.25f / 0.25f)].reserved = 7;
    computeSongFeatures(0);
    ASSERT_EQ(dropTimes(), (std::vector<f32>{19.25f}));
    const SBeat& drop = g_aSongBeats[u32(19.25f / 0.25f)];
    EXPECT_EQ(drop.flags, BEAT_FLAG_DROP);
    EXPECT_EQ(drop.strength, DROP_BEAT_STRENGTH);
    EXPECT_EQ(drop.reserved, 0u);
}

TEST_F(DropBeats, FarWindowIsTriedWhenNoBeatIsWithinHalfASecond) {
    makeDropSong(0.0f, 20.0f, 40.0f);
    g_aSongBeats.release();
    emptyBeats(&g_aSongBeats);
    addBeat(5.0f, 1.0f);
    addBeat(18.6f, 2.0f);
    addBeat(20.3f, 1.0f);
    computeSongFeatures(0);
    EXPECT_EQ(dropTimes(), (std::vector<f32>{18.6f}));
}

TEST_F(DropBeats, NoDropWithinFiveSecondsOfTheFirstAudibleFrame) {
    makeDropSong(14.6f, 20.0f, 40.0f);  // t = 19.5 s is under 14.6 + 5
    computeSongFeatures(0);
    EXPECT_EQ(findFirstAudibleTime(), 1868.0f * DROP_FRAME);
    EXPECT_TRUE(dropTimes().empty());
    makeDropSong(14.5f, 20.0f, 40.0f);  // 19.5 s is at least 14.5 + 5
    computeSongFeatures(0);
    EXPECT_EQ(dropTimes().size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// A generated song: loud and quiet sections through the whole analysis

namespace {

// 22,050 Hz mono: from 2 s loud (noise, a bass tone and clicks at 120 BPM), quiet 3.5 to 5.5 s,
// loud again until 15 s, silent to 17.75 s, loud to the end. 17.75 s lies just after the start
// of bar 35's window [17.722, 18.214), so that one bar takes the whole rise (a rise split
// between two bars' windows leaves the bar before the loud one not quiet enough).
class ClSectionSong : public ISpectrumSampleSource {
public:
    static constexpr u32 RATE = 22050;
    static constexpr u32 SECONDS = 40;

    static bool loudAt(f64 t) { return (t >= 2.0 && t < 3.5) || (t >= 5.5 && t < 15.0) || t >= 17.75; }

    u32 pullSamples(void* destination, u32 bytes) override {
        s16* out = static_cast<s16*>(destination);
        u32 delivered = 0;
        while (delivered + 2 <= bytes && m_frame < u64(RATE) * SECONDS) {
            const f64 t = f64(m_frame) / RATE;
            f64 v = 0.0;
            if (loudAt(t)) {
                m_noise = m_noise * 1664525u + 1013904223u;
                const f64 noise = f64(s32(m_noise)) / 2147483648.0;
                const f64 inBeat = std::fmod(t, 0.5);
                v = 0.25 * noise + 0.3 * std::sin(2.0 * M_PI * 80.0 * t) + (inBeat < 0.01 ? 0.9 : 0.0);
            }
            out[delivered / 2] = s16(std::lround(std::fmax(-1.0, std::fmin(1.0, v)) * 32000.0));
            delivered += 2;
            ++m_frame;
        }
        std::memset(static_cast<u8*>(destination) + delivered, 0, bytes - delivered);
        return delivered;
    }
    bool hasFailed() override { return false; }

private:
    u64 m_frame = 0;
    u32 m_noise = 12345;
};

}  // namespace

TEST_F(SongFeatures, GeneratedSongGetsLevelsFromItsSectionsAndOneDropBeat) {
    SSpectrumStreamFormat format{};
    format.channels = 1;
    format.bytesPerSample = 2;
    format.sampleRate = f32(ClSectionSong::RATE);
    format.integerSamples = 1;
    format.totalBytes = ClSectionSong::RATE * ClSectionSong::SECONDS * 2;
    format.durationMs = ClSectionSong::SECONDS * 1000;
    SSpectrumGeometry geometry;
    ASSERT_TRUE(computeSpectrumGeometry(format.sampleRate, &geometry));
    ClSectionSong song;
    ASSERT_EQ(runSpectrumPass(&song, format, geometry), 0);
    analyseBeats();
    ASSERT_GT(g_aSongBeats.count, 20u);

    computeSongFeatures(5);
    const ClSpawnBarArray& bars = getSongSpawnBars();
    const f32 barDuration = spawnBarDuration(g_SpectrumAnalysis.header.frameDuration);
    ASSERT_GT(bars.count, 70u);
    EXPECT_NEAR(findFirstAudibleTime(), 2.0f, 0.05f);
    for (u32 k = 0; k < bars.count; ++k) {
        const SSpawnBar& bar = bars[k];
        EXPECT_LE(bar.smoothedLevel, 1.0f);
        EXPECT_LE(bar.spawnTarget, 14);
        // The bar's window is the half second that starts half a second after the bar.
        // Frames reach a window length either side of their start; keep clear of the edges.
        const f64 window = f64(bar.time) + 0.5;
        if (window + 0.55 > f64(ClSectionSong::SECONDS)) continue;
        if (ClSectionSong::loudAt(window - 0.05) && ClSectionSong::loudAt(window + 0.55)) {
            EXPECT_GT(bar.rawLevel, DROP_LOUD_LEVEL) << "bar " << k;
            EXPECT_GT(bar.level, 0.5f) << "bar " << k;
        } else if (!ClSectionSong::loudAt(window - 0.05) && !ClSectionSong::loudAt(window + 0.55)) {
            EXPECT_EQ(bar.rawLevel, 0.0f) << "bar " << k;
            EXPECT_EQ(bar.spawnTarget, 6) << "bar " << k;
        }
    }

    // The drop after 3.5 to 5.5 s comes too soon after the first sound at 2 s; the one at bar 35
    // (t = 35 x 62 / 126 = 17.22 s) finds no beat within 0.5 s and flags the first loud one.
    std::vector<f32> drops;
    for (const SBeat& beat : g_aSongBeats) {
        if (beat.flags & BEAT_FLAG_DROP) drops.push_back(beat.time);
    }
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_GE(drops[0], 17.7f);
    EXPECT_LE(drops[0], 18.22f);

    // The song-feature buffer holds the bars' fingerprint, enciphered as storeSongFingerprint does.
    char letters[FINGERPRINT_MAX_LETTERS];
    const u32 count = computeFingerprintLetters(bars.data, bars.count, barDuration, letters);
    ASSERT_EQ(count, 1u);
    u32 length = 0;
    const u8* buffer = getSongFeatureBuffer(&length);
    const std::vector<u8> stored(buffer, buffer + length);
    storeSongFingerprint(letters, count);
    buffer = getSongFeatureBuffer(&length);
    EXPECT_EQ(std::vector<u8>(buffer, buffer + length), stored);
}

// ---------------------------------------------------------------------------------------------
// The beat window query

class BeatWindow : public ::testing::Test {
protected:
    void SetUp() override {
        g_aSongBeats.release();
        emptyBeats(&g_aSongBeats);
        g_iCurrentBeat = 0;  // nothing delivered yet: the query answers all the same
    }
    void TearDown() override {
        setFatalErrorHook(nullptr);
        g_aSongBeats.release();
    }
};

TEST_F(BeatWindow, NearestAndStrongestTakeTheFirstOnTiesAndEdgesAreInside) {
    addBeat(1.0f, 2.0f);  // 0
    addBeat(1.5f, 3.0f);  // 1
    addBeat(2.0f, 3.0f);  // 2
    addBeat(3.0f, 1.0f);  // 3
    EXPECT_EQ(findNearestBeatInWindow(0, 1.75f, 1.0f, 1.0f, E_BEATWINDOW_NEAREST), 1);
    EXPECT_EQ(findNearestBeatInWindow(0, 2.0f, 1.0f, 1.0f, E_BEATWINDOW_STRONGEST), 1);
    EXPECT_EQ(findNearestBeatInWindow(2, 2.0f, 1.0f, 1.0f, E_BEATWINDOW_STRONGEST), 2);
    EXPECT_EQ(findNearestBeatInWindow(-5, 1.0f, 0.0f, 0.0f, E_BEATWINDOW_NEAREST), 0);
    EXPECT_EQ(findNearestBeatInWindow(0, 2.5f, 0.5f, 0.5f, E_BEATWINDOW_NEAREST), 2);
    EXPECT_EQ(findNearestBeatInWindow(3, 2.5f, 0.5f, 0.5f, E_BEATWINDOW_NEAREST), 3);
    EXPECT_EQ(findNearestBeatInWindow(0, 2.5f, 0.4f, 0.4f, E_BEATWINDOW_NEAREST), -1);
    g_aSongBeats.release();
    EXPECT_EQ(findNearestBeatInWindow(0, 3.0f, 1.0f, 1.0f, E_BEATWINDOW_NEAREST), -1);
}

TEST_F(BeatWindow, StrongestNeedsStrengthLooksAtSixtyFourBeatsAndOtherModesAreFatal) {
    addBeat(1.0f, 0.0f);
    EXPECT_EQ(findNearestBeatInWindow(0, 1.0f, 1.0f, 1.0f, E_BEATWINDOW_STRONGEST), -1);
    for (u32 i = 1; i < 70; ++i) addBeat(1.0f + 0.01f * f32(i), i == 66 ? 9.0f : 1.0f);
    EXPECT_EQ(findNearestBeatInWindow(0, 1.0f, 1.0f, 1.0f, E_BEATWINDOW_STRONGEST), 1);
    EXPECT_EQ(findNearestBeatInWindow(3, 1.0f, 1.0f, 1.0f, E_BEATWINDOW_STRONGEST), 66);
    // Mode 2 stops at the first beat it meets.
    EXPECT_EQ(findNearestBeatInWindow(0, 1.0f, 1.0f, 1.0f, E_BEATWINDOW_STRONGEST_STOP_AT_FIRST), -1);
    EXPECT_EQ(findNearestBeatInWindow(1, 1.0f, 1.0f, 1.0f, E_BEATWINDOW_STRONGEST_STOP_AT_FIRST), 1);
    setFatalErrorHook(throwOnFatal);
    EXPECT_THROW(findNearestBeatInWindow(0, 1.0f, 1.0f, 1.0f, 3), SFatal);
}
