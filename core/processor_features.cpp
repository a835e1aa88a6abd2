#include "core/processor_features.h"

#if defined(__x86_64__)

bool processorHasAvx() {
    static const bool available = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx") != 0;
    }();
    return available;
}

bool processorHasAvx2() {
    static const bool available = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return available;
}

bool processorHasAvx512() {
    static const bool available = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512vl") != 0;
    }();
    return available;
}

#else

bool processorHasAvx() { return false; }
bool processorHasAvx2() { return false; }
bool processorHasAvx512() { return false; }

#endif
