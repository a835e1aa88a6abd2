#include "core/string_helpers.h"

#include "core/c_locale.h"
#include "core/fatal_error.h"

#include <ctype.h>
#include <strings.h>

#include <cstdint>
#include <new>
#include <string>

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

char16_t foldUnit(char16_t unit) { return (unit >= u'A' && unit <= u'Z') ? char16_t(unit + 32) : unit; }
char16_t widenByte(char c) { return char16_t(u8(c)); }
char narrowUnit(char16_t unit) { return unit < 256 ? char(unit) : '_'; }
bool isTrimSpace(char16_t unit) { return unit < 256 && isspace_l(unit, cLocale()) != 0; }

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
T* findUnits(T* text, const char16_t* pattern) {
    if (!pattern[0]) return text;
    for (T* start = text; *start; ++start) {
        u32 i = 0;
        while (pattern[i] && start[i] == pattern[i]) ++i;
        if (!pattern[i]) return start;
    }
    return nullptr;
}

template <typename T>
T* findLastUnit(T* text, char16_t unit) {
    T* found = nullptr;
    for (T* p = text;; ++p) {
        if (*p == unit) found = p;
        if (!*p) return found;
    }
}

// Walks a wide and a narrow text together, the narrow side widened byte by byte.
s32 compareWideNarrowNoCase(const char16_t* wide, const char* narrow) {
    for (;; ++wide, ++narrow) {
        const char16_t a = foldUnit(*wide);
        const char16_t b = foldUnit(widenByte(*narrow));
        if (a != b) return s32(a) - s32(b);
        if (!a) return 0;
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

s32 wstrCompareNoCase(const char16_t* a, const char16_t* b) {
    if (!a || !b) return -1;
    for (;; ++a, ++b) {
        const char16_t fa = foldUnit(*a);
        const char16_t fb = foldUnit(*b);
        if (fa != fb) return s32(fa) - s32(fb);
        if (!fa) return 0;
    }
}

s32 strCompareNoCaseWithWide(const char* narrow, const char16_t* wide) {
    if (!narrow || !wide) return -1;
    return -compareWideNarrowNoCase(wide, narrow);
}

s32 wstrCompareNoCaseWithNarrow(const char16_t* wide, const char* narrow) {
    if (!wide || !narrow) return -1;
    return compareWideNarrowNoCase(wide, narrow);
}

char* strFind(char* text, const char* pattern) { return std::strstr(text, pattern); }
const char16_t* wstrFind(const char16_t* text, const char16_t* pattern) { return findUnits(text, pattern); }
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

void wstrJoinNarrowThenWide(char16_t* dest, const char* narrow, const char16_t* wide) {
    char16_t* end = dest + wstrLength(dest);
    if (end != dest) {
        putUnbounded(end, narrow, PATH_BUFFER_LENGTH - 1, widenByte);
        end += wstrLength(end);
    }
    wstrCopy(end, wide);
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

u32 wstrTrimCopy(char16_t* dest, const char16_t* src, u32 capacity) {
    if (capacity == 0) return 0;
    while (*src && isTrimSpace(*src)) ++src;
    u32 length = wstrLength(src);
    while (length > 0 && isTrimSpace(src[length - 1])) --length;
    u32 keep = length < capacity - 1 ? length : capacity - 1;
    if (keep < length) keep = pairSafeCut(src, keep);
    for (u32 i = 0; i < keep; ++i) dest[i] = src[i];
    dest[keep] = 0;
    return keep;
}

// ---------------------------------------------------------------------------------------------
// String array and splitting

namespace {

String* allocStringBlock(u32 capacity) {
    void* block = ::operator new(size_t(capacity) * sizeof(String), std::align_val_t(16), std::nothrow);
    if (!block) fatalErrorf("out of memory for %u strings", capacity);
    String* strings = static_cast<String*>(block);
    for (u32 i = 0; i < capacity; ++i) new (&strings[i]) String();
    return strings;
}

// Last first, as the block was built first to last.
void freeStringBlock(String* strings, u32 capacity) {
    for (u32 i = capacity; i > 0; --i) strings[i - 1].~String();
    ::operator delete(strings, std::align_val_t(16));
}

}  // namespace

void ClStringArray::init(u32 capacity) {
    release();
    m_data = allocStringBlock(capacity);
    m_capacity = capacity;
}

void ClStringArray::grow() {
    if (m_capacity > UINT32_MAX / 2) fatalError("string array too large");
    // An array set up with capacity 0 must still grow.
    const u32 capacity = m_capacity ? m_capacity * 2 : 2;
    String* data = allocStringBlock(capacity);
    for (u32 i = 0; i < m_count; ++i) data[i] = m_data[i];
    if (m_cursor) m_cursor = data + (m_cursor - m_data);
    if (m_last) m_last = data + (m_last - m_data);
    freeStringBlock(m_data, m_capacity);
    m_data = data;
    m_capacity = capacity;
}

u32 ClStringArray::push(const String& string) {
    if (!m_data) init(STRING_ARRAY_INITIAL_CAPACITY);
    const String* source = &string;
    if (m_count + 1 >= m_capacity) {
        // The string may be one of ours; find it again in the new block.
        const uintptr_t address = reinterpret_cast<uintptr_t>(source);
        const uintptr_t begin = reinterpret_cast<uintptr_t>(m_data);
        const uintptr_t end = reinterpret_cast<uintptr_t>(m_data + m_capacity);
        const bool own = address >= begin && address < end;
        const u32 index = own ? u32(source - m_data) : 0;
        grow();
        if (own) source = m_data + index;
    }
    String* element = m_data + m_count;
    *element = *source;
    if (!m_cursor) m_cursor = element;
    m_last = element;
    return ++m_count;
}

void ClStringArray::reset() {
    for (u32 i = 0; i < m_count; ++i) m_data[i].clear();
    m_count = 0;
    m_last = nullptr;
    m_cursor = nullptr;
}

void ClStringArray::release() {
    if (m_data) freeStringBlock(m_data, m_capacity);
    m_data = nullptr;
    m_last = nullptr;
    m_cursor = nullptr;
    m_capacity = 0;
    m_count = 0;
}

void splitString(const char* text, ClStringArray* out, const char* delimiters) {
    if (out->isInUse()) {
        out->reset();
    } else {
        out->init(STRING_ARRAY_INITIAL_CAPACITY);
    }
    if (!text) return;
    std::string copy(text);
    char* save = nullptr;
    for (char* token = strtok_r(copy.data(), delimiters, &save); token;
         token = strtok_r(nullptr, delimiters, &save)) {
        out->push(String(token));
    }
}
