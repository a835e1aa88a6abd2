// Play times as clock text.
#pragma once

#include "core/types.h"

struct SPlayTime {
    u32 hours;
    u32 minutes;
    u32 seconds;
};

// Whole hours, minutes and seconds of a time, each truncated (59.9 s is 0:00:59). Worked in
// double precision, the remainders rounded to single precision as they are taken. A negative or
// NaN time counts as 0. Returns out.
SPlayTime* splitPlayTime(SPlayTime* out, f32 seconds);
// "mm:ss" below an hour, else "h:mm:ss", cut to the capacity (units, terminator included).
void formatPlayTime(f32 seconds, char16_t* out, u32 capacity);
