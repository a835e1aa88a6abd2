// The in-game HUD, the pause menu and the results.
#include "core/name_hash.h"
#include "core/string_table.h"
#include "frontend/frontend.h"
#include "frontend/frontend_imports.h"
#include "frontend/page_parts.h"
#include "frontend/results.h"
#include "frontend/screens.h"
#include "frontend/song_rows.h"
#include "library/song_items.h"
#include "library/song_library.h"
#include "library/user_save.h"
#include "ui/number_format.h"
#include "ui/switcher.h"
#include "ui/ui_imports.h"
#include "ui/ui_pages.h"
#include "ui/ui_variables.h"
#include "world/play/play_time.h"
#include "world/play/player_state.h"
#include "world/state/item_description.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr u32 RESULTS_ITEM_TEXT_LENGTH = 160;
constexpr const char* RESULT_ROWS[][2] = {
    {"ResultsScore", "fe_results_score"},   {"ResultsKills", "fe_results_kills"},
    {"ResultsDeaths", "fe_results_deaths"}, {"ResultsPlayTime", "fe_results_play_time"},
    {"ResultsPointsLost", "fe_results_points_lost"}, {"ResultsKillPercentage", "fe_results_kill_percentage"},
    {"ResultsBest", "fe_results_best"},
};

void setNumber(const char* widget, s32 value) {
    char text[THOUSANDS_TEXT_LENGTH];
    formatIntThousandsNarrow(value, text);
    setLabelText(widget, text);
}

void initResults(ClWidget*) {
    const SPlayerState& player = playerState(0);
    const SFrontendImports& imports = frontendImports();
    const SResultsValues values = computeResults(player, imports.enemiesOffered ? imports.enemiesOffered() : 0);
    setPlayerKillPercentage(0, values.killPercentage < 0.0f ? 0.0f : values.killPercentage);

    const s32 songIndex = uiVariable(UIVAR_SELECTED_SONG_INDEX);
    const s32 level = s32(currentDifficulty());
    bool newBest = false;
    if (!uiVariable(UIVAR_SCORES_HAVE_BEEN_RECORDED)) {
        newBest = recordBestScore(songIndex, level, player.score);
        setUiVariable(UIVAR_SCORES_HAVE_BEEN_RECORDED, 1);
        saveWrite(1);
    }
    const SSongRecord* song = getSongRecord(songIndex);

    setLabelWideText("ResultsSong", songDisplayText(songIndex).c_str());
    setLabelKey("ResultsLevel", ("fe_level_" + std::to_string(level)).c_str());
    setNumber("ResultsScoreValue", values.score);
    setNumber("ResultsKillsValue", values.kills);
    setNumber("ResultsDeathsValue", values.deaths);
    char16_t time[16];
    formatPlayTime(values.playTime, time, 16);
    setLabelWideText("ResultsPlayTimeValue", time);
    setNumber("ResultsPointsLostValue", values.pointsLost);
    char percent[16];
    if (values.killPercentage < 0.0f) std::snprintf(percent, sizeof percent, "-");
    else std::snprintf(percent, sizeof percent, "%.0f%%", values.killPercentage);
    setLabelText("ResultsKillPercentageValue", percent);
    setNumber("ResultsBestValue", song ? song->bestScores[level] / SCORE_ENCODING_FACTOR : 0);
    setLabelKey("ResultsNewBest", newBest && values.score > 0 ? "fe_results_new_best" : nullptr);

    // A song whose item the player has already comes here straight from play: the results say so.
    const SCollectibleRecord* item = songCollectibleAt(songIndex);
    SItemDescription description;
    char16_t owned[RESULTS_ITEM_TEXT_LENGTH] = u"";
    if (uiVariable(UIVAR_RESULTS_SCREEN_INIT_FROM) == 0 && item && item->identified && describeItem(item->key, &description))
        formatLocalisedNarrowStringByKey(owned, RESULTS_ITEM_TEXT_LENGTH, "fe_results_item_owned", description.name);
    setLabelWideText("ResultsItemNotice", owned);
}

void resumeGame(ClWidget*) {
    setUiVariable(UIVAR_PAUSE_GAME, 0);
    showScreen("InGame");
}

ClWidget_Label* hudLabel(const char* name, ClWidget* parent, const SWidgetLayout& layout, const char* key, f32 size,
                         u32 alignment) {
    ClWidget_Label* label = createTextLabel(name, parent, layout, key, size, alignment);
    label->look().setFace(HEADING_FACE);
    return label;
}

// A plain filled box the world shows, hides and tints.
ClWidget* hudBox(const char* name, ClWidget* parent, const SWidgetLayout& layout, u32 colour) {
    ClWidget* box = createWidget(name, parent);
    box->setLayout(layout);
    box->setColour("backgroundColor", colour);
    box->setVisibleQuietly(false);
    return box;
}

