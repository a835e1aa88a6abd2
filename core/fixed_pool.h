// A fixed number of records handed out and taken back in constant time, without allocation.
#pragma once

#include "core/types.h"

#include <concepts>

// Every pooled record carries its current position in the pool's pointer table.
template <typename T>
concept PoolRecord = requires(T record) {
    { record.poolIndex } -> std::convertible_to<u32>;
};

// table[0 .. used-1] holds the records in use, packed at the front so that per-frame updates walk
// only those; the rest of the table holds the free ones. For every record r,
// table[r.poolIndex] == r. A pool that was never set up (capacity 0) hands nothing out.
template <PoolRecord T, u32 N>
class ClFixedPool {
    static_assert(N > 0, "a pool holds at least one record");

public:
    T records[N]{};
    T* table[N]{};
    u32 used = 0;
    u32 capacity = 0;

    bool init() {
        for (u32 i = 0; i < N; ++i) {
            table[i] = &records[i];
            records[i].poolIndex = i;
        }
        used = 0;
        capacity = N;
        return true;
    }

    // Null when the pool is exhausted; the owner decides whether that is fatal. The record keeps
    // whatever contents it had when it was released.
    T* take() {
        if (used >= capacity) return nullptr;
        return table[used++];
    }

    // Moves the last record in use into the released record's position. Null, a record that is
    // not in use (released twice) and a record of another pool are ignored, so a stray release
    // cannot hand a live record out a second time.
    void release(T* record) {
        if (!record) return;
        const u32 position = record->poolIndex;
        if (position >= used || table[position] != record) return;
        --used;
        T* lastLive = table[used];
        if (lastLive == record) return;
        table[position] = lastLive;
        lastLive->poolIndex = position;
        table[used] = record;
        record->poolIndex = used;
    }

    bool releaseAll() {
        while (used != 0) release(table[0]);
        return true;
    }
};
