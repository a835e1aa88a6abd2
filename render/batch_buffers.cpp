#include "render/batch_buffers.h"

#include "render/render_device.h"

namespace {

struct SBatchBufferPair {
    SBatchVertex* vertices = nullptr;
    u32* indices = nullptr;
};

SBatchBufferPair g_aBatchBuffers[2];

}  // namespace

void createBatchDeviceBuffers() {
    for (SBatchBufferPair& pair : g_aBatchBuffers) {
        if (!pair.vertices) pair.vertices = new SBatchVertex[BATCH_VERTEX_CAPACITY];
        if (!pair.indices) pair.indices = new u32[BATCH_INDEX_CAPACITY];
    }
}

void releaseBatchDeviceBuffers() {
    for (SBatchBufferPair& pair : g_aBatchBuffers) {
        delete[] pair.vertices;
        delete[] pair.indices;
        pair = SBatchBufferPair{};
    }
}

void lockBatchDeviceBuffers(u32 buffer, SBatchVertex** vertices, u32** indices) {
    *vertices = g_aBatchBuffers[buffer].vertices;
    *indices = g_aBatchBuffers[buffer].indices;
}

void unlockBatchDeviceBuffers(u32) {}

// Without a device (tools, benchmarks) the staging memory is all there is.
bool batchDeviceReady() { return !renderDeviceExists() || renderDeviceReady(); }
