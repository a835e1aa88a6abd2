#include "render/window_events.h"

#include "audio/sound/sound_engine.h"
#include "core/config.h"
#include "core/string_table.h"
#include "core/task_layer.h"
#include "core/worker_pool.h"
#include "input/ambient/ambient_light.h"
#include "platform/os/os.h"
#include "platform/window/window.h"
#include "render/device_steps.h"
#include "render/fmv_player.h"
#include "render/render_imports.h"

#include <cmath>

namespace {

constexpr f32 POINTER_OUTSIDE = -1000.0f;

bool g_cursorHidden = false;
bool g_trackingMouse = false;

s32 hookAnswer(s32 (*hook)()) { return hook ? hook() : 0; }

bool toggleMouseCursor() { return configGetInt("TOGGLE_MOUSE_CURSOR") > 0; }

}  // namespace

void setWindowTitle() {
    const char16_t* text = getLocalisedString("WINDOW_TITLE");
    char16_t title[WINDOW_TITLE_CAPACITY] = {};
    for (u32 n = 0; text && text[n] != 0 && n < WINDOW_TITLE_CAPACITY - 1; ++n) title[n] = text[n];
    windowSetTitle(osWideToUtf8(title).c_str());
}

s32 isQuitVetoed() { return hookAnswer(renderImports().isQuitVetoed) ? 1 : 0; }

void onWindowActivated() {
    const SRenderImports& hooks = renderImports();
    if (hookAnswer(hooks.goToActionRequested) != 1 && hookAnswer(hooks.actionModeRunning) == 0) {
        resumeAllCues();
    }
    resumeAmbientEffects();
}

void onWindowDeactivated() {
    const SRenderImports& hooks = renderImports();
    if (hookAnswer(hooks.uiExists) != 0) {
        if ((hookAnswer(hooks.actionModeRunning) != 0 || hookAnswer(hooks.goToActionRequested) == 1) &&
            hooks.pauseActionGame) {
            hooks.pauseActionGame();
        }
        pauseAllCues();
        suspendAmbientEffects();
    }
}

void onWindowSize(u32 sizeKind) {
    if (sizeKind == E_SIZE_MINIMIZED) {
        suspendAmbientEffects();
    } else {
        resumeAmbientEffects();
    }
    // The video window follows the client area once a video layer exists.
}

void onWindowMove() {}
void onWindowPaint() {}
void onDisplayChange() {}
void onVideoGraphEvent() { fmvHandleGraphEvents(); }

void onMouseMove(s16 x, s16 y) {
    if (!g_trackingMouse) {
        if (windowTrackMouseLeave()) g_trackingMouse = true;
        if (toggleMouseCursor()) {
            windowShowCursor(false);
            g_cursorHidden = true;
            windowSetPointerPosition(x, y);
            return;
        }
    }
    if (!g_cursorHidden) {
        windowSetPointerPosition(POINTER_OUTSIDE, POINTER_OUTSIDE);
    } else {
        windowSetPointerPosition(x, y);
    }
}

void onMouseLeave() {
    g_trackingMouse = false;
    if (toggleMouseCursor()) {
        windowShowCursor(true);
        windowSetPointerPosition(POINTER_OUTSIDE, POINTER_OUTSIDE);
        g_cursorHidden = false;
    }
}

void onDeviceLost() {
    const SRenderImports& hooks = renderImports();
    if (hookAnswer(hooks.goToActionRequested) == 1 && hooks.pauseActionGame) hooks.pauseActionGame();
    taskLayerSetSuspended(true);
    // Pool jobs write into batcher geometry: nothing is released under them.
    while (workerPoolAnyBusy()) osSleepEx(1, true);
    g_DeviceResourceSteps.releaseSceneTargets();
    g_DeviceResourceSteps.releasePreviewTargets();
    suspendAmbientEffects();
}

bool onDeviceRestored() {
    if (!g_DeviceResourceSteps.recreateSceneTargets()) {
        g_DeviceResourceSteps.releaseSceneTargets();
        return false;
    }
    g_DeviceResourceSteps.recreatePreviewTargets();
    taskLayerSetSuspended(false);
    resumeAmbientEffects();
    return true;
}

bool cursorHidden() { return g_cursorHidden; }
void setCursorHidden(bool hidden) { g_cursorHidden = hidden; }
