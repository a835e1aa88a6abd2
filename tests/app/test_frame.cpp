// The frame step, the frame tick's order and the switch between the game modes.
#include "core/config.h"
#include "app/frame.h"
#include "core/game_clock.h"
#include "app/game_mode.h"
#include "input/input_mapper.h"
#include "render/state_stacks.h"
#include "render/view_slots.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::string> g_calls;

class ClRecordingMode : public ClGameMode {
public:
    explicit ClRecordingMode(std::string name) : m_name(std::move(name)) {}
    s32 enter(s32 previousModeId) override {
        g_calls.push_back(m_name + ".enter(" + std::to_string(previousModeId) + ")");
        return m_enterResult;
    }
    s32 update(f32 dt) override {
        m_lastDt = dt;
        g_calls.push_back(m_name + ".update");
        if (m_setQuitInUpdate) g_iQuitGame = 1;
        return m_finishNext;
    }
    s32 exit() override {
        g_calls.push_back(m_name + ".exit");
        return 1;
    }

    std::string m_name;
    s32 m_enterResult = 1;
    s32 m_finishNext = 0;
    bool m_setQuitInUpdate = false;
    f32 m_lastDt = -1.0f;
};

class FrameTick : public ::testing::Test {
protected:
    void SetUp() override {
        configClear();
        g_FrameTickServices = {
            [] { g_calls.push_back("songScanTick"); },
            [] { g_calls.push_back("taskLayerDispatch"); },
            [] { g_calls.push_back("logManagerWake"); },
            [] { g_calls.push_back("pumpFileCompletions"); },
            []() -> s32 { return g_calls.push_back("updateInput"), 1; },
            [](f32) { g_calls.push_back("updateAudioEngine"); },
            [] { g_calls.push_back("updateAmbientLighting"); },
            [] { g_calls.push_back("medalQueueTick"); },
            [] { g_calls.push_back("leaderboardTick"); },
        };
        m_savedModes[1] = std::exchange(g_apGameModes[1], &m_frontEnd);
        m_savedModes[2] = std::exchange(g_apGameModes[2], &m_action);
        g_iQuitGame = 0;
        setInputSettleFrames(0);
        switchGameMode(0);
        g_calls.clear();
        frameTimerInit();
        resetFirstFrame();
    }
    void TearDown() override {
        g_FrameTickServices = kDefaultFrameTickServices;
        g_apGameModes[1] = m_savedModes[1];
        g_apGameModes[2] = m_savedModes[2];
        g_pCurrentGameMode = g_apGameModes[1];
        g_iQuitGame = 0;
        configClear();
    }

    ClRecordingMode m_frontEnd{"frontEnd"};
    ClRecordingMode m_action{"action"};
    ClGameMode* m_savedModes[3] = {};
};

// The services run in their order, then the mode; a finished mode is exited and the other entered
// in the same tick unless quit is set; the settle frames count down to zero and no further.
TEST_F(FrameTick, RunsTheServicesInTheirOrderThenTheModeAndSwitchesAFinishedOneUnlessQuitIsSet) {
    setInputSettleFrames(1);
    m_frontEnd.m_finishNext = 1;
    EXPECT_EQ(gameFrameTick(0.01f), 1);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"songScanTick", "taskLayerDispatch", "logManagerWake",
                                                 "pumpFileCompletions", "updateInput", "updateAudioEngine",
                                                 "updateAmbientLighting", "medalQueueTick", "leaderboardTick",
                                                 "frontEnd.update", "frontEnd.exit", "action.enter(1)"}));
    EXPECT_EQ(g_iPreviousGameModeId, 1);
    EXPECT_EQ(g_iNextGameModeId, 1);
    EXPECT_EQ(g_pCurrentGameMode, &m_action);

    // A failed enter still makes the mode current; it finishes on its first update.
    m_action.m_enterResult = 0;
    m_action.m_finishNext = 1;
    g_calls.clear();
    EXPECT_EQ(gameFrameTick(0.01f), 1);
    EXPECT_EQ(g_calls.back(), "frontEnd.enter(2)");
    EXPECT_EQ(g_pCurrentGameMode, &m_frontEnd);
    EXPECT_EQ(inputSettleFrames(), 0) << "never below zero";

    // The front end, still finishing, sets quit: it is neither exited nor switched.
    m_frontEnd.m_setQuitInUpdate = true;
    EXPECT_EQ(runFrame(), 0);
    EXPECT_EQ(g_calls.back(), "frontEnd.update");
    EXPECT_EQ(g_pCurrentGameMode, &m_frontEnd);
}

