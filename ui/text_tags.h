// Colour tags in interface texts: "[c=RRGGBB]" or "[c=AARRGGBB]" (hexadecimal) draws what
// follows in that colour, "[/c]" goes back to the colour before it (up to TEXT_TAG_DEPTH
// colours deep). Six digits keep the text's own alpha; eight scale it. "[[" is one "[" that
// starts no tag. Other brackets that form no tag are text.
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

constexpr u32 TEXT_TAG_DEPTH = 8;

// True when the text holds at least one tag or "[[".
bool hasColourTags(const char16_t* text);
// The text without its tags, and the colour of each of its characters, starting from the base
// colour. Both outputs are replaced.
void parseColourTags(const char16_t* text, u32 baseColour, std::u16string* plain, std::vector<u32>* colours);
// The text with every "[" doubled: drawn, it shows as it is (names from outside the game).
std::u16string escapeColourTags(const std::u16string& text);
