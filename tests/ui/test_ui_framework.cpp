// Switchers, focus and pointer hit regions, the menu inputs, events and their named callbacks,
// 64-bit properties and the hooks the interface installs below it. Pages are laid out over
// canvases without a device: nothing is drawn, but rectangles and hit regions are real.
#include "core/game_clock.h"
#include "input/input_channels.h"
#include "input/input_devices.h"
#include "render/canvases.h"
#include "tests/support/fatal_catch.h"
#include "ui/hit_regions.h"
#include "ui/switcher.h"
#include "ui/ui_imports.h"
#include "ui/ui_input.h"
#include "ui/ui_pages.h"
#include "ui/ui_system.h"
#include "ui/ui_variables.h"
#include "ui/widget_kinds.h"
#include "input/input_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

using test_support::fatalReasonOf;

// 1920 x 1080 pixels: "FULL" is 1080 units high, one pixel a unit.
constexpr f32 W = 1920.0f;
constexpr f32 H = 1080.0f;

std::vector<std::string> g_seen;

void record(ClWidget* widget, const char* what) { g_seen.push_back(std::string(what) + " " + widget->name()); }

class UiFramework : public test_support::FatalThrowingTest {
protected:
    void SetUp() override {
        FatalThrowingTest::SetUp();
        g_seen.clear();
        createCanvases(W, H);
        initInput(0, 38);
        std::fill(std::begin(g_aRawPadRecords[0]), std::end(g_aRawPadRecords[0]), 0.0f);
        initUi();
        g_UiFlags.inputEnabled = 1;
        static constexpr SUiCallbackEntry SEEN[] = {
            {"seeClick", [](ClWidget* w) { record(w, "click"); }},
            {"seeBack", [](ClWidget* w) { record(w, "back"); }},
            {"seeShown", [](ClWidget* w) { record(w, "shown"); }},
            {"seeHidden", [](ClWidget* w) { record(w, "hidden"); }},
            {"seeSwitch", [](ClWidget* w) { record(w, std::string("switch:").append(shownChildName(w->name())).c_str()); }},
            {"seeFocus", [](ClWidget* w) { record(w, "focus"); }},
            {"seeSelect", [](ClWidget* w) { record(w, ("select " + std::to_string(w->getInt("selectedIndex"))).c_str()); }},
        };
        const SUiImports imports{SEEN};
        setUiImports(&imports);
    }
    void TearDown() override {
        setUiImports(nullptr);
        shutdownUi();
        shutdownInput();
        releaseCanvases();
        FatalThrowingTest::TearDown();
    }

    // "ZUnO_UI2": TopLevelSwitcher with "TitleMenu" (two buttons and a disabled one) and
    // "SongList" (a list of four rows, three shown, the third disabled), laid out once.
    void buildPages() {
        ClWidget* root = createLayoutPage("ZUnO_UI2", "FULL");
        ClWidget_Switcher* top = createSwitcher("TopLevelSwitcher", root);
        top->setEvent("onSwitch", "seeSwitch");
        ClWidget* title = createWidget("TitleMenu", top);
        title->setEvent("onBecomeVisible", "seeShown");
        title->setEvent("onBecomeInvisible", "seeHidden");
        title->setEvent("onBack", "seeBack");
        m_play = createButton("PlayButton", title, {100, 100, 400, 100}, u"Play", "seeClick");
        m_play->setEvent("onFocus", "seeFocus");
        m_songs = createButton("SongsButton", title, {100, 300, 400, 100}, u"Songs", nullptr);
        m_songs->setText("nextScreenID", "SongList");
        createButton("OffButton", title, {100, 500, 400, 100}, u"Off", "seeClick")->setInt("disabled", 1);
        ClWidget* songs = createWidget("SongList", top);
        songs->setEvent("onBecomeVisible", "seeShown");
        m_list = createList("Songs", songs, {600, 100, 800, 300});
        m_list->setRowHeight(100);
        m_list->setEvent("onSelect", "seeSelect");
        for (const char16_t* t : {u"one", u"two", u"three", u"four"}) m_list->addItem(t, t[0] != u't' || t[1] != u'h');
        finishUiPageLoad();
        switchWidgetByName("TopLevelSwitcher", "TitleMenu");
        renderUiPages();
    }

    // One frame of the interface with the channel values given (previous frame's as before).
    void frame(const std::vector<std::pair<int, f32>>& channels = {}) {
        g_uInputFlipIndex ^= 1;
        for (int c = 0; c < 38; ++c) getPlayerChannel(0, c)->value[g_uInputFlipIndex] = 0.0f;
        for (auto [channel, value] : channels) getPlayerChannel(0, channel)->value[g_uInputFlipIndex] = value;
        updateUiInput();
        renderUiPages();
    }
    void pointAt(f32 x, f32 y) {
        g_aRawPadRecords[0][E_RAW_POINTER_PRESENT] = 1.0f;
        g_aRawPadRecords[0][E_RAW_POINTER_X] = x / W;
        g_aRawPadRecords[0][E_RAW_POINTER_Y] = y / H;
    }
    // A click, with the pointer moved to (x, y) first when they are given.
    void click(f32 x = -1.0f, f32 y = -1.0f) {
        if (x >= 0.0f) pointAt(x, y);
        frame({{UI_CHANNEL_CLICK, 1.0f}});
        frame();
    }

