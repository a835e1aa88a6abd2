// The widget registry and its properties, the number grouping and the escaped colour tags.
#include "core/name_hash.h"
#include "tests/support/fatal_catch.h"
#include "ui/number_format.h"
#include "ui/text_tags.h"
#include "ui/ui_imports.h"
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

std::vector<int> g_visibilityEvents;

TEST_F(Widgets, SettersAddPropertiesAbsentOrTextPropertiesReadZeroAndVisibilityCallsFireEvents) {
    ClWidget* w = createWidget("playback_time_remaining");
    EXPECT_EQ(w->getInt("selectedSongIndex"), 0);
    EXPECT_EQ(w->getIntOr("selectedSongIndex", -1), -1);
    w->setInt("selectedSongIndex", 7);
    w->setBool("AllowQuit", true);
    w->setLocalizedIdFromKey("localizedID", "hud_next_target");
    w->setColour("textColor", 0x80FFFFFF);
    w->setText("dynamicText", "1,234");
    w->setWideText("dynamicUnicodeText", u"03:07");
    EXPECT_EQ(w->getInt("selectedsongindex"), 7) << "names are found whatever their case";
    EXPECT_EQ(w->getInt("AllowQuit"), 1);
    EXPECT_EQ(w->getInt("textColor"), s32(0x80FFFFFF));
    EXPECT_EQ(w->getInt("dynamicText"), 0) << "a text reads zero";
    EXPECT_EQ(u32(w->getInt("localizedID")), crc32TextNoCase("hud_next_target"));
    EXPECT_EQ(std::string(w->getText("dynamicText")), "1,234");
    EXPECT_EQ(std::u16string(w->getWideText("dynamicUnicodeText")), u"03:07");
    EXPECT_EQ(w->getWideText("dynamicText"), nullptr);

    // A setter of another kind takes the property over; the raw id 0 clears the key.
    w->setLocalizedId("localizedID", 0);
    w->setInt("dynamicText", 3);
    EXPECT_EQ(w->getInt("localizedID"), 0);
    EXPECT_EQ(w->getInt("dynamicText"), 3);
    EXPECT_EQ(w->getText("dynamicText"), nullptr);

    // Every visibility call fires its event.
    g_visibilityEvents.clear();
    static constexpr SUiCallbackEntry SEEN[] = {
        {"seeShown", [](ClWidget*) { g_visibilityEvents.push_back(1); }},
        {"seeHidden", [](ClWidget*) { g_visibilityEvents.push_back(0); }},
    };
    const SUiImports imports{SEEN};
    setUiImports(&imports);
    ClWidget* chain = createWidget("WaveKillChain");
    chain->setEvent("onBecomeVisible", "seeShown");
    chain->setEvent("onBecomeInvisible", "seeHidden");
    for (bool visible : {false, false, true}) chain->setVisible(visible);
    EXPECT_EQ(g_visibilityEvents, std::vector<int>({0, 0, 1}));
    EXPECT_TRUE(chain->isVisible());
    setUiImports(nullptr);
}

TEST(NumberFormat, CommasGoBetweenGroupsOfThreeFromTheRight) {
    char out[THOUSANDS_TEXT_LENGTH];
    const std::pair<const char*, const char*> cases[] = {{"0", "0"}, {"999", "999"}, {"1000", "1,000"},
        {"1234567", "1,234,567"}, {"-1234", "-1,234"}, {"-123", "-123"}, {"123456", "123,456"}};
    for (auto [digits, text] : cases) {
        ASSERT_TRUE(formatThousandsNarrow(digits, out, sizeof out)) << digits;
        EXPECT_STREQ(out, text) << digits;
    }
    formatIntThousandsNarrow(-2147483647 - 1, out);
    EXPECT_STREQ(out, "-2,147,483,648");

    char small[5];
    EXPECT_FALSE(formatThousandsNarrow("1234", small, sizeof small));
    EXPECT_EQ(small[0], 0);
}

}  // namespace

TEST(TextTags, AnEscapedTextIsDrawnAsItWasInTheBaseColour) {
    const std::u16string name = u"[c=FF0000]x[/c] [[";
    const std::u16string escaped = escapeColourTags(name);
    EXPECT_TRUE(hasColourTags(escaped.c_str()));
    std::u16string plain;
    std::vector<u32> colours;
    parseColourTags(escaped.c_str(), 0x80FFFFFFu, &plain, &colours);
    EXPECT_EQ(plain, name);
    EXPECT_EQ(colours.at(10), 0x80FFFFFFu);
    parseColourTags(u"[[c=FF0000]a", 0x80FFFFFFu, &plain, &colours);
    EXPECT_EQ(plain, u"[c=FF0000]a");
}
