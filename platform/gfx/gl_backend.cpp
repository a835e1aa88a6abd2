// Every OpenGL call of the device. Direct3D 9's conventions are kept here: everything is drawn
// into framebuffer objects whose row 0 is the image's top row (the vertex epilogue flips y), the
// back buffer is flipped once when it is blitted to the window, clip z runs 0..1, and pixel
// centres sit on integer coordinates.
#include "platform/gfx/gfx_internal.h"
#include "platform/window/window.h"
#include "platform/window/window_internal.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

const char* const GFX_GLSL_EPILOGUE =
    "uniform vec2 gfx_halfPixel;\n"
    "vec4 gfx_position(vec4 p) { return vec4(p.x + gfx_halfPixel.x * p.w, -p.y + gfx_halfPixel.y * p.w, 2.0 * p.z - p.w, p.w); }\n";

namespace {

// Textures are created and uploaded on a unit no draw samples, so creation never disturbs what the
// drawing units hold.
constexpr GLenum SCRATCH_TEXTURE_UNIT = GL_TEXTURE0 + GFX_MAX_TEXTURE_UNITS;

struct SGlState {
    SDL_Window* window = nullptr;
    bool ownWindow = false;
    SDL_GLContext context = nullptr;
    u32 width = 0;
    u32 height = 0;
    u32 samples = 0;
    bool stencil = false;
    bool swapIntervalAccepted = false;
    GLuint backFramebuffer = 0;
    GLuint backColour = 0;
    GLuint backDepth = 0;
    GLuint resolveFramebuffer = 0;  // multisampled back buffers resolve here first
    GLuint resolveColour = 0;
    GLuint vertexArray = 0;
    GLuint userVertices = 0;
    GLuint whiteTexture = 0;
    GLuint samplers[GFX_MAX_TEXTURE_UNITS] = {};
    GLuint boundProgram = 0;
    SGfxTexture* target = nullptr;
    SGfxPassState pass;
};

SGlState g_gl;

GLenum blendFactor(EGfxBlend blend) {
    switch (blend) {
    case E_GFX_BLEND_ZERO: return GL_ZERO;
    case E_GFX_BLEND_ONE: return GL_ONE;
    case E_GFX_BLEND_SRC_COLOUR: return GL_SRC_COLOR;
    case E_GFX_BLEND_INV_SRC_COLOUR: return GL_ONE_MINUS_SRC_COLOR;
    case E_GFX_BLEND_SRC_ALPHA: return GL_SRC_ALPHA;
    case E_GFX_BLEND_INV_SRC_ALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case E_GFX_BLEND_DEST_ALPHA: return GL_DST_ALPHA;
    case E_GFX_BLEND_INV_DEST_ALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case E_GFX_BLEND_DEST_COLOUR: return GL_DST_COLOR;
    case E_GFX_BLEND_INV_DEST_COLOUR: return GL_ONE_MINUS_DST_COLOR;
    }
    return GL_ONE;
}

GLenum blendEquation(EGfxBlendOp op) {
    switch (op) {
    case E_GFX_BLENDOP_ADD: return GL_FUNC_ADD;
    case E_GFX_BLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case E_GFX_BLENDOP_REV_SUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case E_GFX_BLENDOP_MIN: return GL_MIN;
    case E_GFX_BLENDOP_MAX: return GL_MAX;
    }
    return GL_FUNC_ADD;
}

GLenum compareFunc(EGfxCompare compare) {
    static const GLenum funcs[] = {GL_NEVER,   GL_LESS,     GL_EQUAL,  GL_LEQUAL,
                                   GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return compare <= E_GFX_CMP_ALWAYS ? funcs[compare] : GL_LEQUAL;
}

GLenum addressMode(EGfxAddress address) {
    return address == E_GFX_ADDRESS_CLAMP    ? GL_CLAMP_TO_EDGE
           : address == E_GFX_ADDRESS_MIRROR ? GL_MIRRORED_REPEAT
                                             : GL_REPEAT;
}

GLenum primitiveMode(EGfxPrimitive primitive) {
    switch (primitive) {
    case E_GFX_PRIM_TRIANGLE_LIST: return GL_TRIANGLES;
    case E_GFX_PRIM_LINE_STRIP: return GL_LINE_STRIP;
    case E_GFX_PRIM_LINE_LIST: return GL_LINES;
    case E_GFX_PRIM_TRIANGLE_STRIP: return GL_TRIANGLE_STRIP;
    }
    return GL_TRIANGLES;
}

void useProgram(GLuint program) {
    if (g_gl.boundProgram != program) {
        glUseProgram(program);
        g_gl.boundProgram = program;
    }
}

void applySamplers(const SGfxPassState& state) {
    for (u32 unit = 0; unit < GFX_MAX_TEXTURE_UNITS; ++unit) {
        const SGfxSamplerState& s = state.samplers[unit];
        const bool linearMin = s.minFilter == E_GFX_FILTER_LINEAR;
        const bool linearMip = s.mipFilter == E_GFX_FILTER_LINEAR;
        const GLenum minFilter = linearMin ? (linearMip ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST)
                                           : (linearMip ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST);
        glSamplerParameteri(g_gl.samplers[unit], GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
        glSamplerParameteri(g_gl.samplers[unit], GL_TEXTURE_MAG_FILTER,
                            s.magFilter == E_GFX_FILTER_LINEAR ? GL_LINEAR : GL_NEAREST);
        glSamplerParameteri(g_gl.samplers[unit], GL_TEXTURE_WRAP_S, static_cast<GLint>(addressMode(s.addressU)));
        glSamplerParameteri(g_gl.samplers[unit], GL_TEXTURE_WRAP_T, static_cast<GLint>(addressMode(s.addressV)));
    }
}

bool framebufferComplete(const char* what, char* error, u32 errorCapacity) {
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status == GL_FRAMEBUFFER_COMPLETE) return true;
    if (error) std::snprintf(error, errorCapacity, "%s framebuffer incomplete (0x%x)", what, status);
    return false;
}

bool createBackBuffer(char* error, u32 errorCapacity) {
    glGenFramebuffers(1, &g_gl.backFramebuffer);
    glGenRenderbuffers(1, &g_gl.backColour);
    glGenRenderbuffers(1, &g_gl.backDepth);
    const GLsizei w = static_cast<GLsizei>(g_gl.width), h = static_cast<GLsizei>(g_gl.height);
    const GLsizei samples = static_cast<GLsizei>(g_gl.samples);
    const GLenum depthFormat = g_gl.stencil ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT16;
    glBindRenderbuffer(GL_RENDERBUFFER, g_gl.backColour);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, w, h);
    glBindRenderbuffer(GL_RENDERBUFFER, g_gl.backDepth);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, depthFormat, w, h);
    glBindFramebuffer(GL_FRAMEBUFFER, g_gl.backFramebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, g_gl.backColour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, g_gl.stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                              GL_RENDERBUFFER, g_gl.backDepth);
    if (!framebufferComplete("back buffer", error, errorCapacity)) return false;
    if (g_gl.samples > 0) {
        glGenFramebuffers(1, &g_gl.resolveFramebuffer);
        glGenRenderbuffers(1, &g_gl.resolveColour);
        glBindRenderbuffer(GL_RENDERBUFFER, g_gl.resolveColour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
        glBindFramebuffer(GL_FRAMEBUFFER, g_gl.resolveFramebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, g_gl.resolveColour);
        if (!framebufferComplete("resolve", error, errorCapacity)) return false;
    }
    return true;
}

// The back buffer's single-sampled image, resolving a multisampled one first.
GLuint backBufferForReading() {
    if (g_gl.samples == 0) return g_gl.backFramebuffer;
    const GLint w = static_cast<GLint>(g_gl.width), h = static_cast<GLint>(g_gl.height);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_gl.backFramebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, g_gl.resolveFramebuffer);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    return g_gl.resolveFramebuffer;
}

