#include "core/string_helpers.h"

#include "core/c_locale.h"

#include <strings.h>

#include <cstdint>

namespace {

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Keeping `keep` units of a text that goes on past them would cut a surrogate pair when the
// last unit kept is its high half; keep one less then.
u32 pairSafeCut(const char16_t* text, u32 keep) {
    if (keep > 0 && isHighSurrogate(text[keep - 1]) && isLowSurrogate(text[keep])) return keep - 1;
    return keep;
}
u32 pairSafeCut(const char*, u32 keep) { return keep; }

char16_t widenByte(char c) { return char16_t(u8(c)); }
char narrowUnit(char16_t unit) { return unit < 256 ? char(unit) : '_'; }

template <typename T>
u32 lengthOf(const T* text) {
    u32 length = 0;
    while (text[length]) ++length;
    return length;
}

// Writes at most capacity - 1 mapped units of src, stopping at its terminator or after `limit`
// units, and a terminator. Truncated when source units were left over.
template <typename D, typename S, typename Map>
ETextCopyResult putBounded(D* dest, u32 capacity, const S* src, u32 limit, Map map) {
    if (capacity == 0) return E_TEXTCOPY_TRUNCATED;
    const u32 room = capacity - 1;
    u32 i = 0;
    while (i < room && i < limit && src[i]) {
        dest[i] = map(src[i]);
        ++i;
    }
    const bool truncated = src[i] != 0;
    if (truncated) i = pairSafeCut(src, i);
    dest[i] = 0;
    return truncated ? E_TEXTCOPY_TRUNCATED : E_TEXTCOPY_COMPLETE;
}

template <typename D, typename S, typename Map>
void putUnbounded(D* dest, const S* src, u32 limit, Map map) {
    u32 i = 0;
    for (; i < limit && src[i]; ++i) dest[i] = map(src[i]);
    dest[i] = 0;
}

// Length of dest within capacity. A dest with no terminator there is cut to capacity - 1 and
// the result is capacity, so that the caller appends nothing and reports the truncation.
template <typename T>
u32 boundedAppendStart(T* dest, u32 capacity) {
    for (u32 i = 0; i < capacity; ++i) {
        if (!dest[i]) return i;
    }
    if (capacity > 0) dest[pairSafeCut(dest, capacity - 1)] = 0;
    return capacity;
}

template <typename D, typename S, typename Map>
ETextCopyResult appendBounded(D* dest, u32 capacity, const S* src, u32 limit, Map map) {
    const u32 used = boundedAppendStart(dest, capacity);
    if (used == capacity) return E_TEXTCOPY_TRUNCATED;
    return putBounded(dest + used, capacity - used, src, limit, map);
}

template <typename T>
void padWithZeros(T* dest, u32 n) {
    u32 i = 0;
    while (i < n && dest[i]) ++i;
    for (; i < n; ++i) dest[i] = 0;
}

template <typename T>
T* findLastUnit(T* text, char16_t unit) {
    T* found = nullptr;
    for (T* p = text;; ++p) {
        if (*p == unit) found = p;
        if (!*p) return found;
    }
}

constexpr u32 NO_LIMIT = UINT32_MAX;
constexpr auto sameUnit = [](auto unit) { return unit; };

}  // namespace

// ---------------------------------------------------------------------------------------------
// Comparison and search

s32 strCompare(const char* a, const char* b) {
    const s32 result = std::strcmp(a, b);
    return (result > 0) - (result < 0);
}

s32 wstrCompare(const char16_t* a, const char16_t* b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return (*a > *b) - (*a < *b);
}

s32 strCompareNoCase(const char* a, const char* b) { return strcasecmp_l(a, b, cLocale()); }

char* strFind(char* text, const char* pattern) { return std::strstr(text, pattern); }
const char16_t* wstrFindLastChar(const char16_t* text, char16_t unit) { return findLastUnit(text, unit); }

// ---------------------------------------------------------------------------------------------
// Copying, appending, length

u32 strLength(const char* text) { return u32(std::strlen(text)); }
u32 wstrLength(const char16_t* text) { return lengthOf(text); }

void wstrCopy(char16_t* dest, const char16_t* src) { putUnbounded(dest, src, NO_LIMIT, sameUnit); }
void wstrAppend(char16_t* dest, const char16_t* src) { wstrCopy(dest + wstrLength(dest), src); }
void wstrAppendNarrow(char16_t* dest, const char* narrow) {
    putUnbounded(dest + wstrLength(dest), narrow, NO_LIMIT, widenByte);
}

ETextCopyResult strCopyN(char* dest, const char* src, u32 n) {
    const ETextCopyResult result = putBounded(dest, n, src, NO_LIMIT, sameUnit);
    padWithZeros(dest, n);
    return result;
}

ETextCopyResult wstrCopyN(char16_t* dest, const char16_t* src, u32 n) {
    const ETextCopyResult result = putBounded(dest, n, src, NO_LIMIT, sameUnit);
    padWithZeros(dest, n);
    return result;
}

ETextCopyResult strAppendN(char* dest, const char* src, u32 capacity) {
    return appendBounded(dest, capacity, src, NO_LIMIT, sameUnit);
}

ETextCopyResult wstrAppendN(char16_t* dest, const char16_t* src, u32 capacity) {
    return appendBounded(dest, capacity, src, NO_LIMIT, sameUnit);
}

ETextCopyResult wstrAppendNarrowN(char16_t* dest, const char* narrow, u32 capacity) {
    return appendBounded(dest, capacity, narrow, NO_LIMIT, widenByte);
}

// ---------------------------------------------------------------------------------------------
// Conversion

void wstrFromNarrow(char16_t* dest, const char* narrow) {
    putUnbounded(dest, narrow, WIDEN_TEXT_LIMIT, widenByte);
}

ETextCopyResult strToWideN(char16_t* dest, const char* narrow, u32 n) {
    return putBounded(dest, n, narrow, NO_LIMIT, widenByte);
}

ETextCopyResult wstrToNarrowN(char* dest, const char16_t* wide, u32 n) {
    return putBounded(dest, n, wide, NO_LIMIT, narrowUnit);
}
