// The global tables the start-up builds (the two bucket tables and the display-option table),
// the capacities of the game's global pools, and a holder that allocates a large pool only when
// its owner sets it up.
//
// Every object here is ready before the start-up runs: the tables are function-local statics
// that own no memory until their init, and the pool holder allocates nothing until its init, so
// a program (or a test) that never starts the game stays light. Destructors give back whatever
// is still held when the process ends.
#pragma once

#include "core/fatal_error.h"
#include "core/fixed_pool.h"
#include "core/hash_map.h"
#include "core/large_pages.h"
#include "core/types.h"

#include <new>

// Capacities of the global pools and tables, for the owners that build them.
constexpr u32 OBJECT_POOL_16_CAPACITY = 1024;  // each of the pools of 16-byte records
constexpr u32 OBJECT_POOL_CAPACITY = 1024;
constexpr u32 DELAYED_SOUND_START_CAPACITY = 32;
constexpr u32 SOUND_BANK_CAPACITY = 16;
constexpr u32 CUE_HANDLE_CAPACITY = 128;
constexpr u32 VOLUME_RAMP_CAPACITY = 24;
constexpr u32 BEAT_SUBSCRIPTION_CAPACITY = 256;
constexpr u32 PARTICLE_SYSTEM_SLOT_CAPACITY = 256;  // registered, and again retiring
constexpr u32 EFFECT_TRANSFORM_NODE_CAPACITY = 256;
constexpr u32 SHADER_GLOBAL_CAPACITY = 128;
constexpr u32 MATERIAL_TEXTURE_SET_CAPACITY = 1024;
constexpr u32 CANVAS_STACK_CAPACITY = 16;
constexpr u32 CAMERA_FRAME_CAPACITY = 4;
constexpr u32 RANDOM_INPUT_PRESS_CAPACITY = 32;
constexpr u32 ENTITY_CAPACITY = 19600;
constexpr u32 ENTITY_LINK_LIST_COUNT = 5;  // each ENTITY_CAPACITY long
constexpr u32 HIT_EFFECT_CAPACITY = 512;
constexpr u32 FLYING_NOTE_CAPACITY = 8192;
constexpr u32 WAVE_CAPACITY = 72000;
constexpr u32 WAVE_INDEX_POOL_COUNT = 3;  // each WAVE_CAPACITY long
constexpr u32 LIBRARY_RECORD_POOL_CAPACITY = 512;
constexpr u32 PACKAGE_CAPACITY = 16;
constexpr u32 FILE_OBJECT_CAPACITY = 768;

// A bucket of a ClBucketTable: two parallel blocks of `capacity` records each.
struct SBucket {
    u32 used;
    u32 capacity;
    void* records;        // capacity x the table's first record size
    void* secondRecords;  // capacity x the table's second record size
};

// A power-of-two number of buckets chosen by (hash AND mask). The record sizes are fixed when the
// table is built; init allocates every block (16-byte aligned, zero-filled; running out of
// memory is fatal).
class ClBucketTable {
public:
    ClBucketTable(u32 firstRecordBytes, u32 secondRecordBytes)
        : firstRecordSize(firstRecordBytes), secondRecordSize(secondRecordBytes) {}
    ~ClBucketTable() { release(); }
    ClBucketTable(const ClBucketTable&) = delete;
    ClBucketTable& operator=(const ClBucketTable&) = delete;

    // bucketCount must be a non-zero power of two (fatal otherwise). A table in use is released
    // first.
    void init(u32 newBucketCount, u32 bucketCapacity);
    // Frees every bucket's blocks and the bucket array; nothing happens to a table not in use.
    void release();

    u32 inUse = 0;
    u32 bucketCount = 0;
    u32 mask = 0;
    SBucket* buckets = nullptr;
    const u32 firstRecordSize;
    const u32 secondRecordSize;
};

constexpr u32 GLOBAL_BUCKET_TABLE_BUCKETS = 1024;
constexpr u32 GLOBAL_BUCKET_TABLE_BUCKET_CAPACITY = 16;

// The two tables of the song library and the save-image reader: 32-byte records with 64-byte
// second records, and 32-byte records with 4-byte second records.
ClBucketTable& firstBucketTable();
ClBucketTable& secondBucketTable();
// Builds both with GLOBAL_BUCKET_TABLE_BUCKETS buckets of GLOBAL_BUCKET_TABLE_BUCKET_CAPACITY.
void initGlobalBucketTables();
void releaseGlobalBucketTables();

// The slot of a name in a table whose slot array holds one 4-byte slot per map slot: the slot
// already assigned to the name's hash, or else the next free one. A table without a slot array,
// a full table and a name that hashes to 0 are fatal.
s32* getOrAdd(ClHashSlotTable& table, const char* name);

constexpr u32 DISPLAY_OPTION_CAPACITY = 32;

// The saved display options the window code falls back on: "FULLSCREEN", "VSYNC", "RES_X" and
// "RES_Y", in that order, in slots that start at 0.
ClHashSlotTable& displayOptionTable();
// A table already built is released first, so its slots start at 0 again.
void initDisplayOptionTable();
void releaseDisplayOptionTable();

// A ClFixedPool that lives in pages of its own from its init to its release, for the pools too
// large to keep in every program that links them. The pages are large ones where the system
// gives them: the per-frame walks over thousands of records then miss the address cache far less.
template <PoolRecord T, u32 N>
class ClLazyFixedPool {
public:
    ClLazyFixedPool() = default;
    ~ClLazyFixedPool() { release(); }
    ClLazyFixedPool(const ClLazyFixedPool&) = delete;
    ClLazyFixedPool& operator=(const ClLazyFixedPool&) = delete;

    // Allocates the pool the first time (fatal when memory runs out) and sets it up, with
    // nothing in use.
    void init() {
        if (!pool) {
            void* place = allocateLargePageBlock(sizeof(ClFixedPool<T, N>));
            if (!place) fatalErrorf("out of memory for a pool of %u records of %zu bytes", N, sizeof(T));
            pool = new (place) ClFixedPool<T, N>();
        }
        pool->init();
    }
    void release() {
        if (pool) {
            pool->~ClFixedPool<T, N>();
            freeLargePageBlock(pool, sizeof(ClFixedPool<T, N>));
        }
        pool = nullptr;
    }
    bool isReady() const { return pool != nullptr; }
    // Null before init and after release.
    ClFixedPool<T, N>* get() { return pool; }

private:
    ClFixedPool<T, N>* pool = nullptr;
};
