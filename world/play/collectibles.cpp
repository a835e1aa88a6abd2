#include "world/play/collectibles.h"

namespace {

CollectibleFinder g_pFinder = nullptr;

}  // namespace

void setCollectibleFinder(CollectibleFinder finder) { g_pFinder = finder; }

const SCollectible* findCollectibleByKey(const char* key) {
    if (!key || !key[0] || !g_pFinder) return nullptr;
    return g_pFinder(key);
}

s32 collectibleUpgradeValue(const char* key) {
    const SCollectible* item = findCollectibleByKey(key);
    if (!item || item->levelCount <= 0 || !item->levelValues) return 0;
    s32 level = item->currentLevel + 1;
    if (level > item->levelCount - 1) level = item->levelCount - 1;
    if (level < 0) level = 0;
    return item->levelValues[level];
}
