// The device's state, resource records, CPU staging and the null renderer. Every GL call lives in
// gl_backend.cpp; with the null renderer none is made.
#include "platform/gfx/gfx_device.h"

#include "platform/gfx/frame_pacer.h"
#include "platform/gfx/gfx_internal.h"
#include "platform/os/os.h"

#include <cstdio>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

struct SDeviceState {
    bool exists = false;
    SGfxDeviceParams params;
    std::recursive_mutex ownLock;
    SGfxTexture* target = nullptr;
    SGfxDepthSurface* depth = nullptr;
    SGfxViewport viewport;
    SGfxVertexDecl* decl = nullptr;
    SGfxVertexBuffer* stream = nullptr;
    SGfxIndexBuffer* indices = nullptr;
    SGfxProgram* program = nullptr;
    bool lost = false;
    u32 failingResets = 0;
    std::atomic<u64> presents{0};
    ClFramePacer pacer;
    char errorText[1024] = {};
};

SDeviceState g_device;
thread_local u32 t_contextDepth = 0;

bool usesGl() { return g_device.exists && g_device.params.backend == E_GFX_BACKEND_GL; }

u32 indexCount(EGfxPrimitive primitive, u32 primitiveCount) {
    switch (primitive) {
    case E_GFX_PRIM_TRIANGLE_LIST: return primitiveCount * 3;
    case E_GFX_PRIM_LINE_LIST: return primitiveCount * 2;
    case E_GFX_PRIM_LINE_STRIP: return primitiveCount ? primitiveCount + 1 : 0;
    case E_GFX_PRIM_TRIANGLE_STRIP: return primitiveCount ? primitiveCount + 2 : 0;
    }
    return 0;
}

void setError(const char* text) {
    std::snprintf(g_device.errorText, sizeof(g_device.errorText), "%s", text);
}

void enterLock() {
    if (g_device.params.lockEnter) {
        g_device.params.lockEnter(g_device.params.lock);
    } else {
        g_device.ownLock.lock();
    }
}

void leaveLock() {
    if (g_device.params.lockLeave) {
        g_device.params.lockLeave(g_device.params.lock);
    } else {
        g_device.ownLock.unlock();
    }
}

void resetViewportToTarget() {
    SGfxViewport v;
    if (g_device.target) {
        v.width = g_device.target->width;
        v.height = g_device.target->height;
    } else {
        v.width = g_device.params.width;
        v.height = g_device.params.height;
    }
    g_device.viewport = v;
}

void* lockBuffer(SGfxBuffer* buffer, u32 offset, u32 bytes, u32 lockFlags) {
    if (!buffer || buffer->locked) {
        return nullptr;
    }
    const u64 size = buffer->staging.size();
    if (bytes == 0) {
        bytes = static_cast<u32>(size - (offset < size ? offset : size));
    }
    if (static_cast<u64>(offset) + bytes > size || bytes == 0) {
        return nullptr;
    }
    buffer->locked = true;
    if (lockFlags & E_GFX_LOCK_DISCARD) {
        buffer->discardPending = true;
        buffer->dirtyBegin = offset;
        buffer->dirtyEnd = offset + bytes;
    } else if (buffer->dirtyBegin == buffer->dirtyEnd) {
        buffer->dirtyBegin = offset;
        buffer->dirtyEnd = offset + bytes;
    } else {
        buffer->dirtyBegin = offset < buffer->dirtyBegin ? offset : buffer->dirtyBegin;
        buffer->dirtyEnd = offset + bytes > buffer->dirtyEnd ? offset + bytes : buffer->dirtyEnd;
    }
    return buffer->staging.data() + offset;
}

}  // namespace

