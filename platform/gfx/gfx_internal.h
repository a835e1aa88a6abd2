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
    u32 glSize = 0;                 // bytes of the GL storage, at most the staging's
    u32 reach = 0;                  // the furthest byte a draw used since the last orphaning
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

struct SGfxProgramUniform {
    s32 location;
    u32 glType;
    u32 elements;
};

struct SGfxProgram {
    u32 glProgram = 0;
    s32 halfPixelLocation = -1;     // the epilogue's uniform
    f32 halfPixel[2] = {0.0f, 0.0f};
    std::vector<SGfxProgramUniform> uniforms;
};

struct SGfxFence {
    void* glSync = nullptr;
};

// The GL back end (gl_backend.cpp). Every call but glbCreate and glbMakeCurrent runs with the
// context current on the calling thread (inside a ClGfxContextScope).
bool glbCreate(const SGfxDeviceParams& params, char* error, u32 errorCapacity);
void glbDestroy();
void glbMakeCurrent(bool current);
bool glbCreateTexture(SGfxTexture* texture, const u8* rgba);
bool glbUpdateTexture(SGfxTexture* texture, const u8* rgba);
void glbReleaseTexture(SGfxTexture* texture);
bool glbCreateDepthSurface(SGfxDepthSurface* surface);
void glbReleaseDepthSurface(SGfxDepthSurface* surface);
void glbBindTarget(SGfxTexture* colour, SGfxDepthSurface* depth);
void glbSetViewport(const SGfxViewport& viewport);
void glbClear(u32 flags, u32 argb, f32 depth, u32 stencil, const SGfxViewport& viewport);
bool glbReadPixels(SGfxTexture* target, u32 width, u32 height, u8* out);
bool glbCreateBuffer(SGfxBuffer* buffer, bool indices);
void glbReleaseBuffer(SGfxBuffer* buffer);
void glbDrawIndexed(EGfxPrimitive primitive, const SGfxVertexDecl* decl, SGfxVertexBuffer* stream,
                    SGfxIndexBuffer* indices, SGfxProgram* program, s32 baseVertex, u32 minIndex,
                    u32 vertexCount, u32 startIndex, u32 indexCount, const SGfxViewport& viewport);
void glbDrawUser(EGfxPrimitive primitive, const SGfxVertexDecl* decl, SGfxProgram* program,
                 const void* vertices, u32 vertexCount, u32 drawCount, const SGfxViewport& viewport);
SGfxProgram* glbCreateProgram(const char* vertexSource, const char* fragmentSource, char* errorOut,
                              u32 errorCapacity);
void glbReleaseProgram(SGfxProgram* program);
s32 glbUniformLocation(SGfxProgram* program, const char* name);
void glbSetUniformFloats(SGfxProgram* program, s32 location, const f32* values, u32 count);
void glbSetUniformVec4s(SGfxProgram* program, s32 location, const f32* values4, u32 count);
void glbSetUniformMatrix(SGfxProgram* program, s32 location, const f32* matrix16);
void glbSetUniformTexture(SGfxProgram* program, s32 location, u32 unit, SGfxTexture* texture);
void glbApplyPassState(const SGfxPassState& state);
void glbIssueFence(SGfxFence* fence);
bool glbFenceDone(SGfxFence* fence, bool flush);
void glbReleaseFence(SGfxFence* fence);
// Blits the back buffer to the window (one y-flip) and swaps. False when the swap interval was
// asked for and refused (tracked by the caller's pacer through glbSwapIntervalAccepted).
void glbPresent();
bool glbSwapIntervalAccepted();
void glbEndThread();
