// A code-built page drawn in the generated fonts and read back from the frame under the offscreen
// driver: a title, a focused and an idle button, and a text with colour tags.
#include "core/game_clock.h"
#include "tests/support/offscreen_picture.h"
#include "ui/font_face.h"
#include "ui/switcher.h"
#include "ui/ui_input.h"
#include "ui/ui_pages.h"
#include "ui/ui_system.h"
#include "ui/widget_kinds.h"

namespace {

constexpr u32 BACKGROUND = 0xFF182030u;

// 640 x 360 pixels: "FULL" is 1080 units, three units a pixel.
class UiPagePicture : public OffscreenPictureTest {
protected:
    UiPagePicture() : OffscreenPictureTest(640, 360) {}
    void TearDown() override {
        shutdownUi();
        OffscreenPictureTest::TearDown();
    }
};

TEST_F(UiPagePicture, TitleButtonsAndColourTaggedTextInTheGeneratedFonts) {
    initUi();
    loadUiFonts();
    ASSERT_FALSE(gfxIsNullRenderer());
    for (const char* face : {"NiceCapsBoldFont", "NormalFont", "ScriptFont", "SystemFont"})
        EXPECT_NE(findFontFace(face), nullptr) << face;

    // A title, two buttons with the first focused and a colour-tagged text.
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
    finishUiPageLoad();
    switchWidgetByName("TopLevelSwitcher", "TitleMenu");
    setUiFocus(findWidgetByName("PlayButton"));
    setClockDelta(GAME_CLOCK_SYSTEM, 1.0f);  // past the switch's fade
    const SPicture frame = drawFrames(renderUiPages, "ui_title_page.png");

    // The background, the buttons' fills (200 x 37 pixels from x 220, y 100 and 150) over it,
    // and the focused one's outline.
    EXPECT_THAT(frame.rgb(5, 5), RgbNear({0x18, 0x20, 0x30}));
    EXPECT_THAT(frame.rgb(224, 104), RgbNear({172, 109, 27}));
    EXPECT_THAT(frame.rgb(220, 118), RgbNear({0xFF, 0xE8, 0xA0}));
    EXPECT_THAT(frame.rgb(224, 154), RgbNear({30, 38, 54}));

    // Gold title glyphs across the top, white captions on the buttons.
    const auto gold = [](int r, int g, int b) { return r > 200 && g > 150 && b < 110; };
    const auto white = [](int r, int g, int b) { return r > 200 && g > 200 && b > 200; };
    const auto red = [](int r, int g, int b) { return r > 180 && g < 110 && b < 110; };
    const auto green = [](int r, int g, int b) { return g > 180 && r < 110 && b < 110; };
    EXPECT_GT(frame.count({87, 20, 553, 73}, gold), 400u);
    EXPECT_GT(frame.count({220, 100, 420, 137}, white), 40u);
    EXPECT_GT(frame.count({220, 150, 420, 187}, white), 40u);

    // "Red" in red left of " and " in white left of "green" in green, on one line.
    const SPixelBox line = {53, 213, 587, 247};
    const SPixelRun r = frame.run(line, red), w = frame.run(line, white), g = frame.run(line, green);
    ASSERT_GT(std::min({r.count, w.count, g.count}), 40u);
    EXPECT_LT(r.right, w.left);
    EXPECT_LT(w.right, g.left);
}

}  // namespace
