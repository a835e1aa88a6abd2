// The game's drawing device: the window and device made for the chosen display mode, the lost
// device found after a present and restored, and the renderer's start and end.
#pragma once

#include "core/types.h"
#include "platform/gfx/gfx_device.h"

struct SDisplayMode;

// Renderer state, then the window, device and render worker; the device is then ready.
void initRenderer();
// Render worker, render-target groups, device, window; then the display-option table is freed.
void shutdownRenderer();

// Chooses the resolution, creates the window, the device and the render worker, shows the window
// and sets the screen size. Every failure shows its box and ends the program with status 1.
void createMainWindowAndDevice();
void shutdownWindowAndDevice();

// Creates the device for one mode; returns 1 with the mode's size. Failures end the program.
s32 createRenderDevice(u32* outWidth, u32* outHeight, const SDisplayMode& mode);

// Once per handed-over frame on the main thread: notices a lost present and restores the device
// when it can be reset. Returns the device-ready flag.
s32 handleLostDevice();
// What is released before a reset and re-created after it, in their fixed order. Re-creation
// returns 0 when the device or the batcher's buffers cannot be had: the device then stays lost,
// its resources are released again, and the next frame tries again.
void releaseDeviceResources();
s32 recreateDeviceResources();

bool renderDeviceExists();
bool renderDeviceReady();
bool renderDeviceLost();
bool renderDeviceFullScreen();
void renderDeviceTestCooperativeLevel();
// The notification the game modes read: set on loss, cleared on restoration.
u32 deviceWasLost();
// Written by the render worker when it presents; read by the main thread after the hand-off.
void setLastPresentResult(EGfxResult result);
EGfxResult lastPresentResult();

// The back buffer's size in pixels (floats) and its halves, set when the window and device exist.
f32 screenWidth();
f32 screenHeight();
void setScreenSize(f32 width, f32 height);

// Moves and sizes the window for a client area of width x height (each doubled with DOUBLE_SIZE),
// centred on the undoubled size.
void resizeWindowForClient(u32 width, u32 height);
