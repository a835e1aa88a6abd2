#include "online/busy_text.h"

#include "core/game_clock.h"
#include "core/string_table.h"
#include "online/leaderboard.h"
#include "render/canvases.h"
#include "ui/text_draw.h"
#include "ui/ui_pages.h"

namespace {

// Above every page of the interface (its shadow one layer below), under the pointer.
constexpr u32 BUSY_TEXT_LAYER = UI_FIRST_LAYER + UI_PAGE_CAPACITY * UI_LAYERS_PER_PAGE - 1;
constexpr u32 BUSY_TEXT_COLOUR = 0xFFFFFFFFu;
constexpr u32 BUSY_TEXT_SHADOW = 0xC0000000u;
// From the canvas's bottom right corner, in canvas units.
constexpr f32 BUSY_TEXT_MARGIN_X = 24.0f;
constexpr f32 BUSY_TEXT_MARGIN_Y = 12.0f;
constexpr const char* BUSY_TEXT_KEY = "leaderboard_comm";

struct SLeaderboardNotice {
    const char* key = nullptr;
    f32 secondsLeft = 0.0f;
};

SLeaderboardNotice g_notice;

}  // namespace

void showLeaderboardNotice(const char* key) {
    g_notice.key = key;
    g_notice.secondsLeft = LEADERBOARD_NOTICE_SECONDS;
}

const char* leaderboardLineKey() {
    if (leaderboardIsBusy()) return BUSY_TEXT_KEY;
    return g_notice.secondsLeft > 0.0f ? g_notice.key : nullptr;
}

bool drawLeaderboardBusyText() {
    const char* key = leaderboardLineKey();
    if (!key) return false;
    if (key == g_notice.key) g_notice.secondsLeft -= gameClock(GAME_CLOCK_SYSTEM).frameTime;
    const char16_t* text = getLocalisedString(key);
    if (!text && key == BUSY_TEXT_KEY) text = u"Talking to the leaderboard...";
    if (!text) return false;
    const STextStyle style{"SAFE", "system_font", "SystemFont", 0.0f, 0.0f};
    return drawText(style, BUSY_TEXT_LAYER, E_ALIGN_RIGHT | E_ALIGN_BOTTOM, BUSY_TEXT_MARGIN_X, BUSY_TEXT_MARGIN_Y, 1.0f,
                    BUSY_TEXT_COLOUR, text, BUSY_TEXT_SHADOW);
}
