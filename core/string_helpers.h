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
// The case-insensitive narrow comparison follows the "C" locale whatever locale the process has
// set.
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

// First occurrence of the pattern, or null; an empty pattern gives the text itself.
char* strFind(char* text, const char* pattern);
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

// Bounded copies: at most n - 1 units and a terminator, then zeros up to n (fixed-size record
// fields thus hold no stale bytes).
ETextCopyResult strCopyN(char* dest, const char* src, u32 n);
ETextCopyResult wstrCopyN(char16_t* dest, const char16_t* src, u32 n);
// Bounded appends: the text already in dest plus the appended part stay within capacity. A
// dest with no terminator inside capacity is cut to capacity - 1 and reported as truncated.
ETextCopyResult strAppendN(char* dest, const char* src, u32 capacity);
ETextCopyResult wstrAppendN(char16_t* dest, const char16_t* src, u32 capacity);
ETextCopyResult wstrAppendNarrowN(char16_t* dest, const char* narrow, u32 capacity);

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
