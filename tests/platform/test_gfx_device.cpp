// The drawing device over OpenGL on a headless context (SDL's offscreen driver): what is drawn
// lands where Direct3D 9 would put it, read back from the framebuffer. Pictures of each case are
// written as PNG files into VELODRIX_TEST_PNG_DIR when that is set.
#include "platform/gfx/gfx_device.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr u32 W = 64;
constexpr u32 H = 32;

struct SVertex {
    f32 x, y, z;
    u32 argb;
    f32 nx, ny, nz;
    f32 u, v;
};
static_assert(sizeof(SVertex) == 36);

const char* const kVertexStage =
    "#version 330 core\n"
    "layout(location = 0) in vec3 a_position;\n"
    "layout(location = 1) in vec4 a_colour;\n"
    "layout(location = 3) in vec2 a_texcoord0;\n"
    "uniform mat4 u_worldViewProj;\n"
    "out vec4 v_colour;\n"
    "out vec2 v_uv;\n"
    "void main() {\n"
    "    v_colour = a_colour;\n"
    "    v_uv = a_texcoord0;\n"
    "    gl_Position = gfx_position(u_worldViewProj * vec4(a_position, 1.0));\n"
    "}\n";

const char* const kFragmentStage =
    "#version 330 core\n"
    "in vec4 v_colour;\n"
    "in vec2 v_uv;\n"
    "uniform sampler2D u_diffuse;\n"
    "out vec4 o_colour;\n"
    "void main() { o_colour = texture(u_diffuse, v_uv) * v_colour; }\n";

struct SPixel {
    u8 r, g, b, a;
    bool operator==(const SPixel& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

std::ostream& operator<<(std::ostream& out, const SPixel& p) {
    return out << "(" << int(p.r) << ", " << int(p.g) << ", " << int(p.b) << ", " << int(p.a) << ")";
}

// Row-vector matrices: translation in 12..14.
void multiply(const f32* a, const f32* b, f32* out) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            f32 sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[r * 4 + k] * b[k * 4 + c];
            out[r * 4 + c] = sum;
        }
}

// Left-handed orthographic off-centre projection: 0..w left to right, 0..h top to bottom, z 0..1.
void screenOrtho(f32 w, f32 h, f32* m) {
    std::memset(m, 0, 16 * sizeof(f32));
    m[0] = 2.0f / w;
    m[5] = -2.0f / h;
    m[10] = 1.0f;
    m[12] = -1.0f;
    m[13] = 1.0f;
    m[15] = 1.0f;
}