void bindCurrentTarget() {
    glBindFramebuffer(GL_FRAMEBUFFER, g_gl.target ? g_gl.target->glFramebuffer : g_gl.backFramebuffer);
}

// The GL storage of a dynamic buffer covers what the draws use, not the whole staging: drivers
// may clear the store that orphaning hands out (llvmpipe does), so a 4.6 MB buffer of which a frame
// draws 20 KB would cost that frame 4.6 MB of writes. Sizes are powers of two from 64 KB.
constexpr u64 MIN_GL_STORE_BYTES = 64 * 1024;

u32 storeSizeFor(u64 bytes, u64 stagingSize) {
    u64 size = MIN_GL_STORE_BYTES;
    while (size < bytes) size *= 2;
    return static_cast<u32>(std::min(size, stagingSize));
}

void replaceStore(SGfxBuffer* buffer, GLenum target, u32 size) {
    buffer->glSize = size;
    glBufferData(target, static_cast<GLsizeiptr>(size), nullptr, GL_STREAM_DRAW);
}

// Uploads what the draw needs of a buffer's staging: [dirty begin, neededEnd). After a discard
// lock the storage is orphaned, sized by the furthest byte the previous frame drew from; a draw
// that reaches past the storage gets a larger one, filled again from the staging.
void uploadBuffer(SGfxBuffer* buffer, GLenum target, u64 neededEnd) {
    glBindBuffer(target, buffer->glBuffer);
    const u64 size = buffer->staging.size();
    neededEnd = std::min(neededEnd, size);
    if (buffer->discardPending) {
        replaceStore(buffer, target, storeSizeFor(std::max<u64>(neededEnd, buffer->reach), size));
        buffer->reach = 0;
        buffer->discardPending = false;
    } else if (neededEnd > buffer->glSize) {
        replaceStore(buffer, target, storeSizeFor(neededEnd, size));
        buffer->dirtyBegin = 0;
        buffer->dirtyEnd = static_cast<u32>(size);
    }
    buffer->reach = std::max(buffer->reach, static_cast<u32>(neededEnd));
    const u64 end = std::min<u64>(buffer->dirtyEnd, neededEnd);
    if (end > buffer->dirtyBegin) {
        glBufferSubData(target, buffer->dirtyBegin, static_cast<GLsizeiptr>(end - buffer->dirtyBegin),
                        buffer->staging.data() + buffer->dirtyBegin);
        buffer->dirtyBegin = static_cast<u32>(end);
    }
}

