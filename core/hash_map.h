// Open-addressing tables from 32-bit keys (almost always name hashes) to pointer-sized values.
//
// One 16-byte aligned block holds `capacity` keys, then `capacity` values. Key 0 marks an empty
// slot, so it can be neither stored nor found. The home slot of a key is key & (capacity - 1);
// collisions probe DOWNWARD, from slot 0 wrapping to slot capacity - 1. A value of 0 reads the
// same as an absent key. Inserting a key twice stores two entries; find returns the one met first.
// The tables own nothing that they store. Neither locks.
#pragma once

#include <cstdint>

#include "core/types.h"

// Larger capacities are a caller's mistake; the largest table of the game has 2,048 slots.
constexpr u32 HASH_MAP_MAX_CAPACITY = 1u << 26;

// The fixed-capacity table. Its owner picks a capacity larger than the number of keys it will
// ever hold; an insert into a full table is refused, and every probe stops after one pass.
class ClHashMap {
public:
    using ValueCallback = void (*)(uintptr_t value, void* user);

    ClHashMap() = default;
    ~ClHashMap() { release(); }
    ClHashMap(const ClHashMap&) = delete;
    ClHashMap& operator=(const ClHashMap&) = delete;

    // capacity: a power of two, at most HASH_MAP_MAX_CAPACITY; anything else, and running out of
    // memory, is fatal. A table already set up is released first.
    void init(u32 capacity);
    void release();
    bool isInUse() const { return keys != nullptr; }

    // False, with nothing stored, for key 0, a table without a block, or a full table.
    bool insert(u32 key, uintptr_t value);
    bool insertByName(const char* name, uintptr_t value);
    // The value, or 0 when absent.
    uintptr_t find(u32 key) const;
    uintptr_t findByName(const char* name) const;
    // The value of the key when present; otherwise `value` stored under the key and returned,
    // with one walk of the probe path where find and then insert take two. 0, with nothing
    // stored, for key 0, a table without a block, or a full table without the key.
    uintptr_t findOrInsert(u32 key, uintptr_t value);
    // Removes the first entry with the key and returns its value (0 when absent). The rest of the
    // probe run is re-placed so that no entry becomes unreachable.
    uintptr_t remove(u32 key);
    // Calls back for every slot, in slot order, whose value is non-zero.
    void forEachValue(ValueCallback callback, void* user) const;

    u32 getCapacity() const { return capacity; }
    u32 getCount() const { return count; }

private:
    // The first empty slot on the key's probe path; capacity when there is none.
    u32 findEmptySlot(u32 key) const;
    // The slot holding the key, else the first empty slot of its probe path; capacity when neither.
    u32 findKeyOrEmptySlot(u32 key) const;

    u32* keys = nullptr;          // start of the block
    uintptr_t* values = nullptr;  // inside the same block
    u32 capacity = 0;
    u32 count = 0;
};

// A name-hash table whose values are slots of an owner's record array (the display-option
// table).
struct ClHashSlotTable {
    ClHashMap map;
    void* slots = nullptr;
    u32 slotsUsed = 0;
};
