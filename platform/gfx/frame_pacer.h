// Paces presents to the display's refresh when v-sync is wanted but the swap does not wait for it
// (the offscreen driver, a virtual X server, drivers that accept the swap interval and ignore it).
// Pure arithmetic on nanosecond times of the monotonic clock, so tests drive it with a fake clock.
#pragma once

#include "platform/types.h"

// Presents in a row that must come faster than 0.9 of the period before a swap that claimed to
// wait is judged not to.
constexpr u32 FRAME_PACER_FAST_PRESENTS = 30;

class ClFramePacer {
public:
    // refreshHz 0 means unknown: 60 Hz. swapWaits: the driver accepted swap interval 1.
    void configure(bool vsyncWanted, bool swapWaits, u32 refreshHz);

    // Before a present at time now: the time to sleep until (now when no wait is due). A frame
    // later than one period past its deadline restarts the deadline from now instead of
    // presenting the missed ones in a burst.
    u64 beforePresent(u64 now);
    // After the present returned at time now: watches whether the swap really waits.
    void afterPresent(u64 now);

    bool pacing() const { return m_vsyncWanted && !m_swapWaits; }
    bool swapWaits() const { return m_swapWaits; }

private:
    bool m_vsyncWanted = false;
    bool m_swapWaits = false;
    u64 m_period = 1000000000ull / 60;
    u64 m_deadline = 0;
    bool m_haveDeadline = false;
    u64 m_lastPresent = 0;
    bool m_havePresent = false;
    u32 m_fastPresents = 0;
};
