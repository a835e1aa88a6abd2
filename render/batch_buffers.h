// The batcher's two pairs of dynamic vertex and index buffers and its vertex declaration. Locking
// with discard hands out staging memory the producers fill; the device uploads it at the draw.
// Without a device (tools, benchmarks, tests) the batcher keeps staging memory of its own.
#pragma once

#include "core/types.h"
#include "render/batcher.h"

// False when the device could not make a buffer or the declaration (nothing is kept then).
bool createBatchDeviceBuffers();
void releaseBatchDeviceBuffers();
// Locks pair `buffer` (0 or 1) whole with discard; null pointers when that fails.
void lockBatchDeviceBuffers(u32 buffer, SBatchVertex** vertices, u32** indices);
void unlockBatchDeviceBuffers(u32 buffer);
// Declaration, stream and indices of pair `buffer` for drawing.
void selectBatchDeviceBuffers(u32 buffer);
bool batchDeviceReady();
