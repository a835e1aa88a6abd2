// What a generator tells the menus about its item (SItemDescription with its power-rating lines).
// Every copy into a fixed field is cut to the field; indices past the fields are fatal.
#pragma once

#include "core/types.h"

constexpr u32 ITEM_TEXT_LENGTH = 32;
constexpr u32 ITEM_LINE_COUNT = 8;
constexpr u32 ITEM_RATING_BLOCK_COUNT = 3;
constexpr u32 ITEM_RATING_LINE_COUNT = 8;
constexpr u32 ITEM_NAME_LENGTH = 64;
constexpr u32 RATING_TEXT_LENGTH = 64;

struct SRatingLine {
    s32 present;
    char value[RATING_TEXT_LENGTH];
    char16_t label[RATING_TEXT_LENGTH];
    char16_t unit[RATING_TEXT_LENGTH];

    void set(const char* valueText, const char16_t* labelText);
    // label, one blank, the value, then (withUnit) the unit with no blank before it; cut to
    // outCapacity characters with the terminator.
    void formatText(char16_t* out, u32 outCapacity, u32 withUnit) const;
};

struct SItemDescription {
    char name[ITEM_NAME_LENGTH];
    char16_t kindText[ITEM_TEXT_LENGTH];  // the kind of the item ("Gun", "Weapon")
    s32 kindTextPresent;
    char16_t lines[ITEM_LINE_COUNT][ITEM_TEXT_LENGTH];
    s32 linePresent[ITEM_LINE_COUNT];
    SRatingLine ratings[ITEM_RATING_BLOCK_COUNT][ITEM_RATING_LINE_COUNT];

    void reset();
    // Widens the text into the kind field and marks it present.
    void setKindText(const char* kind);
    void setLine(u32 index, const char16_t* text);
};
