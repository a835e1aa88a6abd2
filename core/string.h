// The game's narrow string: configuration, script and UI text. Not for inner loops: every
// construction from text and every append allocates.
#pragma once

#include "core/types.h"

// Anything that can be found by a 32-bit name hash.
class IHashable {
public:
    virtual ~IHashable() = default;
    virtual u32 hash() const = 0;
};

// The one process-wide empty text. Every empty `String` points here; it is never freed and never
// written (every write into a text is bounded by a length, which is 0 here).
extern char g_szEmptyText[1];

// Owned text blocks of `String` and `ClHashedName`: 16-byte aligned, never shared. Allocation
// failure is fatal. Freeing ignores null and the shared empty text.
char* allocTextBlock(size_t bytes);
void freeTextBlock(char* block);
// The C length of a text, fatal when it does not fit the signed 32-bit lengths the strings keep.
s32 checkedTextLength(const char* text);

class String : public IHashable {
public:
    String();
    // A null text reads as the empty text.
    explicit String(const char* text);
    String(const String& other) = delete;
    ~String() override;

    String& operator=(const String& other) { assign(other); return *this; }
    String& operator=(const char* text) { assignText(text); return *this; }

    // Back to the shared empty text; the string stays usable.
    void clear();

    // Each of these may be given text that lies inside this string's own block: the new block is
    // filled before the old one is freed.
    void assign(const String& other);
    void assignText(const char* text);
    // n bytes and a terminator after them; the bytes may hold a NUL, and the length then counts
    // past the C length.
    void assignBytes(const void* bytes, s32 n);

    const char* getText() const { return text; }

    // Byte-by-byte, case-sensitive.
    bool equalsText(const char* other) const;

    // C reading rules (leading white space, sign, stops at the first non-digit; 0 when none).
    // Out-of-range values keep their low 32 bits.
    s32 toInt() const;
    // C reading rules in the "C" locale whatever the process locale, narrowed to single precision.
    f32 toFloat() const;
    // Upper-cases the text in place (a-z only), then reads hexadecimal digits from the third
    // character on: the first two, the "0x", are skipped unread. Stops at the first non-digit;
    // texts shorter than three characters give 0. Upper digits of long texts fall off.
    u32 parseHexAfterPrefix();

    // The name hash of the text; 0 for the empty string.
    u32 hash() const override;

private:
    void replaceBlock(char* block, s32 newLength);

    s32 length;
    char* text;
};
