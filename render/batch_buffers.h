// The batcher's two pairs of dynamic vertex and index buffers. Locking with discard hands out
// staging memory the producers fill; it reaches the device when the frame is drawn.
#pragma once

#include "core/types.h"
#include "render/batcher.h"

void createBatchDeviceBuffers();
void releaseBatchDeviceBuffers();
// Locks pair `buffer` (0 or 1) whole with discard.
void lockBatchDeviceBuffers(u32 buffer, SBatchVertex** vertices, u32** indices);
void unlockBatchDeviceBuffers(u32 buffer);
bool batchDeviceReady();
