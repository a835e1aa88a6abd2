// A cache hint: asks for the line holding the address without waiting for it. Never faults and
// changes nothing, so a hint past the data wanted is harmless.
#pragma once

#include <cstdint>

inline void prefetchLine(const void* address) {
#if defined(__x86_64__) || defined(__i386__)
    // Written out: the compiler's own hint builtin is dropped from some loops as dead code.
    asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(address)));
#else
    __builtin_prefetch(address);
#endif
}

constexpr unsigned PREFETCH_LINE_BYTES = 64;

// Every line holding a byte of the span from the address: a span that does not start on a line
// boundary reaches one line further than its length in lines.
inline void prefetchSpan(const void* address, unsigned bytes) {
    if (bytes == 0) return;
    const uintptr_t lineMask = ~uintptr_t(PREFETCH_LINE_BYTES - 1);
    const uintptr_t first = reinterpret_cast<uintptr_t>(address) & lineMask;
    const uintptr_t last = (reinterpret_cast<uintptr_t>(address) + bytes - 1) & lineMask;
    for (uintptr_t line = first; line <= last; line += PREFETCH_LINE_BYTES) prefetchLine(reinterpret_cast<const void*>(line));
}