void setupAttributes(const SGfxVertexDecl* decl, uintptr_t baseOffset) {
    for (GLuint location = 0; location < 5; ++location) glDisableVertexAttribArray(location);
    for (u32 i = 0; i < decl->count; ++i) {
        const SGfxVertexElement& e = decl->elements[i];
        GLuint location = 0;
        switch (e.usage) {
        case E_GFX_USAGE_POSITION: location = 0; break;
        case E_GFX_USAGE_COLOUR: location = 1; break;
        case E_GFX_USAGE_NORMAL: location = 2; break;
        case E_GFX_USAGE_TEXCOORD: location = e.usageIndex == 0 ? 3 : 4; break;
        }
        const void* pointer = reinterpret_cast<const void*>(baseOffset + e.offset);
        glEnableVertexAttribArray(location);
        if (e.type == E_GFX_DECL_COLOUR) {
            glVertexAttribPointer(location, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, static_cast<GLsizei>(decl->stride), pointer);
        } else {
            glVertexAttribPointer(location, static_cast<GLint>(e.type) + 1, GL_FLOAT, GL_FALSE,
                                  static_cast<GLsizei>(decl->stride), pointer);
        }
    }
}

void prepareProgram(SGfxProgram* program, const SGfxViewport& viewport) {
    useProgram(program->glProgram);
    const f32 hx = viewport.width ? 1.0f / static_cast<f32>(viewport.width) : 0.0f;
    const f32 hy = viewport.height ? 1.0f / static_cast<f32>(viewport.height) : 0.0f;
    if (program->halfPixelLocation >= 0 && (program->halfPixel[0] != hx || program->halfPixel[1] != hy)) {
        glUniform2f(program->halfPixelLocation, hx, hy);
        program->halfPixel[0] = hx;
        program->halfPixel[1] = hy;
    }
}

