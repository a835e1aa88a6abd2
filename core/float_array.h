// The growable float array and the sort, percentile and sliding-window passes that the beat and
// spawn analysis run over it.
#pragma once

#include "core/array.h"
#include "core/types.h"

// ClArray of floats (push, growth, release as ClArray) with the analysis operations.
struct ClFloatArray : ClArray<f32> {
    // Sets the array up afresh (any old block is freed), appends count floats read from source
    // every strideBytes bytes, and sorts them with qsort, ascending or descending.
    void assignSorted(const void* source, u32 count, u32 strideBytes, bool descending);
    // Of a sorted array, the element at index trunc((count - 1) x p / 100); p outside 0 .. 100
    // is held to the first or last element, and an empty array gives 0.
    f32 percentile(f32 p) const;
};

// The same array of 32-bit integers (peak indices).
using ClIntArray = ClArray<s32>;

// qsort comparators over f32: -1, 0 or 1.
int compareFloatsAscending(const void* a, const void* b);
int compareFloatsDescending(const void* a, const void* b);

// For every index i, the sum of ints[j] over j in [i - halfWidths[i], i + halfWidths[i]] held to
// [0, count - 1], appended to out as a float. A negative half-width counts as 0.
void windowedIntSums(const s32* ints, const s32* halfWidths, u32 count, ClFloatArray* out);

// Peak picking: appends i to out when the first maximum of values over [i - halfWidths[i],
// i + halfWidths[i]] (held to the array) is at i itself and values[i] >= threshold. A negative
// half-width counts as 0.
void findWindowMaxima(const f32* values, const s32* halfWidths, u32 count, f32 threshold, ClIntArray* out);

// Exponential moving average with alpha = 2 / (period + 1). destination[0] = source[0]; the
// average after source element i goes to destination position i + offset, where offset (zero
// or negative) corrects the average's lag; then the average decays towards 0 over the last
// -offset positions. Exactly count destination positions are written, never one outside
// 0 .. count - 1. Strides are in bytes.
void emaStrided(s32 period, s32 offset, u32 count, const void* source, void* destination, u32 sourceStrideBytes,
                u32 destinationStrideBytes);
