#include "frontend/menu_previews.h"

#include "frontend/presentation/preview_targets.h"
#include "library/ship_program.h"
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
#include "world/entity/frame_parity.h"
#include "world/entity/world.h"

#include <cstdio>

namespace {

// Above every layer of the screens' page, below the tooltips' page.
constexpr u32 PREVIEW_PICTURE_LAYER = UI_FIRST_LAYER + 2 * UI_LAYERS_PER_PAGE - 1;
constexpr u32 PREVIEW_PICTURE_COLOUR = 0xFFFFFFFFu;
// The ship sits at the origin of its own preview; the camera looks down at it from behind and
// above, so its nose points up the picture.
const ClVec3 SHIP_POSITION(0.0f, 0.0f, 0.0f);
const ClVec3 CAMERA_OFFSET(0.0f, 32.0f, 30.0f);
constexpr f32 PREVIEW_NEAR = 1.0f;
constexpr f32 PREVIEW_FAR = 1000.0f;
constexpr u32 TARGET_COUNT = MENU_MINI_MAP_TARGET_COUNT + 1;

struct SMenuShipPreview {
    explicit SMenuShipPreview(u32 previewSlot) : slot(previewSlot) {}
    u32 slot;
    ClDNAProgram* program = nullptr;
    ClEntity* ship = nullptr;
    ClCamera camera;
};

ClPreviewTarget g_targets[TARGET_COUNT];
SMenuShipPreview g_previews[E_MENU_PREVIEW_COUNT] = {SMenuShipPreview(0), SMenuShipPreview(SHIP_EDIT_PREVIEW_SLOT)};

bool buildShip(SMenuShipPreview& preview) {
    if (!isWorldReady() || !previewSlot(preview.slot).group) return false;
    preview.program = buildShipDna();
    if (!preview.program) return false;
    preview.ship = allocEntity(s32(preview.slot));
    preview.ship->buildFromDNA(preview.program);
    preview.ship->spawnForPreview();
    // Posed as in play, nose along -z, in both transform buffers.
    for (int buffer = 0; buffer < 2; ++buffer) {
        preview.ship->setRootPosition(SHIP_POSITION);
        preview.ship->setFacing(ClVec3(0.0f, 0.0f, -1.0f), ClVec3(0.0f, 1.0f, 0.0f));
        flipFrameBuffers();
    }
    // The camera is placed before the slot is first marked active, so the render worker never
    // reads it while it changes.
    const ClVec3 target = SHIP_POSITION;
    preview.camera.setPositionLookingAt(target + CAMERA_OFFSET, target);
    ClVec4 eye;
    eye.set(target.x + CAMERA_OFFSET.x, target.y + CAMERA_OFFSET.y, target.z + CAMERA_OFFSET.z, 1.0f);
    setPreviewSlotView(preview.slot, &preview.camera, eye, PREVIEW_NEAR, PREVIEW_FAR, 0.0f, 0.0f);
    return true;
}

void freeShip(SMenuShipPreview& preview) {
    if (preview.ship && isWorldReady()) freeEntitiesByOwner(s32(preview.slot));
    preview.ship = nullptr;
    if (preview.program) {
        preview.program->release();
        delete preview.program;
        preview.program = nullptr;
    }
    // The slot keeps its camera, which lives as long as the program: the render worker may still
    // be drawing the frame that used it.
}

}  // namespace

bool createMenuPreviewTargets() {
    bool made = true;
    char name[PREVIEW_TARGET_NAME_LENGTH];
    for (u32 i = 0; i < MENU_MINI_MAP_TARGET_COUNT; ++i) {
        formatMiniMapTargetName(name, sizeof name, i);
        made = g_targets[i].create(name, i, MENU_PREVIEW_TARGET_SIZE, MENU_PREVIEW_TARGET_SIZE) && made;
    }
    made = g_targets[MENU_MINI_MAP_TARGET_COUNT].create(SHIP_EDIT_PREVIEW_TARGET_NAME, SHIP_EDIT_PREVIEW_SLOT,
                                                        MENU_PREVIEW_TARGET_SIZE, MENU_PREVIEW_TARGET_SIZE) &&
           made;
    if (!made) std::fprintf(stderr, "menu previews: a preview target could not be made; its preview stays empty\n");
    return made;
}

void destroyMenuPreviewTargets() {
    for (SMenuShipPreview& preview : g_previews) freeShip(preview);
    for (ClPreviewTarget& target : g_targets) target.destroy();
}

void showMenuShipPreview(EMenuPreview which, const ClWidget* frame) {
    if (which >= E_MENU_PREVIEW_COUNT) return;
    SMenuShipPreview& preview = g_previews[which];
    // The world was shut down under the preview (the front end was left): the entity went with it.
    if (preview.ship && !isWorldReady()) freeShip(preview);
    if (!preview.ship && !buildShip(preview)) return;
    flipFrameBuffers();
    tickPreviewEntities();
    drawPreviewEntities();
    flushDestroyedEntities();
    flushFreedEntities();
    ClRenderTargetGroup* group = acquirePreviewTarget(s32(preview.slot));
    if (!group || !frame) return;
    const SCanvasRect& r = frame->screenRect();
    if (r.right <= r.left || r.bottom <= r.top) return;
    addSpriteQuad(PREVIEW_PICTURE_LAYER, getMaterialForEffectAndTexture(UI_SHAPE_EFFECT, group->getTexture()),
                  PREVIEW_PICTURE_COLOUR, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void hideMenuShipPreview(EMenuPreview which) {
    if (which < E_MENU_PREVIEW_COUNT) freeShip(g_previews[which]);
}

bool menuShipPreviewShown(EMenuPreview which) { return which < E_MENU_PREVIEW_COUNT && g_previews[which].ship; }

void showShipEditPreview(const ClWidget* frame) { showMenuShipPreview(E_MENU_PREVIEW_SHIP_EDIT, frame); }
void hideShipEditPreview() { hideMenuShipPreview(E_MENU_PREVIEW_SHIP_EDIT); }
