// The equaliser strip and the beat-analysis view append what they should to the draw lists: the
// worked ceilings, levels and packed columns, the lines alone before a song, and the view's window
// and beat sprites. Materials come from the built data on the null renderer.
#include "world/effects/beat_analysis_view.h"
#include "world/effects/equaliser_display.h"
#include "world/effects/equaliser_state.h"

#include "audio/analysis/beat.h"
#include "audio/analysis/spectrum_analysis.h"
#include "audio/analysis/tempo_search.h"
#include "audio/play/song_clock.h"
#include "core/saved_options.h"
#include "render/draw_lists.h"
#include "tests/world/atom_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(EqualiserLayout, CeilingRowsAndPackedColumnsFollowTheWorkedValues) {
    EXPECT_EQ(equaliserCeilingRow(100.0f), 13);

    // Pan, the first and last band's columns, the edge.
    for (auto [pan, firstColumn, lastColumn, edgeWanted] : {std::tuple{1.0f, 13, 17, 234.72f}, {-1.0f, 0, 3, 72.22f},
                                                            {0.5f, 6, 17, 108.33f}, {0.0f, 0, 17, 0.0f}}) {
        SCOPED_TRACE(pan);
        f32 edge = -1.0f;
        EXPECT_EQ(equaliserColumnForBand(0, 18, pan, &edge), firstColumn);
        EXPECT_EQ(equaliserColumnForBand(17, 18, pan, &edge), lastColumn);
        EXPECT_NEAR(edge, edgeWanted, 0.01f);
    }
}

class EqualiserDisplay : public NullDrawTest {
protected:
    void SetUp() override {
        NullDrawTest::SetUp();
        resetSongAnalysis();
        m_bands = {0.97f, 0.0714f, 0.0715f, 0.5f};
        SSpectrumHeader& header = g_SpectrumAnalysis.header;
        header.bandCount = 4;
        header.frameCount = 1;
        header.bandValues = m_bands.data();
        g_fGuardianLevel = g_fGuardianRise = g_fEqualiserPan = 0.0f;
    }
    void TearDown() override {
        g_SpectrumAnalysis.header = SSpectrumHeader{};
        g_SavedOptions = defaultSavedOptions();
        NullDrawTest::TearDown();
    }
    std::vector<f32> m_bands;
};

// Levels light cells from the base, a full guardian blocks every cell, bloom off fixes the
// highlight alpha, and the song's run-up draws only the lines.
TEST_F(EqualiserDisplay, LevelsAndTheGuardianSetTheCellsAndTheRunUpDrawsOnlyTheLines) {
    drawEqualiserDisplay(-1);
    EXPECT_EQ(producerCounts().lines, 3u);
    EXPECT_EQ(producerCounts().quads, 0u);
    EXPECT_FLOAT_EQ(g_fEqualiserCeiling, f32(13 * EQ_ROW_PITCH));

    clearDrawListHalf(PRODUCER_HALF);
    drawEqualiserDisplay(0);
    // Levels 13, 0, 1 and 7: lit cells, and highlights at rows 0, 5 and 10 below the level.
    EXPECT_EQ(producerCounts().quads, 13u + 0u + 1u + 7u);
    EXPECT_EQ(producerCounts().sprites, 3u + 0u + 1u + 2u);
    EXPECT_THAT(drawListQuads(PRODUCER_HALF)[0].colour >> 24, testing::AnyOf(240u, 222u));
    EXPECT_THAT(drawListQuads(PRODUCER_HALF)[12].colour >> 24, testing::AnyOf(24u, 6u));
    EXPECT_FLOAT_EQ(drawListQuads(PRODUCER_HALF)[13].corners[0].x, f32(325.0 / 4 * 2)) << "band 2 in column 2";

    clearDrawListHalf(PRODUCER_HALF);
    g_fGuardianLevel = 1000.0f;
    drawEqualiserDisplay(0);
    // 13 blocked cells in each column, none lit.
    EXPECT_EQ(producerCounts().quads, 13u * 4u);
    EXPECT_EQ(producerCounts().sprites, 0u);
    EXPECT_EQ(g_fEqualiserCeiling, 0.0f);
    EXPECT_EQ(drawListQuads(PRODUCER_HALF)[0].colour >> 24, 0x18u);

    clearDrawListHalf(PRODUCER_HALF);
    g_fGuardianLevel = 0.0f;
    g_SavedOptions.bloom = 0;
    drawEqualiserDisplay(0);
    EXPECT_EQ(drawListSprites(PRODUCER_HALF)[0].colour >> 24, 0xE5u);
}

TEST_F(EqualiserDisplay, TheBeatViewHoldsFourSecondsAndMovesPastPlayedBeatsOnly) {
    const f32 frameDuration = 1.0f / 126.0f;
    EXPECT_EQ(beatViewWindowFrames(frameDuration), 503u);
    g_BeatAnalysis.frameDuration = frameDuration;
    g_BeatAnalysis.frameCount = 0;  // no energies: the columns are skipped, the beats still handled
    emptyBeats(&g_aSongBeats);
    for (const f32 time : {9.0f, 10.0f, 13.99f, 14.0f}) pushBeat(&g_aSongBeats, SBeat{time, 0.0f, 0, 0, {}});
    g_iCurrentBeat = 0;
    setSongTime(10.0f);
    drawBeatAnalysisView();
    // A beat at the song time is not passed; only the beat at 13.99 s is inside the window.
    EXPECT_EQ(g_iCurrentBeat, 1);
    EXPECT_EQ(producerCounts().sprites, 1u);
    EXPECT_EQ(producerCounts().quads, 0u);
    g_aSongBeats.release();
    g_iCurrentBeat = 0;
    setSongTime(0.0f);
}

}  // namespace
