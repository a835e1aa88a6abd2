#include "ui/text_tags.h"

namespace {

s32 hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The length of the tag at text (0 when none starts there); an opening tag's colour goes to
// *colour with *digits its digit count.
u32 tagAt(const char16_t* text, u32* colour, u32* digits) {
    if (text[0] != u'[') return 0;
    if (text[1] == u'/' && (text[2] == u'c' || text[2] == u'C') && text[3] == u']') {
        *digits = 0;
        return 4;
    }
    if (!((text[1] == u'c' || text[1] == u'C') && text[2] == u'=')) return 0;
    u32 value = 0;
    u32 n = 0;
    for (; n < 8; ++n) {
        const s32 d = hexDigit(text[3 + n]);
        if (d < 0) break;
        value = (value << 4) | u32(d);
    }
    if ((n != 6 && n != 8) || text[3 + n] != u']') return 0;
    *colour = value;
    *digits = n;
    return 4 + n;
}

u32 tagColour(u32 value, u32 digits, u32 base) {
    const u32 baseAlpha = base >> 24;
    if (digits == 6) return (baseAlpha << 24) | (value & 0xFFFFFFu);
    const u32 alpha = ((value >> 24) * baseAlpha + 127) / 255;
    return (alpha << 24) | (value & 0xFFFFFFu);
}

}  // namespace

bool hasColourTags(const char16_t* text) {
    if (!text) return false;
    for (const char16_t* c = text; *c; ++c) {
        u32 colour, digits;
        if (*c == u'[' && (c[1] == u'[' || tagAt(c, &colour, &digits))) return true;
    }
    return false;
}

void parseColourTags(const char16_t* text, u32 baseColour, std::u16string* plain, std::vector<u32>* colours) {
    plain->clear();
    colours->clear();
    if (!text) return;
    u32 stack[TEXT_TAG_DEPTH] = {baseColour};
    u32 depth = 1;
    for (const char16_t* c = text; *c;) {
        u32 value = 0, digits = 0;
        if (c[0] == u'[' && c[1] == u'[') {
            plain->push_back(u'[');
            colours->push_back(stack[depth - 1]);
            c += 2;
            continue;
        }
        if (const u32 length = tagAt(c, &value, &digits)) {
            if (digits == 0) {
                if (depth > 1) --depth;
            } else if (depth < TEXT_TAG_DEPTH) {
                stack[depth++] = tagColour(value, digits, baseColour);
            } else {
                stack[depth - 1] = tagColour(value, digits, baseColour);
            }
            c += length;
            continue;
        }
        plain->push_back(*c++);
        colours->push_back(stack[depth - 1]);
    }
}

std::u16string escapeColourTags(const std::u16string& text) {
    std::u16string escaped;
    escaped.reserve(text.size());
    for (const char16_t c : text) {
        escaped.push_back(c);
        if (c == u'[') escaped.push_back(u'[');
    }
    return escaped;
}