void buildHud(ClWidget* top) {
    ClWidget* hud = createScreen("InGame", top, 0);
    hudLabel("Score", hud, {40, 30, 700, 90, TOP_LEFT, TOP_LEFT}, nullptr, 80, E_ALIGN_LEFT | E_ALIGN_MIDDLE)
        ->setText("dynamicText", "0");
    hudLabel("hud_next_target", hud, {40, 30, 700, 50, TOP_RIGHT, TOP_RIGHT}, "hud_next_target", 40,
             E_ALIGN_RIGHT | E_ALIGN_MIDDLE);
    hudLabel("hud_target_score", hud, {40, 80, 700, 70, TOP_RIGHT, TOP_RIGHT}, nullptr, 60,
             E_ALIGN_RIGHT | E_ALIGN_MIDDLE);
    hudBox("WaveKillChain_BG1", hud, {40, 130, 520, 70, TOP_LEFT, TOP_LEFT}, 0x80202840u);
    hudBox("WaveKillChain_BG2", hud, {46, 136, 508, 58, TOP_LEFT, TOP_LEFT}, 0x60E08020u);
    hudLabel("WaveKillChain", hud, {40, 130, 520, 70, TOP_LEFT, TOP_LEFT}, "hud_wave_kill_chain", 48,
             E_ALIGN_CENTRE | E_ALIGN_MIDDLE)
        ->setVisibleQuietly(false);
    hudLabel("playback_time_remaining", hud, {0, 30, 400, 60, BOTTOM_CENTRE, BOTTOM_CENTRE}, nullptr, 48,
             E_ALIGN_CENTRE | E_ALIGN_MIDDLE);
    // The boss meter's parts bracket the health bar the world draws on "SAFE" from (-552, 57),
    // 1020 x 36 units, and leave its right end open to the countdown: they draw over the bar, so
    // none may cover it. Laid out in that canvas's units, they keep to it at every screen size.
    ClWidget* meter = createWidget("boss_meter", hud);
    meter->setText(UI_CHILD_CANVAS, "SAFE");
    const f32 rule = 4.0f, gap = 3.0f, left = -552.0f - gap - rule, upper = 57.0f - gap - rule, right = 468.0f + gap;
    const f32 width = right - left, height = 36.0f + 2.0f * (gap + rule);
    const u32 topLeft = E_ALIGN_LEFT | E_ALIGN_TOP;
    hudBox("boss_meter_color_highlight", meter, {left, upper, width, rule, TOP_CENTRE, topLeft}, 0x80FF3030u);
    hudBox("boss_meter_highlight", meter, {left, upper + height - rule, width, rule, TOP_CENTRE, topLeft}, 0x60FFFFFFu);
    hudBox("boss_meter_icon", meter, {left, upper, rule, height, TOP_CENTRE, topLeft}, 0xFFFF0000u);
    hudBox("boss_meter_background", meter, {right, upper, rule, height, TOP_CENTRE, topLeft}, 0xC0101010u);
    ClWidget_Label* escaped = hudLabel("boss_escaped", hud, centredAt(420, 1400, 140), "hud_boss_escaped", 110,
                                       E_ALIGN_CENTRE | E_ALIGN_MIDDLE);
    escaped->setColour("textColor", NOTICE_COLOUR);
    escaped->setVisibleQuietly(false);
}

}  // namespace


SResultsValues computeResults(const SPlayerState& player, s32 enemiesOffered) {
    SResultsValues values{};
    values.score = player.score / SCORE_ENCODING_FACTOR;
    values.kills = player.kills;
    values.deaths = player.deaths;
    values.playTime = player.playTime;
    values.pointsLost = player.pointsLost;
    values.killPercentage =
        enemiesOffered > 0 ? 100.0f * f32(std::min(player.kills, enemiesOffered)) / f32(enemiesOffered) : -1.0f;
    return values;
}

constexpr SUiCallbackEntry PLAY_UI_CALLBACKS[] = {
    {"systemInitResults", initResults},
    {"systemResumeGame", resumeGame},
    {"systemQuitSong", [](ClWidget*) { setUiVariable(UIVAR_FORCE_QUIT_GAME, 1); }},
};

std::span<const SUiCallbackEntry> playScreenUiCallbacks() { return PLAY_UI_CALLBACKS; }

void buildPlayScreens(ClWidget* top) {
    buildHud(top);

    ClWidget* pause = createScreen("PauseMenu", top, 0xB0080C14u);
    pause->setText("defaultFocus", "PauseResume");
    createHeading(pause, 260, "fe_pause_heading");
    createTextButton("PauseResume", pause, centredAt(480, 600, 110), "fe_pause_resume", "systemResumeGame");
    createTextButton("PauseQuitSong", pause, centredAt(620, 600, 110), "fe_pause_quit_song", "systemQuitSong");

    ClWidget* results = createScreen("Results", top);
    results->setEvent("onBecomeVisible", "systemInitResults");
    results->setText("defaultFocus", "ResultsContinue");
    createHeading(results, 30, "fe_results_heading");
    createTextLabel("ResultsSong", results, centredAt(165, 1700, 70), nullptr, 56);
    createTextLabel("ResultsLevel", results, centredAt(235, 1700, 56), nullptr, 44)->setColour("textColor", HEADING_COLOUR);
    f32 y = 310.0f;
    for (const auto& row : RESULT_ROWS) {
        createTextLabel(nullptr, results, {-420, y, 760, 70, TOP_CENTRE, TOP_CENTRE}, row[1], 52,
                        E_ALIGN_LEFT | E_ALIGN_MIDDLE);
        createTextLabel((std::string(row[0]) + "Value").c_str(), results, {420, y, 760, 70, TOP_CENTRE, TOP_CENTRE},
                        nullptr, 52, E_ALIGN_RIGHT | E_ALIGN_MIDDLE);
        y += 74.0f;
    }
    createTextLabel("ResultsNewBest", results, centredAt(y + 6.0f, 1200, 60), nullptr, 52)
        ->setColour("textColor", HEADING_COLOUR);
    createTextLabel("ResultsItemNotice", results, centredAt(y + 70.0f, 1700, 56), nullptr, 40)
        ->setColour("textColor", HINT_COLOUR);
    createTextButton("ResultsContinue", results, centredAt(960, 520, 100), "fe_continue", nullptr)
        ->setText("nextScreenID", "SongList");
}
