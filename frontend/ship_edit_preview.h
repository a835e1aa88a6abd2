// The ship editing screen's preview of the ship. The screen keeps an empty panel,
// "ShipEditPreviewZone", and calls these hooks; whoever draws the preview installs them (none
// installed, or a null member: that call is skipped and the panel stays empty).
#pragma once

#include "render/canvases.h"

struct SShipEditPreviewHooks {
    void (*shown)() = nullptr;        // the screen became visible
    void (*hidden)() = nullptr;       // the screen was left
    void (*shipChanged)() = nullptr;  // the equipped items changed: the ship is to be built again
    // Each front-end frame while the screen shows, with the panel's rectangle in screen pixels.
    void (*draw)(const SCanvasRect& zone) = nullptr;
};

void setShipEditPreviewHooks(const SShipEditPreviewHooks& hooks);
