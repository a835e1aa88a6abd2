// What render asks of the layers above it: the window and device handlers need the UI's quit
// veto and "on the way into play" answer, and the game modes' "play runs" answer and pause; the
// message pump runs the program's frame. The
// program fills the record once at start-up (app/layer_imports.cpp) and clears it at shutdown;
// a null member answers 0 and does nothing, so without the record nothing is vetoed or paused.
// Main thread only.
#pragma once

#include "core/types.h"

struct SRenderImports {
    // 1 while the UI's widgets exist (ui).
    s32 (*uiExists)() = nullptr;
    // 1 when the UI root has an "AllowQuit" property whose value is not 1 (ui).
    s32 (*isQuitVetoed)() = nullptr;
    // 1 when the UI root's "goToAction" is 1 (ui).
    s32 (*goToActionRequested)() = nullptr;
    // 1 while the action mode is the current game mode (app).
    s32 (*actionModeRunning)() = nullptr;
    // Pauses the action game (app).
    void (*pauseActionGame)() = nullptr;
    // The program's frame, run by the message pump when no message waits: 1 to go on, 0 to quit
    // (app). Null runs no frame and goes on.
    s32 (*runFrame)() = nullptr;
};

// Copies the record; null clears every member.
void setRenderImports(const SRenderImports* imports);
const SRenderImports& renderImports();
