#include "ui/ui_input.h"

#include "input/input_channels.h"
#include "input/input_devices.h"
#include "render/canvases.h"
#include "ui/hit_regions.h"
#include "ui/widget.h"

#include <algorithm>
#include <cmath>
#include <cstring>

SUiFlags g_UiFlags;

void setUiPointerDisplay(bool shown) { g_UiFlags.pointerDisplay = shown ? 1 : 0; }

void setUiInputEnabled(bool enabled) { g_UiFlags.inputEnabled = enabled ? 1 : 0; }

void setTutorialWidget(ClWidget* widget) { g_UiFlags.tutorialWidget = widget; }

void clearUiPointerDrag() { std::memset(g_UiFlags.pointerDrag, 0, sizeof g_UiFlags.pointerDrag); }

namespace {

ClWidget* g_focus = nullptr;
bool g_pointerSeen = false;
f32 g_pointerX = 0.0f;
f32 g_pointerY = 0.0f;
// The widget under the pointer when the hover was last taken: a still pointer that finds another
// widget under it (a new page shown there) hovers that one.
const ClWidget* g_hovered = nullptr;

bool isBackward(E_UiInput direction) { return direction == E_UIINPUT_UP || direction == E_UIINPUT_LEFT; }

// How far the rectangle lies from `from` in the direction: along it from edge to edge (below 0:
// not beyond `from`'s centre that way), whether the two overlap across it, and how far apart
// their centres are across it.
struct SStep {
    f32 along;
    bool overlapping;
    f32 across;
};

SStep stepToward(const SCanvasRect& from, const SCanvasRect& to, E_UiInput direction) {
    const bool vertical = direction == E_UIINPUT_UP || direction == E_UIINPUT_DOWN;
    const f32 sign = isBackward(direction) ? -1.0f : 1.0f;
    const auto centre = [](f32 a, f32 b) { return (a + b) * 0.5f; };
    const f32 fromLow = vertical ? from.top : from.left, fromHigh = vertical ? from.bottom : from.right;
    const f32 toLow = vertical ? to.top : to.left, toHigh = vertical ? to.bottom : to.right;
    const f32 fromSideLow = vertical ? from.left : from.top, fromSideHigh = vertical ? from.right : from.bottom;
    const f32 toSideLow = vertical ? to.left : to.top, toSideHigh = vertical ? to.right : to.bottom;
    SStep step;
    if (sign * (centre(toLow, toHigh) - centre(fromLow, fromHigh)) <= 0.0f) step.along = -1.0f;
    else step.along = std::max(0.0f, sign > 0.0f ? toLow - fromHigh : fromLow - toHigh);
    step.overlapping = toSideLow < fromSideHigh && fromSideLow < toSideHigh;
    step.across = std::fabs(centre(toSideLow, toSideHigh) - centre(fromSideLow, fromSideHigh));
    return step;
}

// The widget the arrow leads to from the focused one, as the page lays them out: among the
// regions beyond it that way, those in line with it first, then the nearest, then the most
// nearly straight on. Null when none lies that way.
ClWidget* widgetToward(E_UiInput direction) {
    ClWidget* best = nullptr;
    SStep bestStep{};
    for (u32 i = 0; i < uiHitRegionCount(); ++i) {
        const SUiHitRegion& region = uiHitRegion(i);
        if (region.widget == g_focus) continue;
        const SStep step = stepToward(g_focus->screenRect(), region.rect, direction);
        if (step.along < 0.0f) continue;
        const bool better = !best || (step.overlapping != bestStep.overlapping ? step.overlapping
                                      : step.along != bestStep.along       ? step.along < bestStep.along
                                                                           : step.across < bestStep.across);
        if (better) {
            best = region.widget;
            bestStep = step;
        }
    }
    return best;
}

// An arrow moves the focus to the widget that lies that way on the page. Up and down with nothing
// that way go on along the hit regions in drawing order, wrapping round; left and right stop.
// Without a focus the first region (down, right) or the last (up, left) takes it.
void moveFocus(E_UiInput direction) {
    const u32 count = uiHitRegionCount();
    if (count == 0) return;
    const s32 at = g_focus ? firstUiHitRegionOf(g_focus) : -1;
    if (at < 0) {
        setUiFocus(uiHitRegion(isBackward(direction) ? count - 1 : 0).widget);
        return;
    }
    if (ClWidget* next = widgetToward(direction)) {
        setUiFocus(next);
        return;
    }
    if (direction != E_UIINPUT_UP && direction != E_UIINPUT_DOWN) return;
    const s64 step = direction == E_UIINPUT_UP ? -1 : 1;
    for (u32 n = 1; n < count; ++n) {
        ClWidget* next = uiHitRegion(u32((s64(at) + step * s64(n) + s64(count) * 2) % count)).widget;
        if (next != g_focus) {
            setUiFocus(next);
            return;
        }
    }
}

void followPointer() {
    const f32* raw = rawPadRecord(0);
    const SCanvas* full = findCanvas("FULL");
    if (raw[E_RAW_POINTER_PRESENT] <= 0.0f || !full) return;
    const f32 x = raw[E_RAW_POINTER_X], y = raw[E_RAW_POINTER_Y];
    // A pointer outside the window leaves the focus to the keys and pads.
    if (x < 0.0f || x > 1.0f || y < 0.0f || y > 1.0f) return;
    const f32 px = full->rect.left + x * (full->rect.right - full->rect.left);
    const f32 py = full->rect.top + y * (full->rect.bottom - full->rect.top);
    const SUiHitRegion* region = findUiHitRegionAt(px, py);
    const bool moved = !g_pointerSeen || x != g_pointerX || y != g_pointerY;
    // A still pointer over nothing leaves the focus where the page or the keys put it.
    if (!moved && (!region || region->widget == g_hovered)) return;
    g_pointerSeen = true;
    g_pointerX = x;
    g_pointerY = y;
    g_hovered = region ? region->widget : nullptr;
    setUiFocus(region ? region->widget : nullptr);
    if (region) region->widget->onPointerOver(region->region);
}

// A mouse click takes what is under the pointer, whatever the keys or the page's first choice
// focused: nothing when nothing is there.
void focusUnderMouseClick() {
    const f32* raw = rawPadRecord(0);
    const SCanvas* full = findCanvas("FULL");
    if (raw[E_RAW_MOUSE_LEFT] <= 0.0f || raw[E_RAW_POINTER_PRESENT] <= 0.0f || !full) return;
    const f32 x = raw[E_RAW_POINTER_X], y = raw[E_RAW_POINTER_Y];
    if (x < 0.0f || x > 1.0f || y < 0.0f || y > 1.0f) return;
    const f32 px = full->rect.left + x * (full->rect.right - full->rect.left);
    const f32 py = full->rect.top + y * (full->rect.bottom - full->rect.top);
    const SUiHitRegion* region = findUiHitRegionAt(px, py);
    g_hovered = region ? region->widget : nullptr;
    setUiFocus(region ? region->widget : nullptr);
    if (region) region->widget->onPointerOver(region->region);
}

void send(E_UiInput input) {
    const bool taken = g_focus && g_focus->onInput(input);
    if (!taken && input <= E_UIINPUT_RIGHT) moveFocus(input);
}

}  // namespace