GLuint compileStage(GLenum kind, const std::string& source, std::string* log) {
    const GLuint shader = glCreateShader(kind);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
        std::string text(static_cast<size_t>(std::max(length, 1)), '\0');
        glGetShaderInfoLog(shader, length, nullptr, text.data());
        *log += kind == GL_VERTEX_SHADER ? "vertex stage: " : "fragment stage: ";
        *log += text.c_str();
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

}  // namespace


bool glbCreate(const SGfxDeviceParams& params, char* error, u32 errorCapacity) {
    g_gl = SGlState{};
    g_gl.width = params.width;
    g_gl.height = params.height;
    g_gl.samples = params.multisample == 2 || params.multisample == 4 ? params.multisample : 0;
    g_gl.stencil = params.stencil;
    g_gl.window = windowSdlHandle();
    if (!g_gl.window) {
        if (!windowInitVideo()) {
            std::snprintf(error, errorCapacity, "no video: %s", SDL_GetError());
            return false;
        }
        windowSetGlAttributes();
        g_gl.window = SDL_CreateWindow("", 0, 0, static_cast<int>(params.width), static_cast<int>(params.height),
                                       SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!g_gl.window) {
            std::snprintf(error, errorCapacity, "no window: %s", SDL_GetError());
            windowShutdownVideo();
            return false;
        }
        g_gl.ownWindow = true;
    }
    g_gl.context = SDL_GL_CreateContext(g_gl.window);
    if (!g_gl.context) {
        std::snprintf(error, errorCapacity, "no OpenGL 3.3 core context: %s", SDL_GetError());
        glbDestroy();
        return false;
    }
    SDL_GL_MakeCurrent(g_gl.window, g_gl.context);
    if (epoxy_gl_version() < 33) {
        std::snprintf(error, errorCapacity, "OpenGL %d.%d is below 3.3", epoxy_gl_version() / 10, epoxy_gl_version() % 10);
        glbDestroy();
        return false;
    }
    g_gl.swapIntervalAccepted = params.vsync ? SDL_GL_SetSwapInterval(1) == 0 : (SDL_GL_SetSwapInterval(0), false);
    if (!createBackBuffer(error, errorCapacity)) {
        glbDestroy();
        return false;
    }
    glGenVertexArrays(1, &g_gl.vertexArray);
    glBindVertexArray(g_gl.vertexArray);
    glGenBuffers(1, &g_gl.userVertices);
    glGenSamplers(GFX_MAX_TEXTURE_UNITS, g_gl.samplers);
    for (u32 unit = 0; unit < GFX_MAX_TEXTURE_UNITS; ++unit) glBindSampler(unit, g_gl.samplers[unit]);
    const u8 white[4] = {255, 255, 255, 255};
    glActiveTexture(SCRATCH_TEXTURE_UNIT);
    glGenTextures(1, &g_gl.whiteTexture);
    glBindTexture(GL_TEXTURE_2D, g_gl.whiteTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    for (u32 unit = 0; unit < GFX_MAX_TEXTURE_UNITS; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, g_gl.whiteTexture);
    }
    glActiveTexture(SCRATCH_TEXTURE_UNIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glFrontFace(GL_CCW);
    glbApplyPassState(SGfxPassState{});
    g_gl.target = nullptr;
    bindCurrentTarget();
    glViewport(0, 0, static_cast<GLsizei>(g_gl.width), static_cast<GLsizei>(g_gl.height));
    return true;
}

void glbDestroy() {
    if (g_gl.context) {
        SDL_GL_MakeCurrent(g_gl.window, g_gl.context);
        glDeleteTextures(1, &g_gl.whiteTexture);
        glDeleteSamplers(GFX_MAX_TEXTURE_UNITS, g_gl.samplers);
        glDeleteBuffers(1, &g_gl.userVertices);
        glDeleteVertexArrays(1, &g_gl.vertexArray);
        glDeleteFramebuffers(1, &g_gl.backFramebuffer);
        glDeleteFramebuffers(1, &g_gl.resolveFramebuffer);
        glDeleteRenderbuffers(1, &g_gl.backColour);
        glDeleteRenderbuffers(1, &g_gl.backDepth);
        glDeleteRenderbuffers(1, &g_gl.resolveColour);
        SDL_GL_MakeCurrent(g_gl.window, nullptr);
        SDL_GL_DeleteContext(g_gl.context);
    }
    if (g_gl.ownWindow && g_gl.window) {
        SDL_DestroyWindow(g_gl.window);
        windowShutdownVideo();
    }
    g_gl = SGlState{};
}

void glbMakeCurrent(bool current) {
    if (g_gl.context) SDL_GL_MakeCurrent(g_gl.window, current ? g_gl.context : nullptr);
}

bool glbCreateTexture(SGfxTexture* texture, const u8* rgba) {
    glGenTextures(1, &texture->glTexture);
    glBindTexture(GL_TEXTURE_2D, texture->glTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(texture->levels - 1));
    const GLsizei w = static_cast<GLsizei>(texture->width), h = static_cast<GLsizei>(texture->height);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    if (texture->levels > 1) glGenerateMipmap(GL_TEXTURE_2D);
    if (texture->kind == E_GFX_TEXTURE_RENDER_TARGET) {
        glGenFramebuffers(1, &texture->glFramebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, texture->glFramebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture->glTexture, 0);
        const bool complete = framebufferComplete("render target", nullptr, 0);
        bindCurrentTarget();
        if (!complete) {
            glbReleaseTexture(texture);
            return false;
        }
    }
    return glGetError() == GL_NO_ERROR;
}

bool glbUpdateTexture(SGfxTexture* texture, const u8* rgba) {
    glBindTexture(GL_TEXTURE_2D, texture->glTexture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(texture->width), static_cast<GLsizei>(texture->height),
                    GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return glGetError() == GL_NO_ERROR;
}

void glbReleaseTexture(SGfxTexture* texture) {
    if (g_gl.target == texture) {
        g_gl.target = nullptr;
        bindCurrentTarget();
    }
    glDeleteFramebuffers(1, &texture->glFramebuffer);
    glDeleteTextures(1, &texture->glTexture);
    texture->glFramebuffer = 0;
    texture->glTexture = 0;
}

bool glbCreateDepthSurface(SGfxDepthSurface* surface) {
    glGenRenderbuffers(1, &surface->glRenderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, surface->glRenderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, g_gl.stencil ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT16,
                          static_cast<GLsizei>(surface->width), static_cast<GLsizei>(surface->height));
    return glGetError() == GL_NO_ERROR;
}

void glbReleaseDepthSurface(SGfxDepthSurface* surface) {
    glDeleteRenderbuffers(1, &surface->glRenderbuffer);
    surface->glRenderbuffer = 0;
}

void glbBindTarget(SGfxTexture* colour, SGfxDepthSurface* depth) {
    g_gl.target = colour;
    bindCurrentTarget();
    if (colour && colour->fboDepth != depth) {
        const GLenum attachment = g_gl.stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, depth ? depth->glRenderbuffer : 0);
        colour->fboDepth = depth;
    }
}

void glbSetViewport(const SGfxViewport& viewport) {
    // Framebuffer rows run top-down here, so the viewport's top-left maps straight to GL's origin.
    glViewport(static_cast<GLint>(viewport.x), static_cast<GLint>(viewport.y), static_cast<GLsizei>(viewport.width),
               static_cast<GLsizei>(viewport.height));
    glDepthRange(viewport.minZ, viewport.maxZ);
}

void glbClear(u32 flags, u32 argb, f32 depth, u32 stencil, const SGfxViewport& viewport) {
    GLbitfield mask = 0;
    if (flags & E_GFX_CLEAR_TARGET) {
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(static_cast<f32>((argb >> 16) & 0xFF) / 255.0f, static_cast<f32>((argb >> 8) & 0xFF) / 255.0f,
                     static_cast<f32>(argb & 0xFF) / 255.0f, static_cast<f32>(argb >> 24) / 255.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & E_GFX_CLEAR_DEPTH) {
        glDepthMask(GL_TRUE);
        glClearDepth(depth);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if ((flags & E_GFX_CLEAR_STENCIL) && g_gl.stencil) {
        glStencilMask(0xFF);
        glClearStencil(static_cast<GLint>(stencil));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    glEnable(GL_SCISSOR_TEST);
    glScissor(static_cast<GLint>(viewport.x), static_cast<GLint>(viewport.y), static_cast<GLsizei>(viewport.width),
              static_cast<GLsizei>(viewport.height));
    glClear(mask);
    glDisable(GL_SCISSOR_TEST);
    const u8 m = g_gl.pass.colourWriteMask;
    glColorMask((m & 1) != 0, (m & 2) != 0, (m & 4) != 0, (m & 8) != 0);
    glDepthMask(g_gl.pass.depthWrite ? GL_TRUE : GL_FALSE);
}

bool glbReadPixels(SGfxTexture* target, u32 width, u32 height, u8* out) {
    const GLuint framebuffer = target ? target->glFramebuffer : backBufferForReading();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_RGBA, GL_UNSIGNED_BYTE, out);
    bindCurrentTarget();
    return glGetError() == GL_NO_ERROR;
}

bool glbCreateBuffer(SGfxBuffer* buffer, bool indices) {
    const GLenum target = indices ? GL_ELEMENT_ARRAY_BUFFER : GL_ARRAY_BUFFER;
    glGenBuffers(1, &buffer->glBuffer);
    glBindBuffer(target, buffer->glBuffer);
    replaceStore(buffer, target, storeSizeFor(0, buffer->staging.size()));
    return glGetError() == GL_NO_ERROR;
}

void glbReleaseBuffer(SGfxBuffer* buffer) {
    glDeleteBuffers(1, &buffer->glBuffer);
    buffer->glBuffer = 0;
}

void glbDrawIndexed(EGfxPrimitive primitive, const SGfxVertexDecl* decl, SGfxVertexBuffer* stream,
                    SGfxIndexBuffer* indices, SGfxProgram* program, s32 baseVertex, u32 minIndex,
                    u32 vertexCount, u32 startIndex, u32 indexCount, const SGfxViewport& viewport) {
    const u32 indexBytes = indices->format == E_GFX_INDEX_32 ? 4 : 2;
    const u64 vertexEnd = (static_cast<u64>(static_cast<s64>(baseVertex) + minIndex) + vertexCount) * decl->stride;
    uploadBuffer(stream, GL_ARRAY_BUFFER, vertexEnd);
    setupAttributes(decl, 0);
    uploadBuffer(indices, GL_ELEMENT_ARRAY_BUFFER, static_cast<u64>(startIndex + indexCount) * indexBytes);
    prepareProgram(program, viewport);
    glDrawElementsBaseVertex(primitiveMode(primitive), static_cast<GLsizei>(indexCount),
                             indexBytes == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * indexBytes), baseVertex);
}

void glbDrawUser(EGfxPrimitive primitive, const SGfxVertexDecl* decl, SGfxProgram* program,
                 const void* vertices, u32 vertexCount, u32 drawCount, const SGfxViewport& viewport) {
    glBindBuffer(GL_ARRAY_BUFFER, g_gl.userVertices);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertexCount) * decl->stride, vertices, GL_STREAM_DRAW);
    setupAttributes(decl, 0);
    prepareProgram(program, viewport);
    glDrawArrays(primitiveMode(primitive), 0, static_cast<GLsizei>(drawCount));
}

