#include "core/crit_section_pool.h"
#include "core/task_layer.h"
#include "render/batcher.h"
#include "render/draw_lists.h"
#include "render/render_worker.h"
#include "null_renderer_frames.h"
#include "render/render_target.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const SMaterial* material(u32 i) {
    static char storage[4];
    return reinterpret_cast<const SMaterial*>(storage + i);
}

ClVec4 eyeAt(f32 x, f32 y, f32 z) {
    ClVec4 eye;
    eye.set(x, y, z, 0.0f);
    return eye;
}

// Appends without a renderer: with flip index 0 the main thread fills half 1.
class DrawListAppends : public ::testing::Test {
protected:
    void SetUp() override {
        resetRenderFlipIndex();
        clearDrawListHalf(0);
        clearDrawListHalf(1);
        setCurrentDrawOwner(nullptr);
    }
};

// Built by the render worker on the null renderer, from the half handed over (which half, and
// its clearing, are checked frame by frame in DrawListHandOff).
using DrawLists = NullRendererFrames;

TEST_F(DrawListAppends, EachHalfRefusesItsLastRecordAndTheQuadLimitStopsTheProgram) {
    for (u32 i = 0; i < SPRITE_COMMAND_CAPACITY - 1; ++i)
        ASSERT_NE(nullptr, appendSpriteCommand(ClVec3(), 1.0f, 0, material(0), 1, 0.0f));
    EXPECT_EQ(nullptr, appendSpriteCommand(ClVec3(), 1.0f, 0, material(0), 1, 0.0f));
    for (u32 i = 0; i < LINE_COMMAND_CAPACITY; ++i) {
        appendLineCommand(ClVec3(), ClVec3(1, 0, 0), 1.0f, 0, material(0), 1.0f, 1, 1);
        appendGradientLineCommand(ClVec3(), ClVec3(1, 0, 0), 1.0f, 1.0f, 0, 0, material(0), 1);
    }
    for (u32 i = 0; i < QUAD_COMMAND_CAPACITY; ++i)
        appendQuadCommandCorners(ClVec3(), ClVec3(), ClVec3(), ClVec3(), 0, material(0), 1);
    const SDrawListCounts counts = drawListCounts(1);
    EXPECT_EQ(15999u, counts.sprites);
    EXPECT_EQ(15999u, counts.lines);
    EXPECT_EQ(15999u, counts.gradientLines);
    EXPECT_EQ(4999u, counts.quads);
    EXPECT_EQ(0u, drawListCounts(0).sprites);

    EXPECT_EXIT(appendQuadCommand(ClVec3(), ClVec3(0, 0, 1), ClVec3(1, 0, 0), 1, 1, 0, material(0), 1, 0),
                ::testing::ExitedWithCode(3), "appendQuadCommand: 4999 quads are already queued");
    clearDrawListHalf(1);
    for (u32 i = 0; i < QUAD_COMMAND_CAPACITY - 2; ++i)
        appendCentredQuadCommandUV(ClVec3(), ClVec3(0, 0, 1), ClVec3(1, 0, 0), 1, 1, 0, material(0), ClVec2(), ClVec2(1, 1), 1, 0);
    EXPECT_EXIT(appendCentredQuadCommandUV(ClVec3(), ClVec3(0, 0, 1), ClVec3(1, 0, 0), 1, 1, 0, material(0), ClVec2(),
                                           ClVec2(1, 1), 1, 0),
                ::testing::ExitedWithCode(3), "appendCentredQuadCommandUV: 4998 quads are already queued");
}