class GfxDevice : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        SGfxDeviceParams params;
        params.width = W;
        params.height = H;
        ASSERT_EQ(gfxCreateDevice(params), E_GFX_OK) << gfxLastErrorText();
        char log[2048] = {};
        m_program = gfxCreateProgram(kVertexStage, kFragmentStage, log, sizeof log);
        ASSERT_NE(m_program, nullptr) << log;
        const SGfxVertexElement elements[] = {
            {0, E_GFX_DECL_FLOAT3, E_GFX_USAGE_POSITION, 0},
            {12, E_GFX_DECL_COLOUR, E_GFX_USAGE_COLOUR, 0},
            {16, E_GFX_DECL_FLOAT3, E_GFX_USAGE_NORMAL, 0},
            {28, E_GFX_DECL_FLOAT2, E_GFX_USAGE_TEXCOORD, 0},
        };
        m_decl = gfxCreateVertexDecl(elements, 4, sizeof(SVertex));
        ASSERT_NE(m_decl, nullptr);
        gfxSetVertexDecl(m_decl);
        gfxSetProgram(m_program);
        SGfxPassState pass;
        pass.cull = E_GFX_CULL_NONE;
        pass.depthEnable = false;
        for (SGfxSamplerState& s : pass.samplers) {
            s.minFilter = s.magFilter = s.mipFilter = E_GFX_FILTER_POINT;
            s.addressU = s.addressV = E_GFX_ADDRESS_CLAMP;
        }
        m_pass = pass;
        gfxApplyPassState(m_pass);
        setMatrix(nullptr);
        gfxSetUniformTexture(m_program, gfxUniformLocation(m_program, "u_diffuse"), 0, nullptr);
    }

    void TearDown() override {
        gfxReleaseVertexDecl(m_decl);
        gfxReleaseProgram(m_program);
        gfxDestroyDevice();
    }

    // World (optional) times the screen projection of the current target.
    void setMatrix(const f32* world, f32 w = W, f32 h = H) {
        f32 ortho[16], wvp[16];
        screenOrtho(w, h, ortho);
        if (world) {
            multiply(world, ortho, wvp);
        } else {
            std::memcpy(wvp, ortho, sizeof wvp);
        }
        gfxSetUniformMatrix(m_program, gfxUniformLocation(m_program, "u_worldViewProj"), wvp);
    }

    // A quad over pixels [x0, x1) x [y0, y1), shifted by half a pixel as 2D code does.
    void drawQuad(f32 x0, f32 y0, f32 x1, f32 y1, f32 z, u32 argb) {
        const SVertex v[4] = {
            {x0 - 0.5f, y0 - 0.5f, z, argb, 0, 0, 0, 0, 0},
            {x1 - 0.5f, y0 - 0.5f, z, argb, 0, 0, 0, 1, 0},
            {x0 - 0.5f, y1 - 0.5f, z, argb, 0, 0, 0, 0, 1},
            {x1 - 0.5f, y1 - 0.5f, z, argb, 0, 0, 0, 1, 1},
        };
        const u16 indices[6] = {0, 1, 2, 1, 3, 2};
        gfxDrawIndexedPrimitiveUP(E_GFX_PRIM_TRIANGLE_LIST, 4, 2, indices, E_GFX_INDEX_16, v);
    }

    std::vector<SPixel> readBack(SGfxTexture* target, u32 w = W, u32 h = H, const char* pngName = nullptr) {
        std::vector<SPixel> pixels(w * h);
        EXPECT_TRUE(gfxReadPixels(target, reinterpret_cast<u8*>(pixels.data()), w * h * 4));
        if (const char* dir = std::getenv("VELODRIX_TEST_PNG_DIR"); dir && pngName) {
            stbi_write_png((std::string(dir) + "/" + pngName + ".png").c_str(), int(w), int(h), 4, pixels.data(), int(w * 4));
        }
        return pixels;
    }

    SGfxProgram* m_program = nullptr;
    SGfxVertexDecl* m_decl = nullptr;
    SGfxPassState m_pass;
};

