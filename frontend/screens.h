// The builders of the front end's screens and overlays, and their per-frame parts; each file
// names the callbacks its widgets name in a table of its own, which frontend.cpp gathers into the
// front end's one table (frontEndUiCallbacks). Used by frontend.cpp only.
#pragma once

#include "core/types.h"
#include "ui/ui_imports.h"

#include <span>

class ClWidget;

// "TopLevelSwitcher"'s menus: splashes, title, quit confirmation, scan wait, voice-over test and
// interview, boss win and boss score, featured artists.
void buildMenuScreens(ClWidget* topLevel);
void tickMenuScreens();
// Starts the main-menu music and shows "TitleMenu".
void showTitleWithMusic();
// The film splash "SplashScreenFMV" (the first screen after start-up), and its tick, which also
// steps the film player each frame.
void buildFilmSplash(ClWidget* topLevel);
void tickFilmSplash();
// With the screens' shutdown: the splash's film closed and the splash forgotten.
void shutdownFilmSplash();
// The story sequences of the splash, boss-won and interview screens: the tick that moves each
// screen on when its sequence ends.
void tickStoryScreens();
// The song list and the difficulty screen.
void buildSongScreens(ClWidget* topLevel);
// Also keeps the selected song's index on its record when the library moves or drops records.
void tickSongScreens();
// The selection is no longer followed (the pages are gone).
void forgetSelectedSong();
// The in-game HUD, the pause menu and the results.
void buildPlayScreens(ClWidget* topLevel);
// The collectible a play identified and the ship editing screen.
void buildItemScreens(ClWidget* topLevel);
void tickItemScreens();
// The "Tutorial", "HelpOverlay", "TooltipSwitcher" and "NUXCreditsOverlaySwitcher" switchers
// and the "DebugInfo" lines, each on its page.
void buildOverlays(ClWidget* tutorialPage, ClWidget* tooltipsPage, ClWidget* helpPage, ClWidget* creditsPage);
void tickOverlays();

// Each file's callbacks, by the name its widgets' events give.
std::span<const SUiCallbackEntry> menuScreenUiCallbacks();
std::span<const SUiCallbackEntry> filmSplashUiCallbacks();
std::span<const SUiCallbackEntry> storyScreenUiCallbacks();
std::span<const SUiCallbackEntry> songScreenUiCallbacks();
std::span<const SUiCallbackEntry> playScreenUiCallbacks();
std::span<const SUiCallbackEntry> itemScreenUiCallbacks();
std::span<const SUiCallbackEntry> overlayUiCallbacks();
std::span<const SUiCallbackEntry> optionsUiCallbacks();
std::span<const SUiCallbackEntry> optionsPageUiCallbacks();
std::span<const SUiCallbackEntry> musicFolderUiCallbacks();
