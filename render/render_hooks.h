// The window and device handlers ask questions of layers above render: the UI decides whether the
// window may close and whether the player is on the way into play, the game modes whether play
// runs and how to pause it. Those layers install their answers here; without them nothing is
// vetoed and nothing is paused.
#pragma once

#include "core/types.h"

struct SRenderUpwardHooks {
    // 1 when the UI root has an "AllowQuit" property whose value is not 1 (ui).
    s32 (*isQuitVetoed)() = nullptr;
    // 1 when the UI root's "goToAction" is 1 (ui).
    s32 (*goToActionRequested)() = nullptr;
    // 1 while the action mode is the current game mode (app).
    s32 (*actionModeRunning)() = nullptr;
    // Pauses the action game (app).
    void (*pauseActionGame)() = nullptr;
};

// Copies the record; null removes every hook.
void setRenderUpwardHooks(const SRenderUpwardHooks* hooks);
const SRenderUpwardHooks& renderUpwardHooks();
