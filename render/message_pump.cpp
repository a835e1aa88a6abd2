#include "render/message_pump.h"

#include "platform/os/os.h"

namespace {

bool g_bMainWindowExists = false;
bool g_bActivationWaiting = false;
bool g_bWindowActivated = false;
bool g_bQuitPosted = false;

}  // namespace

void createMainWindow() {
    g_bMainWindowExists = true;
    g_bActivationWaiting = true;
}

bool mainWindowExists() { return g_bMainWindowExists; }

bool mainWindowWasActivated() { return g_bWindowActivated; }

void destroyMainWindow() {
    g_bMainWindowExists = false;
    g_bActivationWaiting = false;
    g_bWindowActivated = false;
    g_bQuitPosted = false;
}

void postQuitMessage() { g_bQuitPosted = true; }

s32 pumpMessages(FrameRoutine runFrame) {
    if (osTerminationRequested()) {
        osClearTerminationRequest();
        postQuitMessage();
    }
    if (g_bQuitPosted) {
        g_bQuitPosted = false;
        return 0;
    }
    if (g_bActivationWaiting) {
        g_bActivationWaiting = false;
        g_bWindowActivated = true;
        return 1;
    }
    if (!g_bWindowActivated) {
        osSleepEx(1, true);
        return 1;
    }
    return runFrame();
}

// The stand-in window has no pointer to hold, so MOUSE_EXCLUSIVE has nothing to act on yet; the
// main loop calls this every pass, and looking the key up there would be work for nothing.
void keepCursorCentred() {}
