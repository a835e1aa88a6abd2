// Blocks of whole pages, laid on large pages where the system gives them.
#pragma once

#include <cstddef>

// A zeroed block of at least `bytes` bytes starting on a large-page boundary; null for zero bytes
// and when the address space runs out.
void* allocateLargePageBlock(size_t bytes);
// Gives back a block of allocateLargePageBlock with the size it was asked for; null is ignored.
void freeLargePageBlock(void* block, size_t bytes);
