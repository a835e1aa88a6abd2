// The interface's focus and its per-frame input: the pointer focuses the widget whose hit region
// it moves onto, and the menu channels of each player send their events to the focused widget.
// Main thread only.
#pragma once

#include "core/types.h"

class ClWidget;

// Menu channels: 9 up, 10 down, 11 left, 12 right, 13 click (its release "onUnClick"), 14 and
// 15 the alternative clicks, 16 back, 17 start; 18 and 19 wheel up and down.
constexpr int UI_CHANNEL_FIRST = 9;
constexpr int UI_CHANNEL_CLICK = 13;
constexpr int UI_CHANNEL_LAST = 17;
constexpr int UI_CHANNEL_WHEEL_UP = 18;
constexpr int UI_CHANNEL_WHEEL_DOWN = 19;

// The interface flags the game modes set and read.
struct SUiFlags {
    u32 pointerDisplay = 1;             // the pointer image is drawn (the menus at start)
    u32 inputEnabled = 0;               // updateUiInput reads the input
    ClWidget* tutorialWidget = nullptr;  // the tip shown by the "Tutorial" switcher
    s32 pointerDrag[3] = {};            // scroll-area drag state: cleared when a menu opens
};
// The layers above read the flags through uiFlags() and change them only through the setters
// below.
extern SUiFlags g_UiFlags;

inline const SUiFlags& uiFlags() { return g_UiFlags; }

void setUiPointerDisplay(bool shown);
void setUiInputEnabled(bool enabled);
void setTutorialWidget(ClWidget* widget);
// A menu opens: no scroll area is being dragged.
void clearUiPointerDrag();

// Fires "onLoseFocus" on the widget that had the focus and "onFocus" on the new one (null: no
// focus). The same widget again changes nothing.
void setUiFocus(ClWidget* widget);
ClWidget* uiFocus();
// No focus, and the pointer counts as not yet seen.
void resetUiInput();

// Once a frame, while the input-enable flag is set: the focus follows the pointer when it moves
// or when another widget comes under the still pointer (a new page shown),
// then each player's menu channels send their events to the focused widget (a mouse click first
// focuses what is under the pointer, or nothing; up and down with
// nobody taking them move the focus along the hit regions), and the wheel scrolls it.
void updateUiInput();
