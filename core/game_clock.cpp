#include "core/game_clock.h"

#include <ctime>

SGameClock g_aGameClocks[GAME_CLOCK_COUNT];
f32& g_fFrameTime = g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime;
namespace {
s32 g_iInputSettleFrames = 0;
}  // namespace

s32 inputSettleFrames() { return g_iInputSettleFrames; }
void setInputSettleFrames(s32 frames) { g_iInputSettleFrames = frames; }

void setClockDelta(int clock, f32 seconds) {
    SGameClock& target = g_aGameClocks[clock];
    target.frameTime = seconds;
    target.totalTime += f64(seconds);
}

namespace {

// Days since 1970-01-01 in the proleptic Gregorian calendar (Howard Hinnant's days_from_civil).
// The month is folded into 1..12 first so that any input gives a defined answer.
s64 daysFromCivil(s64 year, s64 month, s64 day) {
    const s64 monthIndex = month - 1;
    const s64 yearCarry = monthIndex >= 0 ? monthIndex / 12 : (monthIndex - 11) / 12;
    year += yearCarry;
    month = monthIndex - yearCarry * 12 + 1;
    if (month <= 2) year -= 1;
    const s64 era = (year >= 0 ? year : year - 399) / 400;
    const s64 yearOfEra = year - era * 400;
    const s64 dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const s64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

s64 secondsSinceEpoch(const SDateTime& date) {
    return daysFromCivil(date.year, date.month, date.day) * 86400 + s64(date.hour) * 3600 + s64(date.minute) * 60;
}

}  // namespace

s64 secondsBetweenDates(const SDateTime& first, const SDateTime& second) {
    return secondsSinceEpoch(second) - secondsSinceEpoch(first);
}
