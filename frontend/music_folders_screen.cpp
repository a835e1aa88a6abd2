// Rules chosen here: the browser starts in the player's home folder and keeps its place while the
// front end runs (adding several folders side by side); the root folder cannot be added (a walk
// of the whole system); a folder inside one searched already is not added twice. The random
// input tester (USE_PAD_MONKEY) plays unattended: it may look at the pages but adds and removes
// no folder of the player's library.
#include "frontend/music_folders_screen.h"

#include "core/config.h"
#include "core/string_helpers.h"
#include "core/string_table.h"
#include "frontend/options_pages.h"
#include "frontend/page_parts.h"
#include "frontend/screens.h"
#include "library/game_data.h"
#include "library/music_folders.h"
#include "library/song_library.h"
#include "library/song_scan.h"
#include "platform/os/os.h"
#include "platform/shell/shell.h"
#include "ui/switcher.h"
#include "ui/text_tags.h"
#include "ui/ui_imports.h"
#include "ui/ui_variables.h"

#include <string>
#include <vector>

namespace {

constexpr f32 LIST_WIDTH = 1640.0f;
constexpr f32 ROW_HEIGHT = 76.0f;
constexpr f32 ROW_TEXT_SIZE = 44.0f;
constexpr u32 ROWS_SHOWN = 6;
constexpr const char16_t* COUNT_TAG = u"[c=A0A8B8]";

// A row of the folder page: a folder, and whether the player added it (and may remove it).
struct SFolderRow {
    std::u16string path;
    const char* kindKey;  // the note after the path; null for the player's folders
};

struct SFolderPage {
    std::vector<SFolderRow> rows;
    std::u16string chosen;  // the player's folder chosen for removal; empty when none
    u64 shownSignature = 0;
};

SFolderPage g_page;
SMusicDirScan g_browser;

bool foldersLocked() { return configGetInt("USE_PAD_MONKEY") != 0; }

ClWidget_List* listNamed(const char* name) { return static_cast<ClWidget_List*>(findWidgetByName(name)); }

std::vector<SFolderRow> folderRows() {
    std::vector<SFolderRow> rows;
    std::u16string soundtrack = getSoundtrackFolder();
    while (soundtrack.size() > 1 && soundtrack.back() == u'\\') soundtrack.pop_back();
    if (!soundtrack.empty()) rows.push_back({soundtrack, "fe_folders_soundtrack"});
    std::u16string music;
    if ((gameData().options & GAME_DATA_OPTION_SCAN_USER_MUSIC) && musicFolderQuery(E_MUSICFOLDER_USER_MUSIC, &music))
        rows.push_back({music, "fe_folders_user_music"});
    for (const std::u16string& folder : gameData().musicFolders) rows.push_back({folder, nullptr});
    return rows;
}

std::u16string folderRowText(const SFolderRow& row, ClWidget_List& list) {
    const u32 songs = countSongsInFolder(row.path);
    const char* key = songs == 1 ? (isSongScanWalking() ? "fe_folders_one_song_so_far" : "fe_folders_one_song")
                                 : (isSongScanWalking() ? "fe_folders_songs_so_far" : "fe_folders_songs");
    char16_t count[64];
    formatLocalisedIntByKey(count, 64, key, s32(songs));
    std::u16string note = std::u16string(count);
    if (row.kindKey) note = optionsText(row.kindKey) + u", " + note;
    note = u"   (" + note + u")";
    const f32 pathRoom = LIST_WIDTH - 40.0f - measureTextUnits(list.look().face, ROW_TEXT_SIZE, note.c_str());
    const std::u16string path = elideStart(list.look().face, ROW_TEXT_SIZE, folderDisplayText(row.path), pathRoom);
    return escapeColourTags(path) + COUNT_TAG + escapeColourTags(note) + u"[/c]";
}

u64 folderPageSignature() {
    return (u64(songLibrary().songs.size()) << 2) ^ (isSongScanWalking() ? 1u : 0u) ^
           (u64(gameData().musicFolders.size()) << 40);
}

void refreshFolderPage(bool force) {
    const u64 signature = folderPageSignature();
    if (!force && signature == g_page.shownSignature) return;
    g_page.shownSignature = signature;
    g_page.rows = folderRows();
    ClWidget_List* list = listNamed("MusicFolderRows");
    // Only a change of the folders starts the rows again; counts that move keep the focus.
    if (list->itemCount() != g_page.rows.size()) {
        list->clearItems();
        for (size_t i = 0; i < g_page.rows.size(); ++i) list->addItem(u"", false);
    }
    s32 chosenRow = -1;
    for (u32 i = 0; i < g_page.rows.size(); ++i) {
        const SFolderRow& row = g_page.rows[i];
        if (!row.kindKey && row.path == g_page.chosen) chosenRow = s32(i);
        list->setItem(i, folderRowText(row, *list).c_str(), row.kindKey == nullptr);
    }
    if (chosenRow < 0) g_page.chosen.clear();
    list->setInt("selectedIndex", chosenRow);
    setOptionDisabled("MusicFoldersRemove", g_page.chosen.empty() || foldersLocked());
}

void initFolderPage(ClWidget*) {
    g_page.chosen.clear();
    setLabelKey("MusicFoldersNotice", nullptr);
    refreshFolderPage(true);
}

void folderChosen(ClWidget* list) {
    const s32 index = list->getInt("selectedIndex");
    if (index < 0 || index >= s32(g_page.rows.size()) || g_page.rows[size_t(index)].kindKey) return;
    g_page.chosen = g_page.rows[size_t(index)].path;
    setOptionDisabled("MusicFoldersRemove", foldersLocked());
}

void removeChosenFolder(ClWidget*) {
    if (g_page.chosen.empty()) return;
    const bool removed = removeMusicFolder(g_page.chosen);
    setLabelKey("MusicFoldersNotice", removed ? "fe_folders_removed" : nullptr);
    g_page.chosen.clear();
    refreshFolderPage(true);
}

// The browser shows the folder: its folders listed, or why not.
void browse(const std::u16string& folder) {
    g_browser.folder = folder;
    g_browser.state = listSubfolders(folder, &g_browser.names) ? 1 : 2;
    ClWidget_List* list = listNamed("MusicFolderBrowserRows");
    list->clearItems();
    list->setInt("selectedIndex", -1);
    for (const std::u16string& name : g_browser.names) list->addItem(escapeColourTags(osReadableText(name)).c_str(), true);
    auto* path = static_cast<ClWidget_Label*>(findWidgetByName("MusicFolderBrowserPath"));
    setFittedText(path, folderDisplayText(folder), ROW_TEXT_SIZE);
    setLabelKey("MusicFolderBrowserNotice", g_browser.state == 2       ? "fe_browser_unreadable"
                                            : g_browser.names.empty() ? "fe_browser_no_folders"
                                                                       : nullptr);
    setOptionDisabled("MusicFolderBrowserUp", folderPathParent(folder) == folder);
    setOptionDisabled("MusicFolderBrowserAdd", folderPathParent(folder) == folder || foldersLocked());
}

void initBrowser(ClWidget*) {
    if (g_browser.state != 0) {
        browse(g_browser.folder);
        return;
    }
    std::u16string home;
    if (!shellGetSpecialFolder(E_SHELLFOLDER_HOME, &home)) home = u"\\";
    browse(home);
}

void browserRowChosen(ClWidget* list) {
    const s32 index = list->getInt("selectedIndex");
    if (index >= 0 && index < s32(g_browser.names.size())) browse(folderPathJoin(g_browser.folder, g_browser.names[size_t(index)]));
}

void addBrowsedFolder(ClWidget*) {
    switch (addMusicFolder(g_browser.folder)) {
        case E_MUSICFOLDER_ADDED:
            if (ClWidget* root = getUiVariables()) root->setText(UIVAR_SWITCH_FROM_WAIT_FOR_DIR_SCAN, "MusicFolders");
            showScreen("WaitForDirScan");
            return;
        case E_MUSICFOLDER_ALREADY_SEARCHED: setLabelKey("MusicFolderBrowserNotice", "fe_browser_already_searched"); return;
        case E_MUSICFOLDER_NOT_ADDED: setLabelKey("MusicFolderBrowserNotice", "fe_browser_not_added"); return;
    }
}

ClWidget_List* createFolderList(const char* name, ClWidget* page, const char* onSelect) {
    ClWidget_List* list = createList(name, page, centredAt(220, LIST_WIDTH, ROW_HEIGHT * ROWS_SHOWN));
    list->setRowHeight(ROW_HEIGHT);
    list->look().size = ROW_TEXT_SIZE;
    list->setEvent("onSelect", onSelect);
    return list;
}

}  // namespace

