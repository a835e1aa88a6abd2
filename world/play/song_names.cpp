#include "world/play/song_names.h"

#include "core/directories.h"
#include "core/string_helpers.h"

namespace {

// The three characters between artist and title.
constexpr const char* DISPLAY_NAME_SEPARATOR = " - ";
constexpr u32 DISPLAY_NAME_SEPARATOR_LENGTH = 3;

bool g_bFolderSortAscending = true;

bool present(const char16_t* tag) { return tag && tag[0]; }

}  // namespace

const char16_t* getSongTitle(const SSongNameTags& song) {
    if (present(song.title)) return song.title;
    const char16_t* separator = wstrFindLastChar(song.path, static_cast<char16_t>(getPathSeparator()));
    return separator ? separator + 1 : song.path;
}

u32 getSongDisplayNameLength(const SSongNameTags& song) {
    const u32 title = wstrLength(getSongTitle(song));
    if (!present(song.artist)) return title + 1;
    return wstrLength(song.artist) + DISPLAY_NAME_SEPARATOR_LENGTH + title + 1;
}

void formatSongDisplayName(const SSongNameTags& song, char16_t* dest) {
    if (!present(song.artist)) {
        wstrCopy(dest, getSongTitle(song));
        return;
    }
    wstrCopy(dest, song.artist);
    wstrAppendNarrow(dest, DISPLAY_NAME_SEPARATOR);
    wstrAppend(dest, getSongTitle(song));
}

void setFolderSortAscending(bool ascending) { g_bFolderSortAscending = ascending; }

s32 compareFolderPaths(const char16_t* a, const char16_t* b) {
    const s32 order = wstrCompare(a, b);
    return g_bFolderSortAscending ? order : -order;
}
