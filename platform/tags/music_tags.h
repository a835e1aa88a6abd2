// The title, artist and album tags of a music file, read with TagLib behind the game's own path
// form ('\' separators, UTF-16); no TagLib header is seen outside this folder.
#pragma once

#include <string>

// Tags of this many UTF-16 units or more are taken as absent, like empty ones.
constexpr size_t MUSIC_TAG_LENGTH_LIMIT = 4096;

struct SMusicTags {
    std::u16string title;   // empty when absent
    std::u16string artist;
    std::u16string album;
};

// Fills the tags the file has. False, with every tag empty, when the file cannot be opened or
// its format carries no tags TagLib knows. Safe on any thread; each call opens the file anew.
bool readMusicTags(const char16_t* path, SMusicTags* out);
