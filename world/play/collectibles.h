// The collectibles of the player profile (the items fitted to the ship's anchors), as the world
// reads them. The library holds them and installs the finder.
#pragma once

#include "core/types.h"

struct SCollectible {
    s32 currentLevel;
    s32 levelCount;
    const s32* levelValues;  // levelCount entries
};

// The record of the key, or null for an empty key, no finder or an unknown key.
const SCollectible* findCollectibleByKey(const char* key);
// The value for level min(level count - 1, current level + 1), clamped to the levels there are;
// 0 when the key finds no record or the record has no levels.
s32 collectibleUpgradeValue(const char* key);
