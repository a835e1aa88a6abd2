#include "core/large_pages.h"

#include <cstdint>
#include <sys/mman.h>

namespace {

constexpr size_t kLargePageBytes = size_t(2) << 20;

size_t roundedToLargePages(size_t bytes) { return (bytes + kLargePageBytes - 1) & ~(kLargePageBytes - 1); }

}  // namespace

void* allocateLargePageBlock(size_t bytes) {
    const size_t rounded = roundedToLargePages(bytes);
    if (rounded < bytes || rounded == 0 || rounded > SIZE_MAX - kLargePageBytes) return nullptr;
    // One large page more, so that the block can start on a boundary; the ends are given back.
    const size_t reserved = rounded + kLargePageBytes;
    void* range = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (range == MAP_FAILED) return nullptr;
    const uintptr_t start = uintptr_t(range);
    const uintptr_t aligned = (start + kLargePageBytes - 1) & ~uintptr_t(kLargePageBytes - 1);
    if (aligned > start) munmap(range, aligned - start);
    const uintptr_t end = start + reserved;
    if (end > aligned + rounded) munmap(reinterpret_cast<void*>(aligned + rounded), end - (aligned + rounded));
    madvise(reinterpret_cast<void*>(aligned), rounded, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void freeLargePageBlock(void* block, size_t bytes) {
    if (!block) return;
    munmap(block, roundedToLargePages(bytes));
}
