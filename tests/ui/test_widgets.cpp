// The widget registry and its properties, the number grouping, and the font-face look-up with
// its fallback to the base face.
#include "core/name_hash.h"
#include "tests/support/fatal_catch.h"
#include "ui/font_face.h"
#include "ui/number_format.h"
#include "ui/widget.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using test_support::fatalReasonOf;

class Widgets : public test_support::FatalThrowingTest {
protected:
    void SetUp() override {
        FatalThrowingTest::SetUp();
        initWidgetRegistry();
    }
    void TearDown() override {
        releaseWidgetRegistry();
        releaseFontFaces();
        FatalThrowingTest::TearDown();
    }
};

TEST_F(Widgets, NamesAreFoundWithoutRegardToCaseAndUnknownNamesGiveNull) {
    ClWidget* score = createWidget("Score");
    EXPECT_EQ(findWidgetByName("score"), score);
    EXPECT_EQ(findWidgetByName("WaveKillChain"), nullptr);
    EXPECT_EQ(findWidgetByName(UI_VARIABLES_WIDGET_NAME), getUiVariables());
    EXPECT_EQ(fatalReasonOf([] { createWidget("SCORE"); }), "createWidget: a widget named \"SCORE\" exists already");

    releaseWidgetRegistry();
    EXPECT_EQ(findWidgetByName("Score"), nullptr);
    EXPECT_EQ(getUiVariables(), nullptr);
}

TEST_F(Widgets, SettersAddPropertiesAndAbsentOrTextPropertiesReadZero) {
    ClWidget* w = createWidget("playback_time_remaining");
    EXPECT_EQ(w->getInt("selectedSongIndex"), 0);
    EXPECT_EQ(w->getIntOr("selectedSongIndex", -1), -1);
    w->setInt("selectedSongIndex", 7);
    w->setBool("AllowQuit", true);
    w->setLocalizedIdFromKey("localizedID", "hud_next_target");
    w->setColour("textColor", 0x80FFFFFF);
    w->setText("dynamicText", "1,234");
    w->setWideText("dynamicUnicodeText", u"03:07");
    EXPECT_EQ(std::vector<s32>({w->getInt("selectedsongindex"), w->getInt("AllowQuit"), w->getInt("textColor"),
                                w->getInt("dynamicText")}),
              std::vector<s32>({7, 1, s32(0x80FFFFFF), 0}));
    EXPECT_EQ(u32(w->getInt("localizedID")), crc32TextNoCase("hud_next_target"));
    EXPECT_STREQ(w->getText("dynamicText"), "1,234");
    EXPECT_EQ(std::u16string(w->getWideText("dynamicUnicodeText")), u"03:07");
    EXPECT_EQ(w->getWideText("dynamicText"), nullptr);

    // A setter of another kind takes the property over; the raw id 0 clears the key.
    w->setLocalizedId("localizedID", 0);
    w->setInt("dynamicText", 3);
    EXPECT_EQ(std::vector<s32>({w->getInt("localizedID"), w->getInt("dynamicText")}), std::vector<s32>({0, 3}));
    EXPECT_EQ(w->getText("dynamicText"), nullptr);
    EXPECT_EQ(w->propertyKind("dynamicText"), E_WIDGETPROPERTY_INT);
    EXPECT_EQ(fatalReasonOf([w] { w->propertyKind("nothing"); }),
              "widget \"playback_time_remaining\" has no property \"nothing\"");
}

TEST_F(Widgets, EveryVisibilityCallFiresTheCallbackAndTheTintKeepsItsFloats) {
    ClWidget* chain = createWidget("WaveKillChain");
    std::vector<int> seen;
    chain->setVisibilityCallback([](ClWidget*, bool visible, void* user) {
        static_cast<std::vector<int>*>(user)->push_back(visible ? 1 : 0);
    }, &seen);
    chain->setVisible(false);
    chain->setVisible(false);
    chain->setVisible(true);
    EXPECT_EQ(seen, std::vector<int>({0, 0, 1}));
    EXPECT_TRUE(chain->isVisible());

    chain->setTint(0x7FFFFFFF);
    EXPECT_EQ(chain->tint().set, 1u);
    EXPECT_FLOAT_EQ(chain->tint().rgba[3], 127.0f / 255.0f);
}

TEST(NumberFormat, CommasGoBetweenGroupsOfThreeFromTheRight) {
    char out[THOUSANDS_TEXT_LENGTH];
    std::vector<std::string> texts;
    for (const char* digits : {"0", "999", "1000", "1234567", "-1234", "-123", "123456"}) {
        EXPECT_TRUE(formatThousandsNarrow(digits, out, sizeof out));
        texts.push_back(out);
    }
    EXPECT_EQ(texts, std::vector<std::string>({"0", "999", "1,000", "1,234,567", "-1,234", "-123", "123,456"}));
    formatIntThousandsNarrow(-2147483647 - 1, out);
    EXPECT_STREQ(out, "-2,147,483,648");

    char small[5];
    EXPECT_TRUE(formatThousandsNarrow("1234", small, sizeof small) == false && small[0] == 0);
}

TEST_F(Widgets, AMissingFaceFallsBackToItsBaseFaceAndGlyphsToTheFallbackCode) {
    SFontFace* base = createFontFace("NiceCapsBoldFont");
    EXPECT_EQ(findFontFaceOrBase("NiceCapsBoldFont-JAP"), base);
    EXPECT_EQ(findFontFaceOrBase("nicecapsboldfont"), base);
    EXPECT_EQ(findFontFaceOrBase("SystemFont-JAP"), nullptr);
    SFontFace* japanese = createFontFace("NiceCapsBoldFont-JAP");
    EXPECT_EQ(findFontFaceOrBase("NiceCapsBoldFont-JAP"), japanese);

    for (char16_t code : {u'b', u'?', u'a'}) base->addGlyph(SFontGlyph{code, {}, {}, 1, 1, 0, 0, f32(code)});
    base->addGlyph(SFontGlyph{u'a', {}, {}, 1, 1, 0, 0, 5.0f});
    ASSERT_EQ(base->glyphs.size(), 3u);
    EXPECT_EQ(base->findGlyph(u'a')->advance, 5.0f);
    EXPECT_EQ(base->findGlyph(u'z')->code, u'?');
    base->fallbackCode = 0;
    EXPECT_EQ(base->findGlyph(u'z'), nullptr);
}

}  // namespace
