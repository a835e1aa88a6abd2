#include "core/config.h"

#include "core/name_hash.h"

#include <cstdlib>
#include <cstring>

namespace {

SConfigEntry g_aConfigEntries[CONFIG_MAX_ENTRIES];
int g_iConfigEntryCount = 0;

void copyBounded(char* target, const char* source, size_t size) {
    size_t length = std::strlen(source);
    if (length > size - 1) length = size - 1;
    std::memcpy(target, source, length);
    target[length] = '\0';
}

// The newest entry for a key wins.
const SConfigEntry* findEntry(const char* key) {
    if (!key) return nullptr;
    char bounded[CONFIG_KEY_LENGTH];
    copyBounded(bounded, key, sizeof bounded);
    const u32 hash = crc32TextNoCase(bounded);
    for (int i = g_iConfigEntryCount - 1; i >= 0; --i) {
        if (g_aConfigEntries[i].keyHash == hash && g_aConfigEntries[i].value[0]) return &g_aConfigEntries[i];
    }
    return nullptr;
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

EConfigValueKind configClassifyValue(const char* text, u32* outWord) {
    *outWord = 0;
    if (!text || !text[0]) return E_CONFIG_VALUE_TEXT;

    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const char* digits = text + 2;
        for (const char* p = digits; *p; ++p) {
            if (!isHexDigit(*p)) return E_CONFIG_VALUE_TEXT;
        }
        *outWord = u32(std::strtoul(digits, nullptr, 16));
        return E_CONFIG_VALUE_INT;
    }

    const char* p = text[0] == '-' ? text + 1 : text;
    int digits = 0;
    int points = 0;
    for (; *p; ++p) {
        if (isDigit(*p)) {
            ++digits;
        } else if (*p == '.') {
            ++points;
        } else {
            return E_CONFIG_VALUE_TEXT;
        }
    }
    if (digits == 0 || points > 1) return E_CONFIG_VALUE_TEXT;
    if (points == 0) {
        *outWord = u32(s32(std::strtol(text, nullptr, 10)));
        return E_CONFIG_VALUE_INT;
    }
    const f32 value = std::strtof(text, nullptr);
    std::memcpy(outWord, &value, sizeof value);
    return E_CONFIG_VALUE_FLOAT;
}

void configClear() {
    std::memset(g_aConfigEntries, 0, sizeof g_aConfigEntries);
    g_iConfigEntryCount = 0;
}

bool configSetValue(const char* key, const char* valueText) {
    if (!key || !key[0] || !valueText || !valueText[0]) return false;
    if (g_iConfigEntryCount >= CONFIG_MAX_ENTRIES - 1) return false;
    SConfigEntry& entry = g_aConfigEntries[g_iConfigEntryCount++];
    copyBounded(entry.key, key, sizeof entry.key);
    entry.keyHash = crc32TextNoCase(entry.key);
    copyBounded(entry.value, valueText, sizeof entry.value);
    entry.kind = configClassifyValue(entry.value, &entry.valueWord);
    return true;
}

s32 configGetInt(const char* key) {
    const SConfigEntry* entry = findEntry(key);
    if (!entry) return 0;
    if (entry->kind == E_CONFIG_VALUE_FLOAT) {
        f32 value;
        std::memcpy(&value, &entry->valueWord, sizeof value);
        if (!(value > -2147483648.0f)) return value != value ? 0 : INT32_MIN;
        if (value >= 2147483648.0f) return INT32_MAX;
        return s32(value);
    }
    return s32(entry->valueWord);
}

f32 configGetFloat(const char* key) {
    const SConfigEntry* entry = findEntry(key);
    if (!entry) return 0.0f;
    if (entry->kind == E_CONFIG_VALUE_INT) return f32(s32(entry->valueWord));
    f32 value;
    std::memcpy(&value, &entry->valueWord, sizeof value);
    return value;
}

const char* configGetString(const char* key) {
    const SConfigEntry* entry = findEntry(key);
    return entry ? entry->value : nullptr;
}

bool configHasKey(const char* key) { return findEntry(key) != nullptr; }
