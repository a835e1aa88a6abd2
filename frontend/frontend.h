// The front-end screens: every page the game modes switch to, built in code, with the callbacks
// their widgets name. What the program calls, and where:
//
//   start-up step 35   loadFeaturedArtists()         (front_end_services.h)
//   start-up step 37   buildFrontEndPages(), then ui's finishUiPageLoad()
//   every frame        tickFrontEndScreens(), in both modes, before renderUiPages()
//   front end's enter  loadSosZones(); its exit releaseSosZones() (front_end_services.h)
//   shutdown step 9    shutdownFrontEndScreens(), before ui's shutdownUi()
//   shutdown step 12   openQueuedDocument()          (front_end_services.h)
//
// The screens and the modes talk through the interface variables (ui/ui_variables.h): a song
// chosen on the difficulty screen leaves "selectedSongIndex" naming it in the song library, the
// world's play record filled at that difficulty (library/play_record_fill.h) and "goToAction" = 1;
// the action mode takes the song's path from the library's record. Main thread only.
#pragma once

#include "core/types.h"
#include "ui/ui_imports.h"

#include <span>

// The log the front end writes one line to at every switch of "TopLevelSwitcher".
constexpr const char* FRONT_END_LOG_NAME = "FrontEnd";
// Under the user-data directory.
constexpr const char* FRONT_END_LOG_RELATIVE_PATH = "GAMEDATA\\FrontEnd.log";

// The seven pages ("Tutorial", "ZUnO_UI2", "ZUnO_UI_Tooltips", "HelpOverlay", "OptionsOverlay",
// "MedalUnlockOverlay", "NUXCreditsOverlay"), their switchers and every switch target, the
// callbacks they name, and the switch log (opened when the log manager runs and the user-data
// directory is known). After initUi and loadUiFonts.
void buildFrontEndPages();
// Every callback the front end's widgets name, in one table: what the program hands ui through
// its imports (app/layer_imports.cpp). The same table for the life of the process.
std::span<const SUiCallbackEntry> frontEndUiCallbacks();
// Once a frame: the story screens moving on when their sequences end (the splash also after a
// time-out when it has none), the song list's rows and paging, the scan-wait page, the tooltip
// line, the credits overlay's timer and the boss-score screen's meter.
void tickFrontEndScreens();
// Leaving the front end: the screens stop waiting for their story sequences, the interview
// chain ends and a running sequence stops at once (its on-done callback runs).
void endScreenSequences();
// Frees the screens' lists (systemTermMedalsScreen, systemTermArtistsScreen) and closes the
// switch log. The widgets go with shutdownUi.
void shutdownFrontEndScreens();