SGfxProgram* glbCreateProgram(const char* vertexSource, const char* fragmentSource, char* errorOut,
                              u32 errorCapacity) {
    std::string vertex(vertexSource);
    const size_t firstLineEnd = vertex.find('\n');
    if (vertex.compare(0, 8, "#version") != 0 || firstLineEnd == std::string::npos) {
        if (errorOut && errorCapacity) std::snprintf(errorOut, errorCapacity, "vertex stage: no #version line");
        return nullptr;
    }
    vertex.insert(firstLineEnd + 1, GFX_GLSL_EPILOGUE);
    std::string log;
    const GLuint vs = compileStage(GL_VERTEX_SHADER, vertex, &log);
    const GLuint fs = compileStage(GL_FRAGMENT_SHADER, fragmentSource, &log);
    GLuint program = 0;
    if (vs && fs) {
        program = glCreateProgram();
        glAttachShader(program, vs);
        glAttachShader(program, fs);
        glLinkProgram(program);
        GLint ok = 0;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (!ok) {
            GLint length = 0;
            glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
            std::string text(static_cast<size_t>(std::max(length, 1)), '\0');
            glGetProgramInfoLog(program, length, nullptr, text.data());
            log += "link: ";
            log += text.c_str();
            glDeleteProgram(program);
            program = 0;
        }
    }
    if (vs) glDeleteShader(vs);
    if (fs) glDeleteShader(fs);
    if (!program) {
        if (errorOut && errorCapacity) std::snprintf(errorOut, errorCapacity, "%s", log.c_str());
        return nullptr;
    }
    auto* result = new SGfxProgram;
    result->glProgram = program;
    result->halfPixelLocation = glGetUniformLocation(program, "gfx_halfPixel");
    result->halfPixel[0] = result->halfPixel[1] = -1.0f;
    GLint count = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[128];
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, static_cast<GLuint>(i), sizeof name, nullptr, &size, &type, name);
        result->uniforms.push_back({glGetUniformLocation(program, name), type, static_cast<u32>(size)});
    }
    return result;
}

