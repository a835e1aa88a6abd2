#include "core/global_objects.h"

#include "core/array.h"
#include "core/name_hash.h"

#include <cstring>

namespace {

void* allocateZeroedBlock(u32 count, u32 elementSize) {
    void* block = arrayAllocateBlock(count, elementSize);
    std::memset(block, 0, size_t(count) * elementSize);
    return block;
}

constexpr u32 BUCKET_RECORD_BYTES = 32;
constexpr u32 FIRST_BUCKET_SECOND_RECORD_BYTES = 64;
constexpr u32 SECOND_BUCKET_SECOND_RECORD_BYTES = 4;

// The display-option table and the slots its map points into.
struct SDisplayOptions {
    ClHashSlotTable table;
    s32 slots[DISPLAY_OPTION_CAPACITY] = {};
};

SDisplayOptions& displayOptions() {
    static SDisplayOptions options;
    return options;
}

}  // namespace

void ClBucketTable::init(u32 newBucketCount, u32 bucketCapacity) {
    if (newBucketCount == 0 || (newBucketCount & (newBucketCount - 1)) != 0)
        fatalErrorf("ClBucketTable::init: %u buckets is not a power of two", newBucketCount);
    release();
    buckets = static_cast<SBucket*>(allocateZeroedBlock(newBucketCount, sizeof(SBucket)));
    for (u32 i = 0; i < newBucketCount; ++i) {
        buckets[i].capacity = bucketCapacity;
        buckets[i].records = allocateZeroedBlock(bucketCapacity, firstRecordSize);
        buckets[i].secondRecords = allocateZeroedBlock(bucketCapacity, secondRecordSize);
    }
    bucketCount = newBucketCount;
    mask = newBucketCount - 1;
    inUse = 1;
}

void ClBucketTable::release() {
    if (!inUse) return;
    for (u32 i = 0; i < bucketCount; ++i) {
        arrayFreeBlock(buckets[i].records);
        arrayFreeBlock(buckets[i].secondRecords);
    }
    arrayFreeBlock(buckets);
    buckets = nullptr;
    bucketCount = 0;
    mask = 0;
    inUse = 0;
}

ClBucketTable& firstBucketTable() {
    static ClBucketTable table(BUCKET_RECORD_BYTES, FIRST_BUCKET_SECOND_RECORD_BYTES);
    return table;
}

ClBucketTable& secondBucketTable() {
    static ClBucketTable table(BUCKET_RECORD_BYTES, SECOND_BUCKET_SECOND_RECORD_BYTES);
    return table;
}

void initGlobalBucketTables() {
    firstBucketTable().init(GLOBAL_BUCKET_TABLE_BUCKETS, GLOBAL_BUCKET_TABLE_BUCKET_CAPACITY);
    secondBucketTable().init(GLOBAL_BUCKET_TABLE_BUCKETS, GLOBAL_BUCKET_TABLE_BUCKET_CAPACITY);
}

void releaseGlobalBucketTables() {
    firstBucketTable().release();
    secondBucketTable().release();
}

s32* getOrAdd(ClHashSlotTable& table, const char* name) {
    if (!table.slots) fatalErrorf("getOrAdd(\"%s\"): the table has no slot array", name ? name : "");
    const u32 key = crc32TextNoCase(name);
    if (key == 0) fatalError("getOrAdd: a name with hash 0 cannot be stored");
    if (const uintptr_t found = table.map.find(key)) return reinterpret_cast<s32*>(found);
    if (table.slotsUsed >= table.map.getCapacity())
        fatalErrorf("getOrAdd(\"%s\"): all %u slots are taken", name, table.map.getCapacity());
    s32* slot = static_cast<s32*>(table.slots) + table.slotsUsed;
    if (!table.map.insert(key, reinterpret_cast<uintptr_t>(slot)))
        fatalErrorf("getOrAdd(\"%s\"): the name table is full", name);
    ++table.slotsUsed;
    return slot;
}

ClHashSlotTable& displayOptionTable() { return displayOptions().table; }

void initDisplayOptionTable() {
    releaseDisplayOptionTable();
    SDisplayOptions& options = displayOptions();
    options.table.map.init(DISPLAY_OPTION_CAPACITY);
    options.table.slots = options.slots;
    getOrAdd(options.table, "FULLSCREEN");
    getOrAdd(options.table, "VSYNC");
    getOrAdd(options.table, "RES_X");
    getOrAdd(options.table, "RES_Y");
}

void releaseDisplayOptionTable() {
    SDisplayOptions& options = displayOptions();
    options.table.map.release();
    options.table.slots = nullptr;
    options.table.slotsUsed = 0;
    std::memset(options.slots, 0, sizeof(options.slots));
}
