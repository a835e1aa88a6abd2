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
std::vector<std::u16string> collectScanFolders();