void SMusicDirScan::reset() {
    state = 0;
    folder.clear();
    names.clear();
}

void resetMusicDirScan() { g_browser.reset(); }

std::u16string folderDisplayText(const std::u16string& path) {
    std::u16string shown = path;
    for (char16_t& c : shown) {
        if (c == u'\\') c = u'/';
    }
    return osReadableText(shown);
}

constexpr SUiCallbackEntry MUSIC_FOLDER_UI_CALLBACKS[] = {
    {"systemInitMusicFolders", initFolderPage},
    {"systemMusicFolderChosen", folderChosen},
    {"systemRemoveMusicFolder", removeChosenFolder},
    {"systemInitMusicFolderBrowser", initBrowser},
    {"systemMusicFolderBrowserChosen", browserRowChosen},
    {"systemMusicFolderBrowserUp", [](ClWidget*) { browse(folderPathParent(g_browser.folder)); }},
    {"systemAddBrowsedMusicFolder", addBrowsedFolder},
};

std::span<const SUiCallbackEntry> musicFolderUiCallbacks() { return MUSIC_FOLDER_UI_CALLBACKS; }

void buildMusicFolderScreens(ClWidget* top) {
    ClWidget* folders = createScreen("MusicFolders", top);
    folders->setEvent("onBecomeVisible", "systemInitMusicFolders");
    folders->setText("defaultFocus", "MusicFolderRows");
    createHeading(folders, 40, "fe_folders_heading");
    createTextLabel(nullptr, folders, centredAt(150, 1700, 60), "fe_folders_intro", 44);
    createFolderList("MusicFolderRows", folders, "systemMusicFolderChosen");
    createTextLabel("MusicFoldersNotice", folders, centredAt(700, 1700, 60), nullptr, 40)->setColour("textColor", HEADING_COLOUR);
    createTextButton("MusicFoldersAdd", folders, {-260, 800, 480, 90, TOP_CENTRE, TOP_CENTRE}, "fe_folders_add", nullptr)
        ->setText("nextScreenID", "MusicFolderBrowser");
    createTextButton("MusicFoldersRemove", folders, {260, 800, 480, 90, TOP_CENTRE, TOP_CENTRE}, "fe_folders_remove",
                     "systemRemoveMusicFolder");
    createTextButton("MusicFoldersBack", folders, centredAt(950, 440, 90), "fe_back", nullptr)
        ->setText("nextScreenID", "OptionsMenu");

    ClWidget* browser = createScreen("MusicFolderBrowser", top);
    browser->setEvent("onBecomeVisible", "systemInitMusicFolderBrowser");
    browser->setText("defaultFocus", "MusicFolderBrowserRows");
    createHeading(browser, 40, "fe_browser_heading");
    createTextLabel("MusicFolderBrowserPath", browser, centredAt(150, LIST_WIDTH, 60), nullptr, ROW_TEXT_SIZE)
        ->setColour("textColor", HEADING_COLOUR);
    createFolderList("MusicFolderBrowserRows", browser, "systemMusicFolderBrowserChosen");
    createTextLabel("MusicFolderBrowserNotice", browser, centredAt(700, 1700, 60), nullptr, 40)
        ->setColour("textColor", NOTICE_COLOUR);
    createTextButton("MusicFolderBrowserUp", browser, {-260, 800, 480, 90, TOP_CENTRE, TOP_CENTRE}, "fe_browser_up",
                     "systemMusicFolderBrowserUp");
    createTextButton("MusicFolderBrowserAdd", browser, {260, 800, 480, 90, TOP_CENTRE, TOP_CENTRE}, "fe_browser_add",
                     "systemAddBrowsedMusicFolder");
    createTextButton("MusicFolderBrowserBack", browser, centredAt(950, 440, 90), "fe_back", nullptr)
        ->setText("nextScreenID", "MusicFolders");
}

void tickMusicFolderScreens() {
    if (strCompareNoCase(shownChildName("TopLevelSwitcher"), "MusicFolders") == 0) refreshFolderPage(false);
}