void glbReleaseProgram(SGfxProgram* program) {
    if (g_gl.boundProgram == program->glProgram) useProgram(0);
    glDeleteProgram(program->glProgram);
}

s32 glbUniformLocation(SGfxProgram* program, const char* name) { return glGetUniformLocation(program->glProgram, name); }

void glbSetUniformFloats(SGfxProgram* program, s32 location, const f32* values, u32 count) {
    useProgram(program->glProgram);
    glUniform1fv(location, static_cast<GLsizei>(count), values);
}

void glbSetUniformVec4s(SGfxProgram* program, s32 location, const f32* values4, u32 count) {
    useProgram(program->glProgram);
    GLenum type = GL_FLOAT_VEC4;
    for (const SGfxProgramUniform& u : program->uniforms) {
        if (location >= u.location && location < u.location + static_cast<s32>(u.elements)) type = u.glType;
    }
    f32 packed[16 * 4];
    const u32 n = std::min<u32>(count, 16);
    const u32 width = type == GL_FLOAT ? 1 : type == GL_FLOAT_VEC2 ? 2 : type == GL_FLOAT_VEC3 ? 3 : 4;
    for (u32 i = 0; i < n; ++i) std::memcpy(packed + i * width, values4 + i * 4, width * sizeof(f32));
    switch (width) {
    case 1: glUniform1fv(location, static_cast<GLsizei>(n), packed); break;
    case 2: glUniform2fv(location, static_cast<GLsizei>(n), packed); break;
    case 3: glUniform3fv(location, static_cast<GLsizei>(n), packed); break;
    default: glUniform4fv(location, static_cast<GLsizei>(n), packed); break;
    }
}

