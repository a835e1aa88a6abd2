// The title, artist and album tags of a music file, read with TagLib behind the game's own path
// form ('\' separators, UTF-16); no TagLib header is seen outside this folder.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// Tags of this many UTF-16 units or more are taken as absent, like empty ones.
constexpr size_t MUSIC_TAG_LENGTH_LIMIT = 4096;

struct SMusicTags {
    std::u16string title;   // empty when absent
    std::u16string artist;
    std::u16string album;
};

// TagLib finds a file's tags in a few dozen reads (a few hundred for an Ogg file with a large
// picture), but searches a file whose head it does not recognise a kilobyte at a time to its end,
// and slowly: a 5 GB file of zeros (a download in progress) would take minutes. So the reads are
// counted: a file that does not begin as a music file the game decodes gets the search limit
// (about 256 KiB of searching), any other the read limit.
constexpr uint32_t MUSIC_TAG_SEARCH_READ_LIMIT = 256;
constexpr uint32_t MUSIC_TAG_READ_LIMIT = 4096;

// Fills the tags the file has. False, with every tag empty, when the file cannot be opened or
// its format carries no tags TagLib knows; a file past its read limit reads as ended there. A
// set `stop` ends the read at its next block, with what was found by then. Safe on any thread;
// each call opens the file anew.
bool readMusicTags(const char16_t* path, SMusicTags* out, const std::atomic<bool>* stop = nullptr);
