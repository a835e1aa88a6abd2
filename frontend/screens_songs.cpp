// The song list (in pages, each song's analysis state, why a song cannot be played, the folders
// whose songs cannot be listed) and the difficulty screen, which asks for play.
#include "core/name_hash.h"
#include "core/string_helpers.h"
#include "core/string_table.h"
#include "frontend/front_end_services.h"
#include "frontend/page_parts.h"
#include "frontend/screens.h"
#include "frontend/song_rows.h"
#include "library/play_record_fill.h"
#include "library/song_library.h"
#include "library/song_scan.h"
#include "ui/number_format.h"
#include "ui/switcher.h"
#include "ui/ui_imports.h"
#include "ui/ui_variables.h"
#include "world/play/player_state.h"

#include <cstring>
#include <string>

namespace {

u32 g_page = 0;
u64 g_shownSignature = 0;

ClWidget_List* songList() { return static_cast<ClWidget_List*>(findWidgetByName("SongListRows")); }

u32 songCount() { return u32(songLibrary().songs.size()); }
// The songs, then the folders the scan could not read.
u32 rowCount() { return songCount() + u32(songLibrary().unreadableFolders.size()); }

// The selected song as last seen: its index and its identity. The library may move or drop
// records (a renamed file continues its old record), so the selection follows the identity.
s32 g_selectedIndex = -1;
SSongIdentity g_selectedIdentity{};
bool g_selectedKnown = false;

bool sameIdentity(const SSongIdentity& a, const SSongIdentity& b) {
    return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0;
}

// A selection whose record has moved takes the record's new index; one whose record has gone is
// cleared. A selection set elsewhere is taken as it is.
void followSelectedSong() {
    s32 index = uiVariable(UIVAR_SELECTED_SONG_INDEX);
    const SSongRecord* song = getSongRecord(index);
    if (g_selectedKnown && index == g_selectedIndex && (!song || !sameIdentity(song->identity, g_selectedIdentity))) {
        song = findSongByIdentity(g_selectedIdentity);
        index = song ? s32(song - songLibrary().songs.data()) : -1;
        setUiVariable(UIVAR_SELECTED_SONG_INDEX, index);
    }
    g_selectedIndex = index;
    g_selectedKnown = song != nullptr;
    if (song) g_selectedIdentity = song->identity;
}

// Changes whenever a row of the page or the paging would show something else.
u64 pageSignature() {
    u64 h = 1469598103934665603ull ^ (u64(songCount()) << 32) ^ (u64(rowCount()) << 16) ^ g_page;
    for (const std::u16string& folder : songLibrary().unreadableFolders) h = (h ^ folder.size()) * 1099511628211ull;
    for (u32 i = g_page * SONG_LIST_PAGE_ROWS; i < songCount() && i < (g_page + 1) * SONG_LIST_PAGE_ROWS; ++i) {
        const SSongRecord& song = songLibrary().songs[i];
        for (u64 word : {u64(song.state) | u64(song.missing) << 8, u64(song.failure), u64(song.path.size()), u64(u32(song.bestScores[0] ^
                          song.bestScores[1] ^ song.bestScores[2] ^ song.bestScores[3] ^ song.bestScores[4] ^
                          song.bestScores[5]))})
            h = (h ^ word) * 1099511628211ull;
        if (song.state == E_SONGSTATE_ANALYSING) h = (h ^ analysisPercent()) * 1099511628211ull;
    }
    return h;
}

void refreshSongList(bool force) {
    const u32 pages = songListPageCount(rowCount());
    if (g_page >= pages) g_page = pages - 1;
    const u64 signature = pageSignature();
    if (!force && signature == g_shownSignature) return;
    g_shownSignature = signature;

    ClWidget_List* list = songList();
    const u32 first = g_page * SONG_LIST_PAGE_ROWS;
    const u32 rows = rowCount() > first ? std::min(SONG_LIST_PAGE_ROWS, rowCount() - first) : 0;
    if (list->itemCount() != rows) {
        list->clearItems();
        for (u32 r = 0; r < rows; ++r) list->addItem(u"", false);
    }
    for (u32 r = 0; r < rows; ++r) {
        const u32 index = first + r;
        if (index < songCount()) {
            list->setItem(r, songRowText(s32(index)).c_str(), isSongPlayable(songLibrary().songs[index]));
        } else {
            list->setItem(r, unreadableFolderRowText(songLibrary().unreadableFolders[index - songCount()]).c_str(), false);
        }
    }
    list->setInt("selectedIndex", -1);

    char16_t text[64];
    formatLocalisedTwoInts(text, 64, crc32TextNoCase("fe_song_page"), s32(g_page + 1), s32(pages));
    setLabelWideText("SongListPage", text);
    setLabelKey("SongListEmpty", rows      ? nullptr
                                 : isSongScanWalking() ? "fe_songs_none_yet"
                                                       : "fe_songs_none");
    findWidgetByName("SongListPrev")->setInt("disabled", g_page == 0 ? 1 : 0);
    findWidgetByName("SongListNext")->setInt("disabled", g_page + 1 >= pages ? 1 : 0);
}

void initSongList(ClWidget*) {
    resumeSongScanRequests();
    systemStartMainMenuMusic();
    const s32 selected = uiVariable(UIVAR_SELECTED_SONG_INDEX);
    if (getSongRecord(selected)) g_page = u32(selected) / SONG_LIST_PAGE_ROWS;
    refreshSongList(true);
}

void turnPage(s32 step) {
    const s64 page = s64(g_page) + step;
    if (page >= 0 && page < songListPageCount(rowCount())) g_page = u32(page);
    refreshSongList(true);
}

void songChosen(ClWidget* list) {
    const s32 index = s32(g_page * SONG_LIST_PAGE_ROWS) + list->getInt("selectedIndex");
    const SSongRecord* song = getSongRecord(index);
    if (!song || !isSongPlayable(*song)) return;
    setUiVariable(UIVAR_SELECTED_SONG_INDEX, index);
    followSelectedSong();
    showScreen("Difficulty");
}

void initDifficulty(ClWidget*) {
    const s32 index = uiVariable(UIVAR_SELECTED_SONG_INDEX);
    setLabelWideText("DifficultySong", songDisplayText(index).c_str());
    setLabelKey("DifficultyNotice", nullptr);
    const SSongRecord* song = getSongRecord(index);
    for (u32 level = 0; level < DIFFICULTY_LEVEL_COUNT; ++level) {
        const std::string name = "DifficultyLevel" + std::to_string(level);
        const char16_t* levelName = getLocalisedString(("fe_level_" + std::to_string(level)).c_str());
        std::u16string text = levelName ? levelName : u"";
        if (song && song->bestScores[level] > 0) {
            char best[THOUSANDS_TEXT_LENGTH];
            formatIntThousandsNarrow(song->bestScores[level] / SCORE_ENCODING_FACTOR, best);
            const char16_t* bestLabel = getLocalisedString("fe_song_best");
            text += u"   [c=FFD040]" + std::u16string(bestLabel ? bestLabel : u"") + u" ";
            for (const char* c = best; *c; ++c) text += char16_t(*c);
            text += u"[/c]";
        }
        setLabelWideText(name.c_str(), text.c_str());
    }
}

void difficultyChosen(ClWidget* button) {
    followSelectedSong();
    if (!fillPlayRecordForSong(uiVariable(UIVAR_SELECTED_SONG_INDEX), button->getInt("level"))) {
        setLabelKey("DifficultyNotice", "fe_song_unplayable");
        return;
    }
    setLabelKey("DifficultyNotice", "fe_loading");
    systemStopMainMenuMusic();
    setUiVariable(UIVAR_GO_TO_ACTION, 1);
}

}  // namespace