    ClWidget_Button* m_play = nullptr;
    ClWidget_Button* m_songs = nullptr;
    ClWidget_List* m_list = nullptr;
};

TEST_F(UiFramework, SwitchingShowsOneChildFiresItsEventsSettlesAfterTheFadeAndMakesMissingTargets) {
    buildPages();
    EXPECT_EQ(g_seen, std::vector<std::string>({"shown TitleMenu", "switch:TitleMenu TopLevelSwitcher"}));
    g_seen.clear();
    switchWidgetByName("toplevelswitcher", "SongList");
    switchWidgetByName("TopLevelSwitcher", "SongList");
    EXPECT_EQ(g_seen, std::vector<std::string>({"hidden TitleMenu", "shown SongList", "switch:SongList TopLevelSwitcher"}));

    // Pages are not widgets; switchers below no page settle the same.
    const auto settledAfter = [](f32 seconds, const char* name) {
        setClockDelta(GAME_CLOCK_SYSTEM, seconds);
        return isWidgetSettledByName(name);
    };
    EXPECT_TRUE(isWidgetSettledByName("ZUnO_UI2"));
    EXPECT_FALSE(isWidgetSettledByName("TopLevelSwitcher"));
    EXPECT_FALSE(settledAfter(0.1f, "TopLevelSwitcher"));
    EXPECT_TRUE(settledAfter(0.1f, "TopLevelSwitcher"));
    switchWidgetByName("Tutorial", "HideTutorial");
    EXPECT_FALSE(isWidgetSettledByName("Tutorial"));
    EXPECT_TRUE(settledAfter(0.2f, "Tutorial"));

    // Missing switchers and targets are made; wrong ones stop the program.
    EXPECT_STREQ(shownChildName("Tutorial"), "HideTutorial");
    switchWidgetByName("TopLevelSwitcher", "MenuAreYouSureYouWantToQuit");
    EXPECT_EQ(findWidgetByName("MenuAreYouSureYouWantToQuit")->parent(), findWidgetByName("TopLevelSwitcher"));

    EXPECT_EQ(fatalReasonOf([] { switchWidgetByName("TitleMenu", "PlayButton"); }),
              "switchWidgetByName: \"TitleMenu\" is not a switcher");
    EXPECT_EQ(fatalReasonOf([] { switchWidgetByName("Tutorial", "PlayButton"); }),
              "switcher \"Tutorial\" cannot show \"PlayButton\": it is not its child");
}

TEST_F(UiFramework, ThePointerFocusesTheLastRegionUnderItAndAClickRunsTheButtonsCallback) {
    buildPages();
    // The disabled button has no region; the hidden list neither.
    ASSERT_EQ(uiHitRegionCount(), 2u);
    EXPECT_EQ(uiHitRegion(0).rect.left, 100.0f);
    EXPECT_EQ(uiHitRegion(1).rect.top, 300.0f);

    click(300, 150);
    EXPECT_EQ(uiFocus(), static_cast<ClWidget*>(m_play));
    EXPECT_EQ(std::vector<std::string>(g_seen.end() - 2, g_seen.end()), std::vector<std::string>({"focus PlayButton", "click PlayButton"}));

    // The back input passes up to the page; over empty space nothing is focused.
    frame({{16, 1.0f}});
    EXPECT_EQ(g_seen.back(), "back TitleMenu");
    pointAt(300, 560);
    frame();
    EXPECT_EQ(uiFocus(), nullptr);
    const size_t before = g_seen.size();
    click();
    EXPECT_EQ(g_seen.size(), before);

    // A button with a next screen switches the top level; the pointer left standing still
    // focuses nothing on the new page until it moves.
    click(300, 350);
    EXPECT_EQ(std::string(shownChildName("TopLevelSwitcher")), "SongList");
    EXPECT_EQ(uiFocus(), nullptr);

    // Where two regions overlap, the pointer takes the one drawn over the other: the one added last.
    clearUiHitRegions();
    addUiHitRegion(m_play, 0, {0, 400, 0, 400});
    addUiHitRegion(m_songs, 0, {200, 600, 200, 600});
    ASSERT_NE(findUiHitRegionAt(300, 300), nullptr);
    EXPECT_EQ(findUiHitRegionAt(300, 300)->widget, static_cast<ClWidget*>(m_songs));
    ASSERT_NE(findUiHitRegionAt(100, 100), nullptr);
    EXPECT_EQ(findUiHitRegionAt(100, 100)->widget, static_cast<ClWidget*>(m_play));
}

