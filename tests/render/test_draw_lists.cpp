// The per-frame draw lists: appends and their limits, the commands the render worker builds from
// them on the null renderer, and many frames through the real hand-off with the lines built on
// the worker pool and the device lost now and then (meant for the ThreadSanitizer run as well).
#include "core/config.h"
#include "core/core_imports.h"
#include "core/crit_section_pool.h"
#include "core/task_layer.h"
#include "platform/gfx/gfx_device.h"
#include "render/batcher.h"
#include "render/device_steps.h"
#include "render/draw_lists.h"
#include "render/render_device.h"
#include "render/render_target.h"
#include "render/render_worker.h"
#include "tests/support/vec_text.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>

namespace {

using test_support::vecText;

const SMaterial* material(u32 i) {
    static char storage[4];
    return reinterpret_cast<const SMaterial*>(storage + i);
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
    // The stand-in materials must not reach a later suite's frame.
    void TearDown() override { clearDrawListHalf(1); }
};

std::function<void()> g_scene;

void runTestScene() {
    if (g_scene) g_scene();
    presentRenderedFrame();
}

// Frames handed over to the real render worker on the null renderer (a window under SDL's
// offscreen driver, NOGFX 1), with the per-frame lists' hand-off steps and a scene the test
// chooses. The renderer is started once per test suite.
class NullRendererFrames : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        critSectionPoolInit();
        configClear();
        configSetValue("NOGFX", "1");
        configSetValue("FULLSCREEN", "0");
        taskLayerInit();
        SCoreImports coreImports;
        coreImports.drawListLines = drawListLineTaskType();
        setCoreImports(&coreImports);
        initRenderer();
        g_FrameHandOffSteps = SFrameHandOffSteps{clearDrawListHalf, runTestScene};
    }
    static void TearDownTestSuite() {
        g_FrameHandOffSteps = kDefaultFrameHandOffSteps;
        shutdownRenderer();
        taskLayerShutdown();
        configClear();
    }
    void SetUp() override {
        ASSERT_TRUE(renderDeviceReady());
        ASSERT_TRUE(gfxIsNullRenderer());
        createBatchBuffers(true);
        initDrawBatchPool();
        setCurrentDrawOwner(nullptr);
        clearDrawListHalf(0);
        clearDrawListHalf(1);
        beginBatchFrame();
    }
    void TearDown() override {
        // Commands left over name the tests' stand-in materials; a later suite's frame would draw them.
        clearDrawListHalf(0);
        clearDrawListHalf(1);
        releaseAllDrawBatches();
        releaseBatchBuffers();
    }

    // Runs scene on the render worker as its next frame and waits for it; returns the hand-off's
    // device-ready result.
    static s32 handOff(std::function<void()> scene) {
        g_scene = std::move(scene);
        const s32 ready = submitFrameToRenderWorker();
        g_scene = nullptr;
        return ready;
    }
};

// Built by the render worker on the null renderer, from the half handed over (which half, and
// its clearing, are checked frame by frame in DrawListHandOff).
using DrawLists = NullRendererFrames;