constexpr SUiCallbackEntry SONG_UI_CALLBACKS[] = {
    {"systemInitSongList", initSongList},
    {"systemSongListPrevPage", [](ClWidget*) { turnPage(-1); }},
    {"systemSongListNextPage", [](ClWidget*) { turnPage(1); }},
    {"systemSongChosen", songChosen},
    {"systemInitDifficulty", initDifficulty},
    {"systemDifficultyChosen", difficultyChosen},
};

std::span<const SUiCallbackEntry> songScreenUiCallbacks() { return SONG_UI_CALLBACKS; }

void buildSongScreens(ClWidget* top) {
    ClWidget* songs = createScreen("SongList", top);
    songs->setEvent("onBecomeVisible", "systemInitSongList");
    songs->setText("defaultFocus", "SongListRows");
    createHeading(songs, 40, "fe_songs_heading");
    ClWidget_List* list = createList("SongListRows", songs, centredAt(190, 1640, 8 * 76));
    list->setRowHeight(76);
    list->look().size = 44;
    list->setEvent("onSelect", "systemSongChosen");
    createTextLabel("SongListEmpty", songs, centredAt(400, 1600, 80), nullptr, 52);
    createTextButton("SongListPrev", songs, {-560, 840, 320, 100, TOP_CENTRE, TOP_CENTRE}, "fe_prev_page",
                     "systemSongListPrevPage");
    createTextLabel("SongListPage", songs, centredAt(840, 640, 100), nullptr, 48);
    createTextButton("SongListNext", songs, {560, 840, 320, 100, TOP_CENTRE, TOP_CENTRE}, "fe_next_page",
                     "systemSongListNextPage");
    createTextButton("SongListBack", songs, centredAt(960, 400, 90), "fe_back", nullptr)
        ->setText("nextScreenID", "TitleMenu");

    ClWidget* difficulty = createScreen("Difficulty", top);
    difficulty->setEvent("onBecomeVisible", "systemInitDifficulty");
    difficulty->setText("defaultFocus", "DifficultyLevel0");
    createHeading(difficulty, 40, "fe_difficulty_heading");
    createTextLabel("DifficultySong", difficulty, centredAt(180, 1700, 80), nullptr, 56);
    for (u32 level = 0; level < DIFFICULTY_LEVEL_COUNT; ++level) {
        const std::string name = "DifficultyLevel" + std::to_string(level);
        ClWidget_Button* button = createTextButton(name.c_str(), difficulty, centredAt(290.0f + 105.0f * level, 900, 90),
                                                   nullptr, "systemDifficultyChosen");
        button->setInt("level", s32(level));
        button->look().size = 52;
    }
    createTextLabel("DifficultyNotice", difficulty, centredAt(930, 1600, 60), nullptr, 44)
        ->setColour("textColor", NOTICE_COLOUR);
    createTextButton("DifficultyBack", difficulty, centredAt(1000, 400, 70), "fe_back", nullptr)
        ->setText("nextScreenID", "SongList");
}

void forgetSelectedSong() {
    g_selectedIndex = -1;
    g_selectedKnown = false;
}

void tickSongScreens() {
    followSelectedSong();
    if (strCompareNoCase(shownChildName("TopLevelSwitcher"), "SongList") == 0) refreshSongList(false);
}
