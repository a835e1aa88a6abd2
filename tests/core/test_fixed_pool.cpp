// The fixed pool: records stay packed at the front of the table and every record knows its
// table position.
#include "core/fixed_pool.h"

#include <gtest/gtest.h>

namespace {

struct SPoolRecord {
    u32 value;
    u32 poolIndex;
};

using ClTestPool = ClFixedPool<SPoolRecord, 4>;

void expectIndicesMatchTable(const ClTestPool& pool) {
    for (u32 i = 0; i < pool.capacity; ++i) EXPECT_EQ(pool.table[i]->poolIndex, i);
}

TEST(FixedPool, ReleasingTheFirstMovesTheLastLiveRecordIntoItsPlaceAndStrayOnesNothing) {
    ClTestPool pool;
    EXPECT_EQ(pool.take(), nullptr);  // never set up
    pool.init();
    SPoolRecord* taken[4];
    for (SPoolRecord*& record : taken) record = pool.take();
    EXPECT_EQ(pool.take(), nullptr);  // exhausted
    pool.release(taken[0]);
    EXPECT_EQ(pool.table[0], taken[3]);
    expectIndicesMatchTable(pool);

    pool.init();  // empties the pool
    SPoolRecord* a = pool.take();
    SPoolRecord* b = pool.take();
    pool.release(a);
    pool.release(a);  // twice: must not free b
    pool.release(nullptr);
    SPoolRecord foreign{0, 0};
    pool.release(&foreign);
    EXPECT_EQ(pool.used, 1u);
    EXPECT_EQ(pool.table[0], b);
    expectIndicesMatchTable(pool);
}

}  // namespace
