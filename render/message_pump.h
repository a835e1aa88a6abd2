// The main loop's pass: one window message, or one frame when none is waiting; and the window
// procedure those messages go to.
//
// SIGINT and SIGTERM (once the termination handler is installed) become the quit message, which
// no close veto stops. The window's first activation arrives as messages when it is shown.
#pragma once

#include "core/types.h"

// Marks the window created by createMainWindowAndDevice: the settings the pump keeps are read.
void mainWindowCreated();

// Handles at most one message. 0 when the message taken is the quit message. With no message
// waiting: before the first activation sleeps 1 ms (alertable) and returns 1; afterwards tests the
// device's cooperative level (when it exists and is not lost), runs one frame (the render imports'
// runFrame) and returns what it returns, or 1 without a frame routine.
s32 pumpMessages();

// The window procedure. Returns 0 for every message it handles.
s64 mainWindowProc(u32 message, u64 wParam, s64 lParam);

// Posts the quit message; the next pass that takes it ends the loop.
void postQuitMessage();

// With MOUSE_EXCLUSIVE set (read once when the window is created) and a windowed display, keeps
// the pointer at the centre of the window while it has the focus.
void keepCursorCentred();

// Closes the window and forgets every waiting message (end of a run, and tests).
void destroyMainWindow();
