// What the song list shows of each song: its name, and by its analysis state its length and best
// score, "waiting", "analysing", or why it cannot be played; and after the songs, each folder the
// scan could not read. Rows are in pages of SONG_LIST_PAGE_ROWS.
#pragma once

#include "core/types.h"

#include <string>

struct SSongRecord;

constexpr u32 SONG_LIST_PAGE_ROWS = 8;
constexpr const char16_t* SONG_READY_TAG = u"[c=70E070]";
constexpr const char16_t* SONG_WAITING_TAG = u"[c=A0A8B8]";
constexpr const char16_t* SONG_FAILED_TAG = u"[c=FF6050]";

// "artist - title" of the library's song at the index; empty outside the library.
std::u16string songDisplayName(s32 songIndex);
// The display name as an interface text: its brackets drawn as they are, never as colour tags.
std::u16string songDisplayText(s32 songIndex);
// The string-table key of the song's state: "fe_song_ready", "fe_song_waiting",
// "fe_song_analysing", or "fe_song_fail_<reason>" (1 cannot open, 2 too short, 3 too long,
// 4 undecodable; an unknown reason "fe_song_fail_0").
std::string songStateKey(const SSongRecord& song);
// The row: the display name, then in the state's colour its text (a ready song: its length and,
// once played, its best shown score over the six levels).
// A song being analysed shows how far its analysis has come.
std::u16string songRowText(s32 songIndex);
// How far the song under analysis has come, 0 to 99: the decoding pass is nearly all of its time,
// so its end shows as 99 until the song is ready.
u32 analysisPercent();
// The row of a folder the scan could not read, shown after the songs: its path as the player
// knows it ('/' separators), then in the failure colour that its songs cannot be listed.
std::u16string unreadableFolderRowText(const std::u16string& folder);
// At least 1.
u32 songListPageCount(u32 rowCount);
