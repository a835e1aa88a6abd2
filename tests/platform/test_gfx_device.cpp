// The drawing device over OpenGL on a headless context (SDL's offscreen driver): what is drawn
// lands where Direct3D 9 would put it, read back from the framebuffer. Pictures of each case are
// written as PNG files into VELODRIX_TEST_PNG_DIR when that is set.
#include "platform/gfx/gfx_device.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

constexpr u32 W = 64;
constexpr u32 H = 32;

struct SVertex { f32 x, y, z; u32 argb; f32 nx, ny, nz, u, v; };
static_assert(sizeof(SVertex) == 36);

const char* const kVertexStage = R"(#version 330 core
layout(location = 0) in vec3 a_position; layout(location = 1) in vec4 a_colour; layout(location = 3) in vec2 a_texcoord0;
uniform mat4 u_worldViewProj; out vec4 v_colour; out vec2 v_uv;
void main() { v_colour = a_colour; v_uv = a_texcoord0; gl_Position = gfx_position(u_worldViewProj * vec4(a_position, 1.0)); }
)";

const char* const kFragmentStage = R"(#version 330 core
in vec4 v_colour; in vec2 v_uv; uniform sampler2D u_diffuse; out vec4 o_colour;
void main() { o_colour = texture(u_diffuse, v_uv) * v_colour; }
)";

// Pixels read back as RGBA bytes, compared as ARGB words like the colours that drew them.
using Pixels = std::vector<u32>;

// The target's pixels (the back buffer's for null), top row first.
Pixels readBack(SGfxTexture* target, u32 w = W, u32 h = H, const char* pngName = nullptr) {
    std::vector<u8> rgba(w * h * 4);
    EXPECT_TRUE(gfxReadPixels(target, rgba.data(), u32(rgba.size())));
    if (const char* dir = std::getenv("VELODRIX_TEST_PNG_DIR"); dir && pngName)
        stbi_write_png((std::string(dir) + "/" + pngName + ".png").c_str(), int(w), int(h), 4, rgba.data(), int(w * 4));
    Pixels out(w * h);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = u32(rgba[i * 4 + 3]) << 24 | u32(rgba[i * 4]) << 16 | u32(rgba[i * 4 + 1]) << 8 | rgba[i * 4 + 2];
    return out;
}

// The pixel at (x, y) of a picture W wide.
u32 at(const Pixels& pixels, u32 x, u32 y) { return pixels[y * W + x]; }

class GfxDevice : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        SGfxDeviceParams params;
        std::tie(params.width, params.height) = std::pair(W, H);
        ASSERT_EQ(gfxCreateDevice(params), E_GFX_OK) << gfxLastErrorText();
        char log[2048] = {};
        m_program = gfxCreateProgram(kVertexStage, kFragmentStage, log, sizeof log);
        ASSERT_NE(m_program, nullptr) << log;
        const SGfxVertexElement elements[] = {{0, E_GFX_DECL_FLOAT3, E_GFX_USAGE_POSITION, 0}, {12, E_GFX_DECL_COLOUR, E_GFX_USAGE_COLOUR, 0},
                                              {16, E_GFX_DECL_FLOAT3, E_GFX_USAGE_NORMAL, 0}, {28, E_GFX_DECL_FLOAT2, E_GFX_USAGE_TEXCOORD, 0}};
        m_decl = gfxCreateVertexDecl(elements, 4, sizeof(SVertex));
        ASSERT_NE(m_decl, nullptr);
        gfxSetVertexDecl(m_decl);
        gfxSetProgram(m_program);
        m_pass.cull = E_GFX_CULL_NONE;
        m_pass.depthEnable = false;
        for (SGfxSamplerState& s : m_pass.samplers) {
            s.minFilter = s.magFilter = s.mipFilter = E_GFX_FILTER_POINT;
            s.addressU = s.addressV = E_GFX_ADDRESS_CLAMP;
        }
        gfxApplyPassState(m_pass);
        setMatrix();
        setTexture(nullptr);
    }

    void TearDown() override {
        gfxReleaseVertexDecl(m_decl);
        gfxReleaseProgram(m_program);
        gfxDestroyDevice();
    }

    // A world translation by (tx, ty) times the left-handed off-centre screen projection of the
    // W x H back buffer (row vectors: 0..W left to right, 0..H top to bottom, z 0..1).
    void setMatrix(f32 tx = 0, f32 ty = 0) {
        const f32 wvp[16] = {2.0f / W, 0, 0, 0, 0, -2.0f / H, 0, 0, 0, 0, 1, 0, -1 + 2 * tx / W, 1 - 2 * ty / H, 0, 1};
        gfxSetUniformMatrix(m_program, gfxUniformLocation(m_program, "u_worldViewProj"), wvp);
    }
    void setTexture(SGfxTexture* t) { gfxSetUniformTexture(m_program, gfxUniformLocation(m_program, "u_diffuse"), 0, t); }

    // A quad over pixels [x0, x1) x [y0, y1), shifted by half a pixel as 2D code does.
    void drawQuad(f32 x0, f32 y0, f32 x1, f32 y1, f32 z, u32 argb) {
        const SVertex v[4] = {{x0 - 0.5f, y0 - 0.5f, z, argb, 0, 0, 0, 0, 0}, {x1 - 0.5f, y0 - 0.5f, z, argb, 0, 0, 0, 1, 0},
                              {x0 - 0.5f, y1 - 0.5f, z, argb, 0, 0, 0, 0, 1}, {x1 - 0.5f, y1 - 0.5f, z, argb, 0, 0, 0, 1, 1}};
        gfxDrawPrimitiveUP(E_GFX_PRIM_TRIANGLE_STRIP, 2, v, 4);
    }

    SGfxProgram* m_program = nullptr;
    SGfxVertexDecl* m_decl = nullptr;
    SGfxPassState m_pass;
};

