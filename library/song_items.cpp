#include "library/song_items.h"

#include "core/name_hash.h"
#include "core/string_helpers.h"
#include "library/ship_program.h"
#include "library/song_library.h"
#include "waves/pack_registry.h"
#include "world/play/collectibles.h"
#include "world/state/item_description.h"

#include <cstring>

namespace {

const s32 LEVEL_VALUES[SHIP_ITEM_LEVEL_COUNT] = {1, 2, 3, 4, 5, 6};

// The file name: the path after its last '/' or '\'.
std::u16string fileNameOf(const std::u16string& path) {
    const size_t at = path.find_last_of(u"/\\");
    return at == std::u16string::npos ? path : path.substr(at + 1);
}

u32 wideNameHash(const std::u16string& text) {
    std::string narrow;
    narrow.reserve(text.size());
    // The hash sees the name's units as bytes: every unit's low byte, then its high byte when set.
    for (char16_t unit : text) {
        narrow += char(unit & 0xFF);
        if (unit > 0xFF) narrow += char(unit >> 8);
    }
    return crc32TextNoCase(narrow.c_str());
}

ClDNAGenerator* itemGeneratorOf(const char* key) {
    return key && key[0] ? generatorFind(E_GENCAT_SHIP_ITEM, crc32TextNoCase(key)) : nullptr;
}

}  // namespace

u32 songAwardedItemHash(const SSongRecord& song) {
    if (packCount() == 0) return 0;
    const ClPack* pack = packAt(0);
    const u32 count = pack->generatorCount(E_GENCAT_SHIP_ITEM);
    if (count == 0) return 0;
    return pack->generatorAt(E_GENCAT_SHIP_ITEM, wideNameHash(fileNameOf(song.path)) % count)->getNameHash();
}

SCollectibleRecord* songCollectibleAt(s32 songIndex) {
    const SSongRecord* song = getSongRecord(songIndex);
    if (!song) return nullptr;
    const u32 hash = songAwardedItemHash(*song);
    return hash ? getSongCollectible(hash) : nullptr;
}

bool itemLevelForValue(s32 value, s32* level) {
    for (s32 i = 0; i < SHIP_ITEM_LEVEL_COUNT; ++i) {
        if (LEVEL_VALUES[i] != value) continue;
        *level = i;
        return true;
    }
    return false;
}

const SCollectible* findLibraryCollectible(const char* key) {
    static SCollectible g_found;
    const SCollectibleRecord* record = findCollectibleRecord(key);
    if (!record) return nullptr;
    g_found.currentLevel = record->currentLevel;
    g_found.levelCount = SHIP_ITEM_LEVEL_COUNT;
    g_found.levelValues = LEVEL_VALUES;
    return &g_found;
}

std::vector<const SCollectibleRecord*> ownedItems() {
    std::vector<const SCollectibleRecord*> owned;
    for (const SCollectibleRecord& item : g_SongLibrary.collectibles)
        if (item.identified) owned.push_back(&item);
    return owned;
}

const char* equippedItemKey(u32 slot) {
    if (slot >= SHIP_PROGRAM_ANCHOR_COUNT) return "";
    return g_SongLibrary.equippedItemKeys[slot];
}

void equipItem(u32 slot, const char* key) {
    if (slot >= SHIP_PROGRAM_ANCHOR_COUNT) return;
    const char* text = key ? key : "";
    char copy[ITEM_KEY_LENGTH];
    strCopyN(copy, text, ITEM_KEY_LENGTH);
    for (u32 other = 0; other < SHIP_ANCHOR_CAPACITY; ++other) {
        if (copy[0] && strCompare(g_SongLibrary.equippedItemKeys[other], copy) == 0)
            g_SongLibrary.equippedItemKeys[other][0] = 0;
    }
    std::memset(g_SongLibrary.equippedItemKeys[slot], 0, ITEM_KEY_LENGTH);
    strCopyN(g_SongLibrary.equippedItemKeys[slot], copy, ITEM_KEY_LENGTH);
}

const char* nextItemForSlot(u32 slot) {
    // The owned items this slot may take: those in no other slot.
    std::vector<const SCollectibleRecord*> free;
    for (const SCollectibleRecord* item : ownedItems()) {
        bool elsewhere = false;
        for (u32 other = 0; other < SHIP_PROGRAM_ANCHOR_COUNT; ++other)
            elsewhere = elsewhere || (other != slot && strCompare(equippedItemKey(other), item->key) == 0);
        if (!elsewhere) free.push_back(item);
    }
    const char* current = equippedItemKey(slot);
    for (size_t i = 0; current[0] && i < free.size(); ++i) {
        if (strCompare(free[i]->key, current) == 0) return i + 1 < free.size() ? free[i + 1]->key : "";
    }
    return free.empty() ? "" : free.front()->key;
}

bool describeItem(const char* key, SItemDescription* out) {
    out->reset();
    const ClDNAGenerator* generator = itemGeneratorOf(key);
    if (!generator) return false;
    const SCollectibleRecord* record = findCollectibleRecord(key);
    generator->describe(out, record ? record->currentLevel : 0);
    return true;
}
