#include "render/render_device.h"

#include "core/config.h"
#include "core/crit_section_pool.h"
#include "core/fatal_error.h"
#include "core/global_objects.h"
#include "core/string_table.h"
#include "platform/os/os.h"
#include "platform/window/window.h"
#include "render/device_steps.h"
#include "render/display_modes.h"
#include "render/message_pump.h"
#include "render/render_worker.h"
#include "render/scene_inputs.h"
#include "render/window_events.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Characters of a localised box text, terminator included.
constexpr u32 BOX_TEXT_CAPACITY = 768;

struct SRenderDeviceState {
    bool exists = false;
    bool lost = false;
    std::atomic<bool> ready{false};
    u32 wasLost = 0;
    std::atomic<s32> lastPresent{E_GFX_OK};
    bool fullScreen = false;
    SCritSection* lock = nullptr;
    SDisplayModeSet modes;
    f32 width = 0.0f;
    f32 height = 0.0f;
};

SRenderDeviceState g_render;

void enterDeviceLock(void* lock) { critSectionEnter(static_cast<SCritSection*>(lock)); }
void leaveDeviceLock(void* lock) { critSectionLeave(static_cast<SCritSection*>(lock)); }

// The localised texts when both keys exist (the text formatted with its argument), else English.
void showBox(const char* titleKey, const char* textKey, const char* title, const char* text, const char* argument) {
    const char16_t* localisedTitle = getLocalisedString(titleKey);
    const char16_t* localisedText = getLocalisedString(textKey);
    if (localisedTitle && localisedText) {
        char16_t formatted[BOX_TEXT_CAPACITY];
        formatLocalisedNarrowStringByKey(formatted, BOX_TEXT_CAPACITY, textKey, argument);
        windowErrorBox(osWideToUtf8(localisedTitle).c_str(), osWideToUtf8(formatted).c_str());
        return;
    }
    char buffer[BOX_TEXT_CAPACITY];
    std::snprintf(buffer, sizeof buffer, text, argument ? argument : "");
    windowErrorBox(title, buffer);
}

// After a failed device step the window shrinks to 1x1 and the cursor comes back, as the box is
// the last thing shown.
[[noreturn]] void failDevice(const char* titleKey, const char* textKey, const char* title, const char* text,
                             const char* argument) {
    resizeWindowForClient(1, 1);
    windowShowCursor(true);
    showBox(titleKey, textKey, title, text, argument);
    std::exit(1);
}

void enumerateModes(SDisplayModeSet& set) {
    set = SDisplayModeSet{};
    windowDesktopMode(&set.screenWidth, &set.screenHeight, nullptr);
    SWindowDisplayMode modes[256];
    const u32 count = windowDisplayModes(modes, 256);
    // 16-bit formats before 32-bit ones, as the adapter is asked.
    for (u32 bits : {16u, 32u}) {
        for (u32 i = 0; i < count; ++i) {
            if (modes[i].bitsPerPixel == bits) addDisplayMode(set, modes[i].width, modes[i].height, modes[i].refreshHz, bits);
        }
    }
}

}  // namespace

void initRenderer() {
    g_DeviceResourceSteps.resetRendererState();
    resetRenderFlipIndex();
    createMainWindowAndDevice();
    g_render.ready.store(true);
}

void createMainWindowAndDevice() {
    if (!windowInitVideo()) {
        showBox("MB_DIRECTX_ISSUE_TITLE", "MB_DIRECTX_COULD_NOT_INIT", "DirectX Issue", "Could not initialize DirectX", nullptr);
        std::exit(1);
    }
    enumerateModes(g_render.modes);
    SResolutionSettings settings = readResolutionSettings();
    const SResolutionChoice choice = chooseResolution(g_render.modes, settings);
    const u32 screenW = g_render.modes.screenWidth, screenH = g_render.modes.screenHeight;
    const s32 x = static_cast<s32>(screenW / 2) - static_cast<s32>(choice.width / 2);
    const s32 y = choice.resolutionCodeGiven ? configGetInt("INITIAL_WINDOW_Y_POS")
                                             : (static_cast<s32>(screenH / 2) - static_cast<s32>(choice.height / 2)) / 2;
    if (!windowCreate("Merrowgate Engine", x, y, choice.width ? choice.width : 1, choice.height ? choice.height : 1,
                      settings.fullScreen)) {
        // The window layer's own reason is the error code the box names.
        showBox("MB_DIRECTX_ISSUE_TITLE", "MB_DIRECTX_FAILED_TO_CREATE_MAIN_WIN", "DirectX Issue",
                "Failed to create main window; error code [%s]", windowErrorText());
        std::exit(1);
    }
    if (settings.fullScreen) {
        windowShowCursor(false);
        setCursorHidden(true);
    }
    setWindowTitle();
    if (!choice.haveMode) {
        resizeWindowForClient(1, 1);
        windowShowCursor(true);
        showBox("MB_DIRECTX_ISSUE_TITLE", "MB_DIRECTX_COULD_NOT_CREATE_D3D_DEVICE", "DirectX Issue",
                "Could not create a Direct 3D Device in any desired mode; this will prevent the game from running", nullptr);
        windowDestroy();
        std::exit(1);
    }
    u32 width = 0, height = 0;
    createRenderDevice(&width, &height, choice.mode);
    mainWindowCreated();
    startRenderWorker();
    windowShow();
    setScreenSize(static_cast<f32>(width), static_cast<f32>(height));
    if (!g_DeviceResourceSteps.createSceneRenderTargets()) {
        fatalErrorf("the device cannot create the scene's render targets for a %ux%u screen", width, height);
    }
    g_render.lost = false;
}

