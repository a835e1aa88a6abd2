// The menus' ship previews: the eight preview targets made at start-up ("RTT_MM0" to "RTT_MM2" in
// preview slots 0 to 2, "RTT_SE_SHIP" in slot 3, "RTT_IS0" to "RTT_IS3" in slots 4 to 7, each a
// batcher key while it lives), and a ship built as a preview entity owned by its slot, shown in
// its target each frame a screen asks for it, and the target's picture drawn over the screen in a
// frame widget's rectangle. Main thread only.
//
// The screens ask during their tick (showMenuShipPreview); tickMenuPreviews then runs the
// previews' world once for the frame: the buffer flip, the live entities' update (the shots the
// previews fire), the previews' own tick, the draws of both, and the two end-of-step flushes, so
// that every shot moves, is drawn and is freed. A preview no screen asked for in a frame is freed
// with its shots.
#pragma once

#include "core/types.h"

class ClWidget;

enum EMenuPreview : u32 {
    E_MENU_PREVIEW_MAIN_MENU = 0,    // "RTT_MM0", the title menu's ship
    E_MENU_PREVIEW_SHIP_EDIT = 1,    // "RTT_SE_SHIP", the ship-editing screen's ship
    E_MENU_PREVIEW_COLLECTIBLE = 2,  // "RTT_IS0", the won item on the ship's hull
    E_MENU_PREVIEW_COUNT = 3,
};

constexpr u32 MENU_MINI_MAP_TARGET_COUNT = 3;
constexpr u32 SHIP_EDIT_PREVIEW_SLOT = 3;
constexpr u32 ITEM_PREVIEW_TARGET_COUNT = 4;
constexpr u32 ITEM_PREVIEW_FIRST_SLOT = 4;
// Square targets, in pixels.
constexpr f32 MENU_PREVIEW_TARGET_SIZE = 512.0f;

// Start-up, with the renderer up: the eight targets. False when one could not be made (its
// previews then show nothing).
bool createMenuPreviewTargets();
// Shutdown: the preview entities freed, the targets unregistered and destroyed.
void destroyMenuPreviewTargets();

// During a screen's tick, each frame it shows the preview: the ship is built when it has none
// (from the equipped items as they are now; the collectible preview from the item key, built
// again when the key changes), and its picture is drawn in the frame widget's rectangle by this
// frame's tickMenuPreviews. Nothing without the target, the world or a ship program.
void showMenuShipPreview(EMenuPreview preview, const ClWidget* frame);
void showCollectiblePreview(const char* itemKey, const ClWidget* frame);
// Once a frame, after the screens' ticks: the previews' world step and draws, the pictures of
// the previews shown, and the previews not shown freed.
void tickMenuPreviews();
// When the equipped items change: the ship is freed, so the next show builds it again.
void hideMenuShipPreview(EMenuPreview preview);

// The ship-editing screen's preview in "RTT_SE_SHIP": showMenuShipPreview and
// hideMenuShipPreview for E_MENU_PREVIEW_SHIP_EDIT.
void showShipEditPreview(const ClWidget* frame);
void hideShipEditPreview();
