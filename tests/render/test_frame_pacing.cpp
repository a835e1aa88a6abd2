// Frames presented by the render worker on a real GL context under the offscreen driver, whose
// swap never waits: with v-sync wanted the worker paces them to 60 Hz and sleeps in between.
// Only what a fault would raise is bounded here (too many presents, a core kept busy); how close
// to sixty a second a machine gets under load is measured in bench/bench_frame_pacing.cpp.
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

TEST_F(FramePacing, OneSecondOfEmptyFramesPresentsNoMoreThanSixtyTimesWithoutKeepingACoreBusy) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    critSectionPoolInit();
    configClear();
    for (auto [key, value] : {std::pair{"NOVSYNC", "0"}, {"FULLSCREEN", "0"}, {"HARD_FORCED_WIDTH", "256"}, {"HARD_FORCED_HEIGHT", "144"}})
        configSetValue(key, value);
    initDisplayOptionTable();
    initRenderer();
    ASSERT_FALSE(gfxIsNullRenderer());
    // The driver accepts swap interval 1 and does not wait: thirty quick presents in a row show
    // it. A machine too busy to give thirty in a row cannot show whether the pacer holds back.
    for (int frame = 0; frame < 3000 && gfxSwapWaitsForVsync(); ++frame) submitFrameToRenderWorker();
    if (gfxSwapWaitsForVsync()) GTEST_SKIP() << "the machine never gave thirty quick presents in a row";

    const u64 presents = gfxPresentCount();
    const double cpu = processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < end) ASSERT_EQ(submitFrameToRenderWorker(), 1);
    const u64 presented = gfxPresentCount() - presents;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    [[maybe_unused]] const double busy = (processCpuSeconds() - cpu) / wall;

    // One frame more than the refresh allows at each end of the second, and a little slack.
    EXPECT_LE(presented, 67u) << "presents in one second";
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // A load elsewhere only lowers this share; under the sanitizers their own checks would count.
    EXPECT_LT(busy, 0.5) << "of a core used over one second of frames";
#endif
}

}  // namespace
