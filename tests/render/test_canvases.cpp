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
    // Each edge and the scale of the named canvas, one fact each.
    static void expectRect(const char* name, const SCanvasRect& rect, f32 scale, const std::string& where) {
        const SCanvas* c = getCanvas(name);
        EXPECT_EQ(c->rect.left, rect.left) << name << " left, " << where;
        EXPECT_EQ(c->rect.right, rect.right) << name << " right, " << where;
        EXPECT_EQ(c->rect.top, rect.top) << name << " top, " << where;
        EXPECT_EQ(c->rect.bottom, rect.bottom) << name << " bottom, " << where;
        EXPECT_EQ(c->scale, scale) << name << " scale, " << where;
    }
};

TEST_F(Canvases, FullCoreAndSafeFollowTheBackBufferSize) {
    struct SCase {
        const char* name;
        f32 w, h;
        SCanvasRect full, core, safe;  // left, right, top, bottom
        f32 fullScale, coreScale, safeScale;
    };
    const SCase cases[] = {
        {"1080 lines", 1920, 1080, {0, 1920, 0, 1080}, {360, 1560, 90, 990}, {0, 1920, 0, 1080}, 1.0f, 1.0f, 1.0f},
        {"720 lines", 1280, 720, {0, 1280, 0, 720}, {240, 1040, 60, 660}, {0, 1280, 0, 720}, 720 / 1080.0f, 720 / 1080.0f, 720 / 1080.0f},
        {"4:3", 1024, 768, {0, 1024, 0, 768}, {112, 912, 84, 684}, {0, 1024, 0, 768}, 768 / 1080.0f, 720 / 1080.0f, 720 / 1080.0f},
        {"16:10", 1440, 900, {0, 1440, 0, 900}, {120, 1320, 0, 900}, {0, 1440, 0, 900}, 900 / 1080.0f, 1.0f, 1.0f},
        {"portrait", 480, 640, {0, 480, 0, 640}, {-160, 640, 20, 620}, {0, 480, 0, 640}, 640 / 1080.0f, 720 / 1080.0f, 720 / 1080.0f},
        {"below 480 lines", 320, 240, {0, 320, 0, 240}, {24, 296, 18, 222}, {0, 320, 0, 240}, 240 / 1080.0f, 240 / 1080.0f, 240 / 1080.0f},
    };
    for (const SCase& c : cases) {
        start(c.w, c.h);
        expectRect("FULL", c.full, c.fullScale, c.name);
        expectRect("43CORE", c.core, c.coreScale, c.name);
        expectRect("SAFE", c.safe, c.safeScale, c.name);
        releaseCanvases();
    }
    start(1280, 720);
    EXPECT_STREQ("_720", getCanvas("FULL")->suffix);
    ASSERT_EQ(3u, getCanvas("SAFE")->variantCount);
    EXPECT_STREQ("_480", getCanvas("SAFE")->variants[2].suffix);
    EXPECT_EQ(currentCanvas(), getCanvas("full"));
}

