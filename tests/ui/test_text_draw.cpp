// Text, shadows, alignment, the base-face fallback and a filled sprite, drawn through the 2D quad
// queue and read back from the frame under the offscreen driver; and the screen point of a text
// placed in the world. The glyphs are a 5 x 7 test font made here.
#include "core/config.h"
#include "core/global_objects.h"
#include "core/task_layer.h"
#include "platform/gfx/image_decode.h"
#include "render/batcher.h"
#include "render/camera.h"
#include "render/canvases.h"
#include "render/display_modes.h"
#include "render/draw_lists.h"
#include "render/materials.h"
#include "render/render_device.h"
#include "render/render_worker.h"
#include "render/scene_inputs.h"
#include "render/scene_render.h"
#include "render/screen_quad.h"
#include "render/shader.h"
#include "render/sprite_queue.h"
#include "render/texture.h"
#include "tests/render/render_data_support.h"
#include "ui/font_face.h"
#include "ui/text_draw.h"
#include "ui/ui_sprite.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr u32 W = 160;
constexpr u32 H = 90;
constexpr u32 GRID_WIDTH = 5;
constexpr u32 GRID_HEIGHT = 7;
constexpr u32 CELL = 6;  // atlas cell and advance
constexpr u32 ATLAS_WIDTH = 32;
constexpr u32 ATLAS_HEIGHT = 8;
constexpr f32 PIXELS_PER_TEXEL = 3.0f;
constexpr u32 TEXT_LAYER = 2001;  // in the band the scene draws without a camera

