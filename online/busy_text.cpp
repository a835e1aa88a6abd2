#include "online/busy_text.h"

#include "core/string_table.h"
#include "online/leaderboard.h"
#include "render/canvases.h"
#include "ui/text_draw.h"

namespace {

// Above the interface's pages and the popups.
constexpr u32 BUSY_TEXT_LAYER = 1300;
constexpr u32 BUSY_TEXT_COLOUR = 0xFFFFFFFFu;
constexpr u32 BUSY_TEXT_SHADOW = 0xC0000000u;

}  // namespace

bool drawLeaderboardBusyText() {
    if (!leaderboardIsBusy()) return false;
    const char16_t* text = getLocalisedString("leaderboard_comm");
    const STextStyle style{"SAFE", "system_font", "SystemFont", 0.0f, 0.0f};
    return drawText(style, BUSY_TEXT_LAYER, E_ALIGN_RIGHT | E_ALIGN_BOTTOM, 0.0f, 0.0f, 1.0f, BUSY_TEXT_COLOUR,
                    text ? text : u"Talking to the leaderboard...", BUSY_TEXT_SHADOW);
}
