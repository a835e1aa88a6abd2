// A pick among a few values in proportion to their weights, with one draw of the global random
// source: u = randomUnitFloat() held below 1 (the draw can round up to exactly 1), then the first
// value whose running weight sum exceeds u x the total. Unlike a draw-and-remove list, a pick
// leaves the table as it is, so one table serves many picks.
#pragma once

#include "core/types.h"

constexpr u32 WEIGHTED_TABLE_CAPACITY = 32;

class ClWeightedTable {
public:
    void clear() { m_count = 0; m_total = 0.0f; }
    // A weight of 0 or less is never picked; an add beyond the capacity is fatal.
    void add(s32 value, f32 weight);
    // -1 when no value has a positive weight.
    s32 pickRandom() const;
    u32 count() const { return m_count; }

private:
    s32 m_values[WEIGHTED_TABLE_CAPACITY] = {};
    f32 m_sums[WEIGHTED_TABLE_CAPACITY] = {};  // running sums of the positive weights
    u32 m_count = 0;
    f32 m_total = 0.0f;
};
