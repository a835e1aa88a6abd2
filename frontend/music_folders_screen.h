// The music folders the game looks for songs in, reached from the options screen:
//   "MusicFolders" lists the game's own folders (the soundtrack and the desktop's music folder,
//     always searched) and the folders the player added, each with its songs found; a folder the
//     player added is removed by choosing it and "Remove", its songs leaving the song list;
//   "MusicFolderBrowser" walks the folders from the player's home, one level at a time, and adds
//     the one shown; the scan-wait page then shows the walk of every folder and comes back here.
// Main thread only.
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

class ClWidget;

// What the browser shows: its folder, the folders inside it, and whether it could be read.
struct SMusicDirScan {
    u32 state = 0;                      // 0 nothing listed; 1 listed; 2 could not be read
    std::u16string folder;              // a game path
    std::vector<std::u16string> names;  // the folders inside it, as listed

    // Back to nothing listed.
    void reset();
};

void buildMusicFolderScreens(ClWidget* topLevel);
// Once a frame: the folder page's counts and its remove button follow the scan.
void tickMusicFolderScreens();
// Forgets what the browser listed: when the front end is left and at shutdown.
void resetMusicDirScan();

// A game path as the player reads it: '/' separators, names readable.
std::u16string folderDisplayText(const std::u16string& path);
