// Layout pages: the trees of widgets the interface draws, each on a canvas ("43CORE", "FULL",
// "SAFE") under a root widget that covers it. Pages are built in code; the later page draws over
// the earlier. Main thread only.
#pragma once

#include "core/types.h"

class ClWidget;

constexpr u32 UI_PAGE_CAPACITY = 12;
constexpr u32 UI_PAGE_NAME_LENGTH = 64;
// Sprite layers: page p draws from UI_FIRST_LAYER + p x UI_LAYERS_PER_PAGE, each depth of its
// tree UI_LAYERS_PER_DEPTH further (background, outline and shadow, text), in the band the scene
// draws over everything without a camera.
constexpr u32 UI_FIRST_LAYER = 2000;
constexpr u32 UI_LAYERS_PER_PAGE = 150;
constexpr u32 UI_LAYERS_PER_DEPTH = 3;

// A widget's text property naming a canvas: its children are laid out in that canvas's units and
// rectangle instead of its own, so that parts of a page can frame what is drawn in another canvas
// at every screen size. An unknown canvas leaves them in the widget.
constexpr const char* UI_CHILD_CANVAS = "childCanvas";

struct SLayoutPage {
    char name[UI_PAGE_NAME_LENGTH];
    u32 nameHash;
    char canvas[16];
    ClWidget* root;  // unnamed; owned by the widget registry
};

// A new page on the canvas; returns its root. A name loaded already, or a thirteenth page, is
// fatal.
ClWidget* createLayoutPage(const char* name, const char* canvas);
const SLayoutPage* findLayoutPage(const char* name);
// Forgets the pages (their widgets go with the widget registry).
void releaseLayoutPages();

// Once a frame: lays out and queues every shown widget of every page, and records the hit
// regions of the focusable ones while the interface takes input. Nothing without canvases or
// widgets.
void renderUiPages();
