#include "platform/window/window.h"

#include "platform/window/window_internal.h"
#include "platform/window/window_fit.h"

#include "platform/input/input_sdl_internal.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>

namespace {

struct SWindowState {
    bool videoUp = false;
    u32 videoInits = 0;
    SDL_Window* window = nullptr;
    bool trackingLeave = false;
    bool cursorShown = true;
    f32 pointerX = -1000.0f;
    f32 pointerY = -1000.0f;
    char errorText[256] = {};
    // Shown, but not yet fitted with the frame a window manager puts round it.
    bool frameFitPending = false;
};

SWindowState g_window;
FWindowEventSource g_eventSource = nullptr;
std::mutex g_queueLock;
std::deque<SWindowMessage> g_queue;

s64 packPoint(s32 x, s32 y) {
    return static_cast<s64>(static_cast<u16>(x)) | (static_cast<s64>(static_cast<u16>(y)) << 16);
}

void queueMessage(u32 message, u64 wParam, s64 lParam) {
    std::lock_guard<std::mutex> guard(g_queueLock);
    g_queue.push_back({message, wParam, lParam});
}

// A window larger than the desktop's usable area (a panel, or the title bar a window manager
// adds, would cut its edge off) shrinks to fit it; the device's picture is scaled to the client.
void fitWindowToUsableArea() {
    if (windowIsHeadless() || (SDL_GetWindowFlags(g_window.window) & SDL_WINDOW_FULLSCREEN) != 0) return;
    const int display = std::max(0, SDL_GetWindowDisplayIndex(g_window.window));
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(display, &usable) != 0) return;
    SWindowBorders borders = {};
    if (SDL_GetWindowBordersSize(g_window.window, &borders.top, &borders.left, &borders.bottom, &borders.right) != 0) {
        borders = {};
    }
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(g_window.window, &x, &y);
    SDL_GetWindowSize(g_window.window, &w, &h);
    if (w <= 0 || h <= 0) return;
    const SWindowPlacement now = {x, y, static_cast<u32>(w), static_cast<u32>(h)};
    const SWindowPlacement fit = windowFitToArea(now, borders, {usable.x, usable.y, usable.w, usable.h});
    if (fit.width != now.width || fit.height != now.height) {
        SDL_SetWindowSize(g_window.window, static_cast<int>(fit.width), static_cast<int>(fit.height));
    }
    if (fit.x != now.x || fit.y != now.y) SDL_SetWindowPosition(g_window.window, fit.x, fit.y);
}

// A window manager frames the window only after it has been shown: the first window event once the
// frame's size is known fits the window again, with its frame. Without a window manager there is
// no frame, and the fit when shown stands.
void fitOnceFramed() {
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(g_window.window, &top, &left, &bottom, &right) != 0) return;
    if (top == 0 && left == 0 && bottom == 0 && right == 0) return;
    g_window.frameFitPending = false;
    fitWindowToUsableArea();
}

void translateWindowEvent(const SDL_WindowEvent& e) {
    if (g_window.frameFitPending) fitOnceFramed();
    switch (e.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        queueMessage(E_WM_ACTIVATEAPP, 1, 0);
        queueMessage(E_WM_ACTIVATE, 1, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        queueMessage(E_WM_ACTIVATE, 0, 0);
        queueMessage(E_WM_ACTIVATEAPP, 0, 0);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        queueMessage(E_WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_MOVED:
        queueMessage(E_WM_MOVE, 0, packPoint(e.data1, e.data2));
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_MINIMIZED: {
        const u32 kind = e.event == SDL_WINDOWEVENT_MINIMIZED   ? E_SIZE_MINIMIZED
                         : e.event == SDL_WINDOWEVENT_MAXIMIZED ? E_SIZE_MAXIMIZED
                                                                : E_SIZE_RESTORED;
        u32 w = 0, h = 0;
        windowClientSize(&w, &h);
        queueMessage(E_WM_SIZE, kind, packPoint(static_cast<s32>(w), static_cast<s32>(h)));
        break;
    }
    case SDL_WINDOWEVENT_EXPOSED:
        queueMessage(E_WM_PAINT, 0, 0);
        break;
    case SDL_WINDOWEVENT_LEAVE:
        if (g_window.trackingLeave) {
            g_window.trackingLeave = false;
            queueMessage(E_WM_MOUSELEAVE, 0, 0);
        }
        break;
    default:
        break;
    }
}

void pollSdlEvents() {
    if (!g_window.videoUp) {
        return;
    }
    if (g_eventSource) g_eventSource();
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        inputSdlHandleEvent(e);
        if (e.type == SDL_WINDOWEVENT) {
            translateWindowEvent(e.window);
        } else if (e.type == SDL_MOUSEMOTION) {
            queueMessage(E_WM_MOUSEMOVE, 0, packPoint(e.motion.x, e.motion.y));
        } else if (e.type == SDL_RENDER_TARGETS_RESET || e.type == SDL_RENDER_DEVICE_RESET) {
            queueMessage(E_WM_DISPLAYCHANGE, 0, 0);
        }
        // SDL_QUIT is not the quit message: closing goes through E_WM_CLOSE and its veto, and
        // the signals through the termination handler.
    }
}

}  // namespace

