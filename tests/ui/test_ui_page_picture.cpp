// A code-built page drawn in the generated fonts and read back from the frame under the offscreen
// driver: a title, a focused and an idle button, and a text with colour tags.
#include "core/config.h"
#include "core/global_objects.h"
#include "core/game_clock.h"
#include "core/task_layer.h"
#include "input/input_channels.h"
#include "platform/gfx/image_decode.h"
#include "render/batcher.h"
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
#include "ui/switcher.h"
#include "ui/ui_input.h"
#include "ui/ui_pages.h"
#include "ui/ui_system.h"
#include "ui/widget_kinds.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr u32 W = 640;
constexpr u32 H = 360;  // "FULL" is 1080 units: three units a pixel
constexpr u32 BACKGROUND = 0xFF182030u;

class UiPagePicture : public BuiltDataTest {
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
        initUi();
        loadUiFonts();
    }
    void TearDown() override {
        shutdownUi();
        g_uMusicLibraryInitialised = 0;
        releaseUIDeviceBuffers();
        shutdownSpriteQueue();
        releaseBatchBuffers();
        releaseAllDrawBatches();
        releaseAllMaterials();
        destroyAllTextures();
        releaseShaderRegistry();
        shutdownRenderer();
        taskLayerShutdown();
        configClear();
        BuiltDataTest::TearDown();
    }

    static void buildTitlePage() {
        ClWidget* root = createLayoutPage("ZUnO_UI2", "FULL");
        root->setColour("backgroundColor", BACKGROUND);
        ClWidget_Switcher* top = createSwitcher("TopLevelSwitcher", root);
        ClWidget* title = createWidget("TitleMenu", top);
        const u32 centred = E_ALIGN_CENTRE | E_ALIGN_TOP;
        ClWidget_Label* name = createLabel("GameTitle", title, {0, 60, 1400, 160, centred, centred}, u"VELODRIX");
        name->look().setFace("NiceCapsBoldFont");
        name->look().size = 140;
        name->look().alignment = E_ALIGN_CENTRE | E_ALIGN_MIDDLE;
        name->setColour("textColor", 0xFFFFD040u);
        createButton("PlayButton", title, {0, 300, 600, 110, centred, centred}, u"Play", nullptr)->look().size = 80;
        createButton("QuitButton", title, {0, 450, 600, 110, centred, centred}, u"Quit", nullptr)->look().size = 80;
        ClWidget_Label* tagged = createLabel("Tagged", title, {0, 640, 1600, 100, centred, centred},
                                             u"[c=FF4040]Red[/c] and [c=40FF40]green[/c]");
        tagged->look().size = 80;
        tagged->look().alignment = E_ALIGN_CENTRE | E_ALIGN_MIDDLE;
        ClWidget_Label* note = createLabel("Version", root, {20, 20, 600, 60, E_ALIGN_LEFT | E_ALIGN_BOTTOM,
                                                             E_ALIGN_LEFT | E_ALIGN_BOTTOM}, u"SystemFont 0.1");
        note->look().setFace("SystemFont");
        note->look().size = 48;
        finishUiPageLoad();
        switchWidgetByName("TopLevelSwitcher", "TitleMenu");
        setUiFocus(findWidgetByName("PlayButton"));
    }

    std::vector<u8> drawFrames(const char* pngName) {
        setClockDelta(GAME_CLOCK_SYSTEM, 1.0f);  // past the switch's fade
        for (int frame = 0; frame < 3; ++frame) {
            beginBatchFrame();
            renderUiPages();
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
    // Pixels of the box matching the test, and the smallest and largest x among them.
    template <typename Test>
    static std::vector<u32> count(const std::vector<u8>& frame, u32 x0, u32 y0, u32 x1, u32 y1, Test test) {
        u32 n = 0, left = W, right = 0;
        for (u32 y = y0; y < y1; ++y)
            for (u32 x = x0; x < x1; ++x) {
                const u8* p = &frame[4 * (y * W + x)];
                if (!test(p[0], p[1], p[2])) continue;
                ++n;
                left = std::min(left, x);
                right = std::max(right, x);
            }
        return {n, left, right};
    }
};

MATCHER_P3(RgbNear, r, g, b, "") { return std::abs(arg[0] - r) <= 3 && std::abs(arg[1] - g) <= 3 && std::abs(arg[2] - b) <= 3; }

TEST_F(UiPagePicture, TitleButtonsAndColourTaggedTextInTheGeneratedFonts) {
    ASSERT_FALSE(gfxIsNullRenderer());
    for (const char* face : {"NiceCapsBoldFont", "NormalFont", "ScriptFont", "SystemFont"})
        EXPECT_NE(findFontFace(face), nullptr) << face;
    EXPECT_EQ(findFontFaceOrBase("NiceCapsBoldFont-JAP"), findFontFace("NiceCapsBoldFont"));
    buildTitlePage();
    const std::vector<u8> frame = drawFrames("ui_title_page.png");

    // The background, the buttons' fills (200 x 37 pixels from x 220, y 100 and 150) over it,
    // and the focused one's outline.
    EXPECT_THAT(rgb(frame, 5, 5), RgbNear(0x18, 0x20, 0x30));
    EXPECT_THAT(rgb(frame, 224, 104), RgbNear(172, 109, 27));
    EXPECT_THAT(rgb(frame, 220, 118), RgbNear(0xFF, 0xE8, 0xA0));
    EXPECT_THAT(rgb(frame, 224, 154), RgbNear(30, 38, 54));

    // Gold title glyphs across the top, white captions on the buttons.
    const auto gold = [](int r, int g, int b) { return r > 200 && g > 150 && b < 110; };
    const auto white = [](int r, int g, int b) { return r > 200 && g > 200 && b > 200; };
    const auto red = [](int r, int g, int b) { return r > 180 && g < 110 && b < 110; };
    const auto green = [](int r, int g, int b) { return g > 180 && r < 110 && b < 110; };
    EXPECT_GT(count(frame, 87, 20, 553, 73, gold)[0], 400u);
    EXPECT_GT(count(frame, 220, 100, 420, 137, white)[0], 40u);
    EXPECT_GT(count(frame, 220, 150, 420, 187, white)[0], 40u);

    // "Red" in red left of " and " in white left of "green" in green, on one line.
    const std::vector<u32> r = count(frame, 53, 213, 587, 247, red);
    const std::vector<u32> w = count(frame, 53, 213, 587, 247, white);
    const std::vector<u32> g = count(frame, 53, 213, 587, 247, green);
    ASSERT_GT(r[0], 40u);
    ASSERT_GT(w[0], 40u);
    ASSERT_GT(g[0], 40u);
    EXPECT_LT(r[2], w[1]);
    EXPECT_LT(w[2], g[1]);
}

}  // namespace
