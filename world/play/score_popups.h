// The floating score texts of one play: a pool of 10 records taken at the used count and
// released by swapping with the last used one.
#pragma once

#include "core/colour_animator.h"
#include "core/types.h"
#include "core/vec.h"
#include "render/tween.h"

constexpr u32 SCORE_POPUP_CAPACITY = 10;

enum EScorePopupKind : s32 {
    E_POPUP_WAVE_KILL_BONUS = 0,
    E_POPUP_SCORE_PICKUP = 1,
    E_POPUP_DEATH_PENALTY = 2,
    E_POPUP_PLAYER_MESSAGE = 3,
};

struct SScorePopup {
    s32 kind;  // EScorePopupKind
    u32 textId;  // name hash of the string-table key
    f32 lifetime;  // seconds left
    SColourAnimator colour;  // fades wait in the animator's own queue
    SVectorTween position;  // world position
    s32 value;
    s32 chain;
    u32 slot;
};

// Used 0, record i in table slot i.
void resetScorePopups();
// The next free record, or null when all 10 are in use.
SScorePopup* takeScorePopup();
void releaseScorePopup(SScorePopup* popup);
// The first used record of the kind, or null.
SScorePopup* findScorePopupOfKind(s32 kind);
u32 scorePopupCount();
SScorePopup* scorePopupAt(u32 index);

// Constant colour at once (the animator stops); then a fade to `target` (queued behind a running fade).
void setPopupColour(SScorePopup* popup, u32 constant);
void queuePopupFade(SScorePopup* popup, u32 target, f32 seconds, f32 delay);
void setPopupPath(SScorePopup* popup, const ClVec3& from, const ClVec3& to, f32 seconds);
// Advances the colour (and starts the next queued fade when it has stopped) and the path.
void advanceScorePopup(SScorePopup* popup, f32 dt);