bool windowInitVideo() {
    if (!g_window.videoUp) {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            std::fprintf(stderr, "window: no video: %s\n", SDL_GetError());
            return false;
        }
        // One reference to the GL driver for the process's life: SDL unloads it whenever its last
        // GL window goes, and Mesa's allocations then show as leaks nobody can name.
        SDL_GL_LoadLibrary(nullptr);
        g_window.videoUp = true;
    }
    ++g_window.videoInits;
    return true;
}

// SDL's video stays up until the process ends: quitting it would unload the GL driver as well.
void windowShutdownVideo() {
    if (g_window.videoInits == 0 || --g_window.videoInits > 0) {
        return;
    }
    windowDestroy();
}

bool windowIsHeadless() {
    const char* driver = g_window.videoUp ? SDL_GetCurrentVideoDriver() : nullptr;
    return !driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

u32 windowDisplayModes(SWindowDisplayMode* out, u32 capacity) {
    if (!g_window.videoUp || !out) {
        return 0;
    }
    if (windowIsHeadless()) {
        static const SWindowDisplayMode headless[] = {{1920, 1080, 60, 32}, {1280, 720, 60, 32}};
        u32 n = 0;
        for (const SWindowDisplayMode& mode : headless) {
            if (n < capacity) out[n++] = mode;
        }
        return n;
    }
    const int count = SDL_GetNumDisplayModes(0);
    u32 n = 0;
    for (int i = 0; i < count && n < capacity; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
        const u32 bits = SDL_BITSPERPIXEL(mode.format) <= 16 ? 16 : 32;
        out[n++] = {static_cast<u32>(mode.w), static_cast<u32>(mode.h),
                    static_cast<u32>(mode.refresh_rate > 0 ? mode.refresh_rate : 0), bits};
    }
    return n;
}

void windowDesktopMode(u32* width, u32* height, u32* refreshHz) {
    u32 w = 0, h = 0, hz = 0;
    if (g_window.videoUp) {
        if (windowIsHeadless()) {
            w = 1920, h = 1080, hz = 60;
        } else {
            SDL_DisplayMode mode;
            if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
                w = static_cast<u32>(mode.w);
                h = static_cast<u32>(mode.h);
                hz = mode.refresh_rate > 0 ? static_cast<u32>(mode.refresh_rate) : 0;
            }
        }
    }
    if (width) *width = w;
    if (height) *height = h;
    if (refreshHz) *refreshHz = hz;
}

void windowSetGlAttributes() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
}

