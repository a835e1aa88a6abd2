// The interface's set-up and shutdown, in the start-up's order, and the answers the program hands
// to render's imports: whether the UI exists, the window's quit veto and the "on the way into
// play" answer.
//
// Start-up: initUi (the root widget and its variables), then loadUiImage for each interface
// image, loadUiFonts (after the texture table), the pages built by the front end,
// finishUiPageLoad. Each frame: updateUiInput (ui/ui_input.h), then renderUiPages (ui/ui_pages.h).
// Shutdown: shutdownUi. Main thread only.
#pragma once

#include "core/types.h"

class ClWidget;

// Interface images are "UI/Images/<name>.png" under the data directory.
constexpr const char* UI_IMAGE_FOLDER = "UI/Images/";

void initUi();
// Registers the image as the interface sprite of its name. False, with nothing registered, when
// the data has no such image; an image registered already changes nothing and gives true.
bool loadUiImage(const char* name, u32 flags);
// The start-up font faces (fatal when one cannot be loaded) and the white image shapes are drawn
// with.
void loadUiFonts();
// After the pages are built: every event must name a callback of ui's own or of the imported
// table (ui/ui_imports.h), else the program stops naming the widget and the callback.
void finishUiPageLoad();
// Releases the pages, widgets, fonts, sprites and hit regions.
void shutdownUi();
bool uiExists();
// 1 when the UI root has an "AllowQuit" property whose value is not 1.
s32 uiQuitVetoed();
// 1 when the UI root's "goToAction" is 1.
s32 uiGoToActionRequested();

// "AllowQuit" = 1: the window may close and the quit menu may open.
void systemAllowQuit();
