#include "core/crit_section_pool.h"
#include "render/batcher.h"
#include "render/canvases.h"
#include "render/materials.h"
#include "render/render_device.h"
#include "render/sprite_queue.h"
#include "tests/support/fatal_catch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using test_support::fatalReasonOf;

class Canvases : public test_support::FatalThrowingTest {
protected:
    void start(f32 width, f32 height) {
        createCanvases(width, height);
        defineStartupCanvases(width, height);
    }
    void TearDown() override {
        releaseCanvases();
        FatalThrowingTest::TearDown();
    }
    static std::vector<f32> rectOf(const char* name) {
        const SCanvas* c = getCanvas(name);
        return {c->rect.left, c->rect.right, c->rect.top, c->rect.bottom, c->scale};
    }
};

TEST_F(Canvases, FullCoreAndSafeFollowTheBackBufferSize) {
    struct SCase {
        f32 w, h;
        std::vector<f32> full, core, safe;  // left, right, top, bottom, scale
    };
    const SCase cases[] = {
        {1920, 1080, {0, 1920, 0, 1080, 1.0f}, {360, 1560, 90, 990, 1.0f}, {0, 1920, 0, 1080, 1.0f}},
        {1280, 720, {0, 1280, 0, 720, 720 / 1080.0f}, {240, 1040, 60, 660, 720 / 1080.0f}, {0, 1280, 0, 720, 720 / 1080.0f}},
        {1024, 768, {0, 1024, 0, 768, 768 / 1080.0f}, {112, 912, 84, 684, 720 / 1080.0f}, {0, 1024, 0, 768, 720 / 1080.0f}},
        {1440, 900, {0, 1440, 0, 900, 900 / 1080.0f}, {120, 1320, 0, 900, 1.0f}, {0, 1440, 0, 900, 1.0f}},
        {480, 640, {0, 480, 0, 640, 640 / 1080.0f}, {-160, 640, 20, 620, 720 / 1080.0f}, {0, 480, 0, 640, 720 / 1080.0f}},
        {320, 240, {0, 320, 0, 240, 240 / 1080.0f}, {24, 296, 18, 222, 240 / 1080.0f}, {0, 320, 0, 240, 240 / 1080.0f}},
    };
    for (const SCase& c : cases) {
        start(c.w, c.h);
        EXPECT_EQ((std::vector{rectOf("FULL"), rectOf("43CORE"), rectOf("SAFE")}), (std::vector{c.full, c.core, c.safe})) << c.w << "x" << c.h;
        releaseCanvases();
    }
    start(1280, 720);
    EXPECT_STREQ("_720", getCanvas("FULL")->suffix);
    ASSERT_EQ(3u, getCanvas("SAFE")->variantCount);
    EXPECT_STREQ("_480", getCanvas("SAFE")->variants[2].suffix);
    EXPECT_EQ(currentCanvas(), getCanvas("full"));
    const ClVec2 p = canvasPointToScreen("FULL", 100, 100), back = screenToCanvas(*getCanvas("43CORE"), 240 + 40, 60 + 20);
    EXPECT_EQ(std::vector<f32>({67, 67, 60, 30}), std::vector<f32>({p.x, p.y, back.x, back.y}));
}

TEST_F(Canvases, PlacementAnchorsPivotsTheStackAndBadFlags) {
    start(1920, 1080);
    const SCanvasRect canvas{100, 500, 0, 300};
    const ClVec2 right = placeRectInCanvas(canvas, 10, 20, 100, 50, E_ALIGN_RIGHT | E_ALIGN_BOTTOM,
                                           E_ALIGN_RIGHT | E_ALIGN_BOTTOM, false);
    EXPECT_EQ(std::vector<f32>({390, 230}), std::vector<f32>({right.x, right.y}));
    const ClVec2 centred = placeRectInCanvas(canvas, 0.3f, 0, 101, 51, E_ALIGN_CENTRE | E_ALIGN_MIDDLE,
                                             E_ALIGN_CENTRE | E_ALIGN_MIDDLE, true);
    EXPECT_EQ(std::vector<f32>({250, 125}), std::vector<f32>({centred.x, centred.y}));
    pushCanvasRect(canvas);
    const ClVec2 inTop = alignRectInNamedCanvas("FULL", 0, 0, 10, 10, E_ALIGN_LEFT | E_ALIGN_TOP, E_ALIGN_LEFT | E_ALIGN_TOP);
    EXPECT_EQ(std::vector<f32>({100, 0}), std::vector<f32>({inTop.x, inTop.y}));
    popCanvasRect();
    popCanvasRect();
    EXPECT_EQ(0u, canvasStackDepth());
    EXPECT_EQ(fatalReasonOf([&] { placeRectInCanvas(canvas, 0, 0, 1, 1, E_ALIGN_TOP, E_ALIGN_LEFT | E_ALIGN_TOP, false); }),
              "canvas anchor flags 0x8 name no position on an axis");
    EXPECT_EQ(fatalReasonOf([&] { placeRectInCanvas(canvas, 0, 0, 1, 1, E_ALIGN_LEFT | E_ALIGN_TOP, E_ALIGN_LEFT, false); }),
              "canvas pivot flags 0x1 name no position on an axis");
    EXPECT_EQ(fatalReasonOf([] { canvasPointToScreen("NOPE", 0, 0); }), "canvas \"NOPE\" is not defined");
    defineCanvas("FOURTH", 1080, 1080, 0, 0, 10, 10, 9, 9);
    EXPECT_EQ(fatalReasonOf([] { defineCanvas("FIFTH", 1080, 1080, 0, 0, 10, 10, 9, 9); }), "canvas \"FIFTH\": all 4 canvases are taken");
    releaseCanvases();
    EXPECT_EQ(fatalReasonOf([] { canvasPointToScreen("FULL", 0, 0); }), "FULL: the canvases do not exist yet");
}

