// Free functions over NUL-terminated narrow text (8-bit characters) and wide text (UTF-16
// units), for code that works in fixed buffers rather than with `String`.
//
// Narrowing is lossy: every unit of 256 or more becomes '_', so a narrowed text is for display
// and logs only, never for a path handed to the system. Widening maps each byte to the unit of
// the same value (no code-page or UTF-8 decoding).
//
// The unbounded copies trust the caller to have sized the destination. Text that comes from
// outside the program (directory listings, music folders, tags, settings) goes through the
// bounded forms, which take the destination's capacity in units including the terminator,
// never write past it, always terminate, and report whether the whole source fitted (capacity
// 0 writes nothing and reports a truncation). A bounded wide copy never splits a surrogate
// pair: when only the high half would fit, neither half is written.
//
// Case folding, white space and the case-insensitive narrow comparison follow the "C" locale
// whatever locale the process has set.
#pragma once

#include "core/string.h"
#include "core/types.h"

#include <cstring>

enum ETextCopyResult : u32 {
    E_TEXTCOPY_COMPLETE = 0,
    E_TEXTCOPY_TRUNCATED = 1,  // the destination holds the longest prefix that fitted
};

// Names and paths live in fixed buffers of this many narrow characters or wide units.
constexpr u32 PATH_BUFFER_LENGTH = 768;
// At most this many characters of a narrow text are widened by `wstrFromNarrow`.
constexpr u32 WIDEN_TEXT_LIMIT = 4096;

// ---------------------------------------------------------------------------------------------
// Comparison and search

// Texts are non-null unless a function says otherwise.

// Byte by byte (unsigned) / unit by unit (unsigned): -1, 0 or 1.
s32 strCompare(const char* a, const char* b);
s32 wstrCompare(const char16_t* a, const char16_t* b);
// Without regard to case ('A'-'Z' against 'a'-'z' only); less than, equal to or greater than 0.
s32 strCompareNoCase(const char* a, const char* b);
// Folds only 'A'-'Z'; the difference of the first differing folded units, 0 when equal, -1
// when either text is null.
s32 wstrCompareNoCase(const char16_t* a, const char16_t* b);
// As `wstrCompareNoCase` with the narrow text widened. The whole narrow text takes part, however
// long, so a long text never compares equal to a prefix of itself.
s32 strCompareNoCaseWithWide(const char* narrow, const char16_t* wide);
s32 wstrCompareNoCaseWithNarrow(const char16_t* wide, const char* narrow);

// First occurrence of the pattern, or null; an empty pattern gives the text itself.
char* strFind(char* text, const char* pattern);
const char16_t* wstrFind(const char16_t* text, const char16_t* pattern);
// Last occurrence of the unit, or null. Unit 0 finds the terminator.
const char16_t* wstrFindLastChar(const char16_t* text, char16_t unit);

// ---------------------------------------------------------------------------------------------
// Copying, appending, length

u32 strLength(const char* text);
u32 wstrLength(const char16_t* text);

// Unbounded: only for destinations sized from the source.
void wstrCopy(char16_t* dest, const char16_t* src);
void wstrAppend(char16_t* dest, const char16_t* src);
// Appends, widening each byte.
void wstrAppendNarrow(char16_t* dest, const char* narrow);
// When dest is not empty, appends the narrow text (widened, at most `PATH_BUFFER_LENGTH` - 1
// characters of it); then appends the wide text in every case. Joins an optional first part
// to a second with a separator, as in "artist - title".
void wstrJoinNarrowThenWide(char16_t* dest, const char* narrow, const char16_t* wide);

