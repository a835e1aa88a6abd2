// The menus' ship previews: the preview targets made at start-up ("RTT_MM0" to "RTT_MM2" in
// preview slots 0 to 2, "RTT_SE_SHIP" in slot 3, each a batcher key while it lives), and a ship
// built from the profile's equipped items as a preview entity owned by its slot, ticked and
// drawn into its target each frame a screen shows it, and the target's picture drawn over the
// screen in a frame widget's rectangle. Main thread only.
#pragma once

#include "core/types.h"

class ClWidget;

enum EMenuPreview : u32 {
    E_MENU_PREVIEW_MAIN_MENU = 0,  // "RTT_MM0", the title menu's ship
    E_MENU_PREVIEW_SHIP_EDIT = 1,  // "RTT_SE_SHIP", the ship-editing screen's ship
    E_MENU_PREVIEW_COUNT = 2,
};

constexpr u32 MENU_MINI_MAP_TARGET_COUNT = 3;
constexpr u32 SHIP_EDIT_PREVIEW_SLOT = 3;
// Square targets, in pixels.
constexpr f32 MENU_PREVIEW_TARGET_SIZE = 512.0f;

// Start-up, with the renderer up: the four targets. False when one could not be made (its
// previews then show nothing).
bool createMenuPreviewTargets();
// Shutdown: the preview entities freed, the targets unregistered and destroyed.
void destroyMenuPreviewTargets();

// Each frame a screen shows the preview: builds the ship when it has none (from the equipped
// items as they are now), ticks and draws it into its target, and draws the target's picture in
// the frame widget's rectangle. Nothing without the target, the world or a ship program.
void showMenuShipPreview(EMenuPreview preview, const ClWidget* frame);
// When the screen is left, or the equipped items change: the ship is freed, so the next show
// builds it again.
void hideMenuShipPreview(EMenuPreview preview);
// The preview has a ship now.
bool menuShipPreviewShown(EMenuPreview preview);

// The ship-editing screen's preview in "RTT_SE_SHIP": showMenuShipPreview and
// hideMenuShipPreview for E_MENU_PREVIEW_SHIP_EDIT.
void showShipEditPreview(const ClWidget* frame);
void hideShipEditPreview();