EGfxResult gfxCreateDevice(const SGfxDeviceParams& params) {
    if (g_device.exists) {
        setError("the device already exists");
        return E_GFX_FAILED;
    }
    if (params.width == 0 || params.height == 0) {
        setError("the back buffer has no size");
        return E_GFX_FAILED;
    }
    g_device.params = params;
    if (params.backend == E_GFX_BACKEND_GL) {
        ClGfxContextScope lock;
        if (!glbCreate(params, g_device.errorText, sizeof(g_device.errorText))) {
            g_device.params = SGfxDeviceParams{};
            return E_GFX_FAILED;
        }
        glbMakeCurrent(false);
    }
    g_device.exists = true;
    g_device.pacer.configure(params.vsync, params.backend == E_GFX_BACKEND_GL && glbSwapIntervalAccepted(),
                             params.refreshHz);
    g_device.target = nullptr;
    g_device.lost = false;
    g_device.failingResets = 0;
    g_device.presents = 0;
    resetViewportToTarget();
    return E_GFX_OK;
}

void gfxDestroyDevice() {
    if (usesGl()) {
        ClGfxContextScope lock;
        glbDestroy();
    }
    g_device.exists = false;
    // The owner's lock goes with the device.
    g_device.params = SGfxDeviceParams{};
    g_device.target = nullptr;
    g_device.decl = nullptr;
    g_device.stream = nullptr;
    g_device.indices = nullptr;
    g_device.program = nullptr;
}

bool gfxDeviceExists() { return g_device.exists; }
bool gfxIsNullRenderer() { return g_device.exists && g_device.params.backend == E_GFX_BACKEND_NULL; }
const char* gfxLastErrorText() { return g_device.errorText; }
const SGfxDeviceParams& gfxDeviceParams() { return g_device.params; }

ClGfxContextScope::ClGfxContextScope() {
    if (t_contextDepth++ == 0) {
        enterLock();
        if (usesGl()) glbMakeCurrent(true);
    }
}

ClGfxContextScope::~ClGfxContextScope() {
    if (--t_contextDepth == 0) {
        if (usesGl()) glbMakeCurrent(false);
        leaveLock();
    }
}

void gfxEndDrawingThread() {
    if (usesGl()) glbEndThread();
}

EGfxResult gfxTestCooperativeLevel() {
    if (!g_device.exists) {
        return E_GFX_NO_DEVICE;
    }
    return g_device.lost ? E_GFX_DEVICE_NOT_RESET : E_GFX_OK;
}

EGfxResult gfxReset() {
    if (!g_device.exists) {
        return E_GFX_NO_DEVICE;
    }
    if (g_device.failingResets > 0) {
        --g_device.failingResets;
        setError("the reset failed");
        return E_GFX_FAILED;
    }
    g_device.lost = false;
    gfxSetRenderTarget(nullptr, nullptr);
    return E_GFX_OK;
}

void gfxTestLoseDevice(u32 failingResets) {
    g_device.lost = true;
    g_device.failingResets = failingResets;
}

SGfxTexture* gfxCreateTexture(u32 width, u32 height, const u8* rgba, bool mipmaps) {
    if (!g_device.exists || width == 0 || height == 0 || !rgba) {
        return nullptr;
    }
    auto* texture = new SGfxTexture;
    texture->width = width;
    texture->height = height;
    texture->levels = 1;
    if (mipmaps) {
        for (u32 size = width > height ? width : height; size > 1; size /= 2) {
            ++texture->levels;
        }
    }
    if (usesGl()) {
        ClGfxContextScope context;
        if (!glbCreateTexture(texture, rgba)) {
            delete texture;
            return nullptr;
        }
    }
    return texture;
}

SGfxTexture* gfxCreateRenderTargetTexture(u32 width, u32 height) {
    if (!g_device.exists || width == 0 || height == 0) {
        return nullptr;
    }
    auto* texture = new SGfxTexture;
    texture->width = width;
    texture->height = height;
    texture->kind = E_GFX_TEXTURE_RENDER_TARGET;
    if (usesGl()) {
        ClGfxContextScope context;
        if (!glbCreateTexture(texture, nullptr)) {
            delete texture;
            return nullptr;
        }
    }
    return texture;
}

bool gfxUpdateTexture(SGfxTexture* texture, const u8* rgba) {
    if (!texture || !rgba || texture->kind != E_GFX_TEXTURE_STATIC || texture->levels != 1) return false;
    if (!usesGl()) return true;
    ClGfxContextScope context;
    return glbUpdateTexture(texture, rgba);
}

