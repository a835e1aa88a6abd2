#include "ui/ui_pointer.h"

#include "core/string_helpers.h"
#include "input/input_devices.h"
#include "render/canvases.h"
#include "render/window_events.h"
#include "ui/ui_draw.h"
#include "ui/ui_input.h"
#include "ui/ui_pages.h"
#include "ui/ui_sprite.h"

namespace {

constexpr u32 POINTER_NAME_LENGTH = 64;
// Above every page's band of layers.
constexpr u32 POINTER_LAYER = UI_FIRST_LAYER + UI_PAGE_CAPACITY * UI_LAYERS_PER_PAGE;

char g_pointerImage[POINTER_NAME_LENGTH] = {};

}  // namespace

void setUiPointerImage(u32 player, const char* spriteName) {
    if (player != 0) return;
    strCopyN(g_pointerImage, spriteName ? spriteName : "", sizeof g_pointerImage);
}


bool uiPointerShown() {
    if (!g_UiFlags.pointerDisplay || !cursorHidden() || g_pointerImage[0] == 0) return false;
    const f32* raw = rawPadRecord(0);
    if (raw[E_RAW_POINTER_PRESENT] <= 0.0f) return false;
    const f32 x = raw[E_RAW_POINTER_X], y = raw[E_RAW_POINTER_Y];
    return x >= 0.0f && x <= 1.0f && y >= 0.0f && y <= 1.0f;
}

void drawUiPointer() {
    const SCanvas* full = findCanvas("FULL");
    if (!full || full->scale <= 0.0f || !uiPointerShown()) return;
    const f32* raw = rawPadRecord(0);
    const f32 x = raw[E_RAW_POINTER_X] * (full->rect.right - full->rect.left) / full->scale;
    const f32 y = raw[E_RAW_POINTER_Y] * (full->rect.bottom - full->rect.top) / full->scale;
    drawUiSprite(g_pointerImage, UI_SHAPE_EFFECT, 0xFFFFFFFFu, "FULL", POINTER_LAYER, x, y, UI_POINTER_SIZE,
                 UI_POINTER_SIZE, 1.0f, 1.0f, E_ALIGN_LEFT | E_ALIGN_TOP);
}
