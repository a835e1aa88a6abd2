// The game's one top-level window on SDL2: its display modes, the window itself, its events turned
// into the window messages the game's window procedure handles, message boxes, the cursor, and the
// pointer position and client size that input reads.
//
// SDL's own SIGINT/SIGTERM handlers are never installed (windowInitVideo and the sound output set
// SDL_HINT_NO_SIGNAL_HANDLERS first), and SDL's quit event is never turned into the quit message:
// the program's termination handler owns those signals.
//
// All calls are made on the main thread, except windowPostMessage (any thread).
#pragma once

#include "platform/types.h"

// Initialises SDL's video subsystem once; false (with the reason on standard error) when there is
// no display to open. SDL_VIDEODRIVER chooses the driver ("offscreen" runs without a display).
bool windowInitVideo();
// Ends one windowInitVideo; the last closes the window. SDL's video itself stays up until the
// process ends.
void windowShutdownVideo();
// True on the offscreen driver, where nothing is shown and boxes go to standard error.
bool windowIsHeadless();

struct SWindowDisplayMode {
    u32 width;
    u32 height;
    u32 refreshHz;                  // 0 when the driver does not know
    u32 bitsPerPixel;               // 16 or 32
};

// The modes of the primary display. The offscreen driver offers 1920x1080 and 1280x720 at 60 Hz
// (it reports a single mode of no refresh rate otherwise). Returns the count written.
u32 windowDisplayModes(SWindowDisplayMode* out, u32 capacity);
// The desktop's size and refresh rate (0 when unknown).
void windowDesktopMode(u32* width, u32* height, u32* refreshHz);

// Creates the window (hidden until windowShow). Title in UTF-8. False when SDL refuses; the
// reason is in windowErrorText. The window carries an OpenGL 3.3 core context for the device.
bool windowCreate(const char* title, s32 x, s32 y, u32 width, u32 height, bool fullScreen);
void windowDestroy();
const char* windowErrorText();
// Shows the window. Every driver then gets the activation messages: a display without a window
// manager may never give the window the focus, so the first activation is synthesised.
void windowShow();
// Shows the window again (after a restore) without the synthesised activation.
void windowShowDefault();
void windowSetTitle(const char* utf8Title);
// Sizes the client area and places the window's top-left corner.
void windowSetClientRect(s32 x, s32 y, u32 width, u32 height);
void windowClientSize(u32* width, u32* height);
// The outer rectangle on the desktop (left, top, right, bottom).
void windowOuterRect(s32* left, s32* top, s32* right, s32* bottom);
bool windowHasFocus();

// Window messages, with the values the game's window procedure knows them by.
enum EWindowMessage : u32 {
    E_WM_DESTROY = 0x0002,
    E_WM_MOVE = 0x0003,
    E_WM_SIZE = 0x0005,             // wParam: E_SIZE_...; lParam: width | height << 16
    E_WM_ACTIVATE = 0x0006,         // wParam: 0 inactive, 1 active, 2 click-active
    E_WM_PAINT = 0x000F,
    E_WM_CLOSE = 0x0010,
    E_WM_QUIT = 0x0012,
    E_WM_ACTIVATEAPP = 0x001C,      // wParam: 1 gained, 0 lost
    E_WM_DISPLAYCHANGE = 0x007E,
    E_WM_MOUSEMOVE = 0x0200,        // lParam: x | y << 16 (signed 16-bit client coordinates)
    E_WM_ENTERMENULOOP = 0x0211,
    E_WM_EXITMENULOOP = 0x0212,
    E_WM_MOUSELEAVE = 0x02A3,
    E_WM_VIDEO_EVENT = 14033,       // the video player's notifications
};

enum EWindowSizeKind : u32 {
    E_SIZE_RESTORED = 0,
    E_SIZE_MINIMIZED = 1,
    E_SIZE_MAXIMIZED = 2,
};

struct SWindowMessage {
    u32 message;
    u64 wParam;
    s64 lParam;
};

// A source of events read with SDL's own: called at each read of SDL's events, before they are
// taken, so that what it pushes into SDL's queue (SDL_PushEvent, a virtual joystick) comes in by
// the same road as a device's events. Only the scripted-input build of the game (a test program)
// installs one; null removes it.
using FWindowEventSource = void (*)();
void windowSetEventSource(FWindowEventSource source);

// Takes the next message, reading SDL's events when none is queued. False when none waits.
bool windowPeekMessage(SWindowMessage* out);
// Queues a message behind those waiting (the quit message, the video event). Any thread.
void windowPostMessage(u32 message, u64 wParam, s64 lParam);
// Drops every waiting message.
void windowClearMessages();
// Asks for one E_WM_MOUSELEAVE when the pointer next leaves the client area. False without a window.
bool windowTrackMouseLeave();

// Message boxes with the error icon. On a real display an SDL box is shown (the video is brought
// up for it when no window was made yet); the text always goes to standard error, and headless
// that is all (nothing waits for a click).
void windowErrorBox(const char* utf8Title, const char* utf8Text);

void windowShowCursor(bool show);
// Moves the pointer to a point of the desktop (no effect while the window has no focus).
void windowWarpCursor(s32 x, s32 y);

// The pointer position the game's mouse handling keeps, in client pixels; (-1000, -1000) while
// the pointer is outside or the system cursor is shown. Read by input.
void windowSetPointerPosition(f32 x, f32 y);
void windowPointerPosition(f32* x, f32* y);