void gfxReleaseTexture(SGfxTexture* texture) {
    if (!texture) {
        return;
    }
    if (g_device.target == texture) {
        gfxSetRenderTarget(nullptr, nullptr);
    }
    if (usesGl()) {
        ClGfxContextScope context;
        glbReleaseTexture(texture);
    }
    delete texture;
}

u32 gfxTextureWidth(const SGfxTexture* texture) { return texture ? texture->width : 0; }
u32 gfxTextureHeight(const SGfxTexture* texture) { return texture ? texture->height : 0; }

SGfxDepthSurface* gfxCreateDepthSurface(u32 width, u32 height) {
    if (!g_device.exists || width == 0 || height == 0) {
        return nullptr;
    }
    auto* surface = new SGfxDepthSurface;
    surface->width = width;
    surface->height = height;
    if (usesGl()) {
        ClGfxContextScope context;
        if (!glbCreateDepthSurface(surface)) {
            delete surface;
            return nullptr;
        }
    }
    return surface;
}

void gfxReleaseDepthSurface(SGfxDepthSurface* surface) {
    if (!surface) {
        return;
    }
    if (g_device.depth == surface) {
        gfxSetRenderTarget(g_device.target, nullptr);
    }
    if (usesGl()) {
        ClGfxContextScope context;
        glbReleaseDepthSurface(surface);
    }
    delete surface;
}

void gfxSetRenderTarget(SGfxTexture* colour, SGfxDepthSurface* depth) {
    if (colour && colour->kind != E_GFX_TEXTURE_RENDER_TARGET) {
        colour = nullptr;
    }
    g_device.target = colour;
    g_device.depth = colour ? depth : nullptr;
    resetViewportToTarget();
    if (usesGl()) {
        ClGfxContextScope context;
        glbBindTarget(colour, g_device.depth);
        glbSetViewport(g_device.viewport);
    }
}

u32 gfxBackBufferWidth() { return g_device.exists ? g_device.params.width : 0; }
u32 gfxBackBufferHeight() { return g_device.exists ? g_device.params.height : 0; }

void gfxClear(u32 flags, u32 argb, f32 depth, u32 stencil) {
    if (usesGl()) {
        ClGfxContextScope context;
        glbClear(flags, argb, depth, stencil, g_device.viewport);
    }
}

bool gfxReadPixels(SGfxTexture* target, u8* out, u32 capacity) {
    if (!g_device.exists || !out || (target && target->kind != E_GFX_TEXTURE_RENDER_TARGET)) {
        return false;
    }
    const u32 width = target ? target->width : g_device.params.width;
    const u32 height = target ? target->height : g_device.params.height;
    const u64 bytes = static_cast<u64>(width) * height * 4;
    if (bytes > capacity) {
        return false;
    }
    if (usesGl()) {
        ClGfxContextScope context;
        return glbReadPixels(target, width, height, out);
    }
    std::memset(out, 0, bytes);
    return true;
}

SGfxVertexBuffer* gfxCreateVertexBuffer(u32 bytes) {
    if (!g_device.exists || bytes == 0) {
        return nullptr;
    }
    auto* buffer = new SGfxVertexBuffer;
    buffer->staging.resize(bytes);
    if (usesGl()) {
        ClGfxContextScope context;
        if (!glbCreateBuffer(buffer, false)) {
            glbReleaseBuffer(buffer);
            delete buffer;
            return nullptr;
        }
    }
    return buffer;
}

void gfxReleaseVertexBuffer(SGfxVertexBuffer* buffer) {
    if (!buffer) {
        return;
    }
    if (g_device.stream == buffer) {
        g_device.stream = nullptr;
    }
    if (usesGl()) {
        ClGfxContextScope context;
        glbReleaseBuffer(buffer);
    }
    delete buffer;
}

void* gfxLockVertexBuffer(SGfxVertexBuffer* buffer, u32 offset, u32 bytes, u32 lockFlags) {
    return lockBuffer(buffer, offset, bytes, lockFlags);
}

