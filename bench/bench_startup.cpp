// Start-up to the first presented frame of the title screen, as on a player's first start: a fresh
// process per run on a copy of the built data (splash skipped) with an empty user folder. The clock
// runs from just before the process is forked to the monotonic stamp the front end logs once the
// render worker has presented the first frame showing "TitleMenu".
//
//   bench_startup [--runs N] [--keep]
#include "bench/game_run.h"
#include "bench/support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr u32 DEFAULT_RUNS = 5;
constexpr f64 TARGET_SECONDS = 1.0;
constexpr f64 RUN_LIMIT_SECONDS = 60.0;

}  // namespace

int main(int argc, char** argv) {
    u32 runs = DEFAULT_RUNS;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = u32(std::max(1, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else {
            std::fprintf(stderr, "usage: %s [--runs N] [--keep]\n", argv[0]);
            return 2;
        }
    }

    const std::filesystem::path root = makeScratchFolder("velodrix_bench_startup");
    if (root.empty()) return 1;
    const std::filesystem::path data = packGameData(root, {{"DEBUG_SKIP_SPLASH", "1"}}, true);
    if (data.empty()) {
        finishScratchFolder(root, true);
        return 1;
    }

    std::vector<f64> seconds;
    for (u32 run = 0; run < runs; ++run) {
        ClGameProcess game;
        const u64 start = monotonicNanoseconds();
        if (!game.start(data, root / ("home" + std::to_string(run)))) return 1;
        const u64 presented = waitForTitlePresented(game, RUN_LIMIT_SECONDS);
        const s32 status = game.stop();
        if (presented == 0 || status != 0) {
            std::fprintf(stderr, "run %u: %s (exit status %d)\n%s", run + 1,
                         presented ? "ended badly" : "no title frame presented", status, game.errorText().c_str());
            finishScratchFolder(root, true);
            return 1;
        }
        seconds.push_back(f64(presented - start) * 1e-9);
        std::printf("run %u: %.3f s\n", run + 1, seconds.back());
    }

    std::sort(seconds.begin(), seconds.end());
    const f64 median = seconds[seconds.size() / 2];
    std::printf("start-up to the first title frame: median %.3f s of %u runs (min %.3f, max %.3f); target below %.1f s: %s\n",
                median, runs, seconds.front(), seconds.back(), TARGET_SECONDS, median < TARGET_SECONDS ? "met" : "missed");
    finishScratchFolder(root, keep);
    return 0;
}
