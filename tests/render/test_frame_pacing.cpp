// Frames presented by the render worker on a real GL context under the offscreen driver, whose
// swap never waits: with v-sync wanted the worker paces them to 60 Hz and sleeps in between.
#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/global_objects.h"
#include "render/render_device.h"
#include "render/render_worker.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/resource.h>

#include <chrono>
#include <utility>

namespace {

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class FramePacing : public ::testing::Test {
protected:
    void TearDown() override {
        shutdownRenderer();
        configClear();
    }
};

TEST_F(FramePacing, OneSecondOfEmptyFramesPresentsSixtyTimesWithoutKeepingACoreBusy) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    critSectionPoolInit();
    configClear();
    for (auto [key, value] : {std::pair{"NOVSYNC", "0"}, {"FULLSCREEN", "0"}, {"HARD_FORCED_WIDTH", "256"}, {"HARD_FORCED_HEIGHT", "144"}})
        configSetValue(key, value);
    initDisplayOptionTable();
    initRenderer();
    ASSERT_FALSE(gfxIsNullRenderer());
    // The driver accepts swap interval 1 and does not wait: thirty quick presents in a row show
    // it (a busy machine may need more frames to give thirty in a row).
    for (int frame = 0; frame < 3000 && gfxSwapWaitsForVsync(); ++frame) submitFrameToRenderWorker();
    ASSERT_FALSE(gfxSwapWaitsForVsync());

    const u64 presents = gfxPresentCount();
    const double cpu = processCpuSeconds();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < end) ASSERT_EQ(submitFrameToRenderWorker(), 1);
    const u64 presented = gfxPresentCount() - presents;
    const double cpuUsed = processCpuSeconds() - cpu;

    EXPECT_TRUE(presented >= 54 && presented <= 67) << presented << " presents";
    EXPECT_LT(cpuUsed, 0.5) << "seconds of processor time in one second of frames";
}

}  // namespace
