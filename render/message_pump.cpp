#include "render/message_pump.h"

#include "core/config.h"
#include "platform/os/os.h"
#include "platform/window/window.h"
#include "render/render_device.h"
#include "render/render_imports.h"
#include "render/window_events.h"

#include <cstdio>

namespace {

bool g_started = false;
bool g_keepCursorCentred = false;

}  // namespace

void mainWindowCreated() {
    g_started = false;
    g_keepCursorCentred = configGetInt("MOUSE_EXCLUSIVE") != 0;
}

void destroyMainWindow() {
    windowDestroy();
    windowClearMessages();
    g_started = false;
    g_keepCursorCentred = false;
}

void postQuitMessage() { windowPostMessage(E_WM_QUIT, 0, 0); }

s32 pumpMessages() {
    if (osTerminationRequested()) {
        osClearTerminationRequest();
        postQuitMessage();
    }
    SWindowMessage message;
    if (windowPeekMessage(&message)) {
        if (message.message == E_WM_QUIT) return 0;
        mainWindowProc(message.message, message.wParam, message.lParam);
        return 1;
    }
    if (!g_started) {
        osSleepEx(1, true);
        return 1;
    }
    if (renderDeviceExists() && !renderDeviceLost()) renderDeviceTestCooperativeLevel();
    const auto runFrame = renderImports().runFrame;
    return runFrame ? runFrame() : 1;
}

s64 mainWindowProc(u32 message, u64 wParam, s64 lParam) {
    switch (message) {
    case E_WM_DESTROY:
        postQuitMessage();
        return 0;
    case E_WM_MOVE:
        onWindowMove();
        return 0;
    case E_WM_SIZE:
        if (wParam == E_SIZE_RESTORED || wParam == E_SIZE_MAXIMIZED) {
            // Restoring from the taskbar leaves the whole client area to repaint at once.
            windowShowDefault();
            onWindowPaint();
        }
        onWindowSize(static_cast<u32>(wParam));
        return 0;
    case E_WM_ACTIVATE:
        // Keyboard and mouse are read through SDL's own state, which needs no acquiring.
        if ((wParam & 0xFFFF) == 1 || (wParam & 0xFFFF) == 2) {
            onWindowActivated();
        } else if ((wParam & 0xFFFF) == 0) {
            onWindowDeactivated();
        }
        return 0;
    case E_WM_PAINT:
        onWindowPaint();
        return 0;
    case E_WM_CLOSE:
        if (!isQuitVetoed()) postQuitMessage();
        return 0;
    case E_WM_ACTIVATEAPP:
        if (wParam == 0) {
            if (renderDeviceExists() && !renderDeviceFullScreen()) renderDeviceTestCooperativeLevel();
        } else {
            g_started = true;
        }
        return 0;
    case E_WM_DISPLAYCHANGE:
        onDisplayChange();
        return 0;
    case E_WM_MOUSEMOVE:
        onMouseMove(static_cast<s16>(lParam & 0xFFFF), static_cast<s16>((lParam >> 16) & 0xFFFF));
        return 0;
    case E_WM_MOUSELEAVE:
        onMouseLeave();
        return 0;
    case E_WM_VIDEO_EVENT:
        onVideoGraphEvent();
        return 0;
    default:
        return 0;
    }
}

void keepCursorCentred() {
    if (!g_keepCursorCentred || renderDeviceFullScreen() || !windowHasFocus()) return;
    s32 left = 0, top = 0, right = 0, bottom = 0;
    windowOuterRect(&left, &top, &right, &bottom);
    windowWarpCursor((left + right) / 2, (top + bottom) / 2);
}
