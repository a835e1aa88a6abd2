// The builders of the front end's screens and overlays, and their per-frame parts; each file
// registers the callbacks its widgets name. Used by frontend.cpp only.
#pragma once

#include "core/types.h"

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
// The story sequences of the splash, boss-won and interview screens: the callbacks their
// widgets name, and the tick that moves each screen on when its sequence ends.
void registerStoryScreenCallbacks();
void tickStoryScreens();
// The song list and the difficulty screen.
void buildSongScreens(ClWidget* topLevel);
void tickSongScreens();
// The in-game HUD, the pause menu and the results.
void buildPlayScreens(ClWidget* topLevel);
// The collectible a play identified and the ship editing screen.
void buildItemScreens(ClWidget* topLevel);
void tickItemScreens();
// The "Tutorial", "HelpOverlay", "TooltipSwitcher" and "NUXCreditsOverlaySwitcher" switchers
// and the "DebugInfo" lines, each on its page.
void buildOverlays(ClWidget* tutorialPage, ClWidget* tooltipsPage, ClWidget* helpPage, ClWidget* creditsPage);
void tickOverlays();
