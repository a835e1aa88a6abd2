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

// A game path ('\' separators) as the system takes it.
std::string withSystemSeparators(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
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
        uint32_t codePoint;
        int extra;
        if (*p < 0x80) {
            codePoint = *p;
            extra = 0;
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
            out->clear();
            return false;
        }
        ++p;
        for (int i = 0; i < extra; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) {
                out->clear();
                return false;
            }
            codePoint = (codePoint << 6) | (*p & 0x3F);
        }
        static const uint32_t smallest[4] = {0, 0x80, 0x800, 0x10000};
        if (codePoint < smallest[extra] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            out->clear();
            return false;
        }
        if (codePoint >= 0x10000) {
            codePoint -= 0x10000;
            out->push_back(char16_t(0xD800 + (codePoint >> 10)));
            out->push_back(char16_t(0xDC00 + (codePoint & 0x3FF)));
        } else {
            out->push_back(char16_t(codePoint));
        }
    }
    return true;
}

std::string osSystemPath(const char* path) { return withSystemSeparators(path ? path : ""); }

std::string osSystemPathW(const char16_t* path) { return withSystemSeparators(osWideToUtf8(path)); }

bool osAbsolutePathW(const char16_t* path, std::u16string* out) {
    out->clear();
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(osSystemPathW(path), error);
    if (error) return false;
    if (!osUtf8ToWide(absolute.lexically_normal().string().c_str(), out)) return false;
    for (char16_t& c : *out) {
        if (c == u'/') c = u'\\';
    }
    return true;
}
