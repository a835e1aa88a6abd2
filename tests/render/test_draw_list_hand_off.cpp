// Many frames through the real hand-off on the null renderer, with the lines built on the worker
// pool and the device lost now and then: the worker only ever sees the half the main thread
// filled last, and a frame that cannot be drawn is cleared, not kept. Meant for the
// ThreadSanitizer run as well.
#include "null_renderer_frames.h"

#include "platform/gfx/gfx_device.h"
#include "render/batcher.h"
#include "render/device_steps.h"
#include "render/draw_lists.h"
#include "render/render_device.h"
#include "render/render_worker.h"

#include <random>
#include <tuple>

namespace {

const SMaterial* material(u32 i) {
    static char storage[2];
    return reinterpret_cast<const SMaterial*>(storage + i);
}

struct SFrameSeen {
    u32 half, sprites, lines, vertices, wrongColours;
    auto operator<=>(const SFrameSeen&) const = default;
};

using DrawListHandOff = NullRendererFrames;

TEST_F(DrawListHandOff, StressOnTheNullRenderer) {
    g_DeviceResourceSteps.releaseBatchBuffers = releaseBatchBuffers;
    g_DeviceResourceSteps.recreateBatchBuffers = [] { return createBatchBuffers(false); };
    std::mt19937 random(12345);
    ClVec4 eye;
    eye.set(0.0f, 0.0f, 100.0f, 0.0f);
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
            ASSERT_EQ(seen, (SFrameSeen{filled, sprites, lines, 4 * sprites + 8 * lines, 0})) << frame;
            ASSERT_EQ(frame % 50 != 0, ready == 1) << frame;
        } else {
            // Lost: nothing flipped or drawn, and the filled half was emptied on the main thread.
            ++framesCleared;
            // Restored by this hand-off's lost-device check: ready is 1.
            ASSERT_EQ(std::make_tuple(1 - renderFlipIndex(), drawListCounts(filled).sprites, drawListCounts(filled).lines, ready),
                      std::make_tuple(filled, 0u, 0u, 1)) << frame;
        }
        ASSERT_EQ(0u, drawListCounts(1 - filled).sprites) << frame;
    }
    // The loss in frame 300 is noticed, and cleared, only after the loop.
    EXPECT_EQ(std::make_pair(295u, 5u), std::make_pair(framesDrawn, framesCleared));
    g_DeviceResourceSteps = kDefaultDeviceResourceSteps;
}

}  // namespace
