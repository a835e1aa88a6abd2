// What the game does when its window or device changes state: the localised title, the quit veto,
// pausing on focus loss, the pointer position and cursor for the window's own mouse handling, and
// the device-lost and device-restored notifications. All run on the main thread.
#pragma once

#include "core/types.h"

// Characters of the window title, terminator included.
constexpr u32 WINDOW_TITLE_CAPACITY = 256;

// Sets the window's text from the string key WINDOW_TITLE (at most 255 characters); a missing text
// leaves the title empty.
void setWindowTitle();

s32 isQuitVetoed();
void onWindowActivated();
void onWindowDeactivated();
void onWindowSize(u32 sizeKind);
void onWindowMove();
void onWindowPaint();
void onDisplayChange();
void onVideoGraphEvent();
void onMouseMove(s16 x, s16 y);
void onMouseLeave();
void onDeviceLost();
// False when the scene's targets cannot be made again: they are released once more and the
// device counts as lost still.
bool onDeviceRestored();

// The cursor-hidden flag (also set by full-screen window creation; the UI reads and writes it).
bool cursorHidden();
void setCursorHidden(bool hidden);
