// What a generator tells the menus about its item (SItemDescription with its power-rating lines)
// and a named list of floats. Every copy into a fixed field is cut to the field; indices past the
// fields are fatal.
#pragma once

#include "core/array.h"
#include "core/string.h"
#include "core/types.h"

constexpr u32 ITEM_TEXT_FIELD_COUNT = 6;
constexpr u32 ITEM_TEXT_LENGTH = 32;
constexpr u32 ITEM_LINE_COUNT = 8;
constexpr u32 ITEM_ROW_COUNT = 8;
constexpr u32 ITEM_RATING_BLOCK_COUNT = 3;
constexpr u32 ITEM_RATING_LINE_COUNT = 8;
constexpr u32 ITEM_NAME_LENGTH = 64;
constexpr u32 RATING_TEXT_LENGTH = 64;

struct SRatingLine {
    s32 present;
    char value[RATING_TEXT_LENGTH];
    char16_t label[RATING_TEXT_LENGTH];
    char16_t unit[RATING_TEXT_LENGTH];

    void clear();
    void set(const char* valueText, const char16_t* labelText);
    // label, one blank, the value, then (withUnit) the unit with no blank before it; cut to
    // outCapacity characters with the terminator.
    void formatText(char16_t* out, u32 outCapacity, u32 withUnit) const;
};

struct SItemDescription {
    char name[ITEM_NAME_LENGTH];
    u32 words[3];
    s32 wordsPresent;
    char16_t textFields[ITEM_TEXT_FIELD_COUNT][ITEM_TEXT_LENGTH];
    s32 textFieldPresent[ITEM_TEXT_FIELD_COUNT];
    char16_t lines[ITEM_LINE_COUNT][ITEM_TEXT_LENGTH];
    s32 linePresent[ITEM_LINE_COUNT];
    f32 rows[ITEM_ROW_COUNT][3];
    s32 rowPresent[ITEM_ROW_COUNT];
    SRatingLine ratings[ITEM_RATING_BLOCK_COUNT][ITEM_RATING_LINE_COUNT];
    s32 flags;

    void reset();
    // Each text given (not null) is widened into its field and marks it present; the others
    // are left as they are.
    void setTextFields(const char* t1, const char* t2, const char* t3, const char* t4, const char* t5, const char* t6);
    void setLine(u32 index, const char16_t* text);
};

struct SNamedList {
    String name;
    ClArray<f32> values;

    SNamedList();
    ~SNamedList();
    SNamedList(const SNamedList&) = delete;
    SNamedList& operator=(const SNamedList&) = delete;
    // The other's name and values in order; an empty other leaves an empty list with room for 8.
    void assign(const SNamedList& other);
};