TEST_F(GfxDevice, ClearsARenderTargetWhole) {
    SGfxTexture* target = gfxCreateRenderTargetTexture(16, 8);
    ASSERT_NE(target, nullptr);
    gfxSetRenderTarget(target, nullptr);
    gfxClear(E_GFX_CLEAR_TARGET, 0x80FF0000u, 1.0f, 0);
    EXPECT_EQ(readBack(target, 16, 8), Pixels(16 * 8, 0x80FF0000u));
    gfxSetRenderTarget(nullptr, nullptr);
    gfxReleaseTexture(target);
}

TEST(GfxDeviceMultisampled, ResolvesItsBackBufferForReadingAndPresenting) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    SGfxDeviceParams params;
    std::tie(params.width, params.height, params.multisample, params.stencil) = std::tuple(16u, 8u, 4u, true);
    ASSERT_EQ(gfxCreateDevice(params), E_GFX_OK) << gfxLastErrorText();
    gfxClear(E_GFX_CLEAR_TARGET | E_GFX_CLEAR_DEPTH | E_GFX_CLEAR_STENCIL, 0xFF336699u, 1.0f, 0);
    EXPECT_EQ(readBack(nullptr, 16, 8)[77], 0xFF336699u);
    EXPECT_EQ(gfxPresent(), E_GFX_OK);
    gfxDestroyDevice();
}

