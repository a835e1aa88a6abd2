// The items of the player profile: the item each song awards, the records the world finds by key
// (with their level values), the items owned and the ones equipped in the ship's anchor slots.
//
// Rules of the profile:
// - A song awards the ship item at index crc32 (case ignored) of its file name without folders,
//   modulo the number of ship items the first pack (the built-in one) lists, in that order. The
//   award stays with the song when its folder moves.
// - An item is owned once it has been identified (the collectible screen has shown it).
// - An item has SHIP_ITEM_LEVEL_COUNT levels; the value of level L is L + 1.
// - The ship has SHIP_PROGRAM_ANCHOR_COUNT slots (hull, left wing, right wing); an item is
//   equipped in at most one of them; an empty slot keeps the anchor's own gun.
#pragma once

#include "core/types.h"

#include <vector>

struct SCollectible;
struct SCollectibleRecord;
struct SItemDescription;
struct SSongRecord;

constexpr s32 SHIP_ITEM_LEVEL_COUNT = 6;

// The name hash of the item the song awards; 0 when no pack lists a ship item.
u32 songAwardedItemHash(const SSongRecord& song);
// The collectible record of the song at the index (made the first time); null for no song or no
// item.
SCollectibleRecord* songCollectibleAt(s32 songIndex);

// The world's finder (world/play/collectibles.h): the owned or unowned record of the key with its
// current level and level values; the answer stays good until the next call. The program hands
// it to the world's imports.
const SCollectible* findLibraryCollectible(const char* key);
// The level whose value is `value`; false for none.
bool itemLevelForValue(s32 value, s32* level);

// The identified records, in the order they were awarded.
std::vector<const SCollectibleRecord*> ownedItems();
// The key equipped in the slot ("" for none or a slot past the ship's).
const char* equippedItemKey(u32 slot);
// Equips the key in the slot (empty or null: clears it) and clears it from every other slot.
void equipItem(u32 slot, const char* key);
// The key after the slot's current one among the owned items no other slot holds: "" after the
// last, the first after "".
const char* nextItemForSlot(u32 slot);
// The description of the key's item at its current level from its generator; false (out reset)
// when no ship item generator has the key's name.
bool describeItem(const char* key, SItemDescription* out);
