#include "core/float_array.h"

#include <cstdlib>
#include <cstring>

static f32 readStridedFloat(const void* base, u32 strideBytes, u32 index) {
    f32 value;
    std::memcpy(&value, static_cast<const u8*>(base) + size_t(index) * strideBytes, sizeof(value));
    return value;
}

static void writeStridedFloat(void* base, u32 strideBytes, u32 index, f32 value) {
    std::memcpy(static_cast<u8*>(base) + size_t(index) * strideBytes, &value, sizeof(value));
}

void ClFloatArray::assignSorted(const void* source, u32 sourceCount, u32 strideBytes, bool descending) {
    init(ARRAY_INITIAL_CAPACITY);
    for (u32 i = 0; i < sourceCount; ++i) push(readStridedFloat(source, strideBytes, i));
    if (count > 1) std::qsort(data, count, sizeof(f32), descending ? compareFloatsDescending : compareFloatsAscending);
}

f32 ClFloatArray::percentile(f32 p) const {
    if (count == 0) return 0.0f;
    const f32 position = f32(count - 1) * p / 100.0f;
    if (!(position > 0.0f)) return data[0];
    if (position >= f32(count - 1)) return data[count - 1];
    return data[u32(position)];
}

int compareFloatsAscending(const void* a, const void* b) {
    const f32 x = *static_cast<const f32*>(a);
    const f32 y = *static_cast<const f32*>(b);
    if (x < y) return -1;
    if (x > y) return 1;
    return 0;
}

int compareFloatsDescending(const void* a, const void* b) { return compareFloatsAscending(b, a); }

// The window [i - w, i + w] held to [0, count - 1].
static void windowBounds(u32 i, s32 halfWidth, u32 count, u32* first, u32* last) {
    const s64 w = halfWidth > 0 ? halfWidth : 0;
    const s64 lo = s64(i) - w;
    const s64 hi = s64(i) + w;
    *first = lo < 0 ? 0u : u32(lo);
    *last = hi > s64(count) - 1 ? count - 1 : u32(hi);
}

void windowedIntSums(const s32* ints, const s32* halfWidths, u32 count, ClFloatArray* out) {
    for (u32 i = 0; i < count; ++i) {
        u32 first, last;
        windowBounds(i, halfWidths[i], count, &first, &last);
        // 64-bit so that long windows of large counts cannot overflow.
        s64 sum = 0;
        for (u32 j = first; j <= last; ++j) sum += ints[j];
        out->push(f32(sum));
    }
}

void findWindowMaxima(const f32* values, const s32* halfWidths, u32 count, f32 threshold, ClIntArray* out) {
    for (u32 i = 0; i < count; ++i) {
        u32 first, last;
        windowBounds(i, halfWidths[i], count, &first, &last);
        u32 best = first;
        for (u32 j = first + 1; j <= last; ++j) {
            if (values[j] > values[best]) best = j;
        }
        if (best == i && values[i] >= threshold) out->push(s32(i));
    }
}

void emaStrided(s32 period, s32 offset, u32 count, const void* source, void* destination, u32 sourceStrideBytes,
                u32 destinationStrideBytes) {
    if (count == 0) return;
    const f32 alpha = f32(2.0 / (f64(period) + 1.0));
    f32 ema = readStridedFloat(source, sourceStrideBytes, 0);
    writeStridedFloat(destination, destinationStrideBytes, 0, ema);
    // Steps past the last source element feed 0, so that the shifted average's tail decays.
    const s64 tail = offset < 0 ? -s64(offset) : 0;
    for (s64 i = 1; i < s64(count) + tail; ++i) {
        const f32 input = i < s64(count) ? readStridedFloat(source, sourceStrideBytes, u32(i)) : 0.0f;
        ema = ema + (input - ema) * alpha;
        const s64 position = i + offset;
        if (position >= 0 && position < s64(count)) writeStridedFloat(destination, destinationStrideBytes, u32(position), ema);
    }
}
