// The main loop's pass: one window message, or one frame when none is waiting.
//
// There is no window yet: the window stand-in knows two messages, its activation (queued when
// it is created, as a desktop sends it when the window first gets the focus) and the quit
// message (posted by postQuitMessage, or on SIGINT and SIGTERM once the termination handler
// is installed).
#pragma once

#include "core/types.h"

// Creates the stand-in window: its activation message waits in the queue.
void createMainWindow();
bool mainWindowExists();
bool mainWindowWasActivated();

// The program's frame routine: 1 to go on, 0 to quit.
using FrameRoutine = s32 (*)();

// Handles at most one message. 0 when the message taken is the quit message. With no message
// waiting: before the first activation sleeps 1 ms (alertable) and returns 1; afterwards runs one
// frame and returns what the frame routine returns.
s32 pumpMessages(FrameRoutine runFrame);

// Posts the quit message; the next pass that takes it ends the loop.
void postQuitMessage();

// With MOUSE_EXCLUSIVE set, keeps the pointer at the window's centre; nothing while the window is
// the stand-in, which has no pointer.
void keepCursorCentred();

// Forgets the window and every waiting message (start and end of a run, and tests).
void destroyMainWindow();