TEST_F(UiFramework, ListRowsAreRegionsAtTheRowsShownAndOnlyEnabledRowsCanBeSelected) {
    buildPages();
    switchWidgetByName("TopLevelSwitcher", "SongList");
    renderUiPages();
    ASSERT_EQ(uiHitRegionCount(), 3u);
    EXPECT_EQ(uiHitRegion(2).rect.top, 300.0f);

    click(700, 250);  // the second row
    EXPECT_EQ(g_seen.back(), "select 1 Songs");
    click(700, 350);  // "three" is disabled
    EXPECT_EQ(g_seen.back(), "select 1 Songs");
    EXPECT_EQ(m_list->selectedIndex(), 1);

    // Down from the last shown row scrolls; the wheel scrolls back.
    frame({{10, 1.0f}});
    click();
    EXPECT_EQ(g_seen.back(), "select 3 Songs");
    frame({{UI_CHANNEL_WHEEL_UP, 1.0f}});
    click(700, 150);
    EXPECT_EQ(g_seen.back(), "select 0 Songs");

    // Scrolled by the wheel, the list is hit at the rows it shows: the first shown row is the
    // second song, the last the fourth. The highlight stays under the still pointer, on the song
    // now there (the third), so up from it reaches the second.
    pointAt(700, 250);
    frame({{UI_CHANNEL_WHEEL_DOWN, 1.0f}});
    frame();
    frame({{9, 1.0f}});
    click();
    EXPECT_EQ(g_seen.back(), "select 1 Songs");
    click(700, 350);
    EXPECT_EQ(g_seen.back(), "select 3 Songs");
    click(700, 150);
    EXPECT_EQ(g_seen.back(), "select 1 Songs");
}

TEST_F(UiFramework, UpAndDownMoveTheFocusAlongTheRegionsWithoutAPointer) {
    buildPages();
    // Down, down, down (wrapping round), up; then up while the input is disabled reads nothing.
    std::vector<ClWidget*> focus;
    for (int channel : {10, 10, 10, 9, -9}) {
        g_UiFlags.inputEnabled = channel > 0;
        frame();
        frame({{std::abs(channel), 1.0f}});
        focus.push_back(uiFocus());
    }
    EXPECT_EQ(focus, (std::vector<ClWidget*>{m_play, m_songs, m_play, m_songs, m_songs}));
}

TEST_F(UiFramework, EventsNameRegisteredCallbacks) {
    ClWidget* orphan = createWidget("Orphan");
    orphan->setEvent("onClick", "nobodysCallback");
    EXPECT_FALSE(orphan->fireEvent("onClick"));
    EXPECT_EQ(fatalReasonOf([] { finishUiPageLoad(); }),
              "widget \"Orphan\" names the callback \"nobodysCallback\", which nobody registered");
    orphan->setEvent("onClick", nullptr);
    finishUiPageLoad();

    // The imported table is found by name in any letter case; a name twice in it, or one of
    // ui's own, stops the program; ui's own stay without a table.
    static int g_tableClicks = 0;
    const SUiCallbackEntry table[] = {{"systemFromTheTable", [](ClWidget*) { ++g_tableClicks; }}};
    const SUiImports imports{table};
    setUiImports(&imports);
    orphan->setEvent("onClick", "SYSTEMFROMTHETABLE");
    EXPECT_TRUE(orphan->fireEvent("onClick"));
    EXPECT_EQ(g_tableClicks, 1);
    const SUiCallbackEntry twice[] = {{"systemTwice", table[0].callback}, {"systemTwice", table[0].callback}};
    const SUiImports doubled{twice};
    EXPECT_EQ(fatalReasonOf([&] { setUiImports(&doubled); }), "setUiImports: \"systemTwice\" is in the callback table twice");
    const SUiCallbackEntry own[] = {{"systemAllowQuit", table[0].callback}};
    const SUiImports ownAgain{own};
    EXPECT_EQ(fatalReasonOf([&] { setUiImports(&ownAgain); }), "setUiImports: \"systemAllowQuit\" is in the callback table twice");
    setUiImports(nullptr);
    orphan->setEvent("onClick", "systemAllowQuit");
    EXPECT_TRUE(orphan->fireEvent("onClick"));
    orphan->setEvent("onClick", nullptr);

    createLayoutPage("Tutorial", "43CORE");
    EXPECT_EQ(fatalReasonOf([] { createLayoutPage("TUTORIAL", "FULL"); }), "layout page \"TUTORIAL\" is loaded already");
    EXPECT_EQ(fatalReasonOf([orphan] { createWidget("Child", orphan); createWidget("Other")->addChild(findWidgetByName("Child")); }),
              "widget \"Child\" cannot go below \"Other\": it is below \"Orphan\" already");
}

TEST_F(UiFramework, TheWindowMayCloseOnceQuitIsAllowedAndGoToActionIsReportedBelow) {
    const s32 vetoed = uiQuitVetoed(), goToBefore = uiGoToActionRequested();
    systemAllowQuit();
    setUiVariable(UIVAR_GO_TO_ACTION, 1);
    EXPECT_EQ(vetoed, 1);
    EXPECT_EQ(uiQuitVetoed(), 0);
    EXPECT_EQ(goToBefore, 0);
    EXPECT_EQ(uiGoToActionRequested(), 1);

    shutdownUi();
    EXPECT_FALSE(uiExists());
    EXPECT_EQ(uiVariable(UIVAR_GO_TO_ACTION), 0);
    initUi();
}

}  // namespace
