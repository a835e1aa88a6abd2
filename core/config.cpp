#include "core/config.h"

#include "core/hash_map.h"
#include "core/name_hash.h"
#include "core/string_helpers.h"
#include "core/text_reader.h"

#include <cstring>

namespace {

SConfigEntry g_aConfigEntries[CONFIG_MAX_ENTRIES];
int g_iConfigEntryCount = 0;
// Key hash to the address of its entry.
ClHashMap g_configIndex;

u32 keyHashOf(const char* key) {
    char bounded[CONFIG_KEY_LENGTH];
    strCopyN(bounded, key, sizeof bounded);
    return crc32TextNoCase(bounded);
}

const SConfigEntry* findEntry(const char* key) {
    if (!key) return nullptr;
    return reinterpret_cast<const SConfigEntry*>(g_configIndex.find(keyHashOf(key)));
}

f32 wordAsFloat(u32 word) {
    f32 value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

}  // namespace

EConfigValueKind configClassifyValue(const char* text, u32* outWord) {
    *outWord = 0;
    if (!text || !text[0]) return E_CONFIG_VALUE_TEXT;
    if (isHexText(text)) {
        *outWord = hexTextValue(text);
        return E_CONFIG_VALUE_INT;
    }
    if (isIntText(text)) {
        *outWord = u32(intTextValue(text));
        return E_CONFIG_VALUE_INT;
    }
    if (isFloatText(text)) {
        const f32 value = floatTextValue(text);
        std::memcpy(outWord, &value, sizeof value);
        return E_CONFIG_VALUE_FLOAT;
    }
    return E_CONFIG_VALUE_TEXT;
}

void configClear() {
    std::memset(g_aConfigEntries, 0, sizeof g_aConfigEntries);
    g_iConfigEntryCount = 0;
    g_configIndex.init(CONFIG_INDEX_CAPACITY);
}

void configFree() {
    g_configIndex.release();
    g_iConfigEntryCount = 0;
}

bool configSetValue(const char* key, const char* valueText) {
    if (!key || !key[0] || !valueText) return false;
    if (g_iConfigEntryCount >= CONFIG_MAX_ENTRIES - 1) return false;
    if (!g_configIndex.isInUse()) g_configIndex.init(CONFIG_INDEX_CAPACITY);

    SConfigEntry& entry = g_aConfigEntries[g_iConfigEntryCount++];
    strCopyN(entry.key, key, sizeof entry.key);
    entry.keyHash = crc32TextNoCase(entry.key);
    if (!valueText[0]) return false;

    strCopyN(entry.value, valueText, sizeof entry.value);
    entry.kind = configClassifyValue(entry.value, &entry.valueWord);
    // The later line wins. Removing re-places the rest of the probe run, so other keys stay
    // reachable.
    g_configIndex.remove(entry.keyHash);
    g_configIndex.insert(entry.keyHash, reinterpret_cast<uintptr_t>(&entry));
    return true;
}

s32 configEntryCount() { return g_iConfigEntryCount; }

s32 configGetInt(const char* key) {
    const SConfigEntry* entry = findEntry(key);
    if (!entry) return 0;
    if (entry->kind == E_CONFIG_VALUE_FLOAT) {
        const f32 value = wordAsFloat(entry->valueWord);
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
    return wordAsFloat(entry->valueWord);
}

const char* configGetString(const char* key) {
    const SConfigEntry* entry = findEntry(key);
    return entry ? entry->value : nullptr;
}

bool configHasKey(const char* key) { return findEntry(key) != nullptr; }
