// The main loop's pass: activation, quit and termination requests.
#include "core/config.h"
#include "platform/os/os.h"
#include "platform/window/window.h"
#include "render/message_pump.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

namespace {

int g_iFramesRun = 0;
int g_iQuitAfterFrame = 0;  // the frame routine asks to quit once this many frames ran
bool g_bFrameBeforeActivation = false;

s32 countFrame() {
    ++g_iFramesRun;
    if (!mainWindowWasActivated()) g_bFrameBeforeActivation = true;
    return g_iQuitAfterFrame != 0 && g_iFramesRun >= g_iQuitAfterFrame ? 0 : 1;
}

// Opens the window and passes until its waiting messages (the activation among them) are taken
// and the first frame has run; that frame is not counted.
void openActivatedWindow() {
    createMainWindow();
    for (int pass = 0; pass < 100 && g_iFramesRun == 0; ++pass) ASSERT_EQ(pumpMessages(countFrame), 1);
    ASSERT_EQ(g_iFramesRun, 1);
    g_iFramesRun = 0;
}

class MessagePump : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        g_iFramesRun = 0;
        g_bFrameBeforeActivation = false;
        configClear();
        g_iQuitAfterFrame = 0;
        destroyMainWindow();
        osClearTerminationRequest();
    }
    void TearDown() override { destroyMainWindow(); }
};

TEST_F(MessagePump, NoFrameRunsBeforeTheWindowIsActivated) {
    for (int pass = 0; pass < 3; ++pass) EXPECT_EQ(pumpMessages(countFrame), 1);
    EXPECT_EQ(g_iFramesRun, 0);

    openActivatedWindow();
    EXPECT_FALSE(g_bFrameBeforeActivation);
    EXPECT_TRUE(mainWindowWasActivated());
    EXPECT_EQ(pumpMessages(countFrame), 1);
    EXPECT_EQ(pumpMessages(countFrame), 1);
    EXPECT_EQ(g_iFramesRun, 2);
}

TEST_F(MessagePump, TheQuitMessageEndsTheLoopWithoutAFrame) {
    openActivatedWindow();
    postQuitMessage();
    EXPECT_EQ(pumpMessages(countFrame), 0);
    EXPECT_EQ(g_iFramesRun, 0);
}

TEST_F(MessagePump, TerminationSignalsBecomeTheQuitMessage) {
    osInstallTerminationHandler();
    openActivatedWindow();
    raise(SIGTERM);
    EXPECT_EQ(pumpMessages(countFrame), 0);
    EXPECT_EQ(pumpMessages(countFrame), 1) << "one signal, one quit";
}

TEST_F(MessagePump, AFrameThatSetsQuitEndsTheLoop) {
    openActivatedWindow();
    g_iQuitAfterFrame = 1;
    EXPECT_EQ(pumpMessages(countFrame), 0);
}

TEST_F(MessagePump, ARestoredOrMaximisedWindowIsShownAgainWithoutAnActivation) {
    ASSERT_TRUE(windowCreate("", 0, 0, 64, 64, false));
    mainWindowCreated();
    mainWindowProc(E_WM_SIZE, E_SIZE_MINIMIZED, 0);
    EXPECT_FALSE(windowIsShown());
    mainWindowProc(E_WM_SIZE, E_SIZE_RESTORED, 0);
    EXPECT_TRUE(windowIsShown());
    windowDestroy();
    ASSERT_TRUE(windowCreate("", 0, 0, 64, 64, false));
    mainWindowProc(E_WM_SIZE, E_SIZE_MAXIMIZED, 0);
    EXPECT_TRUE(windowIsShown());
    for (int pass = 0; pass < 20; ++pass) ASSERT_EQ(pumpMessages(countFrame), 1);
    EXPECT_FALSE(mainWindowWasActivated()) << "only the first show is an activation";
    EXPECT_EQ(g_iFramesRun, 0);
}

}  // namespace
