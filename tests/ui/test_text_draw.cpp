// Text, shadows, alignment, the base-face fallback and a filled sprite, drawn through the 2D quad
// queue and read back from the frame under the offscreen driver; and the screen point of a text
// placed in the world. The glyphs are a 5 x 7 test font made here.
#include "tests/support/offscreen_picture.h"
#include "ui/font_face.h"
#include "ui/text_draw.h"
#include "ui/ui_sprite.h"

namespace {

constexpr u32 W = 160, H = 90;
constexpr u32 GRID_WIDTH = 5;
constexpr u32 GRID_HEIGHT = 7;
constexpr u32 CELL = 6;  // atlas cell and advance
constexpr u32 ATLAS_WIDTH = 32;
constexpr u32 ATLAS_HEIGHT = 8;
constexpr f32 PIXELS_PER_TEXEL = 3.0f;
constexpr u32 TEXT_LAYER = 2001;  // in the band the scene draws without a camera

struct STestGlyph {
    u32 code;
    const char* rows[GRID_HEIGHT];
};
const STestGlyph TEST_GLYPHS[] = {
    {u'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {u'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {u'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {u':', {".....", "..#..", ".....", ".....", ".....", "..#..", "....."}},
    {u'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
};

class TextDrawing : public OffscreenPictureTest {
protected:
    // The test font: each glyph in its cell of one atlas row.
    void SetUp() override {
        OffscreenPictureTest::SetUp();
        std::vector<u8> rgba(ATLAS_WIDTH * ATLAS_HEIGHT * 4, 0);
        SFontFace* face = createFontFace("TestFont");
        face->lineHeight = GRID_HEIGHT + 1;
        u32 cell = 0;
        for (const STestGlyph& g : TEST_GLYPHS) {
            for (u32 y = 0; y < GRID_HEIGHT; ++y)
                for (u32 x = 0; x < GRID_WIDTH; ++x)
                    if (g.rows[y][x] == '#') std::fill_n(&rgba[4 * (y * ATLAS_WIDTH + cell * CELL + x)], 4, u8(255));
            face->glyphs.push_back(SFontGlyph{g.code, {f32(cell * CELL) / ATLAS_WIDTH, 0.0f}, {f32(cell * CELL + GRID_WIDTH) / ATLAS_WIDTH, f32(GRID_HEIGHT) / ATLAS_HEIGHT},
                                              GRID_WIDTH, GRID_HEIGHT, 0.0f, 0.0f, CELL});
            ++cell;
        }
        const std::vector<u8> png = encodePng(ATLAS_WIDTH, ATLAS_HEIGHT, rgba.data());
        m_atlas = new ClTexture;
        ASSERT_TRUE(m_atlas->createFromMemory(png.data(), png.size(), "test-font", false, true));
        face->texture = m_atlas;
    }
    void TearDown() override {
        releaseFontFaces();
        releaseUiSprites();
        delete m_atlas;
        OffscreenPictureTest::TearDown();
    }

    // The canvas scale that draws a face pixel as PIXELS_PER_TEXEL screen pixels on "FULL".
    static f32 textScale() { return PIXELS_PER_TEXEL / getCanvas("FULL")->scale; }
    // Canvas units of "FULL" for screen pixels.
    static f32 units(f32 pixels) { return pixels / getCanvas("FULL")->scale; }

    ClTexture* m_atlas = nullptr;
};

TEST_F(TextDrawing, GlyphsShadowsAlignmentFallbackFaceAndAHalfFilledSprite) {
    ASSERT_FALSE(gfxIsNullRenderer());
    registerUiSprite("bar", SUiSprite{});
    const SPicture frame = drawFrames([] {
        addSpriteQuad(TEXT_LAYER - 10, getMaterialForEffect("Debug_Add"), 0xFF404040u, 0, 0, W, H);
        const auto text = [](const char* face, u32 alignment, f32 at, const char16_t* line, u32 shadow) {
            return drawText(STextStyle{"FULL", "system_font", face, 0, 0}, TEXT_LAYER, alignment, at, at, textScale(), 0xFFFFFFFFu, line, shadow);
        };
        EXPECT_TRUE(text("TestFont", E_ALIGN_LEFT | E_ALIGN_TOP, units(4), u"12:4", 0xFF000000u));
        EXPECT_TRUE(text("TestFont", E_ALIGN_CENTRE | E_ALIGN_MIDDLE, 0, u"4", 0));
        EXPECT_TRUE(text("TestFont-JAP", E_ALIGN_RIGHT | E_ALIGN_BOTTOM, 0, u"x", 0));
        EXPECT_TRUE(drawUiSprite("bar", "system_blend", 0xFF00C000u, "FULL", TEXT_LAYER, units(4), units(20),
                                 units(40), units(8), 0.5f, 1.0f, E_ALIGN_LEFT | E_ALIGN_BOTTOM));
    }, "text_drawing.png");
    // {x, y, grey level}: "12:4" from (4, 4), 3 pixels a texel: the stem of '1' lit, the corner
    // beside it background, the shadow below the foot of '1' (6 pixels down and right), the colon
    // of the third glyph (pen at 4 + 2 x 18) and the background below it. "4" centred: its box of
    // 18 x 24 pixels about (80, 45) from (71, 33), its bar row 4. "x" in "TestFont-JAP" draws the
    // base face's '?' in the bottom-right corner, its box from (142, 66). The sprite: 40 x 8
    // pixels from (4, 70), half of it drawn.
    for (auto [x, y, level] : std::vector<std::array<int, 3>>{{11, 5, 255}, {5, 5, 0x40}, {16, 29, 0}, {47, 8, 255},
                                                              {47, 14, 0x40}, {78, 46, 255}, {72, 34, 0x40},
                                                              {149, 85, 255}, {149, 82, 0x40}, {30, 74, 0x40}})
        EXPECT_THAT(frame.rgb(x, y), RgbNear(grey(level))) << x << ", " << y;
    EXPECT_EQ(frame.rgb(10, 74), SRgb({0, 0xC0, 0}));
}

// A face lacking a character takes it from its fallback face, scaled to its own line height; a
// character beyond 16 bits (a surrogate pair) is one glyph; one that neither has is the face's '?'.
TEST_F(TextDrawing, CharactersAFaceLacksComeFromItsFallbackFaceAtTheFacesLineHeight) {
    SFontFace* fallback = createFontFace("TestFallback");
    fallback->lineHeight = 2.0f * (GRID_HEIGHT + 1);
    fallback->texture = m_atlas;
    constexpr u32 NOTE = 0x1F3B5;
    fallback->glyphs.push_back(SFontGlyph{NOTE, {0.0f, 0.0f}, {0.5f, 1.0f}, 12.0f, 14.0f, 1.0f, 2.0f, 16.0f});
    SFontFace* face = findFontFace("TestFont");
    face->fallbackFace = fallback;

    beginBatchFrame();
    const u32 before = spriteQueueCount();
    const f32 k = textScale() * getCanvas("FULL")->scale;
    ASSERT_TRUE(drawText(STextStyle{"FULL", "system_font", "TestFont", 0, 0}, TEXT_LAYER, E_ALIGN_LEFT | E_ALIGN_TOP, 0, 0,
                         textScale(), 0xFFFFFFFFu, u"1\U0001F3B5\u66F2", 0));
    ASSERT_EQ(spriteQueueCount(), before + 3);
    const SSpriteQuad& one = spriteQueueQuad(before);
    const SSpriteQuad& note = spriteQueueQuad(before + 1);
    const SSpriteQuad& unknown = spriteQueueQuad(before + 2);
    // Half size: the fallback face's line is twice the face's.
    EXPECT_FLOAT_EQ(note.width, 6.0f * k);
    EXPECT_FLOAT_EQ(note.height, 7.0f * k);
    EXPECT_FLOAT_EQ(note.x - one.x, CELL * k + 0.5f * k);
    EXPECT_FLOAT_EQ(unknown.x - note.x, 8.0f * k - 0.5f * k);
    EXPECT_EQ(unknown.texMin.x, f32(4 * CELL) / ATLAS_WIDTH) << "the face's '?'";
    EXPECT_FLOAT_EQ(measureText(*face, u"1\U0001F3B5").x, CELL + 8.0f);
    finishFrame();
}

TEST_F(TextDrawing, WorldTextSitsAtItsScreenPointAndNothingIsDrawnBehindTheCamera) {
    ClCamera camera;
    camera.setPositionLookingAt(ClVec3(0, 100, 100), ClVec3(0, 0, 0));
    beginBatchFrame();
    const u32 before = spriteQueueCount();
    const ClVec3 point(10, 0, 5);
    const auto drawAt = [](const ClCamera* view, const ClVec3& at, f32 offset) {
        return drawTextAtWorldPosition(view, at, "system_font", 0, "TestFont", TEXT_LAYER, 80.0f, offset, offset, E_ALIGN_CENTRE | E_ALIGN_MIDDLE, 0xFFFFFFFFu, u"1");
    };
    ASSERT_TRUE(drawAt(&camera, point, 3.0f));
    ASSERT_EQ(spriteQueueCount(), before + 1);
    const ClVec2 screen = camera.projectToScreen(point);
    const f32 unit = f32(H) / WORLD_TEXT_SCREEN_UNITS;
    const f32 k = 80.0f * unit / f32(GRID_HEIGHT + 1);
    const SSpriteQuad& quad = spriteQueueQuad(before);
    EXPECT_EQ(quad.x, roundToNearest(screen.x * W + 3.0f * unit - 0.5f * CELL * k));
    EXPECT_EQ(quad.y, roundToNearest(screen.y * H + 3.0f * unit - 0.5f * (GRID_HEIGHT + 1) * k));
    EXPECT_FLOAT_EQ(quad.width, GRID_WIDTH * k);

    // Behind the camera, no view camera before the blenders exist, and a face nobody made.
    EXPECT_FALSE(drawAt(&camera, ClVec3(0, 200, 200), 0.0f));
    EXPECT_FALSE(drawAt(nullptr, point, 0.0f));
    EXPECT_FALSE(drawText(STextStyle{"FULL", "system_font", "NoSuchFont", 0, 0}, TEXT_LAYER, E_ALIGN_LEFT | E_ALIGN_TOP, 0, 0,
                          1.0f, 0xFFFFFFFFu, u"1", 0));
    EXPECT_EQ(spriteQueueCount(), before + 1);
    finishFrame();
}

}  // namespace