void glbSetUniformMatrix(SGfxProgram* program, s32 location, const f32* matrix16) {
    useProgram(program->glProgram);
    // Row-vector matrices read column-major are their transposes, so M * v in GLSL is v * M.
    glUniformMatrix4fv(location, 1, GL_FALSE, matrix16);
}

void glbSetUniformTexture(SGfxProgram* program, s32 location, u32 unit, SGfxTexture* texture) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, texture && texture->glTexture ? texture->glTexture : g_gl.whiteTexture);
    glActiveTexture(SCRATCH_TEXTURE_UNIT);
    useProgram(program->glProgram);
    glUniform1i(location, static_cast<GLint>(unit));
}

void glbApplyPassState(const SGfxPassState& state) {
    g_gl.pass = state;
    if (state.blendEnable) {
        glEnable(GL_BLEND);
        glBlendFunc(blendFactor(state.srcBlend), blendFactor(state.destBlend));
        glBlendEquation(blendEquation(state.blendOp));
    } else {
        glDisable(GL_BLEND);
    }
    if (state.depthEnable) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(compareFunc(state.depthFunc));
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(state.depthWrite ? GL_TRUE : GL_FALSE);
    // Screen-space clockwise (y down) has the positive signed area that GL calls counter-clockwise
    // in its y-up window space: with GL_CCW front faces, culling clockwise culls GL's front.
    if (state.cull == E_GFX_CULL_NONE) {
        glDisable(GL_CULL_FACE);
    } else {
        glEnable(GL_CULL_FACE);
        glCullFace(state.cull == E_GFX_CULL_CW ? GL_FRONT : GL_BACK);
    }
    const u8 m = state.colourWriteMask;
    glColorMask((m & 1) != 0, (m & 2) != 0, (m & 4) != 0, (m & 8) != 0);
    applySamplers(state);
}

