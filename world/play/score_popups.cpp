#include "world/play/score_popups.h"

#include "core/fatal_error.h"

namespace {

SScorePopup s_aPopups[SCORE_POPUP_CAPACITY];
SScorePopup* s_apTable[SCORE_POPUP_CAPACITY];
u32 s_uPopupsUsed = 0;

}  // namespace

void resetScorePopups() {
    for (u32 i = 0; i < SCORE_POPUP_CAPACITY; ++i) {
        s_aPopups[i] = SScorePopup{};
        s_aPopups[i].slot = i;
        s_apTable[i] = &s_aPopups[i];
    }
    s_uPopupsUsed = 0;
}

SScorePopup* takeScorePopup() {
    if (s_uPopupsUsed >= SCORE_POPUP_CAPACITY) return nullptr;
    SScorePopup* popup = s_apTable[s_uPopupsUsed];
    popup->slot = s_uPopupsUsed++;
    popup->value = 0;
    popup->chain = 0;
    return popup;
}

void releaseScorePopup(SScorePopup* popup) {
    const u32 slot = popup->slot;
    if (slot >= s_uPopupsUsed || s_apTable[slot] != popup) fatalError("score popup released twice");
    SScorePopup* last = s_apTable[s_uPopupsUsed - 1];
    s_apTable[slot] = last;
    last->slot = slot;
    s_apTable[s_uPopupsUsed - 1] = popup;
    popup->slot = s_uPopupsUsed - 1;
    --s_uPopupsUsed;
}

SScorePopup* findScorePopupOfKind(s32 kind) {
    for (u32 i = 0; i < s_uPopupsUsed; ++i)
        if (s_apTable[i]->kind == kind) return s_apTable[i];
    return nullptr;
}

u32 scorePopupCount() { return s_uPopupsUsed; }
SScorePopup* scorePopupAt(u32 index) { return index < s_uPopupsUsed ? s_apTable[index] : nullptr; }

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