TEST_F(DrawListAppends, EachHalfRefusesItsLastRecordAndARunOfLinesIsCutToTheRoomLeft) {
    for (u32 i = 0; i < SPRITE_COMMAND_CAPACITY - 1; ++i)
        ASSERT_NE(nullptr, appendSpriteCommand(ClVec3(), 1.0f, 0, material(0), 1, 0.0f));
    EXPECT_EQ(nullptr, appendSpriteCommand(ClVec3(), 1.0f, 0, material(0), 1, 0.0f));
    appendLineCommand(ClVec3(), ClVec3(1, 0, 0), 1.0f, 0, material(0), 1.0f, 1, 1);
    EXPECT_EQ(LINE_COMMAND_CAPACITY - 2, lineCommandRoom());
    for (u32 i = 1; i < LINE_COMMAND_CAPACITY; ++i) {
        appendLineCommand(ClVec3(), ClVec3(1, 0, 0), 1.0f, 0, material(0), 1.0f, 1, 1);
        appendGradientLineCommand(ClVec3(), ClVec3(1, 0, 0), 1.0f, 1.0f, 0, 0, material(0), 1);
    }
    for (u32 i = 0; i < QUAD_COMMAND_CAPACITY; ++i)
        appendQuadCommandCorners(ClVec3(), ClVec3(), ClVec3(), ClVec3(), 0, material(0), 1);
    const SDrawListCounts c = drawListCounts(1);
    EXPECT_EQ(15999u, c.sprites);
    EXPECT_EQ(15999u, c.lines);
    EXPECT_EQ(0u, lineCommandRoom());
    EXPECT_EQ(15999u, c.gradientLines);
    EXPECT_EQ(4999u, c.quads);

    // A busy frame drops its last quads; the game goes on.
    appendQuadCommand(ClVec3(), ClVec3(0, 0, 1), ClVec3(1, 0, 0), 1, 1, 0, material(0), 1, 0);
    EXPECT_EQ(drawListCounts(1).quads, 4999u);
    clearDrawListHalf(1);
    for (u32 i = 0; i < QUAD_COMMAND_CAPACITY; ++i)
        appendCentredQuadCommandUV(ClVec3(), ClVec3(0, 0, 1), ClVec3(1, 0, 0), 1, 1, 0, material(0), ClVec2(), ClVec2(1, 1), 1, 0);
    EXPECT_EQ(drawListCounts(1).quads, 4998u);

    // A run of lines is cut to the room left and carries the current owner.
    clearDrawListHalf(1);
    ClRenderTargetGroup* owner = reinterpret_cast<ClRenderTargetGroup*>(0x40);
    setCurrentDrawOwner(owner);
    const SLineRun first = takeLineCommands(10);
    setCurrentDrawOwner(nullptr);
    EXPECT_EQ(10u, first.count);
    EXPECT_EQ(owner, first.owner);
    EXPECT_EQ(drawListLines(1), first.lines);
    for (u32 i = 10; i < LINE_COMMAND_CAPACITY - 4; ++i)
        appendLineCommand(ClVec3(), ClVec3(1, 0, 0), 1.0f, 0, material(0), 1.0f, 1, 1);
    const SLineRun last = takeLineCommands(10);
    EXPECT_EQ(3u, last.count);
    EXPECT_EQ(drawListLines(1) + LINE_COMMAND_CAPACITY - 4, last.lines);
    EXPECT_EQ(0u, takeLineCommands(10).count);
    EXPECT_EQ(LINE_COMMAND_CAPACITY - 1, drawListCounts(1).lines);
}

TEST_F(DrawLists, PassesSelectByAllTheirBitsExcludeMasksTrimObjectsAndOwnersGiveKeyAndEye) {
    ClRenderTargetGroup preview(64.0f, 64.0f, 0);
    preview.eyePoint = ClVec4{10, 0, 0};
    ASSERT_EQ(1, registerBatchTarget(reinterpret_cast<BatchKey>(&preview)));
    appendSpriteCommand(ClVec3(), 2.0f, 0xFF00FF00u, material(0), 0x62, 0.0f);
    appendSpriteCommand(ClVec3(), 2.0f, 0, material(0), 0x42, 0.0f);  // lacks 0x20
    setCurrentDrawOwner(&preview);
    appendSpriteCommand(ClVec3(), 2.0f, 0, material(1), 0x22, 0.0f);
    setCurrentDrawOwner(nullptr);
    handOff([] { buildDrawCommands(0x22, ClVec4{0, 0, 10}, 0x40); });
    ASSERT_EQ(8u, batchVertexCount());

    // The main scene's sprite faces +z: its right is -x, its up +y (x, y, v). The preview's sprite
    // faces its group's eye on +x (x and the size of z).
    const SBatchVertex* v = batchLockedVertices();
    EXPECT_EQ(v[0].x, -1.0f);
    EXPECT_EQ(v[0].y, 1.0f);
    EXPECT_EQ(v[1].v, 1.0f);
    EXPECT_NEAR(v[4].x, 0.0f, 1e-4f);
    EXPECT_NEAR(std::fabs(v[4].z), 1.0f, 1e-4f);
    EXPECT_EQ(0xFF00FF00u, v[0].colour);

    buildLayerDrawList(0, 0x40, false, false);  // the exclude mask took 0x40 off
    buildLayerDrawList(1, 0x22, false, false);
    EXPECT_EQ(0u, batchRunCount(0, 0));
    EXPECT_EQ(1u, batchRunCount(1, 0));
    EXPECT_EQ(material(1), batchRuns(1, reinterpret_cast<BatchKey>(&preview))[0].material);
}

