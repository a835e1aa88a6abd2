#include "render/frame_half.h"

#include <atomic>

namespace {
// Written by the main thread before it signals the worker; the event orders it, the atomic only
// keeps a stress test's reader on another thread well defined.
std::atomic<u32> g_uFlipIndex{0};
}  // namespace

u32 frameFlipIndex() { return g_uFlipIndex.load(std::memory_order_relaxed); }

void flipFrameHalf() { g_uFlipIndex.store(1u - g_uFlipIndex.load(std::memory_order_relaxed), std::memory_order_relaxed); }

void resetFrameHalf() { g_uFlipIndex.store(0, std::memory_order_relaxed); }