TEST_F(GfxDevice, ClearsTheBackBufferAndRenderTargetsAndResetsTheViewportOnTargetChange) {
    gfxClear(E_GFX_CLEAR_TARGET | E_GFX_CLEAR_DEPTH, 0xFF204080u, 1.0f, 0);
    for (const SPixel& p : readBack(nullptr)) ASSERT_EQ(p, (SPixel{0x20, 0x40, 0x80, 0xFF}));

    SGfxTexture* target = gfxCreateRenderTargetTexture(16, 8);
    ASSERT_NE(target, nullptr);
    gfxSetViewport({2, 2, 4, 4, 0.0f, 1.0f});
    gfxSetRenderTarget(target, nullptr);
    EXPECT_EQ(gfxViewport().width, 16u);
    EXPECT_EQ(gfxViewport().height, 8u);
    gfxClear(E_GFX_CLEAR_TARGET, 0x80FF0000u, 1.0f, 0);
    for (const SPixel& p : readBack(target, 16, 8)) ASSERT_EQ(p, (SPixel{0xFF, 0, 0, 0x80}));

    // A viewport clears only its own rectangle, counted from the top-left.
    gfxSetViewport({0, 0, 16, 2, 0.0f, 1.0f});
    gfxClear(E_GFX_CLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
    const std::vector<SPixel> pixels = readBack(target, 16, 8);
    EXPECT_EQ(pixels[0], (SPixel{0, 0xFF, 0, 0xFF}));
    EXPECT_EQ(pixels[16 * 2], (SPixel{0xFF, 0, 0, 0x80}));

    gfxSetRenderTarget(nullptr, nullptr);
    EXPECT_EQ(gfxViewport().width, W);
    EXPECT_EQ(gfxViewport().height, H);
    gfxReleaseTexture(target);
}

TEST(GfxDeviceMultisampled, ResolvesItsBackBufferForReadingAndPresenting) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    SGfxDeviceParams params;
    params.width = 16;
    params.height = 8;
    params.multisample = 4;
    params.stencil = true;
    ASSERT_EQ(gfxCreateDevice(params), E_GFX_OK) << gfxLastErrorText();
    gfxClear(E_GFX_CLEAR_TARGET | E_GFX_CLEAR_DEPTH | E_GFX_CLEAR_STENCIL, 0xFF336699u, 1.0f, 0);
    std::vector<SPixel> pixels(16 * 8);
    ASSERT_TRUE(gfxReadPixels(nullptr, reinterpret_cast<u8*>(pixels.data()), 16 * 8 * 4));
    EXPECT_EQ(pixels[77], (SPixel{0x33, 0x66, 0x99, 0xFF}));
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
    gfxSetUniformTexture(m_program, gfxUniformLocation(m_program, "u_diffuse"), 0, texture);
    // The world matrix moves the quad by (4, 2): it is drawn at [8, 24) x [4, 12).
    f32 world[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 4, 2, 0, 1};
    setMatrix(world);
    gfxClear(E_GFX_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    drawQuad(4, 2, 20, 10, 0.5f, 0xFFFFFFFFu);
    const std::vector<SPixel> pixels = readBack(nullptr, W, H, "textured_quad");
    auto at = [&](u32 x, u32 y) { return pixels[y * W + x]; };
    const SPixel black{0, 0, 0, 255}, red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255};
    EXPECT_EQ(at(8, 4), red);
    EXPECT_EQ(at(15, 7), red);
    EXPECT_EQ(at(16, 4), green);
    EXPECT_EQ(at(23, 7), green);
    EXPECT_EQ(at(8, 8), blue);
    EXPECT_EQ(at(23, 11), (SPixel{255, 255, 255, 255}));
    EXPECT_EQ(at(7, 4), black);
    EXPECT_EQ(at(24, 4), black);
    EXPECT_EQ(at(8, 3), black);
    EXPECT_EQ(at(8, 12), black);
    u32 covered = 0;
    for (const SPixel& p : pixels) covered += !(p == black);
    EXPECT_EQ(covered, 16u * 8u);
    gfxReleaseTexture(texture);
}

TEST_F(GfxDevice, DepthRunsFromZeroToOneAndTestsAgainstTheClearedDepth) {
    m_pass.depthEnable = true;
    m_pass.depthFunc = E_GFX_CMP_LESS;
    gfxApplyPassState(m_pass);
    gfxClear(E_GFX_CLEAR_TARGET | E_GFX_CLEAR_DEPTH, 0xFF000000u, 1.0f, 0);
    drawQuad(0, 0, 16, 16, 0.5f, 0xFFFF0000u);
    drawQuad(0, 0, 16, 16, 0.75f, 0xFF00FF00u);   // behind: hidden
    drawQuad(16, 0, 32, 16, -0.25f, 0xFF00FF00u); // before the near plane: clipped
    drawQuad(32, 0, 48, 16, 1.25f, 0xFF00FF00u);  // beyond the far plane: clipped
    drawQuad(48, 0, 64, 16, 0.99f, 0xFF0000FFu);  // inside: drawn
    const std::vector<SPixel> pixels = readBack(nullptr, W, H, "depth");
    EXPECT_EQ(pixels[4 * W + 4], (SPixel{255, 0, 0, 255}));
    EXPECT_EQ(pixels[4 * W + 20], (SPixel{0, 0, 0, 255}));
    EXPECT_EQ(pixels[4 * W + 36], (SPixel{0, 0, 0, 255}));
    EXPECT_EQ(pixels[4 * W + 52], (SPixel{0, 0, 255, 255}));
}

