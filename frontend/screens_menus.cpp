// Splashes, the title, the quit confirmation, the scan wait, the voice-over test and interview
// screens, the boss win and boss score, and the featured artists.
#include "core/config.h"
#include "core/name_hash.h"
#include "core/string_helpers.h"
#include "core/string_table.h"
#include "frontend/front_end_services.h"
#include "frontend/menu_previews.h"
#include "frontend/music_folders_screen.h"
#include "frontend/options_screen.h"
#include "frontend/page_parts.h"
#include "frontend/screens.h"
#include "library/data_file.h"
#include "library/song_library.h"
#include "library/song_scan.h"
#include "ui/switcher.h"
#include "ui/ui_draw.h"
#include "ui/ui_imports.h"
#include "ui/ui_system.h"
#include "ui/ui_variables.h"

#include <cstdio>
#include <string>

namespace {

constexpr u32 STORY_SCREEN_COLOUR = 0;

void initTitle(ClWidget*) {
    systemAllowQuit();
    systemStartMainMenuMusic();
    setUiVariable(UIVAR_IS_IN_MAIN_MENU, 1);
    const u32 damaged = libraryDamagedFileFlags();
    const u32 unsaved = libraryEarlierWriteFailedFlags();
    setLabelKey("TitleNotice", damaged & E_DAMAGED_USER_SAVE   ? "fe_notice_save_damaged"
                               : damaged & E_DAMAGED_GAME_DATA ? "fe_notice_game_data_damaged"
                               : unsaved & E_DAMAGED_USER_SAVE ? "fe_notice_save_failed_before"
                               : unsaved & E_DAMAGED_GAME_DATA ? "fe_notice_game_data_failed_before"
                                                               : nullptr);
}

void openQuitMenu(ClWidget*) {
    setUiVariable(UIVAR_WIDGET_TO_RETURN_TO_AFTER_QUIT_MENU, s32(crc32TextNoCase(shownChildName("TopLevelSwitcher"))));
    setUiVariable(UIVAR_PAUSE_GAME, 1);
    showScreen("MenuAreYouSureYouWantToQuit");
}

void cancelQuit(ClWidget*) {
    setUiVariable(UIVAR_PAUSE_GAME, 0);
    const u32 back = u32(uiVariable(UIVAR_WIDGET_TO_RETURN_TO_AFTER_QUIT_MENU));
    const ClWidget_Switcher* top = findSwitcherByName("TopLevelSwitcher");
    for (ClWidget* child : top->children()) {
        if (child->nameHash() == back && child != top->shownChild()) {
            showScreen(child->name());
            return;
        }
    }
    showScreen("TitleMenu");
}

// Why the chosen song could not be started, after a failed start.
const char* failedStartKey(const SSongRecord* song) {
    if (song && song->missing) return "fe_start_failed_missing";
    if (song && song->state == E_SONGSTATE_FAILED) return "fe_start_failed_unplayable";
    return "fe_wait_file_corrupt";
}

void initWaitForDirScan(ClWidget*) {
    const SSongRecord* song = getSongRecord(uiVariable(UIVAR_SELECTED_SONG_INDEX));
    setLabelKey("WaitForDirScanNotice", uiVariable(UIVAR_FILE_CORRUPTION) ? failedStartKey(song) : nullptr);
}

void leaveWaitForDirScan(ClWidget*) {
    const ClWidget* root = getUiVariables();
    const char* next = root ? root->getText(UIVAR_SWITCH_FROM_WAIT_FOR_DIR_SCAN) : nullptr;
    setUiVariable(UIVAR_FILE_CORRUPTION, 0);
    if (next && (std::string(next) == "SplashScreenVel" || std::string(next) == "TitleMenu")) showTitleWithMusic();
    else showScreen(next && *next ? next : "SongList");
}

void initVoiceOverTest(ClWidget*) {
    const std::string line = std::string(configGetString("SG_VO_TEST_ROOT")) + " / " + configGetString("SG_VO_TEST_LINE");
    setLabelText("TestSGVOLine", line.c_str());
}

void initArtists(ClWidget*) {
    ClWidget_List* list = dynamic_cast<ClWidget_List*>(findWidgetByName("ArtistList"));
    list->clearItems();
    for (const SFeaturedArtist& artist : featuredArtists()) {
        std::u16string name(artist.name.begin(), artist.name.end());
        list->addItem(name.c_str(), true);
    }
    setLabelKey("ArtistNotice", featuredArtists().empty() ? "fe_artists_none" : nullptr);
}

void artistChosen(ClWidget* list) {
    if (queueArtistDocument(u32(list->getInt("selectedIndex")))) setLabelKey("ArtistNotice", "fe_artists_queued");
}

void initBossScore(ClWidget*) {
    systemInitSOSMenu();
    char text[32];
    std::snprintf(text, sizeof text, "%d / %u", s32(bossScoreMeterLevel() * BOSS_PAIR_COUNT + 0.5f), BOSS_PAIR_COUNT);
    setLabelText("SOSBeatenCount", text);
}

// The boss-score screen, which draws its gradient zones ("sos.txt") over its own colour and below
// its children: each a band across the screen from its top to its bottom (fractions of its height).
class ClSosScreen : public ClWidget {
public:
    using ClWidget::ClWidget;
    void draw(const SUiDrawState& state) override {
        ClWidget::draw(state);
        const SCanvasRect& screen = screenRect();
        const f32 height = screen.bottom - screen.top;
        for (const SSosZone& zone : sosZones()) {
            const SCanvasRect band = {screen.left, screen.right, screen.top + zone.top * height,
                                      screen.top + zone.bottom * height};
            drawUiRect(state.layer + 1, band, zone.colour, state.alpha);
        }
    }
};

// A heading, a line of text and one button on the screen.
ClWidget* fillMessageScreen(ClWidget* screen, const char* name, const char* headingKey, const char* textKey,
                            const char* buttonName, const char* buttonKey, const char* onClick) {
    createHeading(screen, 200, headingKey);
    createTextLabel((std::string(name) + "Line").c_str(), screen, centredAt(420, 1600, 200), textKey, 56);
    createTextButton(buttonName, screen, centredAt(760, 560, 110), buttonKey, onClick);
    screen->setText("defaultFocus", buttonName);
    return screen;
}

// A screen with a heading, a line of text and one button.
ClWidget* messageScreen(ClWidget* top, const char* name, const char* headingKey, const char* textKey,
                        const char* buttonName, const char* buttonKey, const char* onClick,
                        u32 colour = SCREEN_COLOUR) {
    return fillMessageScreen(createScreen(name, top, colour), name, headingKey, textKey, buttonName, buttonKey,
                             onClick);
}

}  // namespace