TEST_F(DrawLists, LineJobsWriteEveryLineOfThePassAndAnEmptyPassReservesNothing) {
    for (u32 i = 0; i < 100; ++i)
        appendLineCommand(ClVec3(0, f32(i), 0), ClVec3(10, f32(i), 0), 0.5f, i, material(0), 1.0f, 1, i % 2 ? 0x24 : 0x04);
    u32 emptyPassVertices = 99;
    handOff([&] {
        buildDrawCommands(0x08, ClVec4{5, 0, 100}, 0);
        emptyPassVertices = batchVertexCount();
        buildDrawCommands(0x24, ClVec4{5, 0, 100}, 0);
    });
    EXPECT_EQ(emptyPassVertices, 0u);
    ASSERT_EQ(400u, batchVertexCount());
    // The lines are cut into at least two jobs, and never more than a build holds.
    EXPECT_EQ(lineSliceSize(100, 1), 50u);
    EXPECT_EQ(lineSliceSize(100, 1000), (100 + DRAW_BUILD_JOB_CAPACITY - 1) / DRAW_BUILD_JOB_CAPACITY);
    const SBatchVertex* v = batchLockedVertices();
    for (u32 line = 0; line < 50; ++line) {
        const SBatchVertex &a = v[8 * line], &b = v[8 * line + 1];
        // The first two vertices straddle the start cap's end, one width either side; the last two
        // are centred on the end cap's end.
        const f32 y = f32(2 * line + 1), endX = 0.5f * (v[8 * line + 6].x + v[8 * line + 7].x);
        EXPECT_NEAR(0.5f * (a.x + b.x), -0.5f, 1e-4f) << line;
        EXPECT_NEAR(0.5f * (a.y + b.y), y, 1e-4f) << line;
        EXPECT_NEAR(std::hypot(a.y - b.y, a.z - b.z), 1.0f, 1e-4f) << line;
        EXPECT_NEAR(endX, 10.5f, 1e-4f) << line;
        EXPECT_EQ(a.colour, u32(y)) << line;
    }
    buildLayerDrawList(0, 0x24, false, false);
    EXPECT_EQ(50u * 18u, batchIndexWritePosition());
    EXPECT_EQ(1u + 8u * 49u, batchLockedIndices()[18 * 49 + 1]);
}

TEST_F(DrawLists, GradientLinesCarryTheirWidthRatioAndStayFiniteWhenTheyEndInAPoint) {
    for (f32 endWidth : {1.0f, 0.0f, -1.0f}) appendGradientLineCommand(ClVec3(), ClVec3(10, 0, 0), 2.0f, endWidth, 0xAAu, 0xBBu, material(0), 1);
    handOff([] { buildDrawCommands(1, ClVec4{5, 0, 50}, 0); });
    ASSERT_EQ(24u, batchVertexCount());
    const SBatchVertex* v = batchLockedVertices();
    // Width ratios, then the widths across the start of the first two lines.
    EXPECT_NEAR(v[0].nx, 2.0f, 1e-4f);
    EXPECT_NEAR(v[1].v, 2.0f, 1e-4f);
    EXPECT_NEAR(v[4].nx, 1.0f, 1e-4f);
    EXPECT_NEAR(std::fabs(v[0].y - v[1].y), 4.0f, 1e-4f);
    EXPECT_NEAR(std::fabs(v[4].y - v[5].y), 2.0f, 1e-4f);
    EXPECT_EQ(0xAAu, v[3].colour);
    EXPECT_EQ(0xBBu, v[4].colour);
    for (u32 i = 8; i < 24; ++i) {
        EXPECT_TRUE(std::isfinite(v[i].nx)) << i;
        EXPECT_TRUE(std::isfinite(v[i].v)) << i;
        EXPECT_TRUE(std::isfinite(v[i].x)) << i;
    }
}

// Sprites are built four at a time and the rest one by one, as lines are: the same bits either
// way, whether a sprite faces the pass's eye or its owner's.
TEST_F(DrawLists, SpritesBuiltFourAtATimeMatchSpritesBuiltAlone) {
    ClRenderTargetGroup preview(64.0f, 64.0f, 0);
    preview.eyePoint = ClVec4{-3, 9, 2};
    struct SSprite {
        ClVec3 position;
        f32 size;
        ClRenderTargetGroup* owner;
    };
    const SSprite sprites[] = {{ClVec3(0, 0, 0), 4.0f, nullptr},
                               {ClVec3(5, 0, 50), 1.0f, nullptr},
                               {ClVec3(-4, 2, 7), 0.5f, &preview},
                               {ClVec3(0.1f, -3, 2), 3.0f, nullptr},
                               {ClVec3(2, 2, 2), 0.25f, nullptr}};
    constexpr u32 count = sizeof(sprites) / sizeof(sprites[0]);
    for (u32 pass = 0; pass < 2; ++pass) {
        for (u32 i = 0; i < count; ++i) {
            setCurrentDrawOwner(sprites[i].owner);
            appendSpriteCommand(sprites[i].position, sprites[i].size, 0xC0u + i, material(0), pass == 0 ? 1u : 2u << i, 0.0f);
        }
    }
    setCurrentDrawOwner(nullptr);
    // Pass 1 holds every sprite together, then passes 2 << i each hold sprite i alone: the two
    // halves of the vertices match bit for bit.
    handOff([] {
        buildDrawCommands(1, ClVec4{5, 0, 50}, 0);
        for (u32 i = 0; i < count; ++i) buildDrawCommands(2u << i, ClVec4{5, 0, 50}, 0);
    });
    ASSERT_EQ(2 * 4 * count, batchVertexCount());
    const SBatchVertex* v = batchLockedVertices();
    for (u32 i = 0; i < 4 * count; ++i)
        EXPECT_EQ(0, std::memcmp(&v[i], &v[4 * count + i], sizeof(SBatchVertex))) << "sprite " << i / 4 << " vertex " << i % 4;
}