void gfxUnlockVertexBuffer(SGfxVertexBuffer* buffer) {
    if (buffer) {
        buffer->locked = false;
    }
}

SGfxIndexBuffer* gfxCreateIndexBuffer(u32 bytes, EGfxIndexFormat format) {
    if (!g_device.exists || bytes == 0) {
        return nullptr;
    }
    auto* buffer = new SGfxIndexBuffer;
    buffer->staging.resize(bytes);
    buffer->format = format;
    if (usesGl()) {
        ClGfxContextScope context;
        if (!glbCreateBuffer(buffer, true)) {
            glbReleaseBuffer(buffer);
            delete buffer;
            return nullptr;
        }
    }
    return buffer;
}

void gfxReleaseIndexBuffer(SGfxIndexBuffer* buffer) {
    if (!buffer) {
        return;
    }
    if (g_device.indices == buffer) {
        g_device.indices = nullptr;
    }
    if (usesGl()) {
        ClGfxContextScope context;
        glbReleaseBuffer(buffer);
    }
    delete buffer;
}

void* gfxLockIndexBuffer(SGfxIndexBuffer* buffer, u32 offset, u32 bytes, u32 lockFlags) {
    return lockBuffer(buffer, offset, bytes, lockFlags);
}

void gfxUnlockIndexBuffer(SGfxIndexBuffer* buffer) {
    if (buffer) {
        buffer->locked = false;
    }
}

SGfxVertexDecl* gfxCreateVertexDecl(const SGfxVertexElement* elements, u32 count, u32 stride) {
    if (!elements || count == 0 || count > GFX_MAX_VERTEX_ELEMENTS) {
        return nullptr;
    }
    static const u32 typeBytes[] = {4, 8, 12, 16, 4};
    for (u32 i = 0; i < count; ++i) {
        if (elements[i].type > E_GFX_DECL_COLOUR ||
            elements[i].offset + typeBytes[elements[i].type] > stride) {
            return nullptr;
        }
    }
    auto* decl = new SGfxVertexDecl;
    std::memcpy(decl->elements, elements, count * sizeof(SGfxVertexElement));
    decl->count = count;
    decl->stride = stride;
    return decl;
}

void gfxReleaseVertexDecl(SGfxVertexDecl* decl) {
    if (g_device.decl == decl) {
        g_device.decl = nullptr;
    }
    delete decl;
}

void gfxSetVertexDecl(SGfxVertexDecl* decl) { g_device.decl = decl; }
void gfxSetStreamSource(SGfxVertexBuffer* buffer) { g_device.stream = buffer; }
void gfxSetIndices(SGfxIndexBuffer* buffer) { g_device.indices = buffer; }

void gfxDrawIndexedPrimitive(EGfxPrimitive primitive, s32 baseVertex, u32 minIndex, u32 vertexCount,
                             u32 startIndex, u32 primitiveCount) {
    SGfxIndexBuffer* indices = g_device.indices;
    const u32 count = indexCount(primitive, primitiveCount);
    if (!usesGl() || !g_device.decl || !g_device.stream || !indices || !g_device.program || count == 0) {
        return;
    }
    const u64 indexBytes = indices->format == E_GFX_INDEX_32 ? 4 : 2;
    if ((static_cast<u64>(startIndex) + count) * indexBytes > indices->staging.size()) {
        return;
    }
    ClGfxContextScope context;
    glbDrawIndexed(primitive, g_device.decl, g_device.stream, indices, g_device.program, baseVertex, minIndex,
                   vertexCount, startIndex, count, g_device.viewport);
}

void gfxDrawPrimitiveUP(EGfxPrimitive primitive, u32 primitiveCount, const void* vertices, u32 vertexCount) {
    const u32 count = indexCount(primitive, primitiveCount);
    if (!usesGl() || !g_device.decl || !g_device.program || !vertices || count == 0 || count > vertexCount) {
        return;
    }
    ClGfxContextScope context;
    glbDrawUser(primitive, g_device.decl, g_device.program, vertices, vertexCount, count, g_device.viewport);
}

