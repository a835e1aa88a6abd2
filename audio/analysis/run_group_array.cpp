#include "audio/analysis/run_group_array.h"

#include <cstring>

void initRunGroupArray(ClRunGroupArray* array, u32 capacity) {
    releaseRunGroupArray(array);
    array->init(capacity);
    std::memset(static_cast<void*>(array->data), 0, size_t(capacity) * sizeof(SBeatRunGroup));
}

void pushRunGroup(ClRunGroupArray* array, const SBeatRunGroup& group) { array->push(group); }

u32 releaseRunGroupArray(ClRunGroupArray* array) {
    if (!array->inUse) return 0;
    for (SBeatRunGroup& group : *array) {
        for (SBeatRun& run : group.runs) run.onsets.release();
        group.runs.release();
    }
    array->release();
    return 1;
}