// Bounded copies: at most n - 1 units and a terminator, then zeros up to n (fixed-size record
// fields thus hold no stale bytes).
ETextCopyResult strCopyN(char* dest, const char* src, u32 n);
ETextCopyResult wstrCopyN(char16_t* dest, const char16_t* src, u32 n);
// Bounded appends: the text already in dest plus the appended part stay within capacity. A
// dest with no terminator inside capacity is cut to capacity - 1 and reported as truncated.
ETextCopyResult strAppendN(char* dest, const char* src, u32 capacity);
ETextCopyResult wstrAppendN(char16_t* dest, const char16_t* src, u32 capacity);
ETextCopyResult wstrAppendNarrowN(char16_t* dest, const char* narrow, u32 capacity);

inline void* memFill(void* dest, int value, size_t bytes) { return std::memset(dest, value, bytes); }
inline void* memCopy(void* dest, const void* src, size_t bytes) { return std::memcpy(dest, src, bytes); }
inline void* memMove(void* dest, const void* src, size_t bytes) { return std::memmove(dest, src, bytes); }

// ---------------------------------------------------------------------------------------------
// Conversion

// Widens at most `WIDEN_TEXT_LIMIT` characters. Unbounded; the bounded form is `strToWideN`.
void wstrFromNarrow(char16_t* dest, const char* narrow);
// Bounded conversions: at most n - 1 units or bytes and a terminator; a wide unit of 256 or
// more becomes '_'. A surrogate pair becomes "__", and is never cut to a single '_'.
ETextCopyResult strToWideN(char16_t* dest, const char* narrow, u32 n);
ETextCopyResult wstrToNarrowN(char* dest, const char16_t* wide, u32 n);

// Copies src without leading and trailing white space (tab, line feed, vertical tab, form feed,
// carriage return, space; every unit of 256 or more is not white space) into at most
// capacity - 1 units and a terminator. Returns the length written: 0 for capacity 0 (nothing
// written) and for a source of only white space.
u32 wstrTrimCopy(char16_t* dest, const char16_t* src, u32 capacity);

// ---------------------------------------------------------------------------------------------
// String array and splitting

constexpr u32 STRING_ARRAY_INITIAL_CAPACITY = 8;

// A growable array of `String`. Like every growable array of the game it doubles its block when
// a push finds count + 1 equal to the capacity, so one slot always stays free. Growing moves
// the strings to a new block: element pointers held across a push are invalid afterwards,
// except the cursor, which moves to the same index.
class ClStringArray {
public:
    ClStringArray() = default;
    ~ClStringArray() { release(); }
    ClStringArray(const ClStringArray&) = delete;
    ClStringArray& operator=(const ClStringArray&) = delete;

    // Constructs capacity empty strings in a 16-byte aligned block (a block in use is released
    // first). Allocation failure is fatal.
    void init(u32 capacity);
    // Copies the string into the next element and returns the new count. A push into an array
    // never set up sets it up with `STRING_ARRAY_INITIAL_CAPACITY` first. The string may be an
    // element of this array.
    u32 push(const String& string);
    // Count 0, every element emptied; the block stays.
    void reset();
    // Destroys the strings and frees the block.
    void release();

    bool isInUse() const { return m_data != nullptr; }
    u32 getCount() const { return m_count; }
    u32 getCapacity() const { return m_capacity; }
    // No bounds check: callers keep index below the count.
    const String& operator[](u32 index) const { return m_data[index]; }
    String& operator[](u32 index) { return m_data[index]; }
    // The most recently pushed element, or null.
    String* getLast() const { return m_last; }
    // An element the owner keeps across pushes: set to the first pushed element when null.
    String* getCursor() const { return m_cursor; }
    void setCursor(String* element) { m_cursor = element; }

private:
    void grow();

    String* m_data = nullptr;
    String* m_last = nullptr;
    String* m_cursor = nullptr;
    u32 m_capacity = 0;
    u32 m_count = 0;
};

// Resets the array (setting it up with `STRING_ARRAY_INITIAL_CAPACITY` on first use), then
// cuts a copy of the text at every delimiter character and pushes each token. Delimiters next
// to each other, or at either end, yield no empty tokens. A null text gives no tokens.
void splitString(const char* text, ClStringArray* out, const char* delimiters);
