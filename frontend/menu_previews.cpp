#include "frontend/menu_previews.h"

#include "core/string_helpers.h"
#include "frontend/presentation/preview_targets.h"
#include "library/ship_program.h"
#include "library/song_library.h"
#include "render/camera.h"
#include "render/materials.h"
#include "render/render_target.h"
#include "render/scene_inputs.h"
#include "render/sprite_queue.h"
#include "ui/ui_draw.h"
#include "ui/ui_pages.h"
#include "ui/widget.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_ref.h"
#include "world/entity/frame_parity.h"
#include "world/entity/world.h"

#include <cstdio>
#include <cstring>

namespace {

// Above every layer of the screens' page, below the tooltips' page.
constexpr u32 PREVIEW_PICTURE_LAYER = UI_FIRST_LAYER + 2 * UI_LAYERS_PER_PAGE - 1;
constexpr u32 PREVIEW_PICTURE_COLOUR = 0xFFFFFFFFu;
// The ship sits at the origin of its own preview; the camera looks down at it from behind and
// above, so its nose points up the picture, and far enough that what the ship's items draw on it
// (the charging gun's 35-unit bolt over the hull) stays inside the picture.
const ClVec3 SHIP_POSITION(0.0f, 0.0f, 0.0f);
const ClVec3 CAMERA_OFFSET(0.0f, 50.0f, 46.0f);
constexpr f32 PREVIEW_NEAR = 1.0f;
constexpr f32 PREVIEW_FAR = 1000.0f;
constexpr u32 TARGET_COUNT = MENU_MINI_MAP_TARGET_COUNT + 1 + ITEM_PREVIEW_TARGET_COUNT;

struct SMenuShipPreview {
    explicit SMenuShipPreview(u32 previewSlot) : slot(previewSlot) {}
    u32 slot;
    ClDNAProgram* program = nullptr;
    SEntityRef ship;
    bool built = false;
    ClCamera camera;
    // Asked for in this frame, with the frame widget its picture goes in.
    bool shown = false;
    const ClWidget* frame = nullptr;
    // The collectible preview's item; empty for the equipped ship.
    char itemKey[ITEM_KEY_LENGTH] = {};
};

ClPreviewTarget g_targets[TARGET_COUNT];
SMenuShipPreview g_previews[E_MENU_PREVIEW_COUNT] = {SMenuShipPreview(0), SMenuShipPreview(SHIP_EDIT_PREVIEW_SLOT),
                                                     SMenuShipPreview(ITEM_PREVIEW_FIRST_SLOT)};

bool buildShip(SMenuShipPreview& preview) {
    if (!isWorldReady() || !previewSlot(preview.slot).group) return false;
    preview.program = preview.itemKey[0] ? buildShipDnaWithHullItem(preview.itemKey) : buildShipDna();
    if (!preview.program) return false;
    ClEntity* ship = allocEntity(s32(preview.slot));
    ship->buildFromDNA(preview.program);
    ship->spawnForPreview();
    // Posed as in play, nose along -z, in both transform buffers.
    for (int buffer = 0; buffer < 2; ++buffer) {
        ship->setRootPosition(SHIP_POSITION);
        ship->setFacing(ClVec3(0.0f, 0.0f, -1.0f), ClVec3(0.0f, 1.0f, 0.0f));
        flipFrameBuffers();
    }
    preview.ship = makeEntityRef(ship);
    preview.built = true;
    // The camera is placed before the slot is first marked active, so the render worker never
    // reads it while it changes.
    const ClVec3 target = SHIP_POSITION;
    preview.camera.setPositionLookingAt(target + CAMERA_OFFSET, target);
    ClVec4 eye;
    eye.set(target.x + CAMERA_OFFSET.x, target.y + CAMERA_OFFSET.y, target.z + CAMERA_OFFSET.z, 1.0f);
    setPreviewSlotView(preview.slot, &preview.camera, eye, PREVIEW_NEAR, PREVIEW_FAR, 0.0f, 0.0f);
    return true;
}

// The ship and every shot it fired (they carry its owner tag) go back to the pool.
void freeShip(SMenuShipPreview& preview) {
    if (preview.built && isWorldReady()) freeEntitiesByOwner(s32(preview.slot));
    preview.ship = SEntityRef{};
    preview.built = false;
    if (preview.program) {
        preview.program->release();
        delete preview.program;
        preview.program = nullptr;
    }
    // The slot keeps its camera, which lives as long as the program: the render worker may still
    // be drawing the frame that used it.
}

void show(SMenuShipPreview& preview, const ClWidget* frame) {
    // The world was shut down under the preview (the front end was left): the entity went with it.
    if (preview.built && !entityRefGet(preview.ship)) freeShip(preview);
    if (!preview.built && !buildShip(preview)) return;
    preview.shown = true;
    preview.frame = frame;
}

void drawPicture(const SMenuShipPreview& preview) {
    ClRenderTargetGroup* group = acquirePreviewTarget(s32(preview.slot));
    if (!group || !preview.frame) return;
    const SCanvasRect& r = preview.frame->screenRect();
    if (r.right <= r.left || r.bottom <= r.top) return;
    addSpriteQuad(PREVIEW_PICTURE_LAYER, getMaterialForEffectAndTexture(UI_SHAPE_EFFECT, group->getTexture()),
                  PREVIEW_PICTURE_COLOUR, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

}  // namespace

bool createMenuPreviewTargets() {
    bool made = true;
    char name[PREVIEW_TARGET_NAME_LENGTH];
    u32 next = 0;
    for (u32 i = 0; i < MENU_MINI_MAP_TARGET_COUNT; ++i) {
        formatMiniMapTargetName(name, sizeof name, i);
        made = g_targets[next++].create(name, i, MENU_PREVIEW_TARGET_SIZE, MENU_PREVIEW_TARGET_SIZE) && made;
    }
    made = g_targets[next++].create(SHIP_EDIT_PREVIEW_TARGET_NAME, SHIP_EDIT_PREVIEW_SLOT, MENU_PREVIEW_TARGET_SIZE,
                                    MENU_PREVIEW_TARGET_SIZE) &&
           made;
    for (u32 i = 0; i < ITEM_PREVIEW_TARGET_COUNT; ++i) {
        formatItemTargetName(name, sizeof name, i);
        made = g_targets[next++].create(name, ITEM_PREVIEW_FIRST_SLOT + i, MENU_PREVIEW_TARGET_SIZE,
                                        MENU_PREVIEW_TARGET_SIZE) &&
               made;
    }
    if (!made) std::fprintf(stderr, "menu previews: a preview target could not be made; its preview stays empty\n");
    return made;
}

void destroyMenuPreviewTargets() {
    for (SMenuShipPreview& preview : g_previews) freeShip(preview);
    for (ClPreviewTarget& target : g_targets) target.destroy();
}

void showMenuShipPreview(EMenuPreview which, const ClWidget* frame) {
    if (which >= E_MENU_PREVIEW_COUNT) return;
    show(g_previews[which], frame);
}

void showCollectiblePreview(const char* itemKey, const ClWidget* frame) {
    SMenuShipPreview& preview = g_previews[E_MENU_PREVIEW_COLLECTIBLE];
    const char* key = itemKey ? itemKey : "";
    if (!key[0]) return;
    if (std::strncmp(preview.itemKey, key, ITEM_KEY_LENGTH) != 0) {
        freeShip(preview);
        strCopyN(preview.itemKey, key, ITEM_KEY_LENGTH);
    }
    show(preview, frame);
}

void tickMenuPreviews() {
    bool anyShown = false;
    for (SMenuShipPreview& preview : g_previews) {
        if (!preview.shown) freeShip(preview);
        anyShown = anyShown || preview.shown;
    }
    if (anyShown && isWorldReady()) {
        flipFrameBuffers();
        updateLiveEntities();
        tickPreviewEntities();
        drawPreviewEntities();
        drawLiveEntities();
        flushDestroyedEntities();
        flushFreedEntities();
    }
    for (SMenuShipPreview& preview : g_previews) {
        if (preview.shown) drawPicture(preview);
        preview.shown = false;
        preview.frame = nullptr;
    }
}

void hideMenuShipPreview(EMenuPreview which) {
    if (which < E_MENU_PREVIEW_COUNT) freeShip(g_previews[which]);
}


void showShipEditPreview(const ClWidget* frame) { showMenuShipPreview(E_MENU_PREVIEW_SHIP_EDIT, frame); }
void hideShipEditPreview() { hideMenuShipPreview(E_MENU_PREVIEW_SHIP_EDIT); }
