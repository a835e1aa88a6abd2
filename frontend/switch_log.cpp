#include "frontend/switch_log.h"

#include "core/log_manager.h"
#include "frontend/frontend.h"
#include "frontend/song_rows.h"
#include "library/data_file.h"
#include "platform/os/os.h"
#include "ui/switcher.h"
#include "ui/ui_variables.h"
#include "world/state/play_record.h"
#include "world/play/player_state.h"

#include <cstdio>
#include <cstring>

namespace {

LogHandle g_log = nullptr;
bool g_titlePresentedLogged = false;

}  // namespace

std::string quoteForLog(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const u8 byte = u8(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void openSwitchLog() {
    std::u16string path;
    if (!buildUserDataPath(FRONT_END_LOG_RELATIVE_PATH, &path)) return;
    const std::string narrow = osWideToUtf8(path.c_str());
    if (narrow.size() < LOG_TEXT_CAPACITY) g_log = openLog(FRONT_END_LOG_NAME, narrow.c_str());
    g_titlePresentedLogged = false;
}

void closeSwitchLog() {
    if (g_log && g_log != logSentinel()) closeLog(FRONT_END_LOG_NAME);
    g_log = nullptr;
}

std::string switchLogLine(const char* page) {
    std::string line = std::string("page ") + page;
    if (std::strcmp(page, "Results") == 0) {
        line += " song=" + quoteForLog(osWideToUtf8(songDisplayName(uiVariable(UIVAR_SELECTED_SONG_INDEX)).c_str()));
        line += " difficulty=" + std::to_string(currentDifficulty());
        line += " score=" + std::to_string(shownScore(playerState(0)));
    }
    return line;
}

void logTopLevelSwitch() {
    if (g_log) writeLog(g_log, "%s", switchLogLine(shownChildName("TopLevelSwitcher")).c_str());
}

void logTitleFramePresented() {
    if (!g_log || g_titlePresentedLogged) return;
    if (std::strcmp(shownChildName("TopLevelSwitcher"), "TitleMenu") != 0) return;
    g_titlePresentedLogged = true;
    writeLog(g_log, "presented TitleMenu at_ns=%llu", static_cast<unsigned long long>(osPerformanceCounter()));
}
