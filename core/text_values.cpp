// The value tests and readers of text_reader.h, apart from the reader itself, so that a program
// that only reads values from text does not take the package layer in with it.
#include "core/text_reader.h"

#include "core/c_locale.h"

#include <stdlib.h>

namespace {

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

bool isHexText(const char* text) {
    if (!text || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
    for (const char* p = text + 2; *p; ++p) {
        if (!isHexDigit(*p)) return false;
    }
    return true;
}

bool isIntText(const char* text) {
    if (!text) return false;
    const char* p = text[0] == '-' ? text + 1 : text;
    if (!*p) return false;
    for (; *p; ++p) {
        if (!isDecimalDigit(*p)) return false;
    }
    return true;
}

bool isFloatText(const char* text) {
    if (!text) return false;
    u32 digits = 0;
    u32 points = 0;
    for (const char* p = text[0] == '-' ? text + 1 : text; *p; ++p) {
        if (isDecimalDigit(*p)) {
            ++digits;
        } else if (*p == '.') {
            ++points;
        } else {
            return false;
        }
    }
    return digits > 0 && points == 1;
}

u32 hexTextValue(const char* text) {
    if (!text) return 0;
    const char* digits = (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) ? text + 2 : text;
    return u32(strtoul_l(digits, nullptr, 16, cLocale()));
}

s32 intTextValue(const char* text) {
    if (!text) return 0;
    return s32(u32(u64(strtol_l(text, nullptr, 10, cLocale()))));
}

f32 floatTextValue(const char* text) {
    if (!text) return 0.0f;
    return strtof_l(text, nullptr, cLocale());
}