s32 createRenderDevice(u32* outWidth, u32* outHeight, const SDisplayMode& mode) {
    g_render.fullScreen = displayFullScreen();
    if (!g_render.fullScreen) resizeWindowForClient(mode.width, mode.height);
    const s32 fsaa = configGetInt("FSAA");
    SGfxDeviceParams params;
    params.backend = configGetInt("NOGFX") >= 1 ? E_GFX_BACKEND_NULL : E_GFX_BACKEND_GL;
    params.width = mode.width;
    params.height = mode.height;
    params.multisample = fsaa == 4 || fsaa == 2 ? static_cast<u32>(fsaa) : 0;
    params.stencil = configGetInt("USE_STENCIL") == 1;
    params.vsync = vsyncWanted() && configGetInt("NOGFX") < 1;
    params.refreshHz = mode.refreshHz;
    if (!g_render.lock) g_render.lock = critSectionCreateOrDie("render device");
    params.lock = g_render.lock;
    params.lockEnter = enterDeviceLock;
    params.lockLeave = leaveDeviceLock;
    if (gfxCreateDevice(params) != E_GFX_OK) {
        failDevice("MB_DIRECTX_ERROR_TITLE", "MB_DIRECTX_CREATE_DEVICE_FAILED", "DirectX Error",
                   "The call 'CreateDevice' returned error '%s'", gfxLastErrorText());
    }
    g_render.exists = true;
    *outWidth = mode.width;
    *outHeight = mode.height;
    return 1;
}

s32 handleLostDevice() {
    if (!g_render.exists) return g_render.ready.load() ? 1 : 0;
    if (g_render.lost) {
        const EGfxResult level = gfxTestCooperativeLevel();
        if (level == E_GFX_DEVICE_NOT_RESET || level == E_GFX_OK) {
            // E_GFX_OK here: an earlier reset succeeded but the resources could not be re-created.
            ClGfxContextScope context;
            if (level == E_GFX_DEVICE_NOT_RESET) {
                g_DeviceResourceSteps.releaseSceneTargets();
                if (gfxReset() != E_GFX_OK) return 0;
            }
            if (!recreateDeviceResources()) {
                // Drawing would resume with missing buffers: stay lost, start clean next frame.
                releaseDeviceResources();
                return 0;
            }
            if (!onDeviceRestored()) {
                // Drawing would go to the back buffer where the scene's targets belong.
                releaseDeviceResources();
                return 0;
            }
            g_render.lost = false;
            g_render.wasLost = 0;
            g_render.ready.store(true);
            return 1;
        }
        osSleep(30);
    } else if (lastPresentResult() == E_GFX_DEVICE_LOST) {
        g_render.lost = true;
        g_render.ready.store(false);
        g_render.wasLost = 1;
        releaseDeviceResources();
        onDeviceLost();
    }
    return g_render.ready.load() ? 1 : 0;
}

void releaseDeviceResources() {
    g_DeviceResourceSteps.onEffectsDeviceLost();
    g_DeviceResourceSteps.releaseBatchBuffers();
    g_DeviceResourceSteps.releaseUiDeviceResources();
}

s32 recreateDeviceResources() {
    // The back buffer and its depth surface belong to the device here and survive a reset.
    if (!gfxDeviceExists()) return 0;
    g_DeviceResourceSteps.onEffectsDeviceReset();
    if (!g_DeviceResourceSteps.recreateBatchBuffers()) return 0;
    g_DeviceResourceSteps.createUiDeviceResources();
    return 1;
}

void shutdownRenderer() {
    // The camera blenders are released here once they exist.
    shutdownWindowAndDevice();
    releaseDisplayOptionTable();
    resetSceneInputs();
}

void shutdownWindowAndDevice() {
    g_render.modes = SDisplayModeSet{};
    stopRenderWorker();
    g_DeviceResourceSteps.destroySceneTargets();
    gfxDestroyDevice();
    g_render.exists = false;
    g_render.ready.store(false);
    g_render.lost = false;
    critSectionDestroy(g_render.lock);
    g_render.lock = nullptr;
    destroyMainWindow();
    windowShutdownVideo();
}

bool renderDeviceExists() { return g_render.exists; }
bool renderDeviceReady() { return g_render.ready.load(); }
bool renderDeviceLost() { return g_render.lost; }
bool renderDeviceFullScreen() { return g_render.fullScreen; }
void renderDeviceTestCooperativeLevel() { gfxTestCooperativeLevel(); }
u32 deviceWasLost() { return g_render.wasLost; }
void setLastPresentResult(EGfxResult result) { g_render.lastPresent.store(result); }
EGfxResult lastPresentResult() { return static_cast<EGfxResult>(g_render.lastPresent.load()); }

f32 screenWidth() { return g_render.width; }
f32 screenHeight() { return g_render.height; }
void setScreenSize(f32 width, f32 height) {
    g_render.width = width;
    g_render.height = height;
}

void resizeWindowForClient(u32 width, u32 height) {
    const u32 centreWidth = width, centreHeight = height;
    if (configGetInt("DOUBLE_SIZE") >= 1) {
        width *= 2;
        height *= 2;
    }
    u32 screenW = 0, screenH = 0;
    windowDesktopMode(&screenW, &screenH, nullptr);
    const s32 left = static_cast<s32>(screenW / 2) - static_cast<s32>(centreWidth / 2);
    s32 top = static_cast<s32>(screenH / 2) - static_cast<s32>(centreHeight / 2);
    if (top > 30) top -= 30;
    windowSetClientRect(left, top, width, height);
}