TEST_F(GfxDevice, VertexColoursAreArgbWordsAndCullingNamesScreenWinding) {
    gfxClear(E_GFX_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    // Clockwise on screen (y down): top-left, top-right, bottom-left.
    const SVertex clockwise[3] = {{0, 0, 0.5f, 0xFF102030u, 0, 0, 0, 0, 0},
                                  {32, 0, 0.5f, 0xFF102030u, 0, 0, 0, 0, 0},
                                  {0, 32, 0.5f, 0xFF102030u, 0, 0, 0, 0, 0}};
    m_pass.cull = E_GFX_CULL_CW;
    gfxApplyPassState(m_pass);
    gfxDrawPrimitiveUP(E_GFX_PRIM_TRIANGLE_LIST, 1, clockwise, 3);
    EXPECT_EQ(readBack(nullptr)[2 * W + 2], (SPixel{0, 0, 0, 255})) << "clockwise culled";
    m_pass.cull = E_GFX_CULL_CCW;
    gfxApplyPassState(m_pass);
    gfxDrawPrimitiveUP(E_GFX_PRIM_TRIANGLE_LIST, 1, clockwise, 3);
    EXPECT_EQ(readBack(nullptr, W, H, "winding")[2 * W + 2], (SPixel{0x10, 0x20, 0x30, 0xFF}));
}

TEST_F(GfxDevice, ARenderTargetReadAsATextureKeepsItsTopRowAtVZero) {
    SGfxTexture* target = gfxCreateRenderTargetTexture(8, 8);
    SGfxDepthSurface* depth = gfxCreateDepthSurface(8, 8);
    ASSERT_NE(target, nullptr);
    ASSERT_NE(depth, nullptr);
    gfxSetRenderTarget(target, depth);
    setMatrix(nullptr, 8, 8);
    gfxClear(E_GFX_CLEAR_TARGET | E_GFX_CLEAR_DEPTH, 0xFF0000FFu, 1.0f, 0);
    drawQuad(0, 0, 8, 4, 0.5f, 0xFFFF0000u);  // top half red
    const std::vector<SPixel> drawn = readBack(target, 8, 8, "render_target_itself");
    EXPECT_EQ(drawn[0], (SPixel{255, 0, 0, 255}));
    EXPECT_EQ(drawn[63], (SPixel{0, 0, 255, 255}));
    gfxSetRenderTarget(nullptr, nullptr);
    setMatrix(nullptr);
    gfxSetUniformTexture(m_program, gfxUniformLocation(m_program, "u_diffuse"), 0, target);
    gfxClear(E_GFX_CLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    drawQuad(0, 0, 8, 8, 0.5f, 0xFFFFFFFFu);
    const std::vector<SPixel> pixels = readBack(nullptr, W, H, "render_target");
    EXPECT_EQ(pixels[1 * W + 1], (SPixel{255, 0, 0, 255}));
    EXPECT_EQ(pixels[6 * W + 1], (SPixel{0, 0, 255, 255}));
    gfxReleaseDepthSurface(depth);
    gfxReleaseTexture(target);
}

TEST_F(GfxDevice, DynamicBuffersDrawWhatTheirDiscardLocksWrote) {
    SGfxVertexBuffer* vertices = gfxCreateVertexBuffer(4 * sizeof(SVertex));
    SGfxIndexBuffer* indices = gfxCreateIndexBuffer(6 * sizeof(u32), E_GFX_INDEX_32);
    ASSERT_NE(vertices, nullptr);
    ASSERT_NE(indices, nullptr);
    EXPECT_EQ(gfxLockVertexBuffer(vertices, 0, 5 * sizeof(SVertex), E_GFX_LOCK_DISCARD), nullptr) << "out of range";
    for (u32 colour : {0xFFFF0000u, 0xFF00FF00u}) {
        auto* v = static_cast<SVertex*>(gfxLockVertexBuffer(vertices, 0, 0, E_GFX_LOCK_DISCARD));
        ASSERT_NE(v, nullptr);
        v[0] = {-0.5f, -0.5f, 0.5f, colour, 0, 0, 0, 0, 0};
        v[1] = {7.5f, -0.5f, 0.5f, colour, 0, 0, 0, 0, 0};
        v[2] = {-0.5f, 7.5f, 0.5f, colour, 0, 0, 0, 0, 0};
        v[3] = {7.5f, 7.5f, 0.5f, colour, 0, 0, 0, 0, 0};
        gfxUnlockVertexBuffer(vertices);
        auto* i = static_cast<u32*>(gfxLockIndexBuffer(indices, 0, 0, E_GFX_LOCK_DISCARD));
        const u32 quad[6] = {0, 1, 2, 1, 3, 2};
        std::memcpy(i, quad, sizeof quad);
        gfxUnlockIndexBuffer(indices);
        gfxSetStreamSource(vertices);
        gfxSetIndices(indices);
        gfxDrawIndexedPrimitive(E_GFX_PRIM_TRIANGLE_LIST, 0, 0, 4, 0, 2);
        const SPixel expected{u8(colour >> 16), u8(colour >> 8), u8(colour), 255};
        const std::vector<SPixel> pixels = readBack(nullptr);
        EXPECT_EQ(pixels[7 * W + 7], expected);
        EXPECT_EQ(pixels[8 * W + 8], (SPixel{0, 0, 0, 0}));
    }
    gfxReleaseIndexBuffer(indices);
    gfxReleaseVertexBuffer(vertices);
}

TEST_F(GfxDevice, ProgramErrorsComeBackWithTheCompilerLog) {
    char log[2048] = {};
    const char* broken = "#version 330 core\nvoid main() {\n    gl_Position = undefinedThing;\n}\n";
    EXPECT_EQ(gfxCreateProgram(broken, kFragmentStage, log, sizeof log), nullptr);
    EXPECT_NE(std::strstr(log, "vertex stage"), nullptr) << log;
    EXPECT_NE(std::strstr(log, "undefinedThing"), nullptr) << log;
    EXPECT_EQ(gfxCreateProgram("void main() {}\n", kFragmentStage, log, sizeof log), nullptr) << "no #version line";

    SGfxUniformInfo uniforms[8];
    const u32 count = gfxProgramUniforms(m_program, uniforms, 8);
    ASSERT_EQ(count, 2u) << "the epilogue's uniform is not listed";
    for (u32 i = 0; i < count; ++i) {
        const bool matrix = std::strcmp(uniforms[i].name, "u_worldViewProj") == 0;
        EXPECT_EQ(uniforms[i].type, matrix ? E_GFX_UNIFORM_MAT4 : E_GFX_UNIFORM_SAMPLER2D);
    }
}

TEST_F(GfxDevice, TheLostDeviceHookDrivesPresentAndReset) {
    EXPECT_EQ(gfxPresent(), E_GFX_OK);
    gfxTestLoseDevice(1);
    EXPECT_EQ(gfxPresent(), E_GFX_DEVICE_LOST);
    EXPECT_EQ(gfxTestCooperativeLevel(), E_GFX_DEVICE_NOT_RESET);
    EXPECT_EQ(gfxReset(), E_GFX_FAILED);
    EXPECT_EQ(gfxTestCooperativeLevel(), E_GFX_DEVICE_NOT_RESET);
    EXPECT_EQ(gfxReset(), E_GFX_OK);
    EXPECT_EQ(gfxTestCooperativeLevel(), E_GFX_OK);
    EXPECT_EQ(gfxPresent(), E_GFX_OK);
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
