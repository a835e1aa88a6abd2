#include "world/play/score_popups.h"

#include "core/fatal_error.h"

namespace {

SScorePopup g_aPopups[SCORE_POPUP_CAPACITY];
SScorePopup* g_apTable[SCORE_POPUP_CAPACITY];
u32 g_uPopupsUsed = 0;

}  // namespace

void resetScorePopups() {
    for (u32 i = 0; i < SCORE_POPUP_CAPACITY; ++i) {
        g_aPopups[i] = SScorePopup{};
        g_aPopups[i].slot = i;
        g_apTable[i] = &g_aPopups[i];
    }
    g_uPopupsUsed = 0;
}

SScorePopup* takeScorePopup() {
    if (g_uPopupsUsed >= SCORE_POPUP_CAPACITY) return nullptr;
    SScorePopup* popup = g_apTable[g_uPopupsUsed];
    popup->slot = g_uPopupsUsed++;
    popup->value = 0;
    popup->chain = 0;
    return popup;
}

void releaseScorePopup(SScorePopup* popup) {
    const u32 slot = popup->slot;
    if (slot >= g_uPopupsUsed || g_apTable[slot] != popup) fatalError("score popup released twice");
    SScorePopup* last = g_apTable[g_uPopupsUsed - 1];
    g_apTable[slot] = last;
    last->slot = slot;
    g_apTable[g_uPopupsUsed - 1] = popup;
    popup->slot = g_uPopupsUsed - 1;
    --g_uPopupsUsed;
}

SScorePopup* findScorePopupOfKind(s32 kind) {
    for (u32 i = 0; i < g_uPopupsUsed; ++i)
        if (g_apTable[i]->kind == kind) return g_apTable[i];
    return nullptr;
}

u32 scorePopupCount() { return g_uPopupsUsed; }
SScorePopup* scorePopupAt(u32 index) { return index < g_uPopupsUsed ? g_apTable[index] : nullptr; }

void setPopupColour(SScorePopup* popup, u32 constant) {
    popup->colour.setConstant(constant);
    // Applied at once, so the animator counts as stopped and the next fade starts without waiting.
    popup->colour.applyCurrent();
}

void queuePopupFade(SScorePopup* popup, u32 target, f32 seconds, f32 delay) {
    popup->colour.queueFade(target, seconds, delay);
}

void setPopupPath(SScorePopup* popup, const ClVec3& from, const ClVec3& to, f32 seconds) {
    popup->position.startFromTo(from, to, seconds, E_TWEEN_CURVE_LINEAR, 0.0f);
}

void advanceScorePopup(SScorePopup* popup, f32 dt) {
    popup->colour.advanceQueued(dt);
    popup->position.advance(dt);
}
