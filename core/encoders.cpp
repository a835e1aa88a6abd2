#include "core/encoders.h"

#include "core/fatal_error.h"

#include <cstdlib>

namespace {

constexpr size_t ENCODED_TEXT_ALIGNMENT = 16;

const char kBase64Head[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const char kHexDigits[] = "0123456789ABCDEF";

char* allocEncodedText(size_t bytes, const char* what) {
    // aligned_alloc wants a whole number of alignment units.
    size_t rounded = (bytes + ENCODED_TEXT_ALIGNMENT - 1) & ~(ENCODED_TEXT_ALIGNMENT - 1);
    void* block = std::aligned_alloc(ENCODED_TEXT_ALIGNMENT, rounded);
    if (!block) fatalErrorf("out of memory for %s text (%zu bytes)", what, bytes);
    return static_cast<char*>(block);
}

bool passesUrlUnchanged(u8 c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

}  // namespace

void encodeBase64(const u8* bytes, u32 n, char** outText, char char62, char char63, char padChar) {
    // The alphabet lives on the stack: concurrent calls with different tails never share it.
    char alphabet[64];
    for (int i = 0; i < 62; ++i) alphabet[i] = kBase64Head[i];
    alphabet[62] = char62;
    alphabet[63] = char63;

    size_t groups = (size_t(n) + 2) / 3;
    size_t length = groups * 4;
    char* text = allocEncodedText(length + 1, "base64");
    char* out = text;
    for (size_t g = 0; g < groups; ++g) {
        size_t at = g * 3;
        u32 b0 = bytes[at];
        u32 b1 = at + 1 < n ? bytes[at + 1] : 0;
        u32 b2 = at + 2 < n ? bytes[at + 2] : 0;
        u32 bits = (b0 << 16) | (b1 << 8) | b2;
        *out++ = alphabet[(bits >> 18) & 63];
        *out++ = alphabet[(bits >> 12) & 63];
        *out++ = alphabet[(bits >> 6) & 63];
        *out++ = alphabet[bits & 63];
    }
    u32 rest = n % 3;
    if (rest == 1) {
        text[length - 2] = padChar;
        text[length - 1] = padChar;
    } else if (rest == 2) {
        text[length - 1] = padChar;
    }
    text[length] = '\0';
    *outText = text;
}

void encodeUrl(const u8* bytes, u32 n, char** outText) {
    char* text = allocEncodedText(size_t(n) * 3 + 1, "URL-encoded");
    char* out = text;
    for (u32 i = 0; i < n; ++i) {
        u8 c = bytes[i];
        if (passesUrlUnchanged(c)) {
            *out++ = char(c);
        } else {
            *out++ = '%';
            *out++ = kHexDigits[c >> 4];
            *out++ = kHexDigits[c & 15];
        }
    }
    *out = '\0';
    *outText = text;
}