struct STestGlyph {
    char16_t code;
    const char* rows[GRID_HEIGHT];
};
const STestGlyph TEST_GLYPHS[] = {
    {u'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {u'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {u'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {u':', {".....", "..#..", ".....", ".....", ".....", "..#..", "....."}},
    {u'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
};

class TextDrawing : public BuiltDataTest {
protected:
    void SetUp() override {
        BuiltDataTest::SetUp();
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        configClear();
        configSetValue("NOVSYNC", "1");
        configSetValue("FULLSCREEN", "0");
        configSetValue("HARD_FORCED_WIDTH", std::to_string(W).c_str());
        configSetValue("HARD_FORCED_HEIGHT", std::to_string(H).c_str());
        initDisplayOptionTable();
        taskLayerInit();
        initRenderer();
        initShaderRegistry();
        initMaterialPools();
        initTextureTable();
        initDrawBatchPool();
        ASSERT_TRUE(createBatchBuffers(true));
        initSpriteQueue();
        installSceneRender();
        g_uMusicLibraryInitialised = 1;
        makeFont();
    }
    void TearDown() override {
        g_uMusicLibraryInitialised = 0;
        releaseFontFaces();
        releaseUiSprites();
        releaseUIDeviceBuffers();
        shutdownSpriteQueue();
        releaseBatchBuffers();
        releaseAllDrawBatches();
        releaseAllMaterials();
        delete m_atlas;
        destroyAllTextures();
        releaseShaderRegistry();
        shutdownRenderer();
        taskLayerShutdown();
        configClear();
        BuiltDataTest::TearDown();
    }

    void makeFont() {
        std::vector<u8> rgba(ATLAS_WIDTH * ATLAS_HEIGHT * 4, 0);
        SFontFace* face = createFontFace("TestFont");
        face->lineHeight = GRID_HEIGHT + 1;
        u32 cell = 0;
        for (const STestGlyph& g : TEST_GLYPHS) {
            for (u32 y = 0; y < GRID_HEIGHT; ++y)
                for (u32 x = 0; x < GRID_WIDTH; ++x)
                    if (g.rows[y][x] == '#') {
                        u8* p = &rgba[4 * (y * ATLAS_WIDTH + cell * CELL + x)];
                        p[0] = p[1] = p[2] = p[3] = 255;
                    }
            face->addGlyph(SFontGlyph{g.code,
                                      {f32(cell * CELL) / ATLAS_WIDTH, 0.0f},
                                      {f32(cell * CELL + GRID_WIDTH) / ATLAS_WIDTH, f32(GRID_HEIGHT) / ATLAS_HEIGHT},
                                      GRID_WIDTH, GRID_HEIGHT, 0.0f, 0.0f, CELL});
            ++cell;
        }
        const std::vector<u8> png = encodePng(ATLAS_WIDTH, ATLAS_HEIGHT, rgba.data());
        m_atlas = new ClTexture;
        ASSERT_TRUE(m_atlas->createFromMemory(png.data(), png.size(), "test-font", false, true));
        face->texture = m_atlas;
    }

    // The canvas scale that draws a face pixel as PIXELS_PER_TEXEL screen pixels on "FULL".
    static f32 textScale() { return PIXELS_PER_TEXEL / getCanvas("FULL")->scale; }
    // Canvas units of "FULL" for screen pixels.
    static f32 units(f32 pixels) { return pixels / getCanvas("FULL")->scale; }

    void drawScene() {
        addSpriteQuad(TEXT_LAYER - 10, getMaterialForEffect("Debug_Add"), 0xFF404040u, 0, 0, W, H);
        STextStyle style;
        style.face = "TestFont";
        EXPECT_TRUE(drawText(style, TEXT_LAYER, E_ALIGN_LEFT | E_ALIGN_TOP, units(4), units(4), textScale(),
                             0xFFFFFFFFu, u"12:4", 0xFF000000u));
        EXPECT_TRUE(drawText(style, TEXT_LAYER, E_ALIGN_CENTRE | E_ALIGN_MIDDLE, 0, 0, textScale(), 0xFFFFFFFFu,
                             u"4", 0));
        style.face = "TestFont-JAP";
        EXPECT_TRUE(drawText(style, TEXT_LAYER, E_ALIGN_RIGHT | E_ALIGN_BOTTOM, 0, 0, textScale(), 0xFFFFFFFFu,
                             u"x", 0));
        EXPECT_TRUE(drawUiSprite("bar", "system_blend", 0xFF00C000u, "FULL", TEXT_LAYER, units(4), units(20),
                                 units(40), units(8), 0.5f, 1.0f, E_ALIGN_LEFT | E_ALIGN_BOTTOM));
    }

    std::vector<u8> drawFrames(const char* pngName) {
        for (int frame = 0; frame < 3; ++frame) {
            beginBatchFrame();
            drawScene();
            EXPECT_EQ(1, finishFrame());
        }
        std::vector<u8> rgba(W * H * 4);
        EXPECT_TRUE(gfxReadPixels(nullptr, rgba.data(), u32(rgba.size())));
        if (const char* dir = std::getenv("VELODRIX_TEST_PNG_DIR"))
            writePngFile((std::string(dir) + "/" + pngName).c_str(), W, H, rgba.data());
        return rgba;
    }
    static std::vector<int> rgb(const std::vector<u8>& frame, u32 x, u32 y) {
        const u8* p = &frame[4 * (y * W + x)];
        return {p[0], p[1], p[2]};
    }

    ClTexture* m_atlas = nullptr;
};

// Within a few steps of a grey level, channel by channel.
MATCHER_P(GreyNear, level, "") {
    for (int c : arg)
        if (c < level - 3 || c > level + 3) return false;
    return true;
}

TEST_F(TextDrawing, GlyphsShadowsAlignmentFallbackFaceAndAHalfFilledSprite) {
    ASSERT_FALSE(gfxIsNullRenderer());
    registerUiSprite("bar", SUiSprite{});
    const std::vector<u8> frame = drawFrames("text_drawing.png");

    // "12:4" from (4, 4), 3 pixels a texel: the stem of '1' is lit, the corner beside it grey,
    // and the shadow shows below the foot of '1', 6 pixels down and right.
    EXPECT_THAT(rgb(frame, 11, 5), GreyNear(255));
    EXPECT_THAT(rgb(frame, 5, 5), GreyNear(0x40));
    EXPECT_THAT(rgb(frame, 16, 29), GreyNear(0));
    // The colon of the third glyph (pen at 4 + 2 x 18).
    EXPECT_THAT(rgb(frame, 40 + 7, 4 + 4), GreyNear(255));
    EXPECT_THAT(rgb(frame, 40 + 7, 4 + 10), GreyNear(0x40));

    // "4" centred: its box of 18 x 24 pixels about (80, 45) starts at (71, 33); its bar row 4.
    EXPECT_THAT(rgb(frame, 71 + 7, 33 + 13), GreyNear(255));
    EXPECT_THAT(rgb(frame, 71 + 1, 33 + 1), GreyNear(0x40));

    // "x" in "TestFont-JAP" draws the base face's '?' in the bottom-right corner: its box of
    // 18 x 24 pixels starts at (142, 66).
    EXPECT_THAT(rgb(frame, 142 + 7, 66 + 19), GreyNear(255));
    EXPECT_THAT(rgb(frame, 142 + 7, 66 + 16), GreyNear(0x40));

    // The sprite: 40 x 8 pixels from (4, 70), half of it drawn.
    EXPECT_EQ(rgb(frame, 10, 74), std::vector<int>({0, 0xC0, 0}));
    EXPECT_THAT(rgb(frame, 30, 74), GreyNear(0x40));
}

TEST_F(TextDrawing, WorldTextSitsAtItsScreenPointAndNothingIsDrawnBehindTheCamera) {
    ClCamera camera;
    camera.setPositionLookingAt(ClVec3(0, 100, 100), ClVec3(0, 0, 0));
    beginBatchFrame();
    const u32 before = spriteQueueCount();
    const ClVec3 point(10, 0, 5);
    ASSERT_TRUE(drawTextAtWorldPosition(&camera, point, "system_font", 0, "TestFont", TEXT_LAYER, 80.0f, 3.0f, 3.0f,
                                        E_ALIGN_CENTRE | E_ALIGN_MIDDLE, 0xFFFFFFFFu, u"1"));
    ASSERT_EQ(spriteQueueCount(), before + 1);
    const ClVec2 screen = camera.projectToScreen(point);
    const f32 unit = f32(H) / WORLD_TEXT_SCREEN_UNITS;
    const f32 k = 80.0f * unit / f32(GRID_HEIGHT + 1);
    const SSpriteQuad& quad = spriteQueueQuad(before);
    EXPECT_EQ(quad.x, roundToNearest(screen.x * W + 3.0f * unit - 0.5f * CELL * k));
    EXPECT_EQ(quad.y, roundToNearest(screen.y * H + 3.0f * unit - 0.5f * (GRID_HEIGHT + 1) * k));
    EXPECT_FLOAT_EQ(quad.width, GRID_WIDTH * k);

    EXPECT_FALSE(drawTextAtWorldPosition(&camera, ClVec3(0, 200, 200), "system_font", 0, "TestFont", TEXT_LAYER, 80.0f,
                                         0, 0, E_ALIGN_CENTRE | E_ALIGN_MIDDLE, 0xFFFFFFFFu, u"1"));
    EXPECT_FALSE(drawTextAtWorldPosition(nullptr, point, "system_font", 0, "TestFont", TEXT_LAYER, 80.0f, 0, 0,
                                         E_ALIGN_CENTRE | E_ALIGN_MIDDLE, 0xFFFFFFFFu, u"1"))
        << "no view camera before the blenders exist";
    EXPECT_FALSE(drawText(STextStyle{"FULL", "system_font", "NoSuchFont", 0, 0}, TEXT_LAYER, E_ALIGN_LEFT | E_ALIGN_TOP,
                          0, 0, 1.0f, 0xFFFFFFFFu, u"1", 0));
    EXPECT_EQ(spriteQueueCount(), before + 1);
    finishFrame();
}

}  // namespace
