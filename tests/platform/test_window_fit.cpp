// A window larger than the desktop's usable area shrinks to the largest of its shape that fits
// with its borders; one that fits keeps its size and only moves inside.
#include "platform/window/window_fit.h"

#include <gtest/gtest.h>

namespace {

// A 1280 x 720 screen whose window manager adds a 30-pixel title bar and 1-pixel edges.
constexpr SWindowArea SCREEN = {0, 0, 1280, 720};
constexpr SWindowBorders FRAME = {30, 1, 1, 1};

TEST(WindowFit, AWindowTooLargeShrinksUnderItsTitleBarAndOneThatFitsOnlyMovesInside) {
    const SWindowPlacement fit = windowFitToArea({0, 0, 1280, 720}, FRAME, SCREEN);
    EXPECT_EQ(fit.height, 689u);
    EXPECT_EQ(fit.width, 1224u);
    EXPECT_EQ(fit.y, 30);
    EXPECT_EQ(fit.x, 28);

    // A window that fits keeps its size and comes inside the usable area (a panel takes the
    // screen's top 24 rows).
    const SWindowPlacement moved = windowFitToArea({-10, 0, 800, 450}, FRAME, {0, 24, 1280, 696});
    EXPECT_EQ(moved.width, 800u);
    EXPECT_EQ(moved.height, 450u);
    EXPECT_EQ(moved.x, 1);
    EXPECT_EQ(moved.y, 54);

    const SWindowPlacement untouched = windowFitToArea({200, 100, 800, 450}, FRAME, SCREEN);
    EXPECT_EQ(untouched.x, 200);
    EXPECT_EQ(untouched.y, 100);
}

}  // namespace