TEST_F(Canvases, PlacementAnchorsPivotsTheStackAndBadFlags) {
    start(1920, 1080);
    const SCanvasRect canvas{100, 500, 0, 300};
    const ClVec2 right = placeRectInCanvas(canvas, 10, 20, 100, 50, E_ALIGN_RIGHT | E_ALIGN_BOTTOM,
                                           E_ALIGN_RIGHT | E_ALIGN_BOTTOM, false);
    EXPECT_EQ(390, right.x);
    EXPECT_EQ(230, right.y);
    const ClVec2 centred = placeRectInCanvas(canvas, 0.3f, 0, 101, 51, E_ALIGN_CENTRE | E_ALIGN_MIDDLE,
                                             E_ALIGN_CENTRE | E_ALIGN_MIDDLE, true);
    EXPECT_EQ(250, centred.x);
    EXPECT_EQ(125, centred.y);
    // A pushed rectangle stands in for the canvas until it is popped; a pop too many does nothing.
    const SCanvas& full = *getCanvas("FULL");
    pushCanvasRect(canvas);
    EXPECT_EQ(100, alignRectInCurrentCanvas(full, 0, 0, 10, 10, E_ALIGN_LEFT | E_ALIGN_TOP, E_ALIGN_LEFT | E_ALIGN_TOP, true).x);
    popCanvasRect();
    popCanvasRect();
    EXPECT_EQ(0, alignRectInCurrentCanvas(full, 0, 0, 10, 10, E_ALIGN_LEFT | E_ALIGN_TOP, E_ALIGN_LEFT | E_ALIGN_TOP, true).x);
    EXPECT_EQ(fatalReasonOf([&] { placeRectInCanvas(canvas, 0, 0, 1, 1, E_ALIGN_TOP, E_ALIGN_LEFT | E_ALIGN_TOP, false); }),
              "canvas anchor flags 0x8 name no position on an axis");
    EXPECT_EQ(fatalReasonOf([&] { placeRectInCanvas(canvas, 0, 0, 1, 1, E_ALIGN_LEFT | E_ALIGN_TOP, E_ALIGN_LEFT, false); }),
              "canvas pivot flags 0x1 name no position on an axis");
    EXPECT_EQ(fatalReasonOf([] { getCanvas("NOPE"); }), "canvas \"NOPE\" is not defined");
    defineCanvas("FOURTH", 1080, 1080, 0, 0, 10, 10, 9, 9);
    EXPECT_EQ(fatalReasonOf([] { defineCanvas("FIFTH", 1080, 1080, 0, 0, 10, 10, 9, 9); }), "canvas \"FIFTH\": all 4 canvases are taken");
    releaseCanvases();
    EXPECT_EQ(fatalReasonOf([] { getCanvas("FULL"); }), "FULL: the canvases do not exist yet");
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
    buildSpriteQueueGeometry(0x100, 4, 1199, 0.0f);
    ASSERT_EQ(4u, batchVertexCount());
    const SBatchVertex* v = batchLockedVertices();
    // The quad's first and last corners: their place, shifted half a pixel, and their texture corners.
    EXPECT_EQ(v[0].x, 9.5f);
    EXPECT_EQ(v[0].y, 19.5f);
    EXPECT_EQ(v[3].x, 39.5f);
    EXPECT_EQ(v[3].y, 59.5f);
    EXPECT_EQ(v[0].u, 0.0f);
    EXPECT_EQ(v[0].v, 0.0f);
    EXPECT_EQ(v[3].u, 1.0f);
    EXPECT_EQ(v[3].v, 1.0f);
    // The whole range, in the sorted order.
    buildSpriteQueueGeometry(0x100, 0, 4000, 0.0f);
    EXPECT_EQ(v[4].x, 0.5f) << "layer 3, the material of pool index 2";
    EXPECT_EQ(v[8].x, -0.5f) << "layer 3, the material of pool index 7";
    EXPECT_EQ(v[12].x, 9.5f) << "layer 5";
    EXPECT_EQ(v[16].x, 0.5f) << "layer 4000";
    resetSortedSpriteQueue();
    EXPECT_EQ(0u, spriteQueueCount());
}

TEST_F(SpriteQueue, AFrameTheWorldFilledStillHoldsEveryQueuedQuad) {
    // The world takes all it can before the queue builds its geometry, as a field of debris does.
    while (reserveBatchGeometry(1, 3, 3).vertices) {
    }
    const u32 worldVertices = batchVertexCount();
    for (u32 i = 0; i < SPRITE_QUEUE_CAPACITY; ++i) addSpriteQuad(2000 + i % 100, &g_aMaterials[0], 0xFFFFFFFFu, 0, 0, 8, 8);
    sortSpriteQueue();
    buildSpriteQueueGeometry(0x4000, 1300, 3999, 0.0f);
    EXPECT_EQ(worldVertices + 4 * SPRITE_QUEUE_CAPACITY, batchVertexCount());
}

TEST_F(SpriteQueue, TheQuadAfterTheCapacityIsDroppedAndTargetsSizeTheProjection) {
    for (u32 i = 0; i <= SPRITE_QUEUE_CAPACITY; ++i) addSpriteQuad(1, &g_aMaterials[0], u32(i), 0, 0, 1, 1);
    EXPECT_EQ(SPRITE_QUEUE_CAPACITY, spriteQueueCount());
    EXPECT_EQ(SPRITE_QUEUE_CAPACITY - 1, spriteQueueQuad(SPRITE_QUEUE_CAPACITY - 1).colour);
    clearSpriteQueue();
    addSpriteQuadAligned(1, &g_aMaterials[0], 0, 0, 0, 10, 10, E_ALIGN_CENTRE | E_ALIGN_MIDDLE,
                         E_ALIGN_CENTRE | E_ALIGN_MIDDLE, true);
    EXPECT_EQ(spriteQueueQuad(0).x, 635);
    EXPECT_EQ(spriteQueueQuad(0).y, 355);
}

}  // namespace
