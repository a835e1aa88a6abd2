#include "core/text_reader.h"

#include "core/fatal_error.h"
#include "core/packages.h"
#include "core/string_helpers.h"

namespace {

constexpr u32 TEXT_SOURCE_ALIGNMENT = 16;
constexpr u32 TEXT_SOURCE_USER_WORD = 4;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

u32 textLineNumber(const STextReader& reader) {
    u32 lineNumber = 1;
    for (u32 i = 0; i < reader.lineStart && i < reader.length; ++i) {
        if (reader.source[i] == '\n') ++lineNumber;
    }
    return lineNumber;
}

bool openTextReader(STextReader& reader, const char* path) {
    closeTextReader(reader);
    if (!path) return false;
    u32 size = 0;
    SAssetFile* file = nullptr;
    if (openPackagedFile(path, &size, &file, PACKAGE_ID_ANY) != 0 || !file) return false;
    // An empty file is no text source: the settings file of size 0 counts as missing.
    const bool read =
        size > 0 && prepareAssetFileBuffers(file, 0, size, TEXT_SOURCE_ALIGNMENT, TEXT_SOURCE_USER_WORD) &&
        readAssetFile(file, 0, size) == 0;
    closeAssetFileDisk(file);
    if (!read) {
        releaseAssetFile(file);
        return false;
    }
    reader.file = file;
    reader.source = reinterpret_cast<const char*>(file->data);
    reader.length = size;
    return true;
}

void closeTextReader(STextReader& reader) {
    if (reader.file) releaseAssetFile(reader.file);
    reader = STextReader{};
}

char* readLine(STextReader& reader, char* buffer, u32 size) {
    if (!buffer || size < 2 || !reader.source || reader.position >= reader.length) return nullptr;
    reader.lineStart = reader.position;
    u32 copied = 0;
    while (copied < size - 1 && reader.position < reader.length) {
        const char c = reader.source[reader.position++];
        buffer[copied++] = c;
        if (c == '\n' || c == '\r') break;
    }
    buffer[copied] = '\0';
    return buffer;
}

bool isContentLine(const char* text) {
    if (!text || !text[0]) return false;
    if (!text[1] && (isWhite(text[0]))) return false;
    const char* p = text;
    while (isBlank(*p)) ++p;
    if (*p != '/') return true;
    ++p;
    while (isBlank(*p)) ++p;
    return *p != '/' && *p != '\0';
}

char* nextContentLine(STextReader& reader, u32 size, char* buffer) {
    while (readLine(reader, buffer, size)) {
        if (isContentLine(buffer)) return buffer;
    }
    return nullptr;
}

const char* nextToken(const char* text, char* out, u32 size) {
    if (out && size) out[0] = '\0';
    if (!text) return nullptr;
    const char* p = text;
    while (isWhite(*p)) ++p;

    u32 copied = 0;
    auto keep = [&](char c) {
        if (out && copied + 1 < size) out[copied++] = c;
    };
    if (*p == '"') {
        // A quote left open ends with its line, so it never reads past the text.
        ++p;
        while (*p && *p != '"' && *p != '\n' && *p != '\r') keep(*p++);
        if (*p == '"') ++p;
    } else {
        while (*p && !isWhite(*p)) keep(*p++);
    }
    if (out && size) out[copied] = '\0';

    while (isWhite(*p)) ++p;
    return *p ? p : nullptr;
}
