// The drawing device: the one interface the game draws through, shaped the way its renderer
// expects of a Direct3D 9 device, implemented over OpenGL 3.3 core (gl_backend.cpp) or as a null
// renderer that accepts every call and draws nothing (gfx_device.cpp).
//
// Conventions the callers rely on (the GL back end keeps them):
// - Clip-space depth runs from 0 (near) to 1 (far). Vertex stages end with gfx_position(p), which
//   remaps z, applies the half-pixel rule and flips y for framebuffer rendering (see
//   GFX_GLSL_EPILOGUE below); a stage that writes gl_Position itself breaks all three.
// - Pixel centres are at integer coordinates: a 2D quad whose corners are shifted by -0.5 px
//   covers exactly its pixels.
// - Texture row 0 is the top row, for loaded images and render targets alike; a render target
//   read as a texture with v = 0 gives its top row.
// - Matrices are row-vector matrices (v' = v * M), 16 floats, translation in elements 12..14.
//   Uniform matrices are uploaded as given; GLSL writes M * v, which equals v * M here.
// - Vertex colours (E_GFX_DECL_COLOUR) are 32-bit ARGB words, i.e. B, G, R, A bytes in memory;
//   the vertex stage receives them normalised as (r, g, b, a).
// - Selecting a render target resets the viewport to the whole target.
// - Winding: E_GFX_CULL_CW culls triangles that are clockwise on screen, as the effects name it.
//
// Threads: the GL context is current on one thread at a time. Every call that touches it takes the
// device lock and makes the context current on the calling thread for the call (nested calls on
// the same thread are cheap). The render worker holds a ClGfxContextScope for its whole frame, so
// its draws do not switch; the main thread creates resources (textures, programs, targets,
// buffers) itself, under the lock, while the worker is idle or blocked on the lock. Buffer locks
// never touch GL: they return CPU staging memory, uploaded at the next draw that uses the buffer.
//
// Vertex attribute locations are fixed by usage, so effect stages declare them directly:
//   layout(location = 0) in vec3 a_position;   E_GFX_USAGE_POSITION
//   layout(location = 1) in vec4 a_colour;     E_GFX_USAGE_COLOUR (normalised, r g b a)
//   layout(location = 2) in vec3 a_normal;     E_GFX_USAGE_NORMAL
//   layout(location = 3) in vec2 a_texcoord0;  E_GFX_USAGE_TEXCOORD, index 0
//   layout(location = 4) in vec2 a_texcoord1;  E_GFX_USAGE_TEXCOORD, index 1
#pragma once

#include "platform/types.h"

// ---------------------------------------------------------------------------------------------
// Results and creation

enum EGfxResult : s32 {
    E_GFX_OK = 0,
    E_GFX_DEVICE_LOST = 1,          // present: the device was lost; release and reset
    E_GFX_DEVICE_NOT_RESET = 2,     // cooperative test: lost, and a reset may now succeed
    E_GFX_FAILED = 3,               // creation or reset failed (see gfxLastErrorText)
    E_GFX_NO_DEVICE = 4,
};

enum EGfxBackend : s32 {
    E_GFX_BACKEND_GL = 0,
    E_GFX_BACKEND_NULL = 1,         // no GL: every call succeeds, nothing is drawn
};

// Locking the device: the game passes its pooled lock; with none the device uses its own.
using GfxLockRoutine = void (*)(void* lock);

struct SGfxDeviceParams {
    EGfxBackend backend = E_GFX_BACKEND_GL;
    u32 width = 0;                  // back buffer, pixels
    u32 height = 0;
    u32 multisample = 0;            // 0, 2 or 4 samples (anything else: none)
    bool stencil = false;           // depth with 8 stencil bits (D24S8) instead of D16
    bool vsync = false;             // present with swap interval 1 (paced where the driver cannot)
    u32 refreshHz = 0;              // display refresh for pacing; 0 = unknown (60 Hz)
    void* lock = nullptr;
    GfxLockRoutine lockEnter = nullptr;
    GfxLockRoutine lockLeave = nullptr;
};

// Creates the device. The GL device draws into the main window (platform/window); with none it
// opens a hidden window of its own (tests and tools). E_GFX_FAILED leaves no device; gfxLastErrorText says why.
EGfxResult gfxCreateDevice(const SGfxDeviceParams& params);
// Releases the device and everything it still holds (the owners should have released theirs).
void gfxDestroyDevice();
bool gfxDeviceExists();
bool gfxIsNullRenderer();
const char* gfxLastErrorText();
const SGfxDeviceParams& gfxDeviceParams();

