#include "world/effects/weighted_table.h"

#include <algorithm>
#include <cmath>

#include "core/fatal_error.h"
#include "core/random.h"

void ClWeightedTable::add(s32 value, f32 weight) {
    if (m_count >= WEIGHTED_TABLE_CAPACITY) fatalErrorf("weighted table: more than %u values", WEIGHTED_TABLE_CAPACITY);
    if (weight > 0.0f) m_total += weight;
    m_values[m_count] = value;
    m_sums[m_count] = m_total;
    ++m_count;
}

s32 ClWeightedTable::pickRandom() const {
    if (!(m_total > 0.0f)) return -1;
    const f32 u = std::min(randomUnitFloat(), std::nextafter(1.0f, 0.0f));
    const f32 target = u * m_total;
    s32 lastPositive = -1;
    for (u32 i = 0; i < m_count; ++i) {
        const f32 below = i == 0 ? 0.0f : m_sums[i - 1];
        if (m_sums[i] <= below) continue;
        if (target < m_sums[i]) return m_values[i];
        lastPositive = s32(i);
    }
    // u x total rounded up onto the total: the last value that can be picked.
    return m_values[lastPositive];
}
