// A cache hint: asks for the line holding the address without waiting for it. Never faults and
// changes nothing, so a hint past the data wanted is harmless.
#pragma once

inline void prefetchLine(const void* address) {
#if defined(__x86_64__) || defined(__i386__)
    // Written out: the compiler's own hint builtin is dropped from some loops as dead code.
    asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(address)));
#else
    __builtin_prefetch(address);
#endif
}

// Every line of the span of bytes from the address.
inline void prefetchSpan(const void* address, unsigned bytes) {
    const char* at = static_cast<const char*>(address);
    for (unsigned offset = 0; offset < bytes; offset += 64) prefetchLine(at + offset);
}