void showTitleWithMusic() {
    systemStartMainMenuMusic();
    showScreen("TitleMenu");
}

constexpr SUiCallbackEntry MENU_UI_CALLBACKS[] = {
    {"systemLeaveSplash", [](ClWidget*) { showTitleWithMusic(); }},
    {"systemInitTitleMenu", initTitle},
    {"systemLeaveTitleMenu",
     [](ClWidget*) {
         setUiVariable(UIVAR_IS_IN_MAIN_MENU, 0);
         hideMenuShipPreview(E_MENU_PREVIEW_MAIN_MENU);
     }},
    {"systemOpenQuitMenu", openQuitMenu},
    {"systemConfirmQuit", [](ClWidget*) { setUiVariable(UIVAR_FORCE_QUIT_GAME, 1); }},
    {"systemCancelQuit", cancelQuit},
    {"systemInitWaitForDirScan", initWaitForDirScan},
    {"systemLeaveWaitForDirScan", leaveWaitForDirScan},
    {"systemInitVoiceOverTest", initVoiceOverTest},
    {"systemInitArtistsScreen", initArtists},
    {"systemArtistChosen", artistChosen},
    {"systemInitSOSMenu", initBossScore},
    {"systemTerminateSOSMenu", [](ClWidget*) { systemTerminateSOSMenu(); }},
};

