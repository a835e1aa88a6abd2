#include "frontend/frontend.h"

#include "frontend/front_end_services.h"
#include "frontend/menu_previews.h"
#include "frontend/music_folders_screen.h"
#include "frontend/screens.h"
#include "frontend/switch_log.h"
#include "ui/switcher.h"
#include "ui/ui_callbacks.h"
#include "ui/ui_pages.h"
#include "ui/widget.h"

void buildFrontEndPages() {
    ClWidget* tutorialPage = createLayoutPage("Tutorial", "FULL");
    ClWidget* screensPage = createLayoutPage("ZUnO_UI2", "FULL");
    ClWidget* tooltipsPage = createLayoutPage("ZUnO_UI_Tooltips", "FULL");
    ClWidget* helpPage = createLayoutPage("HelpOverlay", "FULL");
    // The options and medal screens are not built: their pages stay empty.
    createLayoutPage("OptionsOverlay", "FULL");
    createLayoutPage("MedalUnlockOverlay", "FULL");
    ClWidget* creditsPage = createLayoutPage("NUXCreditsOverlay", "FULL");

    registerUiCallback("systemLogTopLevelSwitch", [](ClWidget*) { logTopLevelSwitch(); });
    ClWidget_Switcher* top = createSwitcher("TopLevelSwitcher", screensPage);
    top->setEvent("onSwitch", "systemLogTopLevelSwitch");
    buildMenuScreens(top);
    buildSongScreens(top);
    buildPlayScreens(top);
    buildItemScreens(top);
    buildOverlays(tutorialPage, tooltipsPage, helpPage, creditsPage);
    createMenuPreviewTargets();
    openSwitchLog();
}

void tickFrontEndScreens() {
    if (!findSwitcherByName("TopLevelSwitcher")) return;
    tickMenuScreens();
    tickSongScreens();
    tickItemScreens();
    tickMenuPreviews();
    tickOverlays();
}

void shutdownFrontEndScreens() {
    shutdownFilmSplash();
    destroyMenuPreviewTargets();
    systemTermMedalsScreen();
    systemTermArtistsScreen();
    systemStopMainMenuMusic();
    closeSwitchLog();
    forgetSelectedSong();
    resetMusicDirScan();
}
