// The main loop's pass: activation, quit and termination requests.
#include "core/config.h"
#include "core/frame.h"
#include "core/game_mode.h"
#include "platform/os/os.h"
#include "render/message_pump.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace {

int g_iFramesRun = 0;

class ClCountingMode : public ClGameMode {
public:
    s32 enter(s32) override { return 1; }
    s32 update(f32) override {
        ++g_iFramesRun;
        return 0;
    }
    s32 exit() override { return 1; }
};

class MessagePump : public ::testing::Test {
protected:
    void SetUp() override {
        g_iFramesRun = 0;
        configClear();
        m_saved = g_pCurrentGameMode;
        g_pCurrentGameMode = &m_mode;
        g_iQuitGame = 0;
        destroyMainWindow();
        osClearTerminationRequest();
    }
    void TearDown() override {
        g_pCurrentGameMode = m_saved;
        destroyMainWindow();
    }
    ClCountingMode m_mode;
    ClGameMode* m_saved = nullptr;
};

TEST_F(MessagePump, NoFrameRunsBeforeTheWindowIsActivated) {
    for (int pass = 0; pass < 3; ++pass) EXPECT_EQ(pumpMessages(), 1);
    EXPECT_EQ(g_iFramesRun, 0);

    createMainWindow();
    EXPECT_EQ(pumpMessages(), 1) << "the activation message";
    EXPECT_EQ(g_iFramesRun, 0);
    EXPECT_TRUE(mainWindowWasActivated());
    EXPECT_EQ(pumpMessages(), 1);
    EXPECT_EQ(pumpMessages(), 1);
    EXPECT_EQ(g_iFramesRun, 2);
}

TEST_F(MessagePump, TheQuitMessageEndsTheLoopWithoutAFrame) {
    createMainWindow();
    pumpMessages();
    postQuitMessage();
    EXPECT_EQ(pumpMessages(), 0);
    EXPECT_EQ(g_iFramesRun, 0);
    EXPECT_EQ(g_iQuitGame, 0) << "the quit message leaves the quit flag alone";
}

TEST_F(MessagePump, TerminationSignalsBecomeTheQuitMessage) {
    osInstallTerminationHandler();
    createMainWindow();
    pumpMessages();
    raise(SIGTERM);
    EXPECT_EQ(pumpMessages(), 0);
    EXPECT_EQ(pumpMessages(), 1) << "one signal, one quit";
}

TEST_F(MessagePump, AFrameThatSetsQuitEndsTheLoop) {
    createMainWindow();
    pumpMessages();
    g_iQuitGame = 1;
    EXPECT_EQ(pumpMessages(), 0);
}

}  // namespace
