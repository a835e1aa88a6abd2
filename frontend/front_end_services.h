// The front end's services the start-up, the shutdown and the modes call: the boss-score
// screen's zones, the main-menu music, the featured artists and the document their screen queues
// for the shutdown to open, the boss-score screen's ambient light, and the water option.
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

// The main-menu music: a looping cue of the sound bank on the music slot.
constexpr const char* MAIN_MENU_MUSIC_CUE = "MainMenuMusic";
constexpr f32 MAIN_MENU_MUSIC_FADE_SECONDS = 0.5f;
constexpr s32 AMBIENT_MODE_BOSS_SCORE = 4;

// A gradient band of the boss-score screen, as fractions of the screen's height, and its colour.
struct SSosZone {
    f32 top;
    f32 bottom;
    u32 colour;
};
// "sos.txt": one child block per zone, { top; bottom; colour } (colour a packed ARGB integer).
// A block with fewer than three values, or values outside 0..1, is skipped with a line on
// standard error. The file shipped holds no zone.
void loadSosZones();
void releaseSosZones();
const std::vector<SSosZone>& sosZones();

// Starts the loop unless it plays already; nothing without the cue.
void systemStartMainMenuMusic();
// Fades it out (the song is about to play).
void systemStopMainMenuMusic();

// "artists.txt" (a script): one child block per artist, { "name"; "address" }. The address is a
// web address, or a path relative to the data directory. Logos are the interface images
// "<name>-Logo" when the data has them.
struct SFeaturedArtist {
    std::string name;
    std::string address;
    bool hasLogo;
};
void loadFeaturedArtists();
const std::vector<SFeaturedArtist>& featuredArtists();
// The artist's address becomes the document opened after shutdown (the last one queued wins).
// False for an index outside the list.
bool queueArtistDocument(u32 index);
void clearQueuedDocument();
// Shutdown's last step: opens the queued document with the desktop's handler and clears it.
// False when none was queued or no handler could start.
bool openQueuedDocument();

// The medals screen keeps no list yet: nothing to free.
void systemTermMedalsScreen();
// Frees the featured-artists list.
void systemTermArtistsScreen();

// The boss-score screen: ambient mode 4 and the meter level (bosses beaten / 15) posted on
// entering and each frame; leaving selects ambient mode 0.
void systemInitSOSMenu();
void systemTickSOSMenu();
void systemTerminateSOSMenu();
f32 bossScoreMeterLevel();

// Toggles the water option of the player's options (the saved options' water reflection).
void systemToggleWater();
