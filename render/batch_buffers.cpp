#include "render/batch_buffers.h"

#include "platform/gfx/gfx_device.h"
#include "render/render_device.h"

#include <cstddef>

namespace {

constexpr u32 BATCH_VERTEX_BYTES = BATCH_VERTEX_CAPACITY * sizeof(SBatchVertex);
constexpr u32 BATCH_INDEX_BYTES = BATCH_INDEX_CAPACITY * sizeof(u32);

struct SBatchBufferPair {
    SGfxVertexBuffer* vertexBuffer = nullptr;
    SGfxIndexBuffer* indexBuffer = nullptr;
    // Used instead when there is no device.
    SBatchVertex* ownVertices = nullptr;
    u32* ownIndices = nullptr;
};

struct SBatchBuffers {
    SBatchBufferPair pairs[2];
    SGfxVertexDecl* decl = nullptr;
    bool onDevice = false;
};

SBatchBuffers g_BatchBuffers;

const SGfxVertexElement kBatchVertexElements[] = {
    {offsetof(SBatchVertex, x), E_GFX_DECL_FLOAT3, E_GFX_USAGE_POSITION, 0},
    {offsetof(SBatchVertex, colour), E_GFX_DECL_COLOUR, E_GFX_USAGE_COLOUR, 0},
    {offsetof(SBatchVertex, nx), E_GFX_DECL_FLOAT3, E_GFX_USAGE_NORMAL, 0},
    {offsetof(SBatchVertex, u), E_GFX_DECL_FLOAT2, E_GFX_USAGE_TEXCOORD, 0},
};

}  // namespace

bool createBatchDeviceBuffers() {
    SBatchBuffers& buffers = g_BatchBuffers;
    buffers.onDevice = gfxDeviceExists();
    if (!buffers.onDevice) {
        for (SBatchBufferPair& pair : buffers.pairs) {
            pair.ownVertices = new SBatchVertex[BATCH_VERTEX_CAPACITY];
            pair.ownIndices = new u32[BATCH_INDEX_CAPACITY];
        }
        return true;
    }
    buffers.decl = gfxCreateVertexDecl(kBatchVertexElements, 4, sizeof(SBatchVertex));
    bool complete = buffers.decl != nullptr;
    for (SBatchBufferPair& pair : buffers.pairs) {
        pair.indexBuffer = gfxCreateIndexBuffer(BATCH_INDEX_BYTES, E_GFX_INDEX_32);
        pair.vertexBuffer = gfxCreateVertexBuffer(BATCH_VERTEX_BYTES);
        complete = complete && pair.indexBuffer && pair.vertexBuffer;
    }
    if (!complete) releaseBatchDeviceBuffers();
    return complete;
}

void releaseBatchDeviceBuffers() {
    SBatchBuffers& buffers = g_BatchBuffers;
    for (SBatchBufferPair& pair : buffers.pairs) {
        if (pair.vertexBuffer) gfxReleaseVertexBuffer(pair.vertexBuffer);
        if (pair.indexBuffer) gfxReleaseIndexBuffer(pair.indexBuffer);
        delete[] pair.ownVertices;
        delete[] pair.ownIndices;
        pair = SBatchBufferPair{};
    }
    if (buffers.decl) gfxReleaseVertexDecl(buffers.decl);
    buffers.decl = nullptr;
    buffers.onDevice = false;
}

void lockBatchDeviceBuffers(u32 buffer, SBatchVertex** vertices, u32** indices) {
    SBatchBufferPair& pair = g_BatchBuffers.pairs[buffer & 1u];
    if (!g_BatchBuffers.onDevice) {
        *vertices = pair.ownVertices;
        *indices = pair.ownIndices;
        return;
    }
    *vertices = static_cast<SBatchVertex*>(gfxLockVertexBuffer(pair.vertexBuffer, 0, 0, E_GFX_LOCK_DISCARD));
    *indices = static_cast<u32*>(gfxLockIndexBuffer(pair.indexBuffer, 0, 0, E_GFX_LOCK_DISCARD));
    if (*vertices && *indices) return;
    unlockBatchDeviceBuffers(buffer);
    *vertices = nullptr;
    *indices = nullptr;
}

void unlockBatchDeviceBuffers(u32 buffer) {
    SBatchBufferPair& pair = g_BatchBuffers.pairs[buffer & 1u];
    if (!g_BatchBuffers.onDevice) return;
    gfxUnlockVertexBuffer(pair.vertexBuffer);
    gfxUnlockIndexBuffer(pair.indexBuffer);
}

void selectBatchDeviceBuffers(u32 buffer) {
    const SBatchBufferPair& pair = g_BatchBuffers.pairs[buffer & 1u];
    gfxSetVertexDecl(g_BatchBuffers.decl);
    gfxSetStreamSource(pair.vertexBuffer);
    gfxSetIndices(pair.indexBuffer);
}

// Without a device (tools, benchmarks) the staging memory is all there is.
bool batchDeviceReady() { return !renderDeviceExists() || renderDeviceReady(); }
