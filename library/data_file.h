// The library's own files under the user-data directory ("SAVEDATA\USR-DATA",
// "GAMEDATA\GM-DATA"): a content image closed by a digest trailer (core/digest.h), read whole
// and checked, written through the file layer's temporary-name-and-rename write, and set aside
// under a name of its own when damaged so that the player's data is never deleted.
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

// Added to a damaged file's name when it is set aside; when that name is taken (by an earlier
// damaged copy, a folder, anything), ".1", ".2" ... follow it, up to DATA_FILE_SET_ASIDE_LIMIT.
constexpr const char16_t* DATA_FILE_SET_ASIDE_SUFFIX = u".damaged";
constexpr u32 DATA_FILE_SET_ASIDE_LIMIT = 1000;

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

// Which of the files the last write failed for (EDamagedFileFlag values): set by a failed write,
// cleared by the next one that succeeds. The front end tells the player while any is set.
u32 libraryWriteFailedFlags();
// Notes the outcome of a write of the file and, for a failure, says so on stderr with the
// reason. Returns written. Any thread.
bool noteLibraryWrite(u32 flag, bool written, u32 osError);

// A failed write leaves an empty marker, the file's name with DATA_FILE_UNSAVED_SUFFIX, beside the
// file, and the next write that succeeds removes it, so that a failure at quit (a full disk) is
// told at the next start. An empty file takes no data block: it can be made where the failed write
// found no room.
constexpr const char16_t* DATA_FILE_UNSAVED_SUFFIX = u".unsaved";
// Which files' last write in an earlier run failed (EDamagedFileFlag values), as the start-up found
// their markers; a flag is cleared by the file's next write that succeeds.
u32 libraryEarlierWriteFailedFlags();
// Notes the flag when the file at the relative game path has its marker.
void noteEarlierWriteFailure(u32 flag, const char* relative);

// The user-data directory followed by the relative game path. False when either cannot be read.
bool buildUserDataPath(const char* relative, std::u16string* out);

// The file's content without its trailer. Missing or damaged gives an empty content.
EDataFileRead readDataFile(const std::u16string& path, u32 trailerValue, std::vector<u8>* outContent);
// Renames the file to the first free name of its set-aside names (never replacing anything).
// False when the rename fails: the damaged file is then still at the path.
bool setDataFileAside(const std::u16string& path);
// The n-th set-aside name of the file: n = 0 adds DATA_FILE_SET_ASIDE_SUFFIX, n > 0 also ".n".
std::u16string dataFileSetAsideName(const std::u16string& path, u32 n);
// Writes the content and its trailer; a failed write leaves the file as it was. True when written;
// otherwise osLastError() says why.
bool writeDataFile(const std::u16string& path, const std::vector<u8>& content, u32 trailerValue);
