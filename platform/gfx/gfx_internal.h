// The device's own records and the GL back end's entry points, shared by gfx_device.cpp (state,
// staging, the null renderer) and gl_backend.cpp (every GL call).
#pragma once

#include "platform/gfx/gfx_device.h"

#include <vector>

struct SGfxTexture {
    u32 width = 0;
    u32 height = 0;
    u32 levels = 1;
    EGfxTextureKind kind = E_GFX_TEXTURE_STATIC;
    u32 glTexture = 0;
    u32 glFramebuffer = 0;          // render targets: the framebuffer drawing into this texture
    SGfxDepthSurface* fboDepth = nullptr;  // the depth surface attached to glFramebuffer
};

struct SGfxDepthSurface {
    u32 width = 0;
    u32 height = 0;
    u32 glRenderbuffer = 0;
};

// A dynamic buffer: CPU staging that locks hand out, and the dirty byte range uploaded at the
// next draw that uses it.
struct SGfxBuffer {
    std::vector<u8> staging;
    u32 glBuffer = 0;
    u32 dirtyBegin = 0;
    u32 dirtyEnd = 0;
    bool locked = false;
    bool discardPending = false;    // the upload may orphan the GL storage
};

struct SGfxVertexBuffer : SGfxBuffer {};

struct SGfxIndexBuffer : SGfxBuffer {
    EGfxIndexFormat format = E_GFX_INDEX_32;
};

struct SGfxVertexDecl {
    SGfxVertexElement elements[GFX_MAX_VERTEX_ELEMENTS];
    u32 count = 0;
    u32 stride = 0;
};

struct SGfxProgram {
    u32 glProgram = 0;
};

struct SGfxFence {
    void* glSync = nullptr;
};
