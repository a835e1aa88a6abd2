// Frames handed over to the real render worker on the null renderer (a window under SDL's
// offscreen driver, NOGFX 1), with the per-frame lists' hand-off steps and a scene the test
// chooses. The renderer is started once per test suite.
#pragma once

#include "core/types.h"

#include <gtest/gtest.h>

#include <functional>

class NullRendererFrames : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Runs scene on the render worker as its next frame and waits for it; returns the hand-off's
    // device-ready result.
    s32 handOff(std::function<void()> scene);
};
