// The backdrop and its edge sparks, on the null renderer with the built data's materials: the
// speed and intensity the song gives, the streams filled after a reset, the bars' bands, the
// rings, and the sparks' directions, counts and trails, seen in the commands they draw.
#include "world/effects/backdrop.h"
#include "world/effects/edge_sparks.h"
#include "world/effects/weighted_table.h"

#include "audio/analysis/spawn_bars.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/play/beat_events.h"
#include "audio/play/song_clock.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "render/draw_lists.h"
#include "tests/world/atom_test_support.h"
#include "tests/world/world_test_support.h"
#include "ui/widget.h"
#include "world/entity/world.h"
#include "world/play/song_sound.h"
#include "world/processors/beat_subscribers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

using ::testing::AnyOf;

namespace {

class Backdrop : public NullDrawTest {
protected:
    void SetUp() override {
        NullDrawTest::SetUp();
        resetSongAnalysis();
        resetBeatAnalysis();
        resetBeatSubscriptions();
        sfmtInitGenRand(1234);
        setSongTime(0.0f);
        resetBackdrop();
    }
    void TearDown() override {
        releaseBackdrop();
        g_SpectrumAnalysis.header = SSpectrumHeader{};
        releaseSongAnalysis();
        releaseBeatAnalysis();
        g_aGameClocks[GAME_CLOCK_GAMEPLAY] = SGameClock{0.0f, 0.0};
        NullDrawTest::TearDown();
    }
    static void bars(std::initializer_list<f32> smoothedLevels) {
        for (f32 level : smoothedLevels) g_SongFeatures.bars.push(SSpawnBar{0, 0, 0, 0, 0, 0, level});
    }
    void bands(std::vector<f32> values) {
        m_bands = std::move(values);
        g_SpectrumAnalysis.header.bandCount = u32(m_bands.size());
        g_SpectrumAnalysis.header.frameCount = 1;
        g_SpectrumAnalysis.header.bandValues = m_bands.data();
        g_iSpectrumFrame = 0;
    }
    static void step(f32 dt) {
        setClockDelta(GAME_CLOCK_GAMEPLAY, dt);
        updateBackdrop();
    }
    // The z of every streak and the lowest x and highest z of every bar drawn this frame.
    struct SDrawnStreams {
        std::vector<f32> streakZ;
        std::vector<f32> barX;
        std::vector<f32> barZ;
    };
    static SDrawnStreams drawStreams() {
        clearDrawListHalf(PRODUCER_HALF);
        drawBackdropStreams();
        const SDrawListCounts counts = producerCounts();
        SDrawnStreams drawn;
        for (u32 i = 0; i < counts.lines; ++i) drawn.streakZ.push_back(drawListLines(PRODUCER_HALF)[i].start.z);
        for (u32 i = 0; i < counts.quads; ++i) {
            const SQuadCommand& quad = drawListQuads(PRODUCER_HALF)[i];
            f32 x = FLT_MAX, z = -FLT_MAX;
            for (const ClVec4& corner : quad.corners) {
                x = std::min(x, corner.x);
                z = std::max(z, corner.z);
            }
            drawn.barX.push_back(x);
            drawn.barZ.push_back(z);
        }
        return drawn;
    }
    std::vector<f32> m_bands;
};

TEST_F(Backdrop, SpeedAndIntensityFollowTheSpawnBarOfTheSongTime) {
    EXPECT_EQ(getBackdropSpeedTarget(3.0f), 50.0f) << "no bars";
    bars({0.0f, 1.0f, 0.25f});
    const f32 barSeconds = spawnBarDuration(g_SongFeatures.frameDuration);
    // Before the song the first bar, past the end the last one.
    EXPECT_EQ(getBackdropSpeedTarget(-2.0f), 50.0f);
    EXPECT_EQ(getBackdropSpeedTarget(1e6f), std::pow(0.25f, 1.732f) * 1000.0f + 50.0f);

    setSongTime(barSeconds * 1.5f);
    step(0.5f);
    EXPECT_EQ(getBackdropSpeed(), 105.0f);
    drawBackdropStreams();
    const SLineCommand& streak = drawListLines(PRODUCER_HALF)[0];
    EXPECT_FLOAT_EQ(streak.end.z - streak.start.z, 0.9305f * 52.5f) << "a head as long as the scroll step";
    EXPECT_FLOAT_EQ(getBackdropIntensity(), 0.9f);
    step(0.5f);
    EXPECT_FLOAT_EQ(getBackdropSpeed(), 105.0f + 945.0f * 0.1f);
    EXPECT_FLOAT_EQ(getBackdropIntensity(), 0.99f);
}

TEST_F(Backdrop, AResetThenOneUpdateFillsBothStreamsAndTheyScrollOut) {
    bands({0.5f, 0.1f, 0.9f});
    step(0.0f);
    const SDrawnStreams filled = drawStreams();
    // Streaks from just below 400 (the one spawned at 400 leaves at once) to just above -400.
    ASSERT_GT(filled.streakZ.size(), 30u);
    const auto [lowest, highest] = std::minmax_element(filled.streakZ.begin(), filled.streakZ.end());
    EXPECT_LT(*highest, 400.0f);
    EXPECT_GT(*highest, 370.0f);
    EXPECT_GT(*lowest, -400.0f);
    EXPECT_LT(*lowest, -370.0f);
    // A bar every 13 x 0.5 x 1 = 6.5 units on average over the 400.
    ASSERT_NEAR(f32(filled.barZ.size()), 400.0f / 6.5f, 8.0f);
    for (u32 i = 0; i < filled.barZ.size(); ++i) {
        EXPECT_GT(filled.barZ[i], 0.0f) << i;
        EXPECT_LE(filled.barZ[i], 400.0f) << i;
        EXPECT_THAT(filled.barX[i], AnyOf(0.0f, f32(325.0 / 3.0), f32(650.0 / 3.0)));
    }
    EXPECT_LT(*std::min_element(filled.barZ.begin(), filled.barZ.end()), 19.5f) << "one step short of the far edge at most";
    // At 1050 units per second everything has left within a second, and the streams are refilled.
    // A streak leaves in the frame after its tail, which trails it by (S - 100) x 0.163821, passes
    // 400.
    bars({1.0f});
    for (int i = 0; i < 120; ++i) step(1.0f / 60.0f);
    EXPECT_GT(getBackdropSpeed(), 1049.0f);
    const SDrawnStreams scrolled = drawStreams();
    const f32 tailLag = (getBackdropSpeed() - 100.0f) * 0.163821f;
    const f32 scroll = getBackdropSpeed() / 60.0f;
    const f32 nearest = *std::max_element(scrolled.streakZ.begin(), scrolled.streakZ.end());
    EXPECT_LE(nearest, 400.0f + tailLag + scroll);
    EXPECT_GT(nearest, 400.0f + tailLag - scroll);
    for (f32 z : scrolled.barZ) EXPECT_LT(z, 480.0f);
}

TEST_F(Backdrop, OneBandPutsEveryBarAtZeroAndNoBandsSpawnNone) {
    step(0.0f);
    EXPECT_EQ(drawStreams().barX.size(), 0u);
    bands({0.3f});
    step(0.0f);
    EXPECT_EQ(drawStreams().barX.size(), 0u) << "bands that come later resume the stream from the far edge";
    releaseBackdrop();
    resetBackdrop();
    step(0.0f);
    const SDrawnStreams drawn = drawStreams();
    ASSERT_GT(drawn.barX.size(), 0u);
    for (f32 x : drawn.barX) EXPECT_EQ(x, 0.0f);
}

TEST_F(Backdrop, SlowStreaksDrawTheirTailsAndBarsLieOnTheFloor) {
    bands({0.5f, 0.5f});
    step(1.0f / 60.0f);
    const SDrawnStreams drawn = drawStreams();
    const SDrawListCounts counts = producerCounts();
    // Gradient lines, one per streak: below 100 units per second.
    ASSERT_GT(counts.lines, 0u);
    EXPECT_EQ(counts.gradientLines, counts.lines);
    ASSERT_GT(counts.quads, 0u);
    const SQuadCommand& quad = drawListQuads(PRODUCER_HALF)[0];
    const f32 x = drawn.barX[0], z = drawn.barZ[0];
    const f32 z0 = std::max(z - 80.0f, 0.0f);
    for (const ClVec4& corner : quad.corners) {
        EXPECT_EQ(corner.y, 0.0f);
        EXPECT_THAT(corner.x, AnyOf(x, x + 15.5f));
        EXPECT_THAT(corner.z, AnyOf(z0, z));
    }
    EXPECT_EQ(quad.colour, 0x084040FFu);
    EXPECT_EQ(drawListLines(PRODUCER_HALF)[0].colour, 0x408080FFu);
}

TEST_F(Backdrop, RingsWidenAndFadeForSixSecondsAndSixteenAtMost) {
    for (int i = 0; i < 17; ++i) spawnBackdropRing(ClVec3(100.0f, 0.0f, 50.0f), i == 0);
    step(0.0f);
    ASSERT_EQ(producerCounts().quads, 16u);
    const SQuadCommand& wall = drawListQuads(PRODUCER_HALF)[15];
    EXPECT_EQ(wall.colour, 0xFF010420u) << "opaque at the start, in the water colour";
    // The first ring spans z.
    EXPECT_EQ(wall.corners[0].z, 40.0f);
    EXPECT_EQ(wall.corners[1].y, 1000.0f);
    EXPECT_EQ(wall.corners[2].z, 60.0f);
    EXPECT_EQ(wall.corners[3].x, 100.0f);
    clearDrawListHalf(PRODUCER_HALF);
    step(3.15f);
    EXPECT_EQ(drawListQuads(PRODUCER_HALF)[0].colour >> 24, 0u) << "(1 - 0.5)^15 x 255 truncates to 0";
    clearDrawListHalf(PRODUCER_HALF);
    step(3.15f);
    EXPECT_EQ(producerCounts().quads, 0u);
    // Their records are given back: a new ring has room.
    spawnBackdropRing(ClVec3(100.0f, 0.0f, 50.0f), 1);
    step(0.0f);
    EXPECT_EQ(producerCounts().quads, 1u);
}

TEST_F(Backdrop, TheRailsAreOneEntityOutsideTheWorldsListsWhileTheBackdropLives) {
    ASSERT_EQ(initWorld(), 1);
    resetBackdrop();
    EXPECT_EQ(usedEntityCount(), 1u);
    // Not in the live list: updated and drawn by the backdrop only.
    EXPECT_EQ(entityListCount(E_LIST_LIVE), 0u);
    releaseBackdrop();
    EXPECT_EQ(usedEntityCount(), 0u);
    shutdownWorld();
}

TEST_F(Backdrop, TheTimeLabelShowsTheSongsTimeLeftAndIsBlankBeforeAndAfter) {
    initWidgetRegistry();
    ClWidget* label = createWidget("playback_time_remaining");
    label->setWideText("dynamicUnicodeText", u"03:10");
    drawBackdropStreams();
    EXPECT_EQ(std::u16string(label->getWideText("dynamicUnicodeText")), u"");

    // A song of 100 s on the silent output: its time left, then blank once it has ended.
    setAudioEngineOutput(E_SOUNDOUTPUT_NOSOUND_MANUAL);
    ASSERT_EQ(initAudioEngine(0), 1);
    ASSERT_EQ(prepareSongSound(u"C:\\Music\\song.wav", 100.0f, 48000.0f), 1u);
    ASSERT_EQ(startSongCue(), 1u);
    label->setLocalizedId("localizedID", 77);
    drawBackdropStreams();
    EXPECT_EQ(std::u16string(label->getWideText("dynamicUnicodeText")), std::u16string(u"01:40"));
    EXPECT_EQ(label->getInt("localizedID"), 0);
    stopCue(getSongCue(), 0.0f);
    drawBackdropStreams();
    EXPECT_EQ(std::u16string(label->getWideText("dynamicUnicodeText")), u"");
    setSongCue({});
    shutdownAudioEngine();
    setAudioEngineOutput(E_SOUNDOUTPUT_AUTODETECT);
    releaseWidgetRegistry();
}

TEST(WeightedTable, PicksInProportionNeverAZeroWeightNorPastTheLast) {
    ClWeightedTable table;
    EXPECT_EQ(table.pickRandom(), -1);
    table.add(4, 1.0f);
    table.add(5, 0.0f);
    table.add(6, 3.0f);
    sfmtInitGenRand(99);
    u32 counts[3] = {};
    for (int i = 0; i < 4000; ++i) ++counts[table.pickRandom() - 4];
    EXPECT_EQ(counts[1], 0u);
    EXPECT_NEAR(counts[2], 3000u, 120u);
    // A draw that rounds up to 1.0 still picks the last weighted value.
    sfmtGenRand32();
    g_sfmtState.words[g_sfmtState.index] = 0xFFFFFFFFu;
    EXPECT_EQ(table.pickRandom(), 6);
}

// --- Edge sparks ------------------------------------------------------------------------------

// Each frame every spark and every trail record draws one glow, where it now is.
class EdgeSparks : public Backdrop {
protected:
    static std::vector<ClVec3> glowsOfAFrame(f32 dt) {
        clearDrawListHalf(PRODUCER_HALF);
        step(dt);
        std::vector<ClVec3> glows;
        for (u32 i = 0; i < producerCounts().sprites; ++i) {
            const ClVec4& at = drawListSprites(PRODUCER_HALF)[i].position;
            glows.push_back(ClVec3(at.x, at.y, at.z));
        }
        return glows;
    }
};

TEST_F(EdgeSparks, TheSideOfTheBurstOrientsTheFanAndSetsItsCount) {
    // x of the burst; the side's direction, the fan's spark count, the sparks' z.
    for (auto [x, direction, fan, z] :
         {std::tuple{5.0f, ClVec3(1, 0, 0), 30u, 77.0f}, {320.0f, ClVec3(-1, 0, 0), 30u, 77.0f},
          {10.0f, ClVec3(0, 0, 1), 60u, 0.0f}, {160.0f, ClVec3(0, 0, 1), 60u, 0.0f},
          {315.0f, ClVec3(0, 0, 1), 60u, 0.0f}}) {
        SCOPED_TRACE(x);
        releaseEdgeSparkPools();
        const ClVec3 d = getArenaSideDirection(ClVec3(x, 5.0f, 77.0f));
        EXPECT_EQ(d.x, direction.x);
        EXPECT_EQ(d.y, direction.y);
        EXPECT_EQ(d.z, direction.z);
        spawnEdgeSparks(ClVec3(x, 5.0f, 77.0f));
        // The first frame moves a spark by at most 2687.5 x 0.012: too little for a trail record.
        const std::vector<ClVec3> glows = glowsOfAFrame(0.0f);
        ASSERT_EQ(glows.size(), fan + 40);
        const ClVec3 burst(x, 5.0f, z);
        for (const ClVec3& glow : glows) {
            // The fan lies in the plane of up and n = up x d: the sparks move across d only.
            EXPECT_EQ(glow.dot(direction), burst.dot(direction));
            EXPECT_LE((glow - burst).length(), 32.25f);
        }
    }
}

TEST_F(EdgeSparks, ASparkLeavesTrailRecordsEverySpacingAlongItsWay) {
    SEdgeSpark spark{};
    spark.velocity = ClVec3(0.0f, 0.0f, 50.0f);
    spark.position = ClVec3(10.0f, 20.0f, 130.0f);
    spark.nextTrail = 10.0f;
    spark.trailSpacing = 40.0f;
    spark.trailSize = 0.0f;
    EXPECT_EQ(emitSparkTrail(&spark, ClVec3(10.0f, 20.0f, 30.0f)), 3u);
    // Drawn last to first, where they were left: a record's drift starts after its first frame.
    const std::vector<ClVec3> trail = glowsOfAFrame(0.0f);
    ASSERT_EQ(trail.size(), 3u);
    EXPECT_EQ(trail[0].z, 120.0f);
    EXPECT_EQ(trail[1].z, 80.0f);
    EXPECT_EQ(trail[2].z, 40.0f);
    EXPECT_EQ(spark.nextTrail, 30.0f);
    spark.position.z += 25.0f;  // less than the distance left
    EXPECT_EQ(emitSparkTrail(&spark, ClVec3(10.0f, 20.0f, 130.0f)), 0u);
    EXPECT_EQ(spark.nextTrail, 5.0f);

    // A full trail pool skips the records, not the walk: a record every unit for 4200 units.
    spark.trailSpacing = 1.0f;
    spark.position.z += 4200.0f;
    EXPECT_EQ(emitSparkTrail(&spark, ClVec3(10.0f, 20.0f, 155.0f)), 4196u);
    EXPECT_EQ(glowsOfAFrame(0.0f).size(), SPARK_TRAIL_CAPACITY);
    EXPECT_EQ(spark.nextTrail, 1.0f);
}

TEST_F(EdgeSparks, SparksSlowFallAndGlowInTheCoronaColour) {
    spawnEdgeSparks(ClVec3(160.0f, 0.5f, 50.0f));
    clearDrawListHalf(PRODUCER_HALF);
    step(1.0f / 60.0f);
    EXPECT_EQ(drawListSprites(PRODUCER_HALF)[0].colour, 0xFF0020FFu);
    // After three seconds every spark and every trail record has burnt out or fallen below the floor.
    for (int i = 0; i < 179; ++i) step(1.0f / 60.0f);
    EXPECT_EQ(glowsOfAFrame(1.0f / 60.0f).size(), 0u);
}

}  // namespace