std::span<const SUiCallbackEntry> menuScreenUiCallbacks() { return MENU_UI_CALLBACKS; }

void buildMenuScreens(ClWidget* top) {
    buildFilmSplash(top);

    // The screens the guardian speaks on have no fill: its story layer draws below the pages.
    ClWidget* splash = createScreen("SplashScreenNoButtons", top, STORY_SCREEN_COLOUR);
    splash->setEvent("onBecomeVisible", "systemInitSplash");
    splash->setEvent("onBecomeInvisible", "systemLeaveSplashScreen");
    // Title and tagline below the middle, where the guardian's eye opens.
    createHeading(splash, 780, "fe_game_title")->look().size = 180;
    createTextLabel(nullptr, splash, centredAt(950, 1600, 90), "fe_splash_tagline", 60);

    ClWidget* title = createScreen("TitleMenu", top);
    title->setEvent("onBecomeVisible", "systemInitTitleMenu");
    title->setEvent("onBecomeInvisible", "systemLeaveTitleMenu");
    title->setText("defaultFocus", "TitlePlay");
    createHeading(title, 120, "fe_game_title")->look().size = 160;
    createTextLabel(nullptr, title, centredAt(300, 1600, 70), "fe_splash_tagline", 48);
    ClWidget_Button* play = createTextButton("TitlePlay", title, centredAt(400, 640, 90), "fe_title_play", nullptr);
    play->setText("nextScreenID", "SongList");
    play->setText("tooltipKey", "fe_tip_play");
    ClWidget_Button* ship = createTextButton("TitleShip", title, centredAt(500, 640, 90), "fe_title_ship", nullptr);
    ship->setText("nextScreenID", "ShipEdit");
    ship->setText("tooltipKey", "fe_tip_ship");
    ClWidget_Button* artists = createTextButton("TitleArtists", title, centredAt(600, 640, 90), "fe_title_artists", nullptr);
    artists->setText("nextScreenID", "FeaturedArtists");
    artists->setText("tooltipKey", "fe_tip_artists");
    ClWidget_Button* options = createTextButton("TitleOptions", title, centredAt(700, 640, 90), "fe_title_options", nullptr);
    options->setText("nextScreenID", "OptionsMenu");
    options->setText("tooltipKey", "fe_tip_options");
    createTextButton("TitleQuit", title, centredAt(800, 640, 90), "fe_title_quit", "systemOpenQuitMenu")
        ->setText("tooltipKey", "fe_tip_quit");
    // The ship as it is equipped, drawn from its preview target over this frame.
    ClWidget* shipPreview = createWidget("TitleShipPreview", title);
    shipPreview->setLayout({640, 400, 440, 440, TOP_CENTRE, TOP_CENTRE});
    shipPreview->setColour("backgroundColor", PANEL_COLOUR);
    createTextLabel("TitleNotice", title, centredAt(900, 1800, 100), nullptr, 40)->setColour("textColor", NOTICE_COLOUR);

    messageScreen(top, "SplashScreenVel", "fe_game_title", "fe_forced_quit_text", "ForcedQuitContinue",
                  "fe_continue", "systemLeaveSplash");

    ClWidget* quit = createScreen("MenuAreYouSureYouWantToQuit", top, 0xE0080C14u);
    quit->setText("defaultFocus", "QuitNo");
    createHeading(quit, 300, "fe_quit_question");
    createTextButton("QuitYes", quit, {-200, 560, 360, 110, TOP_CENTRE, TOP_CENTRE}, "fe_yes", "systemConfirmQuit");
    createTextButton("QuitNo", quit, {200, 560, 360, 110, TOP_CENTRE, TOP_CENTRE}, "fe_no", "systemCancelQuit");

    ClWidget* wait = messageScreen(top, "WaitForDirScan", "fe_wait_heading", nullptr, "WaitForDirScanContinue",
                                   "fe_continue", "systemLeaveWaitForDirScan");
    wait->setEvent("onBecomeVisible", "systemInitWaitForDirScan");
    createTextLabel("WaitForDirScanNotice", wait, centredAt(620, 1800, 130), nullptr, 48)
        ->setColour("textColor", NOTICE_COLOUR);

    messageScreen(top, "TestSGVO", "fe_vo_test_heading", nullptr, "TestSGVOContinue", "fe_continue",
                  "systemLeaveSplash")
        ->setEvent("onBecomeVisible", "systemInitVoiceOverTest");
    ClWidget* interviews = messageScreen(top, "SGVOInterview", "fe_interview_heading", "fe_interview_text",
                                         "SGVOInterviewContinue", "fe_continue", "systemLeaveSplash", STORY_SCREEN_COLOUR);
    interviews->setEvent("onBecomeVisible", "systemInitInterviews");
    interviews->setEvent("onBecomeInvisible", "systemLeaveInterviews");
    ClWidget* bossWin = messageScreen(top, "PostBossWinGS", "fe_boss_win_heading", "fe_boss_win_text",
                                      "PostBossWinContinue", "fe_continue", nullptr, STORY_SCREEN_COLOUR);
    bossWin->setEvent("onBecomeVisible", "systemInitPostBossWin");
    bossWin->setEvent("onBecomeInvisible", "systemLeavePostBossWin");
    findWidgetByName("PostBossWinContinue")->setText("nextScreenID", "SOSMenu");

    ClWidget* sos = createWidgetOf<ClSosScreen>("SOSMenu", top);
    sos->setColour("backgroundColor", SCREEN_COLOUR);
    fillMessageScreen(sos, "SOSMenu", "fe_sos_heading", "fe_sos_text", "SOSMenuContinue", "fe_continue", nullptr);
    sos->setEvent("onBecomeVisible", "systemInitSOSMenu");
    sos->setEvent("onBecomeInvisible", "systemTerminateSOSMenu");
    findWidgetByName("SOSMenuContinue")->setText("nextScreenID", "SongList");
    createTextLabel("SOSBeatenCount", sos, centredAt(600, 800, 100), nullptr, 80)->setColour("textColor", HEADING_COLOUR);

    buildOptionsScreen(top);
    buildMusicFolderScreens(top);

    ClWidget* artistsScreen = createScreen("FeaturedArtists", top);
    artistsScreen->setEvent("onBecomeVisible", "systemInitArtistsScreen");
    artistsScreen->setText("defaultFocus", "ArtistList");
    createHeading(artistsScreen, 100, "fe_artists_heading");
    ClWidget_List* list = createList("ArtistList", artistsScreen, centredAt(300, 1200, 400));
    list->setRowHeight(80);
    list->setEvent("onSelect", "systemArtistChosen");
    createTextLabel("ArtistNotice", artistsScreen, centredAt(740, 1600, 70), nullptr, 44);
    createTextButton("ArtistsBack", artistsScreen, centredAt(860, 480, 100), "fe_back", nullptr)
        ->setText("nextScreenID", "TitleMenu");
}

void tickMenuScreens() {
    tickFilmSplash();
    tickOptionsScreen();
    tickMusicFolderScreens();
    tickStoryScreens();
    const char* shown = shownChildName("TopLevelSwitcher");
    if (strCompareNoCase(shown, "TitleMenu") == 0)
        showMenuShipPreview(E_MENU_PREVIEW_MAIN_MENU, findWidgetByName("TitleShipPreview"));
    else if (strCompareNoCase(shown, "SOSMenu") == 0)
        systemTickSOSMenu();
    else if (strCompareNoCase(shown, "WaitForDirScan") == 0) {
        const bool walking = isSongScanWalking();
        findWidgetByName("WaitForDirScanContinue")->setInt("disabled", walking ? 1 : 0);
        char16_t text[128];
        formatLocalisedInt(text, 128, crc32TextNoCase(walking ? "fe_wait_scanning" : "fe_wait_found"),
                           s32(songLibrary().songs.size()));
        setLabelWideText("WaitForDirScanLine", text);
    }
}