// The worker only ever sees the half the main thread filled last, and a frame that cannot be
// drawn is cleared, not kept.
struct SFrameSeen {
    u32 half, sprites, lines, vertices, wrongColours;
};

using DrawListHandOff = NullRendererFrames;

TEST_F(DrawListHandOff, StressOnTheNullRenderer) {
    g_DeviceResourceSteps.releaseBatchBuffers = releaseBatchBuffers;
    g_DeviceResourceSteps.recreateBatchBuffers = [] { return createBatchBuffers(false); };
    std::mt19937 random(12345);
    const ClVec4 eye{0.0f, 0.0f, 100.0f};
    u32 framesDrawn = 0, framesCleared = 0;

    for (u32 frame = 1; frame <= 300; ++frame) {
        beginBatchFrame();
        const u32 sprites = random() % 300;
        const u32 lines = random() % 300;
        for (u32 i = 0; i < sprites; ++i) appendSpriteCommand(ClVec3(f32(i), 0, 0), 2.0f, frame, material(i % 2), 0x21, 0.0f);
        for (u32 i = 0; i < lines; ++i)
            appendLineCommand(ClVec3(0, f32(i), 0), ClVec3(5, f32(i), 0), 0.5f, frame, material(i % 2), 1.0f, 1, 0x60);
        const u32 filled = 1 - renderFlipIndex();
        const bool drawable = renderDeviceReady();
        if (frame % 50 == 0) gfxTestLoseDevice();

        SFrameSeen seen{};
        const s32 ready = handOff([&seen, &eye, frame] {
            seen.half = renderFlipIndex();
            seen.sprites = drawListCounts(seen.half).sprites;
            seen.lines = drawListCounts(seen.half).lines;
            buildDrawCommands(0x20, eye, 0);
            seen.vertices = batchVertexCount();
            const SBatchVertex* vertices = batchLockedVertices();
            for (u32 v = 0; v < seen.vertices; ++v) seen.wrongColours += vertices[v].colour != frame ? 1u : 0u;
            clearDrawLists();
            unlockBatchBuffers();
        });

        if (drawable) {
            ++framesDrawn;
            ASSERT_EQ(seen.half, filled) << frame;
            ASSERT_EQ(renderFlipIndex(), filled) << frame;
            ASSERT_EQ(seen.sprites, sprites) << frame;
            ASSERT_EQ(seen.lines, lines) << frame;
            ASSERT_EQ(seen.vertices, 4 * sprites + 8 * lines) << frame;
            ASSERT_EQ(seen.wrongColours, 0u) << frame;
            ASSERT_EQ(frame % 50 != 0, ready == 1) << frame;
        } else {
            // Lost: nothing flipped or drawn, and the filled half was emptied on the main thread.
            ++framesCleared;
            // Restored by this hand-off's lost-device check: ready is 1.
            ASSERT_EQ(1 - renderFlipIndex(), filled) << frame;
            ASSERT_EQ(drawListCounts(filled).sprites, 0u) << frame;
            ASSERT_EQ(drawListCounts(filled).lines, 0u) << frame;
            ASSERT_EQ(ready, 1) << frame;
        }
        ASSERT_EQ(0u, drawListCounts(1 - filled).sprites) << frame;
    }
    // The loss in frame 300 is noticed, and cleared, only after the loop.
    EXPECT_EQ(295u, framesDrawn);
    EXPECT_EQ(5u, framesCleared);
    g_DeviceResourceSteps = kDefaultDeviceResourceSteps;
}

}  // namespace
