#include "core/text_reader.h"

#include "core/fatal_error.h"
#include "core/packages.h"
#include "core/string_helpers.h"

namespace {

constexpr u32 TEXT_SOURCE_ALIGNMENT = 16;
constexpr u32 TEXT_SOURCE_USER_WORD = 4;

struct STextReader {
    SAssetFile* file = nullptr;  // set when the source is a packaged file, which we release
    const char* source = nullptr;
    u32 length = 0;
    u32 position = 0;
    u32 lineStart = 0;  // offset of the line read last, for messages
};

STextReader g_textReader;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

void resetReader() {
    g_textReader.source = nullptr;
    g_textReader.length = 0;
    g_textReader.position = 0;
    g_textReader.lineStart = 0;
}

u32 lineNumberAt(u32 offset) {
    u32 lineNumber = 1;
    for (u32 i = 0; i < offset && i < g_textReader.length; ++i) {
        if (g_textReader.source[i] == '\n') ++lineNumber;
    }
    return lineNumber;
}

u32 currentLineNumber() { return lineNumberAt(g_textReader.lineStart); }

}  // namespace

u32 textLineNumber() { return currentLineNumber(); }

bool openTextSource(const char* path) {
    closeTextSource();
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
    g_textReader.file = file;
    g_textReader.source = reinterpret_cast<const char*>(file->data);
    g_textReader.length = size;
    return true;
}

void setTextSource(const char* block, u32 length) {
    closeTextSource();
    g_textReader.source = block;
    g_textReader.length = block ? length : 0;
}

void closeTextSource() {
    if (g_textReader.file) releaseAssetFile(g_textReader.file);
    g_textReader.file = nullptr;
    resetReader();
}

char* readLine(char* buffer, u32 size) {
    if (!buffer || size < 2 || !g_textReader.source || g_textReader.position >= g_textReader.length) return nullptr;
    g_textReader.lineStart = g_textReader.position;
    u32 copied = 0;
    while (copied < size - 1 && g_textReader.position < g_textReader.length) {
        const char c = g_textReader.source[g_textReader.position++];
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

char* nextContentLine(u32 size, char* buffer) {
    while (readLine(buffer, size)) {
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