void setUiFocus(ClWidget* widget) {
    if (widget == g_focus) return;
    ClWidget* previous = g_focus;
    g_focus = widget;
    if (previous) previous->fireEvent("onLoseFocus");
    if (widget) widget->fireEvent("onFocus");
}

ClWidget* uiFocus() { return g_focus; }

void resetUiInput() {
    g_focus = nullptr;
    g_hovered = nullptr;
    g_pointerSeen = false;
}

void updateUiInput() {
    if (!g_UiFlags.inputEnabled || !inputIsInitialised() || !widgetRegistryExists()) return;
    if (g_focus && !g_focus->isShown()) setUiFocus(nullptr);
    followPointer();

    for (int player = 0; player < INPUT_PLAYER_COUNT; ++player) {
        if (player > 0 && !padConnected(padOfPlayer(u32(player)))) continue;
        for (int channel = UI_CHANNEL_FIRST; channel <= UI_CHANNEL_LAST; ++channel) {
            const SInputChannel* c = getPlayerChannel(player, channel);
            if (!c) continue;
            const E_UiInput input = channel < UI_CHANNEL_CLICK   ? E_UiInput(E_UIINPUT_UP + (channel - UI_CHANNEL_FIRST))
                                    : channel == UI_CHANNEL_CLICK ? E_UIINPUT_CLICK
                                                                  : E_UiInput(E_UIINPUT_CLICK_ALT1 + (channel - 14));
            if (isChannelPressed(c)) {
                if (player == 0 && channel == UI_CHANNEL_CLICK) focusUnderMouseClick();
                send(input);
            }
            if (channel == UI_CHANNEL_CLICK && isChannelReleased(c) && g_focus) g_focus->onInput(E_UIINPUT_UNCLICK);
        }
        const SInputChannel* up = getPlayerChannel(player, UI_CHANNEL_WHEEL_UP);
        const SInputChannel* down = getPlayerChannel(player, UI_CHANNEL_WHEEL_DOWN);
        const s32 wheel = (up && isChannelHeld(up) ? 1 : 0) - (down && isChannelHeld(down) ? 1 : 0);
        if (wheel && g_focus) g_focus->onScroll(wheel);
    }
}
