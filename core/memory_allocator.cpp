#include "core/memory_allocator.h"

namespace {

bool g_bAllocatorReady = false;

}  // namespace

void setAllocatorReady() { g_bAllocatorReady = true; }