// The context of the calling thread for the scope (re-entrant; see the header comment).
class ClGfxContextScope {
public:
    ClGfxContextScope();
    ~ClGfxContextScope();
    ClGfxContextScope(const ClGfxContextScope&) = delete;
    ClGfxContextScope& operator=(const ClGfxContextScope&) = delete;
};

// A thread of the game's own (not the main thread) that drew calls this as it ends: the window
// library keeps per-thread records for threads that made the context current.
void gfxEndDrawingThread();

// E_GFX_OK while usable; E_GFX_DEVICE_NOT_RESET while lost.
EGfxResult gfxTestCooperativeLevel();
// Resets a lost device with its creation parameters: E_GFX_OK or E_GFX_FAILED (still lost).
EGfxResult gfxReset();

// Device loss does not happen on OpenGL; tests drive the lost-device paths through these. After
// gfxTestLoseDevice the next present reports E_GFX_DEVICE_LOST and the cooperative test
// E_GFX_DEVICE_NOT_RESET until a reset succeeds; the next failCount resets fail.
void gfxTestLoseDevice(u32 failingResets = 0);

// ---------------------------------------------------------------------------------------------
// Surfaces, targets and the viewport

struct SGfxTexture;
struct SGfxDepthSurface;

enum EGfxTextureKind : s32 {
    E_GFX_TEXTURE_STATIC = 0,       // pixels given at creation
    E_GFX_TEXTURE_RENDER_TARGET = 1 // RGBA8, one level, drawn into
};

// From RGBA8 pixels (4 bytes a pixel, R first), top row first. With mipmaps a full chain is
// generated; else one level. Null on failure (zero size, no device).
SGfxTexture* gfxCreateTexture(u32 width, u32 height, const u8* rgba, bool mipmaps);
SGfxTexture* gfxCreateRenderTargetTexture(u32 width, u32 height);
// Replaces the top level of a one-level static texture with width * height RGBA8 pixels of its own
// size (pictures that change every frame). False for any other texture or without pixels.
bool gfxUpdateTexture(SGfxTexture* texture, const u8* rgba);
void gfxReleaseTexture(SGfxTexture* texture);
u32 gfxTextureWidth(const SGfxTexture* texture);
u32 gfxTextureHeight(const SGfxTexture* texture);

// A depth surface for a render target (D16, or D24S8 with the stencil parameter).
SGfxDepthSurface* gfxCreateDepthSurface(u32 width, u32 height);
void gfxReleaseDepthSurface(SGfxDepthSurface* surface);

// Null colour selects the back buffer and its depth surface. A render-target texture draws with the
// given depth surface (null: no depth). Resets the viewport to the whole target.
void gfxSetRenderTarget(SGfxTexture* colour, SGfxDepthSurface* depth);
u32 gfxBackBufferWidth();
u32 gfxBackBufferHeight();

struct SGfxViewport {
    u32 x = 0, y = 0;               // top-left corner, pixels from the target's top-left
    u32 width = 0, height = 0;
    f32 minZ = 0.0f, maxZ = 1.0f;
};

enum EGfxClearFlags : u32 {
    E_GFX_CLEAR_TARGET = 0x1,
    E_GFX_CLEAR_DEPTH = 0x2,
    E_GFX_CLEAR_STENCIL = 0x4,
};
// Clears the viewport of the current target; colour is ARGB.
void gfxClear(u32 flags, u32 argb, f32 depth, u32 stencil);

// The pixels of a render target (null: the back buffer) as RGBA8, top row first, width * height * 4
// bytes. False for a texture that is not a render target, when out is too small or there is no
// device; the null renderer gives zeros.
bool gfxReadPixels(SGfxTexture* target, u8* out, u32 capacity);

// ---------------------------------------------------------------------------------------------
// Buffers and vertex layouts

struct SGfxVertexBuffer;
struct SGfxIndexBuffer;
struct SGfxVertexDecl;

enum EGfxLockFlags : u32 {
    E_GFX_LOCK_NONE = 0,
    E_GFX_LOCK_DISCARD = 0x1,       // the previous contents need not be kept
};

enum EGfxIndexFormat : s32 {
    E_GFX_INDEX_16 = 0,
    E_GFX_INDEX_32 = 1,
};

// Dynamic buffers of a fixed size in bytes. Locks return CPU staging memory (no GL, any thread;
// the owner keeps locks and draws apart); the locked range is uploaded at the next draw that uses
// the buffer. Null on failure; a lock out of range returns null.
SGfxVertexBuffer* gfxCreateVertexBuffer(u32 bytes);
void gfxReleaseVertexBuffer(SGfxVertexBuffer* buffer);
void* gfxLockVertexBuffer(SGfxVertexBuffer* buffer, u32 offset, u32 bytes, u32 lockFlags);
void gfxUnlockVertexBuffer(SGfxVertexBuffer* buffer);