void glbIssueFence(SGfxFence* fence) {
    glbReleaseFence(fence);
    fence->glSync = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
}

bool glbFenceDone(SGfxFence* fence, bool flush) {
    if (!fence->glSync) return true;
    const GLenum result = glClientWaitSync(static_cast<GLsync>(fence->glSync), flush ? GL_SYNC_FLUSH_COMMANDS_BIT : 0, 0);
    return result == GL_ALREADY_SIGNALED || result == GL_CONDITION_SATISFIED;
}

void glbReleaseFence(SGfxFence* fence) {
    if (fence->glSync) glDeleteSync(static_cast<GLsync>(fence->glSync));
    fence->glSync = nullptr;
}

void glbPresent() {
    const GLuint source = backBufferForReading();
    int drawableW = 0, drawableH = 0;
    SDL_GL_GetDrawableSize(g_gl.window, &drawableW, &drawableH);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    // The one flip: row 0 of the back buffer is the top row; the window's row 0 is its bottom.
    const GLint w = static_cast<GLint>(g_gl.width), h = static_cast<GLint>(g_gl.height);
    const bool sameSize = drawableW == w && drawableH == h;
    glBlitFramebuffer(0, 0, w, h, 0, drawableH, drawableW, 0, GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
    SDL_GL_SwapWindow(g_gl.window);
    bindCurrentTarget();
}

bool glbSwapIntervalAccepted() { return g_gl.swapIntervalAccepted; }

void glbEndThread() { SDL_TLSCleanup(); }
