// The names a song is shown by: its title, and its display name "artist - title", made from the
// tags the music library keeps for it; and the order of the music-folder list.
#pragma once

#include "core/types.h"

// What the names are made from. The library stores a tag of zero length or of 4096 units or
// more as null; an empty tag counts as absent here too.
struct SSongNameTags {
    const char16_t* path = nullptr;  // always present; game paths separate folders with '\'
    const char16_t* title = nullptr;
    const char16_t* artist = nullptr;
};

// The title tag, else the file name of the path with its extension: what follows the last '\'
// (the whole path when it has none; nothing when it ends in '\'). Points into the tags' texts.
const char16_t* getSongTitle(const SSongNameTags& song);
// Units of the display name plus 1 for the terminator.
u32 getSongDisplayNameLength(const SSongNameTags& song);
// "artist - title", or the title alone without an artist, with its terminator. dest holds at
// least getSongDisplayNameLength units.
void formatSongDisplayName(const SSongNameTags& song, char16_t* dest);

// The music-folder list's sort stores its direction here before it sorts.
void setFolderSortAscending(bool ascending);
// The two folder paths compared unit by unit (not by the process locale); negated when the
// sort is descending.
s32 compareFolderPaths(const char16_t* a, const char16_t* b);
