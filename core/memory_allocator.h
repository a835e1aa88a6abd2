// The allocator layer's start-up mark. The game allocates with the C runtime.
#pragma once

// Marks the allocator layer ready, once, early in start-up. Nothing depends on the mark yet.
void setAllocatorReady();
