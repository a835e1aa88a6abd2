// The library's own files under the user-data directory ("SAVEDATA\USR-DATA",
// "GAMEDATA\GM-DATA"): a content image closed by a digest trailer (core/digest.h), read whole
// and checked, written through the file layer's temporary-name-and-rename write, and set aside
// under another name when damaged so that the player's data is never deleted.
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

// Added to a damaged file's name when it is set aside (an older one of that name is replaced).
constexpr const char16_t* DATA_FILE_SET_ASIDE_SUFFIX = u".damaged";

enum EDataFileRead : u32 {
    E_DATAFILE_READ_OK = 0,
    E_DATAFILE_READ_MISSING = 1,
    E_DATAFILE_READ_DAMAGED = 2,  // empty, unreadable, or its trailer does not match
};

// Which of the library's files were found damaged and set aside this run; the title screen
// tells the player.
enum EDamagedFileFlag : u32 {
    E_DAMAGED_USER_SAVE = 1,
    E_DAMAGED_GAME_DATA = 2,
};
u32 libraryDamagedFileFlags();
void noteLibraryDamagedFile(u32 flag);
void clearLibraryDamagedFileFlags();

// The user-data directory followed by the relative game path. False when either cannot be read.
bool buildUserDataPath(const char* relative, std::u16string* out);

// The file's content without its trailer. Missing or damaged gives an empty content.
EDataFileRead readDataFile(const std::u16string& path, u32 trailerValue, std::vector<u8>* outContent);
// Renames the file to its name + DATA_FILE_SET_ASIDE_SUFFIX. False when the rename fails.
bool setDataFileAside(const std::u16string& path);
// Writes the content and its trailer; a failed write leaves the file as it was. True when written.
bool writeDataFile(const std::u16string& path, const std::vector<u8>& content, u32 trailerValue);
