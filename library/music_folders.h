// Where the library looks for songs: the bundled soundtrack folder, the desktop's music folder
// and the folders the player added (game_data.h).
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

enum EMusicFolderRequest : u32 {
    E_MUSICFOLDER_USER_MUSIC = 1,        // the desktop's music folder (XDG_MUSIC_DIR)
    E_MUSICFOLDER_APPLICATION_DATA = 3,  // the user's application-data folder (XDG_DATA_HOME)
};

// The folder of the request, a game path without a trailing separator. False, with an empty
// result, for an unknown request or when the folder cannot be found.
bool musicFolderQuery(u32 request, std::u16string* out);

// Computes the soundtrack folder once: the data directory's "Soundtrack\" as an absolute path
// (it stays in the data directory whatever USE_BUILT_ASSETS_FOR_SAVE_GAME says; nothing is
// copied into the user's folders). Called at start-up after the data directory is set.
void computeSoundtrackFolder();
// The folder computeSoundtrackFolder found, with its trailing '\'; empty before it ran or when
// the working directory could not be read.
const std::u16string& getSoundtrackFolder();

// The folders a scan walks, in this order and without repeats: the soundtrack folder, the
// user's music folder (when the game data's option asks for it), the folders the player added.
// They are kept as the folders searched now (isInSearchedFolder) until a folder is removed.
std::vector<std::u16string> collectScanFolders();
// True when the path lies inside one of the folders searched now: a song found by a walk in a
// folder removed while it ran is not taken.
bool isInSearchedFolder(const std::u16string& path);
// True when the folder is one of the folders searched now, or lies inside one.
bool isSearchedFolder(const std::u16string& folder);

// The folder's path with a name appended after a separator (none added after the root),
// and the folder it lies in (the root for a folder just under it; the root itself for the root).
std::u16string folderPathJoin(const std::u16string& folder, const std::u16string& name);
std::u16string folderPathParent(const std::u16string& folder);
// The names of the folders directly inside the folder (links followed, hidden ones left out),
// sorted without regard to the case of ASCII letters; false when it cannot be listed.
bool listSubfolders(const std::u16string& folder, std::vector<std::u16string>* names);

// True when the path lies inside the folder, at any depth (game paths, '\' separators).
bool isPathInFolder(const std::u16string& path, const std::u16string& folder);
// The library's songs inside the folder whose files the last walk found.
u32 countSongsInFolder(const std::u16string& folder);

enum EMusicFolderAdd : u32 {
    E_MUSICFOLDER_ADDED,
    E_MUSICFOLDER_ALREADY_SEARCHED,  // the folder, or one it lies in, is searched already
    E_MUSICFOLDER_NOT_ADDED,         // its path is too long for the game data
};
// Adds a folder the player chose to the game data (written at once) and asks the scan for a
// walk of every folder, letting it issue requests.
EMusicFolderAdd addMusicFolder(const std::u16string& folder);
// Removes a folder the player added, writing the game data, and takes the songs inside it out
// of the library (writing the save) unless a folder still searched holds them too, and so the
// unreadable folders it named. False when the folder was not one the player added.
bool removeMusicFolder(const std::u16string& folder);
