#include "world/play/player_state.h"

#include "audio/sound/sound_engine.h"
#include "core/fatal_error.h"
#include "core/name_hash.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "input/ambient/ambient_light.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/play/score_popups.h"
#include "world/services/positioned_sound.h"
#include "world/services/world_imports.h"

#include <cstring>

namespace {

constexpr const char* PLAYBALANCE_SCRIPT = "playbalance.txt";
constexpr u32 POPUP_COLOUR = 0xFFFF7010u;
constexpr u32 POPUP_FADED = 0x00FF7010u;
constexpr u32 DEATH_POPUP_COLOUR = 0xFF2060FFu;
constexpr u32 DEATH_POPUP_FADED = 0x002060FFu;
constexpr u32 DEATH_FLASH = 0xFFFF0000u;
constexpr f32 POPUP_SECONDS = 2.29f;
constexpr f32 PICKUP_FADE_SECONDS = 0.4f;
constexpr f32 DEATH_POPUP_SECONDS = 4.0f;
constexpr s32 CHAIN_STEPS_WITH_RISING_BONUS = 10;

const ClScriptNode* playbalanceEntry(const char* key) {
    return ClScriptNode::getNamedChildOrDie(getScript(PLAYBALANCE_SCRIPT, 0), key);
}

f32 songScoreScale() { return g_PlayRecord.song.scoreScale[currentDifficulty()]; }

ClVec3 shipPosition(const ClEntity* ship) {
    const ClVec4 p = ship->getWorldPosition();
    return ClVec3(p.x, p.y, p.z);
}

void awardMedal(u32 medalId) {
    if (worldImports().awardMedal) worldImports().awardMedal(medalId);
}

}  // namespace

void resetPlayerStates() {
    for (SPlayerState& state : g_aPlayerState) state = SPlayerState{};
    std::memset(g_aiWaveKillChain, 0, sizeof(g_aiWaveKillChain));
    // The chain widgets and the ramming grace of the last song must not carry over.
    g_fWaveKillChainWindow = 0.0f;
    g_iPlayerRammed = 0;
    resetScorePopups();
}

void enableFirstPlayer() {
    g_aPlayerState[0].active = 1;
    g_aiWaveKillChain[0] = 0;
}

s32 shownScore(const SPlayerState& player) { return player.score / SCORE_ENCODING_FACTOR; }

s32 getKillPoints(const ClEntity* entity) {
    return s32(songScoreScale() * f32(entity->program->inspirationScore));
}

void awardWaveKillChainBonus(u32 player, const ClVec3& position) {
    const s32 chain = ++g_aiWaveKillChain[player];
    SScorePopup* popup = findScorePopupOfKind(E_POPUP_WAVE_KILL_BONUS);
    if (!popup) {
        popup = takeScorePopup();
        if (popup) popup->kind = E_POPUP_WAVE_KILL_BONUS;
    }
    const f32 base = songScoreScale() * playbalanceEntry("score_wavekill_base_bonus")->getFloat();
    const f32 bonusScale = chain <= CHAIN_STEPS_WITH_RISING_BONUS ? 1.0f + 0.2f * f32(chain) : 2.0f;
    const s32 bonus = s32(base * bonusScale);
    if (chain >= 10)
        awardMedal(MEDAL_WAVE_KILL_CHAIN_10);
    else if (chain >= 5)
        awardMedal(MEDAL_WAVE_KILL_CHAIN_5);
    if (popup) {
        setPopupColour(popup, POPUP_COLOUR);
        queuePopupFade(popup, POPUP_FADED, POPUP_SECONDS, 0.0f);
        popup->lifetime = POPUP_SECONDS;
        setPopupPath(popup, position, position, POPUP_SECONDS);
        popup->chain = chain;
        popup->textId = crc32TextNoCase(chain > 1 ? "bonus_text_chain" : "bonus_text_00");
        popup->value = bonus;
    }
    g_aPlayerState[player].score += SCORE_ENCODING_FACTOR * bonus;
}

