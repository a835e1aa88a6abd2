#include "frontend/presentation/loading_state.h"

#include "core/async_asset.h"
#include "core/game_clock.h"
#include "core/timers.h"

namespace {

struct SLoadingState {
    bool setUp = false;
    SAsyncAssetEntry* request = nullptr;
    SCountUpTimer* timer = nullptr;
};

SLoadingState g_Loading;

void stopTimer(SAsyncAssetEntry*, void*) {
    if (g_Loading.timer) g_Loading.timer->running = 0;
}
void stopTimerOnFailure(SAsyncAssetEntry* entry, void* user, s32, u32) { stopTimer(entry, user); }

void releaseRequest() {
    releaseAsyncAsset(g_Loading.request);
    g_Loading.request = nullptr;
}

}  // namespace

void loadingStateSetUp() {
    if (g_Loading.setUp) return;
    g_Loading.timer = takeCountUpTimer(GAME_CLOCK_SYSTEM);
    if (g_Loading.timer) g_Loading.timer->running = 0;
    g_Loading.setUp = true;
}

void loadingStateRelease() {
    if (!g_Loading.setUp) return;
    releaseRequest();
    releaseCountUpTimer(g_Loading.timer);
    g_Loading = SLoadingState{};
}

bool loadingStateBegin(const char* path, bool disk) {
    if (!g_Loading.setUp) return false;
    releaseRequest();
    // The loader frees the data at release.
    g_Loading.request = createAsyncAsset(path, nullptr, stopTimer, stopTimerOnFailure, nullptr, 1, disk, nullptr, 0);
    if (g_Loading.timer) {
        g_Loading.timer->elapsed = 0.0f;
        g_Loading.timer->running = g_Loading.request ? 1 : 0;
    }
    return g_Loading.request != nullptr;
}

ELoadingStatus loadingStateStatus() {
    if (!g_Loading.request) return E_LOADING_IDLE;
    if (g_Loading.request->state == E_ASYNCASSET_DONE) return E_LOADING_DONE;
    if (g_Loading.request->state == E_ASYNCASSET_FAILED) return E_LOADING_FAILED;
    return E_LOADING_PENDING;
}

const u8* loadingStateData(u32* size) {
    const bool done = loadingStateStatus() == E_LOADING_DONE;
    *size = done ? g_Loading.request->size : 0;
    return done ? static_cast<const u8*>(g_Loading.request->data) : nullptr;
}
