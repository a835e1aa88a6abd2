#include "core/string.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/c_locale.h"
#include "core/fatal_error.h"
#include "core/name_hash.h"

char g_szEmptyText[1] = {'\0'};

namespace {

constexpr size_t TEXT_BLOCK_ALIGNMENT = 16;

}  // namespace

char* allocTextBlock(size_t bytes) {
    // aligned_alloc wants a multiple of the alignment.
    const size_t rounded = (bytes + TEXT_BLOCK_ALIGNMENT - 1) & ~(TEXT_BLOCK_ALIGNMENT - 1);
    if (rounded < bytes) fatalError("String: text block size overflows");
    void* block = std::aligned_alloc(TEXT_BLOCK_ALIGNMENT, rounded ? rounded : TEXT_BLOCK_ALIGNMENT);
    if (!block) fatalErrorf("String: out of memory for a text block of %zu bytes", bytes);
    return static_cast<char*>(block);
}

void freeTextBlock(char* block) {
    if (block && block != g_szEmptyText) std::free(block);
}

s32 checkedTextLength(const char* text) {
    if (!text) return 0;
    const size_t n = std::strlen(text);
    // One byte more must still fit for the terminator.
    if (n >= size_t(INT32_MAX)) fatalErrorf("String: text of %zu bytes is too long", n);
    return s32(n);
}

String::String() : length(0), text(g_szEmptyText) {}

String::String(const char* source) : length(0), text(g_szEmptyText) { assignText(source); }

String::~String() {
    freeTextBlock(text);
    length = 0;
    text = nullptr;
}

void String::clear() {
    freeTextBlock(text);
    length = 0;
    text = g_szEmptyText;
}

// The old block goes last, so a source inside it stays readable until the copy is done.
void String::replaceBlock(char* block, s32 newLength) {
    char* old = text;
    text = block;
    length = newLength;
    freeTextBlock(old);
}

void String::assign(const String& other) {
    if (&other == this) return;
    const s32 n = other.length;
    char* block = allocTextBlock(size_t(n) + 1);
    std::memcpy(block, other.text, size_t(n) + 1);
    replaceBlock(block, n);
}

void String::assignText(const char* source) {
    const s32 n = checkedTextLength(source);
    assignBytes(source ? source : g_szEmptyText, n);
}

void String::assignBytes(const void* bytes, s32 n) {
    if (n < 0 || n == INT32_MAX) fatalErrorf("String::assignBytes: bad length %d", n);
    if (!bytes && n > 0) fatalError("String::assignBytes: no bytes");
    char* block = allocTextBlock(size_t(n) + 1);
    if (n > 0) std::memcpy(block, bytes, size_t(n));
    block[n] = '\0';
    replaceBlock(block, n);
}

bool String::equalsText(const char* other) const {
    return std::strcmp(text, other ? other : g_szEmptyText) == 0;
}

s32 String::toInt() const {
    // atoi's overflow is undefined; strtol saturates in 64 bits and the low 32 bits are kept.
    const long value = std::strtol(text, nullptr, 10);
    return s32(u32(u64(value)));
}

f32 String::toFloat() const { return f32(strtod_l(text, nullptr, cLocale())); }

u32 String::parseHexAfterPrefix() {
    for (s32 i = 0; i < length && text[i] != '\0'; ++i) {
        if (text[i] >= 'a' && text[i] <= 'z') text[i] = char(text[i] - 'a' + 'A');
    }
    if (length < 3) return 0;
    u32 value = 0;
    for (const char* p = text + 2;; ++p) {
        u32 digit;
        if (*p >= '0' && *p <= '9') digit = u32(*p - '0');
        else if (*p >= 'A' && *p <= 'F') digit = u32(*p - 'A' + 10);
        else break;
        value = (value << 4) | digit;
    }
    return value;
}

u32 String::hash() const { return crc32TextNoCase(text); }
