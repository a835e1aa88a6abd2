// The game data "GAMEDATA\GM-DATA" under the user-data directory: the music folders the player
// added, whether the user's own music folder is scanned, and the audio extensions the player
// turned off.
//
// Layout, little-endian (save_bytes.h), closed by a digest trailer under GAME_DATA_TRAILER_VALUE:
//   "VXGD", version, option word (GAME_DATA_OPTION_*), folder count, folders (wide texts),
//   disabled-extension count, extensions (texts of at most 15 characters, with their dot)
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

constexpr u32 GAME_DATA_MAGIC = 0x44475856u;  // "VXGD"
constexpr u32 GAME_DATA_VERSION = 1;
constexpr u32 GAME_DATA_TRAILER_VALUE = 0x61C3D209u;
constexpr const char* GAME_DATA_RELATIVE_PATH = "GAMEDATA\\GM-DATA";
constexpr u32 GAME_DATA_FOLDER_CAPACITY = 8;  // the list's first capacity; it grows past it
constexpr u32 GAME_DATA_EXTENSION_CAPACITY = 16;

enum EGameDataOption : u32 {
    GAME_DATA_OPTION_SCAN_USER_MUSIC = 1,  // the desktop's music folder is scanned
};

struct SGameData {
    u32 options;
    std::vector<std::u16string> musicFolders;  // the folders the player added, game paths, sorted
    std::vector<std::string> disabledExtensions;  // ".mp3" style, lower case
};

// The library's own record; the layers above read it through gameData().
extern SGameData g_GameData;
const SGameData& gameData();

// The game data of a first run: the user's music folder scanned, no folders added, every
// extension on.
void setGameDataDefaults();

// Reads the file; the folder list is emptied before it is filled, so the second read at start-up
// (after the codec records exist) does not double it. Each disabled extension is applied to the
// codec registry (setCodecDisabledForExtension), which takes it once its records exist. 1 when
// read; 0 when missing or damaged (a damaged file is set aside and noted; the folder list then
// stays empty and the rest as it was).
s32 readGameDataFile();
// 1 when written; 0 leaves the file as it was.
s32 writeGameDataFile();

// Adds a folder the player chose (no duplicate, compared unit by unit), keeping the list in
// ascending order (compareFolderPaths); true when added. A list read from the file is put in
// that order too.
bool addGameDataMusicFolder(const std::u16string& folder);
// True when the folder was in the list and is no longer.
bool removeGameDataMusicFolder(const std::u16string& folder);

std::vector<u8> encodeGameData();
bool decodeGameData(const std::vector<u8>& content);
