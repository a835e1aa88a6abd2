#include "core/timers.h"

#include "core/fatal_error.h"
#include "core/fixed_pool.h"
#include "core/game_clock.h"

#include <cmath>

namespace {

ClFixedPool<SCountUpTimer, COUNTUP_TIMER_CAPACITY> g_countUpTimers;
bool g_bTimersReady = false;

void checkClock(u32 clock, const char* caller) {
    if (clock >= u32(GAME_CLOCK_COUNT)) fatalErrorf("%s: no game clock %u", caller, clock);
}

}  // namespace

void timersInit() {
    g_countUpTimers.init();
    g_bTimersReady = true;
}

void timersShutdown() {
    g_countUpTimers.releaseAll();
    g_bTimersReady = false;
}

SCountUpTimer* takeCountUpTimer(u32 clock) {
    checkClock(clock, "takeCountUpTimer");
    if (!g_bTimersReady) return nullptr;
    SCountUpTimer* timer = g_countUpTimers.take();
    if (!timer) return nullptr;
    timer->elapsed = 0.0f;
    timer->clock = clock;
    timer->running = 1;
    return timer;
}

void releaseCountUpTimer(SCountUpTimer* timer) {
    if (!timer) return;
    timer->running = 0;
    g_countUpTimers.release(timer);
}

void updateTimers() {
    if (!g_bTimersReady) return;
    for (u32 i = 0; i < g_countUpTimers.used; ++i) {
        SCountUpTimer& timer = *g_countUpTimers.table[i];
        if (timer.running) timer.elapsed += g_aGameClocks[timer.clock].frameTime;
    }
}

bool isBlinkOn(f32 rate, f32 offset, u32 clock) {
    checkClock(clock, "isBlinkOn");
    const f64 phase = (g_aGameClocks[clock].totalTime + f64(offset)) * f64(rate);
    if (!std::isfinite(phase)) return false;
    // fmod rather than a cast to an integer, which would overflow for very long runs.
    return std::fmod(std::trunc(phase), 2.0) != 0.0;
}

f32 countDownTimer(f32* timer, f32 step) {
    if (!timer) return 0.0f;
    f32 value = *timer - step;
    if (value < 0.0f) value = 0.0f;
    *timer = value;
    return value;
}
