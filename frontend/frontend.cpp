#include "frontend/frontend.h"

#include "frontend/front_end_services.h"
#include "frontend/menu_previews.h"
#include "frontend/music_folders_screen.h"
#include "frontend/screens.h"
#include "frontend/switch_log.h"
#include "ui/switcher.h"
#include "ui/ui_imports.h"
#include "ui/ui_pages.h"
#include "ui/widget.h"

#include <vector>

namespace {

constexpr SUiCallbackEntry TOP_LEVEL_UI_CALLBACKS[] = {
    {"systemLogTopLevelSwitch", [](ClWidget*) { logTopLevelSwitch(); }},
};

}  // namespace

std::span<const SUiCallbackEntry> frontEndUiCallbacks() {
    static const std::vector<SUiCallbackEntry> table = [] {
        std::vector<SUiCallbackEntry> all(std::begin(TOP_LEVEL_UI_CALLBACKS), std::end(TOP_LEVEL_UI_CALLBACKS));
        for (const std::span<const SUiCallbackEntry> part :
             {menuScreenUiCallbacks(), filmSplashUiCallbacks(), storyScreenUiCallbacks(), songScreenUiCallbacks(),
              playScreenUiCallbacks(), itemScreenUiCallbacks(), overlayUiCallbacks(), optionsUiCallbacks(),
              optionsPageUiCallbacks(), musicFolderUiCallbacks()})
            all.insert(all.end(), part.begin(), part.end());
        return all;
    }();
    return table;
}

void buildFrontEndPages() {
    ClWidget* tutorialPage = createLayoutPage("Tutorial", "FULL");
    ClWidget* screensPage = createLayoutPage("ZUnO_UI2", "FULL");
    ClWidget* tooltipsPage = createLayoutPage("ZUnO_UI_Tooltips", "FULL");
    ClWidget* helpPage = createLayoutPage("HelpOverlay", "FULL");
    // The options and medal screens are not built: their pages stay empty.
    createLayoutPage("OptionsOverlay", "FULL");
    createLayoutPage("MedalUnlockOverlay", "FULL");
    ClWidget* creditsPage = createLayoutPage("NUXCreditsOverlay", "FULL");

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
