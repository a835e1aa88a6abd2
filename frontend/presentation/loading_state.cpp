#include "frontend/presentation/loading_state.h"

#include "core/game_clock.h"
#include "core/timers.h"

namespace {

struct SLoadingState {
    bool setUp = false;
    SCountUpTimer* timer = nullptr;
};

SLoadingState g_Loading;

}  // namespace

void loadingStateSetUp() {
    if (g_Loading.setUp) return;
    g_Loading.timer = takeCountUpTimer(GAME_CLOCK_SYSTEM);
    if (g_Loading.timer) g_Loading.timer->running = 0;
    g_Loading.setUp = true;
}

void loadingStateRelease() {
    if (!g_Loading.setUp) return;
    releaseCountUpTimer(g_Loading.timer);
    g_Loading = SLoadingState{};
}