TEST_F(GfxDevice, ATexturedQuadCoversExactlyItsPixelsTopRowFirst) {
    // 2x2 texture: red, green on the top row; blue, white below.
    const u8 texels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    SGfxTexture* texture = gfxCreateTexture(2, 2, texels, false);
    ASSERT_NE(texture, nullptr);
    u8 unreadable[16];
    EXPECT_FALSE(gfxReadPixels(texture, unreadable, sizeof unreadable)) << "not a render target";
    setTexture(texture);
    setMatrix(4, 2);  // the world moves the quad by (4, 2): it is drawn at [8, 24) x [4, 12)
    gfxClear(E_GFX_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    drawQuad(4, 2, 20, 10, 0.5f, 0xFFFFFFFFu);
    const Pixels pixels = readBack(nullptr, W, H, "textured_quad");
    const struct {
        const char* name;
        u32 x, y, colour;
    } points[] = {{"red top-left", 8, 4, 0xFFFF0000u},     {"red bottom-right", 15, 7, 0xFFFF0000u},
                  {"green top-left", 16, 4, 0xFF00FF00u},  {"green bottom-right", 23, 7, 0xFF00FF00u},
                  {"blue top-left", 8, 8, 0xFF0000FFu},    {"white bottom-right", 23, 11, 0xFFFFFFFFu}};
    for (const auto& point : points) EXPECT_EQ(at(pixels, point.x, point.y), point.colour) << point.name;
    EXPECT_EQ(W * H - std::count(pixels.begin(), pixels.end(), 0xFF000000u), 16 * 8) << "pixels outside the quad";
    gfxReleaseTexture(texture);
}

TEST_F(GfxDevice, VertexColoursAreArgbWordsAndCullingNamesScreenWinding) {
    gfxClear(E_GFX_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    // Clockwise on screen (y down): top-left, top-right, bottom-left.
    const SVertex clockwise[3] = {{0, 0, 0.5f, 0xFF102030u, 0, 0, 0, 0, 0}, {32, 0, 0.5f, 0xFF102030u, 0, 0, 0, 0, 0},
                                  {0, 32, 0.5f, 0xFF102030u, 0, 0, 0, 0, 0}};
    for (auto [cull, shown] : {std::pair{E_GFX_CULL_CW, 0xFF000000u}, {E_GFX_CULL_CCW, 0xFF102030u}}) {
        m_pass.cull = cull;
        gfxApplyPassState(m_pass);
        gfxDrawPrimitiveUP(E_GFX_PRIM_TRIANGLE_LIST, 1, clockwise, 3);
        EXPECT_EQ(readBack(nullptr, W, H, "winding")[2 * W + 2], shown) << cull;
    }
}

// The GL store follows what the draws use: draws far into a large buffer after ones near its
// start, in one frame and in the next, each find the bytes their discard locks wrote.
TEST_F(GfxDevice, DynamicBuffersDrawWhatTheirDiscardLocksWroteFarIntoTheBuffer) {
    constexpr u32 kVertices = 8192, kIndices = 65536, kFar = kVertices - 4, kFarIndex = kIndices - 6;
    SGfxVertexBuffer* vertices = gfxCreateVertexBuffer(kVertices * sizeof(SVertex));
    SGfxIndexBuffer* indices = gfxCreateIndexBuffer(kIndices * sizeof(u32), E_GFX_INDEX_32);
    ASSERT_NE(vertices, nullptr);
    ASSERT_NE(indices, nullptr);
    EXPECT_EQ(gfxLockVertexBuffer(vertices, 0, (kVertices + 1) * sizeof(SVertex), E_GFX_LOCK_DISCARD), nullptr) << "out of range";
    for (u32 colour : {0xFFFF0000u, 0xFF0000FFu}) {
        auto* v = static_cast<SVertex*>(gfxLockVertexBuffer(vertices, 0, 0, E_GFX_LOCK_DISCARD));
        auto* i = static_cast<u32*>(gfxLockIndexBuffer(indices, 0, 0, E_GFX_LOCK_DISCARD));
        ASSERT_NE(v, nullptr);
        ASSERT_NE(i, nullptr);
        for (u32 base : {0u, kFar}) {
            const f32 x = base ? 16.0f : 0.0f;
            for (u32 k = 0; k < 4; ++k) v[base + k] = {x + (k & 1 ? 7.5f : -0.5f), k & 2 ? 7.5f : -0.5f, 0.5f, colour, 0, 0, 0, 0, 0};
            const u32 quad[6] = {base, base + 1, base + 2, base + 1, base + 3, base + 2};
            std::memcpy(i + (base ? kFarIndex : 0), quad, sizeof quad);
        }
        gfxUnlockVertexBuffer(vertices);
        gfxUnlockIndexBuffer(indices);
        gfxSetStreamSource(vertices);  // bound after the locks, as a frame binds what it filled
        gfxSetIndices(indices);
        gfxClear(E_GFX_CLEAR_TARGET, 0, 1.0f, 0);
        gfxDrawIndexedPrimitive(E_GFX_PRIM_TRIANGLE_LIST, 0, 0, 4, 0, 2);
        gfxDrawIndexedPrimitive(E_GFX_PRIM_TRIANGLE_LIST, 0, 0, kVertices, kFarIndex, 2);
        const Pixels pixels = readBack(nullptr);
        EXPECT_EQ(at(pixels, 7, 7), colour) << "the quad near the start";
        EXPECT_EQ(at(pixels, 19, 3), colour) << "the quad far into the buffer";
        EXPECT_EQ(at(pixels, 8, 8), 0u) << "beside the first quad";
        EXPECT_EQ(at(pixels, 11, 3), 0u) << "between the quads";
    }
    gfxReleaseIndexBuffer(indices);
    gfxReleaseVertexBuffer(vertices);
}

TEST_F(GfxDevice, ProgramErrorsComeBackWithTheCompilerLog) {
    char log[2048] = {};
    const char* broken = "#version 330 core\nvoid main() {\n    gl_Position = undefinedThing;\n}\n";
    EXPECT_EQ(gfxCreateProgram(broken, kFragmentStage, log, sizeof log), nullptr);
    EXPECT_TRUE(std::strstr(log, "vertex stage")) << log;
    EXPECT_TRUE(std::strstr(log, "undefinedThing")) << log;
    EXPECT_EQ(gfxCreateProgram("void main() {}\n", kFragmentStage, log, sizeof log), nullptr) << "no #version line";
}

TEST_F(GfxDevice, AnIssuedFenceIsPassedOnceTheCommandsComplete) {
    SGfxFence* fence = gfxCreateFence();
    EXPECT_TRUE(gfxFenceDone(fence, false)) << "nothing issued";
    drawQuad(0, 0, 8, 8, 0.5f, 0xFFFFFFFFu);
    gfxIssueFence(fence);
    bool done = false;
    for (int poll = 0; poll < 100000 && !done; ++poll) done = gfxFenceDone(fence, true);
    EXPECT_TRUE(done);
    gfxReleaseFence(fence);
}

}  // namespace