SGfxIndexBuffer* gfxCreateIndexBuffer(u32 bytes, EGfxIndexFormat format);
void gfxReleaseIndexBuffer(SGfxIndexBuffer* buffer);
void* gfxLockIndexBuffer(SGfxIndexBuffer* buffer, u32 offset, u32 bytes, u32 lockFlags);
void gfxUnlockIndexBuffer(SGfxIndexBuffer* buffer);

enum EGfxDeclType : u8 {
    E_GFX_DECL_FLOAT1 = 0,
    E_GFX_DECL_FLOAT2 = 1,
    E_GFX_DECL_FLOAT3 = 2,
    E_GFX_DECL_FLOAT4 = 3,
    E_GFX_DECL_COLOUR = 4,          // ARGB word, normalised to (r, g, b, a)
};

enum EGfxDeclUsage : u8 {
    E_GFX_USAGE_POSITION = 0,
    E_GFX_USAGE_COLOUR = 1,
    E_GFX_USAGE_NORMAL = 2,
    E_GFX_USAGE_TEXCOORD = 3,       // usage index 0 or 1
};

struct SGfxVertexElement {
    u16 offset;
    EGfxDeclType type;
    EGfxDeclUsage usage;
    u8 usageIndex;
};

constexpr u32 GFX_MAX_VERTEX_ELEMENTS = 8;

// Null when count is 0 or above GFX_MAX_VERTEX_ELEMENTS, or an element does not fit the stride.
SGfxVertexDecl* gfxCreateVertexDecl(const SGfxVertexElement* elements, u32 count, u32 stride);
void gfxReleaseVertexDecl(SGfxVertexDecl* decl);

void gfxSetVertexDecl(SGfxVertexDecl* decl);
void gfxSetStreamSource(SGfxVertexBuffer* buffer);
void gfxSetIndices(SGfxIndexBuffer* buffer);

enum EGfxPrimitive : s32 {
    E_GFX_PRIM_TRIANGLE_LIST = 0,
    E_GFX_PRIM_LINE_STRIP = 1,
    E_GFX_PRIM_LINE_LIST = 2,
    E_GFX_PRIM_TRIANGLE_STRIP = 3,
};

// Draws from the current declaration, stream and indices with the current program. Vertex
// numbers are indices + baseVertex; minIndex and vertexCount bound the vertices used.
void gfxDrawIndexedPrimitive(EGfxPrimitive primitive, s32 baseVertex, u32 minIndex, u32 vertexCount,
                             u32 startIndex, u32 primitiveCount);
// Draws from caller memory with the current declaration (through the device's own stream).
void gfxDrawPrimitiveUP(EGfxPrimitive primitive, u32 primitiveCount, const void* vertices,
                        u32 vertexCount);

// ---------------------------------------------------------------------------------------------
// Programs, uniforms and pass state

struct SGfxProgram;

// Every vertex stage is compiled with this text after its "#version 330 core" line; its main()
// ends with gl_Position = gfx_position(clip) instead of writing gl_Position itself.
extern const char* const GFX_GLSL_EPILOGUE;

// Compiles and links GLSL 330 stages (each starts with "#version 330 core"). Null on failure with
// the compiler's log (its lines name "0:<line>") in errorOut, truncated to errorCapacity.
SGfxProgram* gfxCreateProgram(const char* vertexSource, const char* fragmentSource, char* errorOut,
                              u32 errorCapacity);
void gfxReleaseProgram(SGfxProgram* program);
void gfxSetProgram(SGfxProgram* program);

// Location of an active uniform, -1 when the program has none of that name (arrays: "name[0]").
s32 gfxUniformLocation(SGfxProgram* program, const char* name);

// Setters act on the given program (bound for the call); a location of -1 is ignored.
// Vector setters take 4 floats per element and upload the first 1, 2, 3 or 4 of each as the
// uniform's type needs.
void gfxSetUniformFloats(SGfxProgram* program, s32 location, const f32* values, u32 count);
void gfxSetUniformVec4s(SGfxProgram* program, s32 location, const f32* values4, u32 count);
void gfxSetUniformMatrix(SGfxProgram* program, s32 location, const f32* matrix16);
// Binds a texture (null: the 1x1 white default) to a unit (0..GFX_MAX_TEXTURE_UNITS-1) and points
// the sampler uniform at it.
void gfxSetUniformTexture(SGfxProgram* program, s32 location, u32 unit, SGfxTexture* texture);