// Materials are only compared by pool index here.
SMaterial g_aMaterials[2] = {{nullptr, nullptr, 0, 7}, {nullptr, nullptr, 0, 2}};

class SpriteQueue : public ::testing::Test {
protected:
    void SetUp() override {
        critSectionPoolInit();
        setScreenSize(1280, 720);
        initSpriteQueue();
        createBatchBuffers(true);
        beginBatchFrame();
    }
    void TearDown() override {
        releaseBatchBuffers();
        shutdownSpriteQueue();
        releaseCanvases();
    }
};

TEST_F(SpriteQueue, SortsByLayerThenMaterialAndBuildsShiftedQuadsOfALayerRange) {
    addSpriteQuad(5, &g_aMaterials[1], 0xFF0000FFu, 10, 20, 30, 40);
    addSpriteQuad(3, &g_aMaterials[0], 0xFF00FF00u, 0, 0, 8, 8);
    addSpriteQuad(3, &g_aMaterials[1], 0xFFFF0000u, 1, 1, 8, 8);
    addSpriteQuad(4000, &g_aMaterials[1], 0xFFFF0000u, 1, 1, 8, 8);
    sortSpriteQueue();
    EXPECT_EQ(std::vector<u16>({2, 1, 0, 3}), std::vector<u16>(spriteQueueOrder(), spriteQueueOrder() + 4));
    buildSpriteQueueGeometry(0x100, 4, 1199, 0.0f);
    ASSERT_EQ(1u, batchObjectCount());
    const SBatchVertex* v = batchLockedVertices();
    EXPECT_EQ(std::vector<f32>({9.5f, 19.5f, 39.5f, 19.5f, 9.5f, 59.5f, 39.5f, 59.5f}),
              std::vector<f32>({v[0].x, v[0].y, v[1].x, v[1].y, v[2].x, v[2].y, v[3].x, v[3].y}));
    EXPECT_EQ(std::vector<f32>({0, 0, 1, 1}), std::vector<f32>({v[0].u, v[0].v, v[3].u, v[3].v}));
    resetSortedSpriteQueue();
    EXPECT_EQ(0u, spriteQueueCount());
}

TEST_F(SpriteQueue, AFrameTheWorldFilledStillHoldsEveryQueuedQuad) {
    // The world takes all it can before the queue builds its geometry, as a field of debris does.
    while (reserveBatchGeometry(1, 3, 3).vertices) {
    }
    const u32 worldObjects = batchObjectCount();
    for (u32 i = 0; i < SPRITE_QUEUE_CAPACITY; ++i) addSpriteQuad(2000 + i % 100, &g_aMaterials[0], 0xFFFFFFFFu, 0, 0, 8, 8);
    sortSpriteQueue();
    buildSpriteQueueGeometry(0x4000, 1300, 3999, 0.0f);
    EXPECT_EQ(worldObjects + SPRITE_QUEUE_CAPACITY, batchObjectCount());
}

TEST_F(SpriteQueue, TheQuadAfterTheCapacityIsDroppedAndTargetsSizeTheProjection) {
    for (u32 i = 0; i <= SPRITE_QUEUE_CAPACITY; ++i) addSpriteQuad(1, &g_aMaterials[0], u32(i), 0, 0, 1, 1);
    EXPECT_EQ(SPRITE_QUEUE_CAPACITY, spriteQueueCount());
    EXPECT_EQ(SPRITE_QUEUE_CAPACITY - 1, spriteQueueQuad(SPRITE_QUEUE_CAPACITY - 1).colour);
    addSpriteQuadAligned(1, &g_aMaterials[0], 0, 0, 0, 10, 10, E_ALIGN_CENTRE | E_ALIGN_MIDDLE,
                         E_ALIGN_CENTRE | E_ALIGN_MIDDLE, true);
    EXPECT_EQ(SPRITE_QUEUE_CAPACITY, spriteQueueCount());
    clearSpriteQueue();
    addSpriteQuadAligned(1, &g_aMaterials[0], 0, 0, 0, 10, 10, E_ALIGN_CENTRE | E_ALIGN_MIDDLE,
                         E_ALIGN_CENTRE | E_ALIGN_MIDDLE, true);
    EXPECT_EQ(std::vector<f32>({635, 355}), std::vector<f32>({spriteQueueQuad(0).x, spriteQueueQuad(0).y}));
}

}  // namespace
