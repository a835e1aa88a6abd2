#include "ui/number_format.h"

#include "core/string_helpers.h"

#include <cstdio>

bool formatThousandsNarrow(const char* digits, char* out, u32 capacity) {
    if (capacity == 0) return false;
    out[0] = 0;
    if (!digits) return true;
    const u32 sign = digits[0] == '-' ? 1u : 0u;
    const u32 count = strLength(digits) - sign;
    const u32 commas = count > 0 ? (count - 1) / 3 : 0;
    if (sign + count + commas + 1 > capacity) return false;
    u32 w = 0;
    if (sign) out[w++] = '-';
    for (u32 i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0) out[w++] = ',';
        out[w++] = digits[sign + i];
    }
    out[w] = 0;
    return true;
}

void formatIntThousandsNarrow(s32 value, char* out) {
    char digits[THOUSANDS_TEXT_LENGTH];
    std::snprintf(digits, sizeof digits, "%d", value);
    formatThousandsNarrow(digits, out, THOUSANDS_TEXT_LENGTH);
}
