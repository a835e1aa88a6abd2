// The pointer image shows only where no other pointer does: while the menus want a pointer, the
// system cursor is hidden and the pointer is inside the window.
#include "input/input_devices.h"
#include "render/window_events.h"
#include "ui/ui_input.h"
#include "ui/ui_pointer.h"
#include "input/input_records.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(UiPointer, ShowsInTheMenusWithTheSystemCursorHiddenAndStaysAwayInPlayOrWhileTheCursorShows) {
    setUiPointerImage(0, "PointerDefault");
    g_UiFlags.pointerDisplay = 1;
    setCursorHidden(true);
    f32* raw = g_aRawPadRecords[0];
    raw[E_RAW_POINTER_PRESENT] = 1.0f;
    raw[E_RAW_POINTER_X] = 0.5f;
    raw[E_RAW_POINTER_Y] = 0.25f;
    EXPECT_TRUE(uiPointerShown()) << "in the menus";
    setCursorHidden(false);
    EXPECT_FALSE(uiPointerShown()) << "two pointers";
    setCursorHidden(true);
    g_UiFlags.pointerDisplay = 0;
    EXPECT_FALSE(uiPointerShown()) << "in play";
    g_UiFlags.pointerDisplay = 1;
    raw[E_RAW_POINTER_X] = -1000.0f / 640.0f;
    EXPECT_FALSE(uiPointerShown()) << "outside";

    setUiPointerImage(0, nullptr);
    g_UiFlags = SUiFlags{};
    setCursorHidden(false);
    std::memset(g_aRawPadRecords, 0, sizeof g_aRawPadRecords);
}

}  // namespace