TEST_F(DrawLists, PassesSelectByAllTheirBitsExcludeMasksTrimObjectsAndOwnersGiveKeyAndEye) {
    ClRenderTargetGroup preview(64.0f, 64.0f, 0);
    preview.eyePoint = eyeAt(10, 0, 0);
    ASSERT_EQ(1, registerBatchTarget(reinterpret_cast<BatchKey>(&preview)));
    appendSpriteCommand(ClVec3(), 2.0f, 0xFF00FF00u, material(0), 0x62, 0.0f);
    appendSpriteCommand(ClVec3(), 2.0f, 0, material(0), 0x42, 0.0f);  // lacks 0x20
    setCurrentDrawOwner(&preview);
    appendSpriteCommand(ClVec3(), 2.0f, 0, material(1), 0x22, 0.0f);
    setCurrentDrawOwner(nullptr);
    handOff([] { buildDrawCommands(0x22, eyeAt(0, 0, 10), 0x40); });
    ASSERT_EQ(8u, batchVertexCount());

    // The main scene's sprite faces +z: its right is -x, its up +y.
    const SBatchVertex* v = batchLockedVertices();
    EXPECT_FLOAT_EQ(-1.0f, v[0].x);
    EXPECT_FLOAT_EQ(1.0f, v[0].y);
    EXPECT_EQ(0xFF00FF00u, v[0].colour);
    EXPECT_EQ(1.0f, v[1].v);
    // The preview's sprite faces its group's eye on +x.
    EXPECT_FLOAT_EQ(0.0f, v[4].x);
    EXPECT_FLOAT_EQ(1.0f, std::fabs(v[4].z));

    buildLayerDrawList(0, 0x40, false, false);  // the exclude mask took 0x40 off
    EXPECT_EQ(0u, batchRunCount(0, 0));
    buildLayerDrawList(1, 0x22, false, false);
    EXPECT_EQ(1u, batchRunCount(1, 0));
    EXPECT_EQ(material(1), batchRuns(1, reinterpret_cast<BatchKey>(&preview))[0].material);
}

TEST(DrawListSlices, LinesAreCutIntoAtMostThirtyTwoRoundedUpSlices) {
    EXPECT_EQ(5u, lineSliceSize(10, 2));
    EXPECT_EQ(5u, lineSliceSize(10, 1));
    EXPECT_EQ(4u, lineSliceSize(100, 64));   // 32 slices, 25 jobs
    EXPECT_EQ(32u, lineSliceSize(1000, 64)); // 32 jobs
    EXPECT_EQ(1u, lineSliceSize(17, 64));
}

TEST_F(DrawLists, LineJobsWriteEveryLineOfThePassAndAnEmptyPassReservesNothing) {
    for (u32 i = 0; i < 100; ++i)
        appendLineCommand(ClVec3(0, f32(i), 0), ClVec3(10, f32(i), 0), 0.5f, i, material(0), 1.0f, 1, i % 2 ? 0x24 : 0x04);
    u32 emptyPassJobs = 99;
    u32 emptyPassVertices = 99;
    handOff([&] {
        buildDrawCommands(0x08, eyeAt(5, 0, 100), 0);
        emptyPassJobs = lastLineJobCount();
        emptyPassVertices = batchVertexCount();
        buildDrawCommands(0x24, eyeAt(5, 0, 100), 0);
    });
    EXPECT_EQ(0u, emptyPassJobs);
    EXPECT_EQ(0u, emptyPassVertices);
    ASSERT_EQ(400u, batchVertexCount());
    EXPECT_GE(lastLineJobCount(), 2u);
    EXPECT_LE(lastLineJobCount(), DRAW_BUILD_JOB_CAPACITY);
    const SBatchVertex* v = batchLockedVertices();
    for (u32 line = 0; line < 50; ++line) {
        const f32 y = f32(2 * line + 1);
        EXPECT_EQ(2 * line + 1, v[8 * line].colour);
        const SBatchVertex& a = v[8 * line];
        const SBatchVertex& b = v[8 * line + 1];
        // The first two vertices straddle the start cap's end, one width either side.
        EXPECT_NEAR(-0.5f, 0.5f * (a.x + b.x), 1e-4f);
        EXPECT_NEAR(y, 0.5f * (a.y + b.y), 1e-4f);
        EXPECT_NEAR(1.0f, std::hypot(a.y - b.y, a.z - b.z), 1e-4f);
        EXPECT_NEAR(10.5f, 0.5f * (v[8 * line + 6].x + v[8 * line + 7].x), 1e-4f);
    }
    buildLayerDrawList(0, 0x24, false, false);
    EXPECT_EQ(50u * 18u, batchIndexWritePosition());
    EXPECT_EQ(1u + 8u * 49u, batchLockedIndices()[18 * 49 + 1]);
}

