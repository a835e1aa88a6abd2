// UTF-16 and UTF-8 conversion, and game paths turned into system paths.
#include "platform/os/os.h"

#include <filesystem>
#include <system_error>

namespace {

void appendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += char(codePoint);
    } else if (codePoint < 0x800) {
        out += char(0xC0 | (codePoint >> 6));
        out += char(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += char(0xE0 | (codePoint >> 12));
        out += char(0x80 | ((codePoint >> 6) & 0x3F));
        out += char(0x80 | (codePoint & 0x3F));
    } else {
        out += char(0xF0 | (codePoint >> 18));
        out += char(0x80 | ((codePoint >> 12) & 0x3F));
        out += char(0x80 | ((codePoint >> 6) & 0x3F));
        out += char(0x80 | (codePoint & 0x3F));
    }
}

// The unpaired surrogates osNameToWide keeps a byte in: U+DC00 + the byte, for the bytes of
// broken UTF-8 (0x80 and up) and for the game's separator.
constexpr char16_t KEPT_BYTE_BASE = 0xDC00;
constexpr char16_t KEPT_SEPARATOR = KEPT_BYTE_BASE + u'\\';

bool isKeptByte(uint32_t unit) {
    return unit == KEPT_SEPARATOR || (unit >= KEPT_BYTE_BASE + 0x80u && unit <= KEPT_BYTE_BASE + 0xFFu);
}

// The length of the valid UTF-8 sequence at p (1 to 4) and its code point; 0 when the bytes
// there are not one.
int utf8Sequence(const unsigned char* p, uint32_t* outCodePoint) {
    int extra;
    uint32_t codePoint;
    if (*p < 0x80) {
        *outCodePoint = *p;
        return 1;
    } else if ((*p & 0xE0) == 0xC0) {
        codePoint = *p & 0x1F;
        extra = 1;
    } else if ((*p & 0xF0) == 0xE0) {
        codePoint = *p & 0x0F;
        extra = 2;
    } else if ((*p & 0xF8) == 0xF0) {
        codePoint = *p & 0x07;
        extra = 3;
    } else {
        return 0;
    }
    for (int i = 1; i <= extra; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (p[i] & 0x3F);
    }
    static const uint32_t smallest[4] = {0, 0x80, 0x800, 0x10000};
    if (codePoint < smallest[extra] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
    *outCodePoint = codePoint;
    return extra + 1;
}

void appendUtf16(std::u16string& out, uint32_t codePoint) {
    if (codePoint >= 0x10000) {
        codePoint -= 0x10000;
        out.push_back(char16_t(0xD800 + (codePoint >> 10)));
        out.push_back(char16_t(0xDC00 + (codePoint & 0x3FF)));
    } else {
        out.push_back(char16_t(codePoint));
    }
}

// A game path as the system takes it: '\' becomes '/', kept bytes come back.
std::string systemBytes(const char16_t* text) {
    std::string out;
    if (!text) return out;
    for (const char16_t* p = text; *p; ++p) {
        const uint32_t unit = *p;
        if (unit >= 0xD800 && unit <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            const uint32_t low = *++p;
            appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (isKeptByte(unit)) {
            out += char(unit - KEPT_BYTE_BASE);
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else if (unit == u'\\') {
            out += '/';
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

}  // namespace

std::string osWideToUtf8(const char16_t* text) {
    std::string out;
    if (!text) return out;
    for (const char16_t* p = text; *p; ++p) {
        uint32_t unit = *p;
        if (unit >= 0xD800 && unit <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            const uint32_t low = *++p;
            appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

bool osUtf8ToWide(const char* text, std::u16string* out) {
    out->clear();
    if (!text) return true;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        uint32_t codePoint = 0;
        const int length = utf8Sequence(p, &codePoint);
        if (length == 0) {
            out->clear();
            return false;
        }
        appendUtf16(*out, codePoint);
        p += length;
    }
    return true;
}

std::u16string osNameToWide(const char* bytes) {
    std::u16string out;
    if (!bytes) return out;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    while (*p) {
        uint32_t codePoint = 0;
        const int length = utf8Sequence(p, &codePoint);
        if (length == 0 || *p == '\\') {
            out.push_back(char16_t(KEPT_BYTE_BASE + *p));
            ++p;
            continue;
        }
        appendUtf16(out, codePoint);
        p += length;
    }
    return out;
}

std::u16string osReadableText(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out.push_back(unit);
            out.push_back(text[++i]);
        } else if (unit == KEPT_SEPARATOR) {
            out.push_back(u'\\');
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            out.push_back(u'\uFFFD');
        } else if (unit < 0x20 || unit == 0x7F) {
            out.push_back(u' ');
        } else {
            out.push_back(unit);
        }
    }
    return out;
}

std::string osSystemPath(const char* path) {
    std::string out = path ? path : "";
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

std::string osSystemPathW(const char16_t* path) { return systemBytes(path); }

bool osAbsolutePathW(const char16_t* path, std::u16string* out) {
    out->clear();
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(osSystemPathW(path), error);
    if (error) return false;
    *out = osNameToWide(absolute.lexically_normal().string().c_str());
    for (char16_t& c : *out) {
        if (c == u'/') c = u'\\';
    }
    return true;
}
