#include "frontend/song_rows.h"

#include "audio/analysis/spectrum_analysis.h"
#include "core/string_table.h"
#include "library/song_library.h"
#include "platform/os/os.h"
#include "ui/number_format.h"
#include "ui/text_tags.h"
#include "world/play/play_time.h"
#include "world/play/player_state.h"

#include <algorithm>

namespace {

std::u16string localised(const std::string& key) {
    const char16_t* text = getLocalisedString(key.c_str());
    return text ? text : std::u16string(key.begin(), key.end());
}

std::u16string widen(const char* ascii) { return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii)); }

}  // namespace

std::u16string songDisplayName(s32 songIndex) {
    const SSongRecord* song = getSongRecord(songIndex);
    if (!song) return {};
    const SSongNameTags tags = getSongNameTags(*song);
    std::u16string name(getSongDisplayNameLength(tags), u'\0');
    formatSongDisplayName(tags, name.data());
    name.resize(std::char_traits<char16_t>::length(name.c_str()));
    // The path keeps bytes of names that are not UTF-8 (and '\' in names) as they were.
    return osReadableText(name);
}

std::u16string songDisplayText(s32 songIndex) { return escapeColourTags(songDisplayName(songIndex)); }

std::string songStateKey(const SSongRecord& song) {
    if (song.missing) return "fe_song_missing";
    switch (song.state) {
        case E_SONGSTATE_READY: return "fe_song_ready";
        case E_SONGSTATE_ANALYSING: return "fe_song_analysing";
        case E_SONGSTATE_FAILED:
            return "fe_song_fail_" + std::to_string(song.failure < E_SONGFAIL_COUNT ? song.failure : 0);
        default: return "fe_song_waiting";
    }
}

std::u16string songRowText(s32 songIndex) {
    const SSongRecord* song = getSongRecord(songIndex);
    if (!song) return {};
    std::u16string row = songDisplayText(songIndex) + u"   ";
    if (isSongPlayable(*song)) {
        char16_t length[16];
        formatPlayTime(song->duration, length, 16);
        row += SONG_READY_TAG + std::u16string(length);
        const s32 best = *std::max_element(std::begin(song->bestScores), std::end(song->bestScores));
        if (best > 0) {
            char shown[THOUSANDS_TEXT_LENGTH];
            formatIntThousandsNarrow(best / SCORE_ENCODING_FACTOR, shown);
            row += u"  " + localised("fe_song_best") + u" " + widen(shown);
        }
        return row + u"[/c]";
    }
    const char16_t* tag = song->state == E_SONGSTATE_FAILED || song->missing ? SONG_FAILED_TAG : SONG_WAITING_TAG;
    row += tag + localised(songStateKey(*song));
    if (song->state == E_SONGSTATE_ANALYSING && !song->missing)
        row += u" " + widen(std::to_string(analysisPercent()).c_str()) + u"%";
    return row + u"[/c]";
}

u32 analysisPercent() {
    const f32 fraction = getSpectrumAnalysisProgress() / SPECTRUM_DECODE_PROGRESS_END;
    if (!(fraction > 0.0f)) return 0;
    return fraction >= 0.99f ? 99u : u32(fraction * 100.0f);
}

std::u16string unreadableFolderRowText(const std::u16string& folder) {
    std::u16string path = folder;
    std::replace(path.begin(), path.end(), u'\\', u'/');
    return escapeColourTags(osReadableText(path)) + u"   " + SONG_FAILED_TAG + localised("fe_folder_unreadable") + u"[/c]";
}

u32 songListPageCount(u32 rowCount) { return std::max<u32>(1, (rowCount + SONG_LIST_PAGE_ROWS - 1) / SONG_LIST_PAGE_ROWS); }
