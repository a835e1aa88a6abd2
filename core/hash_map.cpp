#include "core/hash_map.h"

#include <cstring>
#include <utility>

#include "core/fatal_error.h"
#include "core/name_hash.h"
#include "core/owner_blocks.h"

namespace {

constexpr size_t SLOT_BLOCK_ALIGNMENT = 16;

// The value half starts on the next 16-byte boundary after the keys (only a capacity of 1 or 2
// leaves a gap).
size_t valueHalfOffset(u32 capacity) {
    return (size_t(capacity) * sizeof(u32) + SLOT_BLOCK_ALIGNMENT - 1) & ~(SLOT_BLOCK_ALIGNMENT - 1);
}

size_t slotBlockBytes(u32 capacity) { return valueHalfOffset(capacity) + size_t(capacity) * sizeof(uintptr_t); }

inline u32 stepDown(u32 slot, u32 mask) { return (slot - 1) & mask; }

}  // namespace

void ClHashMap::init(u32 newCapacity) {
    if (newCapacity == 0 || (newCapacity & (newCapacity - 1)) != 0 || newCapacity > HASH_MAP_MAX_CAPACITY) {
        fatalErrorf("ClHashMap::init: capacity %u is not a power of two up to %u", newCapacity,
                    HASH_MAP_MAX_CAPACITY);
    }
    release();
    const size_t bytes = slotBlockBytes(newCapacity);
    void* block = allocateBlock(bytes, SLOT_BLOCK_ALIGNMENT);
    std::memset(block, 0, bytes);
    keys = static_cast<u32*>(block);
    values = reinterpret_cast<uintptr_t*>(static_cast<u8*>(block) + valueHalfOffset(newCapacity));
    capacity = newCapacity;
    count = 0;
}

void ClHashMap::release() {
    freeBlock(keys);
    keys = nullptr;
    values = nullptr;
    capacity = 0;
    count = 0;
}

u32 ClHashMap::findEmptySlot(u32 key) const {
    const u32 mask = capacity - 1;
    u32 slot = key & mask;
    for (u32 probes = capacity; probes != 0; --probes) {
        if (keys[slot] == 0) return slot;
        slot = stepDown(slot, mask);
    }
    return capacity;
}

bool ClHashMap::insert(u32 key, uintptr_t value) {
    if (key == 0 || !keys || count >= capacity) return false;
    const u32 slot = findEmptySlot(key);
    keys[slot] = key;
    values[slot] = value;
    ++count;
    return true;
}

bool ClHashMap::insertByName(const char* name, uintptr_t value) { return insert(crc32TextNoCase(name), value); }

u32 ClHashMap::findKeyOrEmptySlot(u32 key) const {
    const u32 mask = capacity - 1;
    u32 slot = key & mask;
    for (u32 probes = capacity; probes != 0; --probes) {
        const u32 stored = keys[slot];
        if (stored == key || stored == 0) return slot;
        slot = stepDown(slot, mask);
    }
    return capacity;
}

uintptr_t ClHashMap::find(u32 key) const {
    if (key == 0 || !keys) return 0;
    const u32 slot = findKeyOrEmptySlot(key);
    return slot < capacity && keys[slot] == key ? values[slot] : 0;
}

uintptr_t ClHashMap::findByName(const char* name) const { return find(crc32TextNoCase(name)); }

// The first empty slot on the path is the one insert would take: the path up to it holds no
// match, or find would have stopped earlier.
uintptr_t ClHashMap::findOrInsert(u32 key, uintptr_t value) {
    if (key == 0 || !keys) return 0;
    const u32 slot = findKeyOrEmptySlot(key);
    if (slot == capacity) return 0;
    if (keys[slot] == key) return values[slot];
    keys[slot] = key;
    values[slot] = value;
    ++count;
    return value;
}

uintptr_t ClHashMap::remove(u32 key) {
    if (key == 0 || !keys) return 0;
    const u32 mask = capacity - 1;
    u32 slot = key & mask;
    u32 probes = capacity;
    while (keys[slot] != key) {
        if (keys[slot] == 0 || --probes == 0) return 0;
        slot = stepDown(slot, mask);
    }
    const uintptr_t removed = values[slot];
    keys[slot] = 0;
    values[slot] = 0;

    // No tombstones: every later entry of the run is taken out and placed again from its own home
    // slot, which may be the hole just made. One pass over the other slots is enough.
    slot = stepDown(slot, mask);
    for (u32 rest = capacity - 1; rest != 0 && keys[slot] != 0; --rest) {
        const u32 movedKey = keys[slot];
        const uintptr_t movedValue = values[slot];
        keys[slot] = 0;
        values[slot] = 0;
        const u32 target = findEmptySlot(movedKey);
        keys[target] = movedKey;
        values[target] = movedValue;
        slot = stepDown(slot, mask);
    }
    --count;
    return removed;
}

void ClHashMap::forEachValue(ValueCallback callback, void* user) const {
    if (!keys || !callback) return;
    for (u32 slot = 0; slot < capacity; ++slot) {
        if (values[slot] != 0) callback(values[slot], user);
    }
}