TEST_F(DrawLists, GradientLinesCarryTheirWidthRatioAndStayFiniteWhenTheyEndInAPoint) {
    appendGradientLineCommand(ClVec3(0, 0, 0), ClVec3(10, 0, 0), 2.0f, 1.0f, 0xAAu, 0xBBu, material(0), 1);
    appendGradientLineCommand(ClVec3(0, 0, 0), ClVec3(10, 0, 0), 2.0f, 0.0f, 0xAAu, 0xBBu, material(0), 1);
    appendGradientLineCommand(ClVec3(0, 0, 0), ClVec3(10, 0, 0), 2.0f, -1.0f, 0xAAu, 0xBBu, material(0), 1);
    handOff([] { buildDrawCommands(1, eyeAt(5, 0, 50), 0); });
    ASSERT_EQ(24u, batchVertexCount());
    const SBatchVertex* v = batchLockedVertices();
    EXPECT_EQ(2.0f, v[0].nx);
    EXPECT_EQ(2.0f, v[1].v);
    EXPECT_EQ(1.0f, v[4].nx);
    EXPECT_EQ(0xAAu, v[3].colour);
    EXPECT_EQ(0xBBu, v[4].colour);
    EXPECT_NEAR(4.0f, std::fabs(v[0].y - v[1].y), 1e-5f);
    EXPECT_NEAR(2.0f, std::fabs(v[4].y - v[5].y), 1e-5f);
    for (u32 i = 8; i < 24; ++i) {
        EXPECT_TRUE(std::isfinite(v[i].nx) && std::isfinite(v[i].v) && std::isfinite(v[i].x)) << i;
    }
}

TEST_F(DrawLists, EveryQuadIsConvertedWithItsCornersTextureCoordinatesAndDepth) {
    appendCentredQuadCommandUV(ClVec3(0, 0, 0), ClVec3(0, 0, 1), ClVec3(1, 0, 0), 4.0f, 2.0f, 0x11u, material(0),
                               ClVec2(0.25f, 0.5f), ClVec2(0.75f, 1.0f), 0x100, 3.0f);
    appendQuadCommandCorners(ClVec3(1, 1, 1), ClVec3(2, 2, 2), ClVec3(3, 3, 3), ClVec3(4, 4, 4), 0x22u, material(1), 0);
    handOff([] { buildQuadCommands(); });
    ASSERT_EQ(8u, batchVertexCount());
    const SBatchVertex* v = batchLockedVertices();
    // b = a x n = (1, 0, 0) x (0, 0, 1) = (0, -1, 0).
    const f32 expected[4][4] = {{-2, 1, 0.25f, 0.5f}, {-2, -1, 0.25f, 1.0f}, {2, 1, 0.75f, 0.5f}, {2, -1, 0.75f, 1.0f}};
    for (u32 i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(expected[i][0], v[i].x) << i;
        EXPECT_FLOAT_EQ(expected[i][1], v[i].y) << i;
        EXPECT_EQ(expected[i][2], v[i].u) << i;
        EXPECT_EQ(expected[i][3], v[i].v) << i;
    }
    EXPECT_EQ(4.0f, v[7].x);
    EXPECT_EQ(1.0f, v[7].u);
    buildLayerDrawList(0, 0, true, false);
    // Far first: the UV quad (depth 3) before the corner quad (depth 0).
    EXPECT_EQ(material(0), batchRuns(0, 0)[0].material);
    EXPECT_EQ(material(1), batchRuns(0, 0)[1].material);
}

}  // namespace
