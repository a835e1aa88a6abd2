// One frame of the draw lists' CPU work: the main thread appends 10,000 sprites and 20,000 lines
// (half plain, half with a width gradient), the half is handed over, and the builders write the
// batcher's CPU staging, the plain lines on a pool of one worker thread; then the per-layer runs
// are built. No device is drawn to.
//
// A batcher frame holds fewer than 128,000 vertices, and the lines alone take 160,000, so the
// frame is built as two passes into two batcher frames: sprites and plain lines (120,000
// vertices, the lines written by the pool while the sprites are written here), then the gradient
// lines (80,000).
#include <benchmark/benchmark.h>

#include "core/crit_section_pool.h"
#include "core/task_layer.h"
#include "core/worker_pool.h"
#include "render/batcher.h"
#include "render/draw_lists.h"
#include "render/frame_half.h"

namespace {

constexpr u32 kSprites = 10000;
constexpr u32 kLines = 10000;
constexpr u32 kGradientLines = 10000;
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
                          kFirstPass);
    }
}

void buildPass(u32 passMask) {
    ClVec4 eye;
    eye.set(500.0f, 500.0f, -800.0f, 0.0f);
    beginBatchFrame();
    buildDrawCommands(passMask, eye, 0);
    buildLayerDrawList(0, passMask, false, false);
    unlockBatchBuffers();
}

void BM_DrawListFrame(benchmark::State& state) {
    g_ProcessorQuery = SProcessorQuery{oneProcessor, oneProcessor};
    critSectionPoolInit();
    taskLayerInit();
    createBatchBuffers(true);
    initDrawBatchPool();
    resetFrameHalf();
    u32 vertices = 0;
    for (auto _ : state) {
        appendFrame();
        flipFrameHalf();
        buildPass(kFirstPass);
        vertices = batchVertexCount();
        buildPass(kSecondPass);
        vertices += batchVertexCount();
        clearDrawLists();
    }
    if (vertices != (4 * kSprites + 8 * kGradientLines + 8 * kLines)) state.SkipWithError("geometry was dropped");
    state.counters["vertices"] = vertices;
    releaseAllDrawBatches();
    releaseBatchBuffers();
    taskLayerShutdown();
    g_ProcessorQuery = kSystemProcessorQuery;
}
BENCHMARK(BM_DrawListFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
