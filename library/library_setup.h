// The library's steps in the program's start-up and shutdown, each named for where it goes.
#pragma once

#include "core/types.h"

// Start-up, after the log manager: creates the song library (which sets the scene's
// library-initialised word), notes which files an earlier run failed to write, then the game data: read, or when missing or damaged, the game-data
// folder, defaults and a fresh file.
void librarySetUpAndReadGameData();
// Start-up, right after: the soundtrack folder, then the user save: read (with the options), or
// the first-run library written as a fresh save. Returns 1 when a save was read (the value of
// "_allowMainMenuContinue"), else 0.
s32 libraryReadUserSave();
// Start-up, right after the audio engine: the game data read again so that the extensions the
// player turned off reach the codec records, which exist only now; then the scan thread starts
// (its requests paused until the front end resumes them).
void librarySetUpAfterAudio();

// Shutdown, before the current mode's exit: asks the scan thread to stop without waiting, so that
// neither the exit's wait for the scan nor the stop after it waits for a song's analysis.
void libraryAskScanToStop();
// Shutdown, before the current mode's exit is left behind: stops the scan thread, writes the
// save and waits until it is written.
void libraryStopScanAndSave();
// Shutdown, with the other frees before the audio engine goes: frees the song library (which
// clears the library-initialised word).
void libraryShutdown();