void addPickupScore(s32 points) {
    SPlayerState& player = g_aPlayerState[0];
    player.score += SCORE_ENCODING_FACTOR * points;
    // No ship, no popup: a popup taken here would never be set up.
    const ClEntity* ship = entityRefGet(player.ship);
    if (!ship) return;
    SScorePopup* popup = findScorePopupOfKind(E_POPUP_SCORE_PICKUP);
    if (!popup) {
        popup = takeScorePopup();
        if (!popup) return;
        popup->kind = E_POPUP_SCORE_PICKUP;
        popup->value = 0;
    }
    const ClVec3 at = shipPosition(ship);
    setPopupColour(popup, POPUP_COLOUR);
    queuePopupFade(popup, POPUP_FADED, PICKUP_FADE_SECONDS, POPUP_SECONDS);
    popup->lifetime = POPUP_SECONDS + PICKUP_FADE_SECONDS;
    setPopupPath(popup, at, at, POPUP_SECONDS);
    popup->value += points;
    popup->textId = crc32TextNoCase("bonus_text_score");
}

void applyDeathPenalty(u32 player) {
    SPlayerState& victim = g_aPlayerState[player];
    const ClEntity* ship = entityRefGet(victim.ship);
    if (!ship) return;
    // With every popup in use the death is passed over whole: not counted, the score kept.
    SScorePopup* popup = takeScorePopup();
    if (!popup) return;
    ++victim.deaths;
    const ClScriptNode* penalties = playbalanceEntry("death_penalty");
    const u32 difficulty = currentDifficulty();
    if (difficulty >= penalties->childCount()) fatalErrorf("\"death_penalty\" has no entry for difficulty %u", difficulty);
    const s32 penalty = s32(penalties->getChild(difficulty)->getFloat());
    const ClVec3 at = shipPosition(ship);
    popup->kind = E_POPUP_DEATH_PENALTY;
    setPopupColour(popup, DEATH_POPUP_COLOUR);
    queuePopupFade(popup, DEATH_POPUP_FADED, DEATH_POPUP_SECONDS, 0.0f);
    popup->lifetime = DEATH_POPUP_SECONDS;
    setPopupPath(popup, at, at, POPUP_SECONDS);
    popup->textId = crc32TextNoCase("bonus_text_death");
    popup->value = penalty;
    SPlayerState& first = g_aPlayerState[0];
    const s32 shown = shownScore(first);
    const s32 lowered = shown + penalty < 0 ? 0 : shown + penalty;
    first.pointsLost += shown - lowered;
    first.score = SCORE_ENCODING_FACTOR * lowered;
    playSoundCueAt("PlayerShipDestroyed", at);
    requestAmbientFlash(DEATH_FLASH);
}

void showPlayerPopupText(u32 player, const char* textKey) {
    const ClEntity* ship = playerShip(player);
    if (!ship) return;
    SScorePopup* popup = takeScorePopup();
    if (!popup) return;
    const ClVec3 at = shipPosition(ship);
    popup->kind = E_POPUP_PLAYER_MESSAGE;
    setPopupColour(popup, POPUP_COLOUR);
    queuePopupFade(popup, POPUP_FADED, POPUP_SECONDS, 0.0f);
    popup->lifetime = POPUP_SECONDS;
    setPopupPath(popup, at + ClVec3(0.0f, 32.5f, 0.0f), at + ClVec3(0.0f, 65.0f, 0.0f), POPUP_SECONDS);
    popup->textId = crc32TextNoCase(textKey);
}

void addPlayerPlayTime(u32 player, f32 seconds) { g_aPlayerState[player].playTime += seconds; }

void runDownPlayerInvincibility(u32 player, f32 step) {
    SPlayerState& state = g_aPlayerState[player];
    if (state.invincibilityTime > 0.0f) state.invincibilityTime -= step;
}

void addPlayerInvincibility(u32 player, f32 seconds) {
    SPlayerState& state = g_aPlayerState[player];
    if (state.invincibilityTime < 0.0f) state.invincibilityTime = 0.0f;
    state.invincibilityTime += seconds;
}

void setPlayerScore(u32 player, s32 score) { g_aPlayerState[player].score = score; }

void setPlayerKillPercentage(u32 player, f32 percentage) { g_aPlayerState[player].killPercentage = percentage; }

void reopenWaveKillChainWindow(u32 player) {
    if (g_fWaveKillChainWindow <= 0.0f) g_aiWaveKillChain[player] = 0;
    g_fWaveKillChainWindow = WAVE_KILL_CHAIN_WINDOW_SECONDS;
}
