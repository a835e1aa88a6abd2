// The window procedure's answers to the window's messages: the close veto, pausing on focus loss,
// and the pointer position the window's mouse handling keeps.
#include "core/config.h"
#include "platform/window/window.h"
#include "platform/window/window_internal.h"
#include "render/message_pump.h"
#include "render/render_imports.h"
#include "render/window_events.h"

#include <gtest/gtest.h>
#include "tests/support/package_test.h"

#include <stdlib.h>

#include <string>
#include <utility>

namespace {

int g_gamesPaused = 0;
s32 g_actionRunning = 0;

class WindowEvents : public ::testing::Test {
protected:
    void SetUp() override {
        configClear();
        windowClearMessages();
        setCursorHidden(false);
        onMouseLeave();
        setRenderImports(nullptr);
        g_gamesPaused = g_actionRunning = 0;
    }
    void TearDown() override {
        setRenderImports(nullptr);
        windowClearMessages();
        configClear();
    }

    static std::pair<f32, f32> pointer() {
        f32 x = 0, y = 0;
        windowPointerPosition(&x, &y);
        return {x, y};
    }

    // Passes the pump until it ends the loop or ten passes went by; true when it ended.
    static bool loopEnds() {
        // Without a frame routine in the render imports each pass without a message goes on.
        for (int pass = 0; pass < 10; ++pass)
            if (pumpMessages() == 0) return true;
        return false;
    }
};

TEST_F(WindowEvents, ClosingIsVetoedOnlyWhileTheUiSaysSoAndTheQuitMessageIsNot) {
    mainWindowProc(E_WM_CLOSE, 0, 0);
    EXPECT_TRUE(loopEnds()) << "no UI, no veto";

    SRenderImports hooks;
    hooks.isQuitVetoed = [] { return s32(1); };
    setRenderImports(&hooks);
    mainWindowProc(E_WM_CLOSE, 0, 0);
    EXPECT_FALSE(loopEnds());
    postQuitMessage();
    EXPECT_TRUE(loopEnds()) << "the quit message is not subject to the veto";
}

TEST_F(WindowEvents, LosingTheFocusPausesTheGameOnlyInPlayOrOnTheWayIntoIt) {
    static s32 g_uiUp;
    g_uiUp = 1;
    SRenderImports hooks;
    hooks.uiExists = [] { return g_uiUp; };
    hooks.goToActionRequested = [] { return s32(0); };
    hooks.actionModeRunning = [] { return g_actionRunning; };
    hooks.pauseActionGame = [] { ++g_gamesPaused; };
    setRenderImports(&hooks);

    mainWindowProc(E_WM_ACTIVATE, 1, 0);
    mainWindowProc(E_WM_ACTIVATE, 0, 0);
    // In the menus nothing is paused.
    EXPECT_EQ(g_gamesPaused, 0);
    g_actionRunning = 1;
    mainWindowProc(E_WM_ACTIVATE, 0, 0);
    EXPECT_EQ(g_gamesPaused, 1);
    // Without the UI nothing is paused.
    g_uiUp = 0;
    mainWindowProc(E_WM_ACTIVATE, 0, 0);
    EXPECT_EQ(g_gamesPaused, 1);
}

TEST_F(WindowEvents, ThePointerIsOutsideWhileTheSystemCursorShowsUnlessTheGameHidesIt) {
    const s64 at_10_20 = 10 | (20 << 16);
    mainWindowProc(E_WM_MOUSEMOVE, 0, at_10_20);
    EXPECT_EQ(pointer().first, -1000.0f);
    EXPECT_EQ(pointer().second, -1000.0f);

    configSetValue("TOGGLE_MOUSE_CURSOR", "1");
    mainWindowProc(E_WM_MOUSEMOVE, 0, at_10_20);
    EXPECT_EQ(pointer().first, 10.0f);
    EXPECT_EQ(pointer().second, 20.0f);
    EXPECT_TRUE(cursorHidden());
    mainWindowProc(E_WM_MOUSEMOVE, 0, u16(-5) | (7 << 16));
    EXPECT_EQ(pointer().first, -5.0f) << "coordinates are signed 16-bit";
    EXPECT_EQ(pointer().second, 7.0f) << "coordinates are signed 16-bit";
    mainWindowProc(E_WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(pointer().first, -1000.0f);
    EXPECT_FALSE(cursorHidden());
}

// A localised title of 300 characters is cut to 255 on the window.
using WindowTitle = test_support::StringTableTest;

TEST_F(WindowTitle, ALongTitleIsCutTo255Characters) {
    std::u16string text;
    std::string shown;
    for (int i = 0; i < 300; ++i) text += char16_t(u'A' + i % 26);
    for (int i = 0; i < 255; ++i) shown += char('A' + i % 26);
    mountAndLoadAll({{"WINDOW_TITLE", text}});

    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    ASSERT_TRUE(windowCreate("", 0, 0, 64, 64, false));
    setWindowTitle();
    const std::string title = SDL_GetWindowTitle(windowSdlHandle());
    windowDestroy();
    EXPECT_EQ(title, shown);
}

}  // namespace