TEST_F(FrameTick, TheFirstFrameGetsSixteenMillisecondsThenTheMeasuredStepAndAnUnknownModeIsTheFrontEnd) {
    EXPECT_EQ(runFrame(), 1);
    EXPECT_EQ(m_frontEnd.m_lastDt, 0.016f);
    EXPECT_EQ(runFrame(), 1);
    EXPECT_NE(m_frontEnd.m_lastDt, 0.016f);
    EXPECT_LT(m_frontEnd.m_lastDt, 1.0f) << "the second step counted from the start of time";

    // A fixed step written without a decimal point replaces every step, the first included.
    resetFirstFrame();
    configSetValue("Fixed_DT", "1");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(runFrame(), 1);
        EXPECT_EQ(m_frontEnd.m_lastDt, 1.0f);
    }

    // An unknown id enters the front end.
    g_iCurrentGameModeId = 2;
    EXPECT_EQ(switchGameMode(7), 1);
    EXPECT_EQ(g_iPreviousGameModeId, 0);
    EXPECT_EQ(g_iNextGameModeId, 2);
    EXPECT_EQ(g_calls.back(), "frontEnd.enter(0)");
}

// ---------------------------------------------------------------------------------------------

class ClCountingMapper : public ClInputMapperBase {
public:
    void mapInputs(int slot) override { slots.push_back(slot); }
    std::vector<int> slots;
};

TEST(ModeClocks, GameplayStepIsClampedScaledAndStoppedWhilePausedAndTheTopMappersRun) {
    g_TimeScaleStack.count = 0;
    g_IntStateStack.count = 0;
    pushDefaultStateStacks();
    resetViewSlots();
    for (SGameClock& clock : g_aGameClocks) clock = {};

    updateModeClocksAndMappers(nullptr, 0.05f, 0);
    EXPECT_EQ(frameTime(), 0.05f);

    updateModeClocksAndMappers(nullptr, 2.0f, 0);
    // Clock 0 takes the raw step.
    EXPECT_EQ(g_aGameClocks[0].frameTime, 2.0f);
    EXPECT_EQ(g_aGameClocks[1].frameTime, 0.15f);

    updateModeClocksAndMappers(nullptr, -0.1f, 0);
    EXPECT_EQ(g_aGameClocks[1].frameTime, 0.0f);

    updateModeClocksAndMappers(nullptr, 0.05f, 1);
    EXPECT_EQ(g_aGameClocks[1].frameTime, 0.0f);
    EXPECT_DOUBLE_EQ(g_aGameClocks[1].totalTime, double(0.05f) + double(0.15f));

    g_TimeScaleStack.push(2.0f);
    updateModeClocksAndMappers(nullptr, 1.0f, 0);
    EXPECT_EQ(g_aGameClocks[1].frameTime, 0.3f);

    // The top mapper of every slot that has one runs.
    ClCountingMapper below;
    ClCountingMapper top;
    pushPlayerInputMapper(0, &below);
    pushPlayerInputMapper(0, &top);
    pushPlayerInputMapper(2, &top);
    updateModeClocksAndMappers(nullptr, 0.01f, 0);
    EXPECT_TRUE(below.slots.empty());
    EXPECT_EQ(top.slots, (std::vector<int>{0, 2}));
    resetViewSlots();
}

}  // namespace
