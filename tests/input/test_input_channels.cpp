// Control channels: edges, the input lock, the pad map and the sensitivity factor.
#include "input/input_channels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class InputChannels : public ::testing::Test {
protected:
    void SetUp() override { initInput(0, 38); }
    void TearDown() override { shutdownInput(); }

    static std::string edges(const SInputChannel* c) {
        return std::string(isChannelPressed(c) ? "pressed " : "") + (isChannelHeld(c) ? "held" : "") + (isChannelReleased(c) ? "released" : "");
    }

    // Starts a frame and gives the channel this frame's value, as a mapper would.
    void frame(SInputChannel* channel, f32 value) {
        updateInput();
        channel->value[g_uInputFlipIndex] += value;
    }
};

TEST_F(InputChannels, OnMeansAboveOneTenthEdgesFollowTheSumOfTheSourcesAndChannelsOutsideTheArraysAreRefused) {
    EXPECT_EQ(getPlayerChannel(4, 0), nullptr);
    EXPECT_EQ(getPlayerChannel(0, 38), nullptr);
    EXPECT_EQ(getPlayerChannel(-1, 0), nullptr);
    EXPECT_EQ(getDebugCameraChannel(32), nullptr);
    EXPECT_NE(getDebugCameraChannel(31), nullptr);
    EXPECT_NE(getDebugCameraChannel(0), nullptr);
    SInputChannel* fire = getPlayerChannel(1, 5);
    ASSERT_NE(fire, nullptr);
    frame(fire, 0.1f);
    EXPECT_EQ(isChannelHeld(fire), 0u);
    frame(fire, 0.1000001f);  // already down in the first frame: the previous side is zero
    EXPECT_EQ(isChannelPressed(fire), 1u);
    fire->value[g_uInputFlipIndex] += 1.0f;
    frame(fire, 1.0f);
    EXPECT_EQ(edges(fire), "held");
    frame(fire, 0.0f);
    EXPECT_EQ(edges(fire), "released");
}

}  // namespace
