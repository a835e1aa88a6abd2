// The main loop's pass: activation, quit and termination requests.
#include "core/config.h"
#include "platform/os/os.h"
#include "platform/window/window.h"
#include "platform/window/window_internal.h"
#include "render/message_pump.h"
#include "render/render_imports.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <vector>

namespace {

int g_iFramesRun = 0;

s32 countFrame() {
    ++g_iFramesRun;
    return 1;
}

class MessagePump : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        g_iFramesRun = 0;
        configClear();
        destroyMainWindow();
        osClearTerminationRequest();
        SRenderImports imports;
        imports.runFrame = countFrame;
        setRenderImports(&imports);
    }
    void TearDown() override {
        destroyMainWindow();
        setRenderImports(nullptr);
    }
};

TEST_F(MessagePump, NoFrameRunsBeforeTheWindowIsActivated) {
    for (int pass = 0; pass < 3; ++pass) EXPECT_EQ(pumpMessages(), 1);
    EXPECT_EQ(g_iFramesRun, 0);

    // Opened and shown, the window's waiting messages (the activation among them) are taken and
    // the first frame runs; that frame is not counted.
    ASSERT_TRUE(windowCreate("", 0, 0, 640, 360, false));
    mainWindowCreated();
    windowShow();
    for (int pass = 0; pass < 100 && g_iFramesRun == 0; ++pass) ASSERT_EQ(pumpMessages(), 1);
    ASSERT_EQ(g_iFramesRun, 1);
    g_iFramesRun = 0;
    EXPECT_EQ(pumpMessages(), 1);
    EXPECT_EQ(pumpMessages(), 1);
    EXPECT_EQ(g_iFramesRun, 2);
}

TEST_F(MessagePump, ARestoredOrMaximisedWindowIsShownAgainWithoutAnActivation) {
    ASSERT_TRUE(windowCreate("", 0, 0, 64, 64, false));
    mainWindowCreated();
    const auto shownAfter = [](u64 size) {
        mainWindowProc(E_WM_SIZE, size, 0);
        return (SDL_GetWindowFlags(windowSdlHandle()) & SDL_WINDOW_SHOWN) != 0;
    };
    const bool minimised = shownAfter(E_SIZE_MINIMIZED), restored = shownAfter(E_SIZE_RESTORED);
    windowDestroy();
    ASSERT_TRUE(windowCreate("", 0, 0, 64, 64, false));
    EXPECT_FALSE(minimised);
    EXPECT_TRUE(restored);
    EXPECT_TRUE(shownAfter(E_SIZE_MAXIMIZED));
    for (int pass = 0; pass < 20; ++pass) ASSERT_EQ(pumpMessages(), 1);
    // Only the first show is an activation.
    EXPECT_EQ(g_iFramesRun, 0);
}

}  // namespace
