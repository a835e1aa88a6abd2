// Paced empty frames under SDL's offscreen driver (whose swap never waits): how many the render
// worker presents in one second with v-sync wanted, and the share of a core the process uses
// meanwhile. On an idle machine the count is close to sixty; a loaded one gives fewer.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <sys/resource.h>

#include <chrono>

#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/global_objects.h"
#include "platform/gfx/gfx_device.h"
#include "render/render_device.h"
#include "render/render_worker.h"

namespace {

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_OneSecondOfPacedEmptyFrames(benchmark::State& state) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    critSectionPoolInit();
    configClear();
    configSetValue("NOVSYNC", "0");
    configSetValue("FULLSCREEN", "0");
    configSetValue("HARD_FORCED_WIDTH", "256");
    configSetValue("HARD_FORCED_HEIGHT", "144");
    initDisplayOptionTable();
    initRenderer();
    if (gfxIsNullRenderer()) {
        state.SkipWithError("no GL context");
        return;
    }
    for (int frame = 0; frame < 3000 && gfxSwapWaitsForVsync(); ++frame) submitFrameToRenderWorker();
    double presented = 0.0, busy = 0.0;
    for (auto _ : state) {
        const u64 presents = gfxPresentCount();
        const double cpu = processCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() < start + std::chrono::seconds(1)) submitFrameToRenderWorker();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        presented += double(gfxPresentCount() - presents) / wall;
        busy += (processCpuSeconds() - cpu) / wall;
    }
    state.counters["presents_per_second"] = presented / double(state.iterations());
    state.counters["core_share"] = busy / double(state.iterations());
    shutdownRenderer();
    configClear();
}
BENCHMARK(BM_OneSecondOfPacedEmptyFrames)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
