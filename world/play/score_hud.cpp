#include "world/play/score_hud.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/string_table.h"
#include "ui/number_format.h"
#include "world/entity/entity.h"
#include "world/play/hud_widgets.h"
#include "world/play/player_state.h"
#include "world/play/score_popups.h"
#include "world/state/play_record.h"


namespace {

constexpr u32 POPUP_TEXT_LENGTH = 64;
constexpr f32 CHAIN_WIDGET_FADE_SECONDS = 9.0f;
const char* const CHAIN_WIDGETS[] = {"WaveKillChain", "WaveKillChain_BG1", "WaveKillChain_BG2"};


ClVec3 popupPosition(const SScorePopup& popup) {
    const ClEntity* ship = playerShip(0);
    const ClVec3& at = popup.position.getValue();
    switch (popup.kind) {
        case E_POPUP_SCORE_PICKUP:
            if (ship) {
                const ClVec4 p = ship->getWorldPosition();
                return ClVec3(p.x, p.y, p.z + 30.0f);
            }
            return at;
        case E_POPUP_WAVE_KILL_BONUS: return ClVec3(at.x, at.y, at.z - 80.0f);
        default: return at;
    }
}

// The popups belong to the heads-up display: while its page is off screen (the pause menu took
// its place) they are not drawn, and the stopped gameplay clock holds their time and fade.
void updatePopups(f32 dt) {
    const bool drawn = !hudWidgetOffScreen("Score");
    for (u32 i = scorePopupCount(); i-- > 0;) {
        SScorePopup* popup = scorePopupAt(i);
        if (popup->kind < E_POPUP_WAVE_KILL_BONUS || popup->kind > E_POPUP_PLAYER_MESSAGE)
            fatalErrorf("score popup kind %d out of range", popup->kind);
        popup->lifetime -= dt;
        if (popup->lifetime <= 0.0f) {
            popup->lifetime = 0.0f;
            releaseScorePopup(popup);
            continue;
        }
        advanceScorePopup(popup, dt);
        if (!drawn) continue;
        char16_t text[POPUP_TEXT_LENGTH];
        if (popup->kind == E_POPUP_WAVE_KILL_BONUS && popup->chain > 1)
            formatLocalisedTwoInts(text, POPUP_TEXT_LENGTH, popup->textId, popup->chain, popup->value);
        else
            formatLocalisedInt(text, POPUP_TEXT_LENGTH, popup->textId, popup->value);
        const bool large = popup->kind == E_POPUP_WAVE_KILL_BONUS || popup->kind == E_POPUP_PLAYER_MESSAGE;
        drawHudPopupText(popupPosition(*popup), large ? 80.0f : 60.0f, popup->colour.current, text);
    }
}

void updateChainWidgets() {
    if (g_fWaveKillChainWindow <= 0.0f) {
        for (const char* name : CHAIN_WIDGETS) setHudWidgetVisible(name, false);
        return;
    }
    f32 a = g_fWaveKillChainWindow / CHAIN_WIDGET_FADE_SECONDS;
    a = a < 0.0f ? 0.0f : (a > 1.0f ? 1.0f : a);
    const u32 colour = (u32(s32(a * 255.0f)) << 24) | 0xFFFFFFu;
    setHudWidgetColour(CHAIN_WIDGETS[0], "textColor", colour);
    for (const char* name : CHAIN_WIDGETS) {
        setHudWidgetTint(name, colour);
        setHudWidgetVisible(name, true);
    }
}

void updateTargets(SPlayerState& player) {
    const s32 shown = shownScore(player);
    const s32 state = scoreTargetState(shown);
    if (state == 1) {
        setHudWidgetLocalizedId("hud_next_target", "hud_targets_reached");
        setHudWidgetVisible("hud_target_score", false);
        return;
    }
    const u32 d = currentDifficulty();
    char text[THOUSANDS_TEXT_LENGTH];
    formatIntThousandsNarrow(g_PlayRecord.song.scoreTargets[d][state == -1 ? 0 : 1], text);
    setHudWidgetLocalizedId("hud_next_target", "hud_next_target");
    setHudWidgetText("hud_target_score", "dynamicText", text);
    setHudWidgetVisible("hud_target_score", true);
}

}  // namespace

s32 scoreTargetState(s32 shown) {
    const SPlaySong& song = g_PlayRecord.song;
    const u32 d = currentDifficulty();
    s32 state = -1;
    if (song.progressValue >= song.progressThresholds[d][0]) state = 0;
    if (song.progressValue >= song.progressThresholds[d][1]) state = 1;
    if (shown >= song.scoreTargets[d][0] && state == -1) state = 0;
    if (shown >= song.scoreTargets[d][1] && state < 1) state = 1;
    return state;
}

void updateScoreHud() {
    SPlayerState& player = g_aPlayerState[0];
    char score[THOUSANDS_TEXT_LENGTH];
    formatIntThousandsNarrow(shownScore(player), score);
    setHudWidgetText("Score", "dynamicText", score);
    updatePopups(frameTime());
    updateChainWidgets();
    updateTargets(player);
}