bool windowCreate(const char* title, s32 x, s32 y, u32 width, u32 height, bool fullScreen) {
    if (g_window.window) {
        std::snprintf(g_window.errorText, sizeof(g_window.errorText), "the window exists");
        return false;
    }
    if (!g_window.videoUp && !windowInitVideo()) {
        std::snprintf(g_window.errorText, sizeof(g_window.errorText), "no video: %s", SDL_GetError());
        return false;
    }
    windowSetGlAttributes();
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (fullScreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    g_window.window = SDL_CreateWindow(title ? title : "", x, y, static_cast<int>(width),
                                       static_cast<int>(height), flags);
    if (!g_window.window) {
        std::snprintf(g_window.errorText, sizeof(g_window.errorText), "%s", SDL_GetError());
        return false;
    }
    g_window.trackingLeave = false;
    g_window.pointerX = g_window.pointerY = -1000.0f;
    return true;
}

void windowDestroy() {
    if (g_window.window) {
        SDL_DestroyWindow(g_window.window);
        g_window.window = nullptr;
    }
    g_window.trackingLeave = false;
    g_window.frameFitPending = false;
    windowClearMessages();
}

const char* windowErrorText() { return g_window.errorText; }
SDL_Window* windowSdlHandle() { return g_window.window; }


void windowShow() {
    if (!g_window.window) return;
    SDL_ShowWindow(g_window.window);
    fitWindowToUsableArea();
    g_window.frameFitPending = true;
    queueMessage(E_WM_ACTIVATEAPP, 1, 0);
    queueMessage(E_WM_ACTIVATE, 1, 0);
}

void windowShowDefault() {
    if (g_window.window) SDL_ShowWindow(g_window.window);
}

void windowSetTitle(const char* utf8Title) {
    if (g_window.window) SDL_SetWindowTitle(g_window.window, utf8Title ? utf8Title : "");
}

void windowSetClientRect(s32 x, s32 y, u32 width, u32 height) {
    if (!g_window.window) return;
    SDL_SetWindowSize(g_window.window, static_cast<int>(width), static_cast<int>(height));
    SDL_SetWindowPosition(g_window.window, x, y);
}

void windowClientSize(u32* width, u32* height) {
    int w = 0, h = 0;
    if (g_window.window) SDL_GetWindowSize(g_window.window, &w, &h);
    if (width) *width = static_cast<u32>(w);
    if (height) *height = static_cast<u32>(h);
}

void windowOuterRect(s32* left, s32* top, s32* right, s32* bottom) {
    int x = 0, y = 0, w = 0, h = 0, bt = 0, bl = 0, bb = 0, br = 0;
    if (g_window.window) {
        SDL_GetWindowPosition(g_window.window, &x, &y);
        SDL_GetWindowSize(g_window.window, &w, &h);
        SDL_GetWindowBordersSize(g_window.window, &bt, &bl, &bb, &br);
    }
    if (left) *left = x - bl;
    if (top) *top = y - bt;
    if (right) *right = x + w + br;
    if (bottom) *bottom = y + h + bb;
}

bool windowHasFocus() {
    return g_window.window && (SDL_GetWindowFlags(g_window.window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool windowPeekMessage(SWindowMessage* out) {
    {
        std::lock_guard<std::mutex> guard(g_queueLock);
        if (!g_queue.empty()) {
            *out = g_queue.front();
            g_queue.pop_front();
            return true;
        }
    }
    pollSdlEvents();
    std::lock_guard<std::mutex> guard(g_queueLock);
    if (g_queue.empty()) return false;
    *out = g_queue.front();
    g_queue.pop_front();
    return true;
}

void windowSetEventSource(FWindowEventSource source) { g_eventSource = source; }

void windowPostMessage(u32 message, u64 wParam, s64 lParam) { queueMessage(message, wParam, lParam); }

void windowClearMessages() {
    std::lock_guard<std::mutex> guard(g_queueLock);
    g_queue.clear();
}

bool windowTrackMouseLeave() {
    if (!g_window.window) return false;
    g_window.trackingLeave = true;
    return true;
}

void windowErrorBox(const char* utf8Title, const char* utf8Text) {
    std::fprintf(stderr, "%s: %s\n", utf8Title ? utf8Title : "", utf8Text ? utf8Text : "");
    if ((g_window.videoUp || windowInitVideo()) && !windowIsHeadless()) {
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, utf8Title ? utf8Title : "",
                                 utf8Text ? utf8Text : "", g_window.window);
    }
}

void windowShowCursor(bool show) {
    g_window.cursorShown = show;
    if (g_window.videoUp) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void windowWarpCursor(s32 x, s32 y) {
    if (!g_window.window || !windowHasFocus()) return;
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(g_window.window, &wx, &wy);
    SDL_WarpMouseInWindow(g_window.window, x - wx, y - wy);
}

void windowSetPointerPosition(f32 x, f32 y) {
    g_window.pointerX = x;
    g_window.pointerY = y;
}

void windowPointerPosition(f32* x, f32* y) {
    if (x) *x = g_window.pointerX;
    if (y) *y = g_window.pointerY;
}
