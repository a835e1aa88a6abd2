// One frame of the draw lists' CPU work: the main thread appends 10,000 sprites and 20,000 lines
// (half plain, half with a width gradient) and hands the half over to the render worker, which
// writes the batcher's CPU staging together with a pool of one worker thread, the two sharing
// out each pass's sprites and lines, and builds the per-layer runs. The device is the null
// renderer (a window under SDL's offscreen driver, NOGFX 1): nothing reaches GL.
//
// A batcher frame holds fewer than 128,000 vertices, less the room it keeps for the screens'
// quads, and the lines alone take 160,000, so the frame is built as two passes into two batcher
// frames: the sprites and 8,000 plain lines (104,000 vertices), then the other plain lines and
// the gradient lines (96,000).
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include "core/core_imports.h"
#include "core/crit_section_pool.h"
#include "core/task_layer.h"
#include "core/worker_pool.h"
#include "render/batcher.h"
#include "render/draw_lists.h"
#include "core/config.h"
#include "render/render_device.h"
#include "render/render_worker.h"

namespace {

constexpr u32 kSprites = 10000;
constexpr u32 kLines = 10000;
constexpr u32 kGradientLines = 10000;
constexpr u32 kFirstPassLines = 8000;
constexpr u32 kFirstPass = 0x21;
constexpr u32 kSecondPass = 0x22;

u32 oneProcessor() { return 1; }

const SMaterial* material(u32 i) {
    static char storage[4];
    return reinterpret_cast<const SMaterial*>(storage + i);
}

void appendFrame() {
    for (u32 i = 0; i < kSprites; ++i) {
        const f32 x = static_cast<f32>(i % 100) * 10.0f;
        const f32 y = static_cast<f32>(i / 100) * 10.0f;
        appendSpriteCommand(ClVec3(x, y, 50.0f), 4.0f, 0xFFFFFFFFu, material(i % 3), kFirstPass, 0.0f);
    }
    for (u32 i = 0; i < kGradientLines; ++i) {
        const f32 y = static_cast<f32>(i) * 0.1f;
        appendGradientLineCommand(ClVec3(0.0f, y, 0.0f), ClVec3(100.0f, y, 5.0f), 2.0f, 0.5f, 0xFF0000FFu, 0x00FF0000u,
                                  material(i % 2), kSecondPass);
    }
    for (u32 i = 0; i < kLines; ++i) {
        const f32 x = static_cast<f32>(i) * 0.1f;
        appendLineCommand(ClVec3(x, 0.0f, 0.0f), ClVec3(x, 100.0f, 0.0f), 1.0f, 0xFF00FF00u, material(i % 2), 1.0f, 1,
                          i < kFirstPassLines ? kFirstPass : kSecondPass);
    }
}

u32 g_uVerticesBuilt = 0;

void buildPass(u32 passMask) {
    ClVec4 eye;
    eye.set(500.0f, 500.0f, -800.0f, 0.0f);
    buildDrawCommands(passMask, eye, 0);
    buildLayerDrawList(0, passMask, false, false);
    g_uVerticesBuilt += batchVertexCount();
    unlockBatchBuffers();
}

// The worker's frame. The second pass needs a batcher frame of its own; beginBatchFrame is the
// main thread's call, made here while the main thread waits in the hand-off.
void renderBothPasses() {
    g_uVerticesBuilt = 0;
    buildPass(kFirstPass);
    beginBatchFrame();
    buildPass(kSecondPass);
    clearDrawLists();
    presentRenderedFrame();
}

void BM_DrawListFrame(benchmark::State& state) {
    g_ProcessorQuery = SProcessorQuery{oneProcessor, oneProcessor};
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    critSectionPoolInit();
    configClear();
    configSetValue("NOGFX", "1");
    taskLayerInit();
    SCoreImports coreImports;
    coreImports.drawListLines = drawListLineTaskType();
    setCoreImports(&coreImports);
    initRenderer();
    g_FrameHandOffSteps = SFrameHandOffSteps{clearDrawListHalf, renderBothPasses};
    createBatchBuffers(true);
    initDrawBatchPool();
    for (auto _ : state) {
        beginBatchFrame();
        appendFrame();
        submitFrameToRenderWorker();
    }
    if (g_uVerticesBuilt != (4 * kSprites + 8 * kGradientLines + 8 * kLines)) state.SkipWithError("geometry was dropped");
    state.counters["vertices"] = g_uVerticesBuilt;
    releaseAllDrawBatches();
    releaseBatchBuffers();
    g_FrameHandOffSteps = kDefaultFrameHandOffSteps;
    shutdownRenderer();
    taskLayerShutdown();
    g_ProcessorQuery = kSystemProcessorQuery;
}
BENCHMARK(BM_DrawListFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
