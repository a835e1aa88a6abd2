#include "world/play/play_time.h"

#include "core/string_helpers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
constexpr f64 MAX_HOURS = 4294967295.0;
}  // namespace

SPlayTime* splitPlayTime(SPlayTime* out, f32 seconds) {
    const f64 s = seconds > 0.0f ? f64(seconds) : 0.0;
    f64 hours = std::trunc(s / 3600.0);
    f32 rest = std::max(static_cast<f32>(s - 3600.0 * hours), 0.0f);
    // Above the largest u32 number of hours the hours saturate. The subtraction above loses the
    // remainder there (and an infinite time has none), so it is taken exactly, or as zero.
    if (!(hours < MAX_HOURS)) {
        hours = MAX_HOURS;
        rest = std::isfinite(s) ? static_cast<f32>(std::fmod(s, 3600.0)) : 0.0f;
    }
    const f64 minutes = std::trunc(f64(rest) / 60.0);
    out->hours = static_cast<u32>(hours);
    out->minutes = static_cast<u32>(minutes);
    out->seconds = static_cast<u32>(static_cast<f32>(f64(rest) - 60.0 * minutes));
    return out;
}

void formatPlayTime(f32 seconds, char16_t* out, u32 capacity) {
    if (capacity == 0) return;
    SPlayTime t;
    splitPlayTime(&t, seconds);
    char text[32];
    if (t.hours == 0) std::snprintf(text, sizeof text, "%02u:%02u", t.minutes, t.seconds);
    else std::snprintf(text, sizeof text, "%u:%02u:%02u", t.hours, t.minutes, t.seconds);
    strToWideN(out, text, capacity);
}
