#include "world/play/collectibles.h"
#include "world/services/world_imports.h"

const SCollectible* findCollectibleByKey(const char* key) {
    if (!key || !key[0] || !worldImports().findCollectible) return nullptr;
    return worldImports().findCollectible(key);
}

s32 collectibleUpgradeValue(const char* key) {
    const SCollectible* item = findCollectibleByKey(key);
    if (!item || item->levelCount <= 0 || !item->levelValues) return 0;
    const s32 last = item->levelCount - 1;
    // Compared before the step up, so that no level overflows it.
    const s32 level = item->currentLevel >= last ? last : item->currentLevel < 0 ? 0 : item->currentLevel + 1;
    return item->levelValues[level];
}