SGfxProgram* gfxCreateProgram(const char* vertexSource, const char* fragmentSource, char* errorOut,
                              u32 errorCapacity) {
    if (!g_device.exists || !vertexSource || !fragmentSource) {
        if (errorOut && errorCapacity) {
            std::snprintf(errorOut, errorCapacity, "no device");
        }
        return nullptr;
    }
    if (usesGl()) {
        ClGfxContextScope context;
        return glbCreateProgram(vertexSource, fragmentSource, errorOut, errorCapacity);
    }
    return new SGfxProgram;
}

void gfxReleaseProgram(SGfxProgram* program) {
    if (!program) {
        return;
    }
    if (g_device.program == program) {
        g_device.program = nullptr;
    }
    if (usesGl()) {
        ClGfxContextScope context;
        glbReleaseProgram(program);
    }
    delete program;
}

void gfxSetProgram(SGfxProgram* program) { g_device.program = program; }
s32 gfxUniformLocation(SGfxProgram* program, const char* name) {
    if (!usesGl() || !program || !name) {
        return -1;
    }
    ClGfxContextScope context;
    return glbUniformLocation(program, name);
}

void gfxSetUniformFloats(SGfxProgram* program, s32 location, const f32* values, u32 count) {
    if (usesGl() && program && location >= 0 && values && count) {
        ClGfxContextScope context;
        glbSetUniformFloats(program, location, values, count);
    }
}

void gfxSetUniformVec4s(SGfxProgram* program, s32 location, const f32* values4, u32 count) {
    if (usesGl() && program && location >= 0 && values4 && count) {
        ClGfxContextScope context;
        glbSetUniformVec4s(program, location, values4, count);
    }
}

void gfxSetUniformMatrix(SGfxProgram* program, s32 location, const f32* matrix16) {
    if (usesGl() && program && location >= 0 && matrix16) {
        ClGfxContextScope context;
        glbSetUniformMatrix(program, location, matrix16);
    }
}

void gfxSetUniformTexture(SGfxProgram* program, s32 location, u32 unit, SGfxTexture* texture) {
    if (usesGl() && program && location >= 0 && unit < GFX_MAX_TEXTURE_UNITS) {
        ClGfxContextScope context;
        glbSetUniformTexture(program, location, unit, texture);
    }
}

void gfxApplyPassState(const SGfxPassState& state) {
    if (usesGl()) {
        ClGfxContextScope context;
        glbApplyPassState(state);
    }
}

void gfxResetPassState() { gfxApplyPassState(SGfxPassState{}); }

SGfxFence* gfxCreateFence() { return g_device.exists ? new SGfxFence : nullptr; }

void gfxReleaseFence(SGfxFence* fence) {
    if (fence && fence->glSync && usesGl()) {
        ClGfxContextScope context;
        glbReleaseFence(fence);
    }
    delete fence;
}

void gfxIssueFence(SGfxFence* fence) {
    if (fence && usesGl()) {
        ClGfxContextScope context;
        glbIssueFence(fence);
    }
}

bool gfxFenceDone(SGfxFence* fence, bool flush) {
    if (!fence || !usesGl()) {
        return true;
    }
    ClGfxContextScope context;
    return glbFenceDone(fence, flush);
}

EGfxResult gfxPresent() {
    if (!g_device.exists) {
        return E_GFX_NO_DEVICE;
    }
    if (g_device.lost) {
        return E_GFX_DEVICE_LOST;
    }
    const u64 now = osPerformanceCounter();
    const u64 presentAt = g_device.pacer.beforePresent(now);
    if (presentAt > now) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(presentAt - now));
    }
    if (usesGl()) {
        ClGfxContextScope context;
        glbPresent();
    }
    g_device.pacer.afterPresent(osPerformanceCounter());
    ++g_device.presents;
    return E_GFX_OK;
}

u64 gfxPresentCount() { return g_device.presents.load(); }
bool gfxSwapWaitsForVsync() { return g_device.exists && g_device.pacer.swapWaits(); }
