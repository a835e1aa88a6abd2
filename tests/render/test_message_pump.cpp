// The main loop's pass: activation, quit and termination requests.
#include "core/config.h"
#include "platform/os/os.h"
#include "render/message_pump.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace {

int g_iFramesRun = 0;
int g_iQuitAfterFrame = 0;  // the frame routine asks to quit once this many frames ran

s32 countFrame() {
    ++g_iFramesRun;
    return g_iQuitAfterFrame != 0 && g_iFramesRun >= g_iQuitAfterFrame ? 0 : 1;
}

class MessagePump : public ::testing::Test {
protected:
    void SetUp() override {
        g_iFramesRun = 0;
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

    createMainWindow();
    EXPECT_EQ(pumpMessages(countFrame), 1) << "the activation message";
    EXPECT_EQ(g_iFramesRun, 0);
    EXPECT_EQ(pumpMessages(countFrame), 1);
    EXPECT_EQ(g_iFramesRun, 1);
}

TEST_F(MessagePump, TheQuitMessageEndsTheLoopWithoutAFrameAsDoesAFrameThatQuits) {
    createMainWindow();
    pumpMessages(countFrame);
    postQuitMessage();
    EXPECT_EQ(pumpMessages(countFrame), 0);
    EXPECT_EQ(g_iFramesRun, 0);
    g_iQuitAfterFrame = 1;
    EXPECT_EQ(pumpMessages(countFrame), 0);
}

TEST_F(MessagePump, TerminationSignalsBecomeTheQuitMessage) {
    osInstallTerminationHandler();
    createMainWindow();
    pumpMessages(countFrame);
    raise(SIGTERM);
    EXPECT_EQ(pumpMessages(countFrame), 0);
    EXPECT_EQ(pumpMessages(countFrame), 1) << "one signal, one quit";
}

}  // namespace