constexpr u32 GFX_MAX_TEXTURE_UNITS = 4;

enum EGfxBlend : u8 {
    E_GFX_BLEND_ZERO = 0,
    E_GFX_BLEND_ONE,
    E_GFX_BLEND_SRC_COLOUR,
    E_GFX_BLEND_INV_SRC_COLOUR,
    E_GFX_BLEND_SRC_ALPHA,
    E_GFX_BLEND_INV_SRC_ALPHA,
    E_GFX_BLEND_DEST_ALPHA,
    E_GFX_BLEND_INV_DEST_ALPHA,
    E_GFX_BLEND_DEST_COLOUR,
    E_GFX_BLEND_INV_DEST_COLOUR,
};

enum EGfxBlendOp : u8 {
    E_GFX_BLENDOP_ADD = 0,
    E_GFX_BLENDOP_SUBTRACT,         // source - destination
    E_GFX_BLENDOP_REV_SUBTRACT,     // destination - source
    E_GFX_BLENDOP_MIN,
    E_GFX_BLENDOP_MAX,
};

enum EGfxCompare : u8 {
    E_GFX_CMP_NEVER = 0,
    E_GFX_CMP_LESS,
    E_GFX_CMP_EQUAL,
    E_GFX_CMP_LESS_EQUAL,
    E_GFX_CMP_GREATER,
    E_GFX_CMP_NOT_EQUAL,
    E_GFX_CMP_GREATER_EQUAL,
    E_GFX_CMP_ALWAYS,
};

enum EGfxCull : u8 {
    E_GFX_CULL_NONE = 0,
    E_GFX_CULL_CW,                  // clockwise on screen is culled
    E_GFX_CULL_CCW,                 // counter-clockwise on screen is culled (the usual default)
};

enum EGfxFilter : u8 {
    E_GFX_FILTER_POINT = 0,
    E_GFX_FILTER_LINEAR,
};

enum EGfxAddress : u8 {
    E_GFX_ADDRESS_WRAP = 0,
    E_GFX_ADDRESS_CLAMP,
    E_GFX_ADDRESS_MIRROR,
};

struct SGfxSamplerState {
    EGfxFilter minFilter = E_GFX_FILTER_LINEAR;
    EGfxFilter magFilter = E_GFX_FILTER_LINEAR;
    EGfxFilter mipFilter = E_GFX_FILTER_LINEAR;
    EGfxAddress addressU = E_GFX_ADDRESS_WRAP;
    EGfxAddress addressV = E_GFX_ADDRESS_WRAP;
};

// The states an effect pass sets. The defaults are the device's state after creation and after
// gfxResetPassState: no blending, depth test less-equal with writes, counter-clockwise culled.
struct SGfxPassState {
    bool blendEnable = false;
    EGfxBlend srcBlend = E_GFX_BLEND_ONE;
    EGfxBlend destBlend = E_GFX_BLEND_ZERO;
    EGfxBlendOp blendOp = E_GFX_BLENDOP_ADD;
    bool depthEnable = true;
    bool depthWrite = true;
    EGfxCompare depthFunc = E_GFX_CMP_LESS_EQUAL;
    EGfxCull cull = E_GFX_CULL_CCW;
    u8 colourWriteMask = 0xF;       // bits: 1 red, 2 green, 4 blue, 8 alpha
    SGfxSamplerState samplers[GFX_MAX_TEXTURE_UNITS];
};

void gfxApplyPassState(const SGfxPassState& state);
void gfxResetPassState();

// ---------------------------------------------------------------------------------------------
// Fences (event queries) and present

struct SGfxFence;

SGfxFence* gfxCreateFence();
void gfxReleaseFence(SGfxFence* fence);
// Marks the current point in the command stream.
void gfxIssueFence(SGfxFence* fence);
// True when the GPU has passed the issued point (or nothing was issued). With flush, pending
// commands are submitted first so that a polling loop ends.
bool gfxFenceDone(SGfxFence* fence, bool flush);

// Shows the back buffer. E_GFX_DEVICE_LOST after gfxTestLoseDevice. With v-sync wanted and no
// waiting swap (see frame_pacer.h), waits for the next refresh deadline; never waits without.
EGfxResult gfxPresent();
// Presents so far (for the pacing tests and statistics).
u64 gfxPresentCount();
// True when the swap itself waits for the display (swap interval 1 accepted and observed).
bool gfxSwapWaitsForVsync();
