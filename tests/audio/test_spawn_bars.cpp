// Spawn bars, spawn events, band envelopes and drop beats over made-up band values and over a
// generated song with loud and quiet sections; the beat window query they use.
#include "audio/analysis/spawn_bars.h"

#include "audio/analysis/beat_queries.h"
#include "audio/analysis/tempo_search.h"
#include "tests/support/audio_songs.h"

using namespace test_support;

namespace {

std::vector<f32> dropTimes() {
    std::vector<f32> times;
    for (const SBeat& beat : g_aSongBeats) {
        if (beat.flags & BEAT_FLAG_DROP) times.push_back(beat.time);
    }
    return times;
}

class SongFeatures : public SongFeaturesTest {
protected:
    void SetUp() override {
        SongFeaturesTest::SetUp();
        // Levels 1 to 4 give fixed targets (lo = hi) for the rise-pass cases.
        openSongFeatures("spawn_bar_range { { 2, 6 }; { 3, 3 }; { 4, 4 }; { 0, 0 }; { 9, 9 }; { 6, 14 }; };");
    }

    // A song of made-up band values, all 0; set levels with setLevel.
    static void makeSong(f32 frameDuration, u32 frameCount, u32 bandCount) {
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
    // Each event in the frames as frame x 100 + band x 10 + band level.
    static std::vector<u32> eventsInFrames(u32 first, u32 end) {
        std::vector<u32> events;
        for (const SSpawnEvent& e : getSongSpawnEvents()) {
            if (e.frame >= first && e.frame < end) events.push_back(e.frame * 100 + e.band * 10 + e.bandLevel);
        }
        return events;
    }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Worked values

TEST_F(SongFeatures, SilentMinuteAtOneHundredTwentySixFramesGivesOneHundredTwentyOneQuietBars) {
    // Bar frames follow the frame rate in single precision.
    EXPECT_EQ(spawnBarFrames(1.0f / 120.0f), 59u);
    EXPECT_EQ(spawnBarFrames(1.0f / 147.0f), 73u);
    EXPECT_EQ(spawnBandLevel(0.97f), 13);
    EXPECT_EQ(spawnBandLevel(0.0714f), 0);
    EXPECT_EQ(spawnBandLevel(std::nanf("")), 0);
    const f32 frameDuration = 1.0f / 126.0f;
    makeSong(frameDuration, 7560, 18);
    computeSongFeatures(0);
    const ClSpawnBarArray& bars = getSongSpawnBars();
    ASSERT_EQ(bars.count, 121u);
    for (u32 k = 0; k < bars.count; ++k) {  // silence asks for lo
        EXPECT_EQ(bars[k].time, f32(1 + 62 * k) * frameDuration);
        EXPECT_EQ(bars[k].level, 0.0f) << k;
        EXPECT_EQ(bars[k].smoothedLevel, 0.0f) << k;
        EXPECT_EQ(bars[k].spawnTarget, 2) << k;
    }
    EXPECT_EQ(findFirstAudibleTime(), 0.0f);
    // A time gives the index of its bar.
    EXPECT_EQ(timeToSpectrumFrame(bars[120].time), 120);
    for (f32 before : {0.0f, -3.0f, std::nanf("")}) EXPECT_EQ(timeToSpectrumFrame(before), 0);

    // Nothing rises, so the counting-all pass gives lo events of level 0 at each bar's start.
    ASSERT_EQ(getSongSpawnEvents().count, 121u * 2u);
    EXPECT_EQ(getSongSpawnEvents()[2].frame * 100 + getSongSpawnEvents()[2].bandLevel, 6300u);

    // A song too short for one bar has none.
    makeSong(frameDuration, 63, 18);
    computeSongFeatures(0);
    EXPECT_EQ(getSongSpawnBars().count, 0u);
    EXPECT_EQ(getSongSpawnEvents().count, 0u);
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
};

// Target 3: the step-two pass. Target 4: the step-one pass, stopped at the target. Target 0:
// still the first event met. Target 9, which the rises of 3 and 5 miss: the counting-all pass,
// frame 1's band 0 from level 0 up and the silent bands' level 0, then frame 2's until the target.
TEST_F(SpawnEvents, FirstPassThatReachesTheTargetIsKeptElseAllAreCountedOverEnvelopesBuiltOnce) {
    const std::pair<s32, std::vector<u32>> cases[] = {{4, {100, 101, 102, 103, 104, 105, 110, 120, 200}},
                                                      {1, {101, 103, 105}}, {2, {101, 102, 103, 104}}, {3, {101}}};
    for (const auto& [level, expected] : cases) {
        computeSongFeatures(level);
        EXPECT_EQ(eventsInFrames(1, 5), expected) << "level " << level;
    }
    // The second bar (frames 5 to 8) has no rise: with target 0 the step-two pass gives nothing.
    EXPECT_TRUE(eventsInFrames(5, 9).empty());

    // Envelopes average ten frames and are built once per song.
    f32* const envelopes = g_SongFeatures.bandEnvelopes;
    ASSERT_NE(envelopes, nullptr);
    // Frames 0..9 hold four of level 5, frames 4..13 one.
    EXPECT_EQ(g_SongFeatures.envelopeFrameCount, 20u);
    EXPECT_EQ(envelopes[0 * 3 + 0], 2.0f);
    EXPECT_EQ(envelopes[4 * 3 + 0], 0.5f);
    EXPECT_EQ(envelopes[0 * 3 + 1], 0.0f);
    setLevel(19, 2, 7);
    computeSongFeatures(1);
    EXPECT_EQ(g_SongFeatures.bandEnvelopes, envelopes);
    EXPECT_EQ(g_SongFeatures.bandEnvelopes[19 * 3 + 2], 0.0f);
}

TEST_F(SpawnEvents, MissingDifficultyEntryOrSectionIsFatal) {
    const std::string reason = fatalReasonOf([] { computeSongFeatures(6); });
    EXPECT_NE(reason.find("spawn_bar_range"), std::string::npos) << reason;
    EXPECT_NE(reason.find("difficulty 6"), std::string::npos) << reason;
    freeAllScripts();
    m_script.files["playbalance.txt"] = "spawn_bar_range { { 2 }; };";
    EXPECT_THROW(computeSongFeatures(0), SFatal);
    // A settings script that cannot be read is named, whatever script failed before it.
    freeAllScripts();
    m_script.files.erase("playbalance.txt");
    EXPECT_EQ(getScript("other.txt", 0), nullptr);
    m_script.files["other.txt"] = "x 1;";
    EXPECT_NE(getScript("other.txt", 0), nullptr);
    EXPECT_EQ(fatalReasonOf([] { computeSongFeatures(0); }),
              "playbalance.txt cannot be read from the data packages: it is missing or damaged");
}

// ---------------------------------------------------------------------------------------------
// Drop beats on made-up levels

// Exact in binary: bars of 64 frames start at 1, 65, ...; bar k lasts 0.5 s and its window is
// frames [64k + 65, 64k + 129).
constexpr f32 DROP_FRAME = 1.0f / 128.0f;

class DropBeats : public SongFeatures {
protected:
    // 40 s, loud (every band at 13) from 20 s on, silent before, after a first audible frame at
    // `audibleAt` seconds; beats every 0.25 s with strength 1.
    void makeDropSong(f32 audibleAt) {
        g_aSongBeats.release();
        emptyBeats(&g_aSongBeats);
        makeSong(DROP_FRAME, 40 * 128, 4);
        setLevel(u32(audibleAt / DROP_FRAME), 0, 1);
        for (u32 f = 20 * 128; f < 40 * 128; ++f) {
            for (u32 b = 0; b < 4; ++b) setLevel(f, b, 13);
        }
        for (f32 t = 0.0f; t < 40.0f; t += 0.25f) addSongBeat(t);
    }
};

TEST_F(DropBeats, LoudBarAfterTwoQuietOnesFlagsTheStrongestNearbyBeatOnceTheSongHasSounded) {
    makeDropSong(0.0f);
    // Bar 39 (t = 19.5 s, window from 20.0078 s) is the first loud one; bar 38 holds one loud
    // frame. The near window is [19, 20].
    const u32 at = u32(19.25f / 0.25f);
    g_aSongBeats[at].strength = 3.0f;
    g_aSongBeats[at].reserved = 7;
    computeSongFeatures(0);
    ASSERT_EQ(dropTimes(), (std::vector<f32>{19.25f}));
    const SBeat& drop = g_aSongBeats[at];
    EXPECT_EQ(drop.flags, BEAT_FLAG_DROP);
    EXPECT_EQ(drop.strength, DROP_BEAT_STRENGTH);
    EXPECT_EQ(drop.reserved, 0u);

    // No drop within five seconds of the first audible frame.
    makeDropSong(14.6f);  // t = 19.5 s is under 14.6 + 5
    computeSongFeatures(0);
    EXPECT_EQ(findFirstAudibleTime(), 1868.0f * DROP_FRAME);
    EXPECT_TRUE(dropTimes().empty());
    makeDropSong(14.5f);  // 19.5 s is at least 14.5 + 5
    computeSongFeatures(0);
    EXPECT_EQ(dropTimes().size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// A generated song: loud and quiet sections through the whole analysis

// 22,050 Hz mono, 40 s: from 2 s loud (noise, a bass tone and clicks at 120 BPM), quiet 3.5 to
// 5.5 s, loud again until 15 s, silent to 17.75 s, loud to the end. 17.75 s lies just after the
// start of bar 35's window [17.722, 18.214), so that one bar takes the whole rise (a rise split
// between two bars' windows leaves the bar before the loud one not quiet enough).
constexpr u32 SECTION_RATE = 22050;
constexpr f64 SECTION_SECONDS = 40.0;
bool loudAt(f64 t) { return (t >= 2.0 && t < 3.5) || (t >= 5.5 && t < 15.0) || t >= 17.75; }

std::vector<s16> makeSectionSong() {
    std::vector<f32> mono(size_t(SECTION_RATE * SECTION_SECONDS), 0.0f);
    u32 noise = 12345;
    for (size_t i = 0; i < mono.size(); ++i) {
        const f64 t = f64(i) / SECTION_RATE;
        if (!loudAt(t)) continue;
        noise = noise * 1664525u + 1013904223u;
        const f64 click = std::fmod(t, 0.5) < 0.01 ? 0.9 : 0.0;
        mono[i] = f32(0.25 * f64(s32(noise)) / 2147483648.0 + 0.3 * std::sin(2.0 * M_PI * 80.0 * t) + click);
    }
    return pcm16(mono, 1, 32000.0f);
}

TEST_F(SongFeatures, GeneratedSongGetsLevelsFromItsSectionsAndOneDropBeat) {
    ASSERT_EQ(runPassOver(makeSectionSong(), 1, SECTION_RATE), 0);
    analyseBeats();
    ASSERT_GT(g_aSongBeats.count, 20u);

    computeSongFeatures(5);
    const ClSpawnBarArray& bars = getSongSpawnBars();
    ASSERT_GT(bars.count, 70u);
    EXPECT_NEAR(findFirstAudibleTime(), 2.0f, 0.05f);
    for (u32 k = 0; k < bars.count; ++k) {
        SCOPED_TRACE(k);
        const SSpawnBar& bar = bars[k];
        EXPECT_LE(bar.smoothedLevel, 1.0f);
        EXPECT_LE(bar.spawnTarget, 14);
        // The bar's window is the half second that starts half a second after the bar.
        // Frames reach a window length either side of their start; keep clear of the edges.
        const f64 window = f64(bar.time) + 0.5;
        if (window + 0.55 > SECTION_SECONDS) continue;
        if (loudAt(window - 0.05) && loudAt(window + 0.55)) {
            EXPECT_GT(bar.rawLevel, DROP_LOUD_LEVEL);
            EXPECT_GT(bar.level, 0.5f);
        } else if (!loudAt(window - 0.05) && !loudAt(window + 0.55)) {
            EXPECT_EQ(bar.rawLevel, 0.0f);
            EXPECT_EQ(bar.spawnTarget, 6);
        }
    }

    // The drop after 3.5 to 5.5 s comes too soon after the first sound at 2 s; the one at bar 35
    // (t = 35 x 62 / 126 = 17.22 s) finds no beat within 0.5 s and flags the first loud one.
    const std::vector<f32> drops = dropTimes();
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_NEAR(drops[0], 17.96f, 0.26f);

    // The song-feature buffer holds the bars' fingerprint, enciphered as storeSongFingerprint does.
    char letters[FINGERPRINT_MAX_LETTERS];
    const f32 barDuration = spawnBarDuration(g_SpectrumAnalysis.header.frameDuration);
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

// No beat delivered yet: the query answers all the same.
class BeatWindow : public SongFeatures {
protected:
    // The beat found from index `first` within `width` seconds either side of `time`.
    static s32 find(s32 first, f32 time, f32 width, u32 mode) { return findNearestBeatInWindow(first, time, width, width, mode); }
    static constexpr u32 NEAREST = E_BEATWINDOW_NEAREST, STRONGEST = E_BEATWINDOW_STRONGEST;
};

TEST_F(BeatWindow, NearestAndStrongestTakeTheFirstOnTiesWithinSixtyFourBeatsAndEdgesAreInside) {
    for (const auto& [time, strength] : {std::pair(1.0f, 2.0f), {1.5f, 3.0f}, {2.0f, 3.0f}, {3.0f, 1.0f}})
        addSongBeat(time, strength);
    struct SCase {
        const char* name;
        s32 first;
        f32 time, width;
        u32 mode;
        s32 found;
    };
    const SCase cases[] = {
        {"nearest", 0, 1.75f, 1.0f, NEAREST, 1},
        {"strongest takes the first of equal strengths", 0, 2.0f, 1.0f, STRONGEST, 1},
        {"strongest from a later index", 2, 2.0f, 1.0f, STRONGEST, 2},
        {"a negative first index starts at 0; a zero width holds its own time", -5, 1.0f, 0.0f, NEAREST, 0},
        {"nearest takes the first of equal distances", 0, 2.5f, 0.5f, NEAREST, 2},
        {"both edges are inside", 3, 2.5f, 0.5f, NEAREST, 3},
        {"nothing inside", 0, 2.5f, 0.4f, NEAREST, -1},
    };
    for (const SCase& c : cases) EXPECT_EQ(find(c.first, c.time, c.width, c.mode), c.found) << c.name;
    g_aSongBeats.release();
    EXPECT_EQ(find(0, 3.0f, 1.0f, NEAREST), -1);
    emptyBeats(&g_aSongBeats);

    // The strongest needs strength and looks at sixty-four beats; other modes are fatal.
    addSongBeat(1.0f, 0.0f);
    EXPECT_EQ(find(0, 1.0f, 1.0f, STRONGEST), -1);
    for (u32 i = 1; i < 70; ++i) addSongBeat(1.0f + 0.01f * f32(i), i == 66 ? 9.0f : 1.0f);
    // Mode 2 stops at the first beat it meets.
    constexpr u32 STOP_AT_FIRST = E_BEATWINDOW_STRONGEST_STOP_AT_FIRST;
    EXPECT_EQ(find(0, 1.0f, 1.0f, STRONGEST), 1) << "beat 66 lies past the sixty-four looked at";
    EXPECT_EQ(find(3, 1.0f, 1.0f, STRONGEST), 66);
    EXPECT_EQ(find(0, 1.0f, 1.0f, STOP_AT_FIRST), -1) << "the first beat met has no strength";
    EXPECT_EQ(find(1, 1.0f, 1.0f, STOP_AT_FIRST), 1);
    EXPECT_THROW(find(0, 1.0f, 1.0f, 3), SFatal);
}
