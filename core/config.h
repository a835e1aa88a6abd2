// The settings table: development, tuning and display switches, read by key.
// Keys are found by their name hash, so letter case does not matter.
#pragma once

#include "core/types.h"

constexpr int CONFIG_MAX_ENTRIES = 128;  // at most 127 are filled
constexpr int CONFIG_KEY_LENGTH = 32;
constexpr int CONFIG_VALUE_LENGTH = 256;

// How a value's text reads as a number.
enum EConfigValueKind : u32 {
    E_CONFIG_VALUE_TEXT = 0,  // neither: the number is 0
    E_CONFIG_VALUE_INT = 1,   // decimal or 0x hexadecimal
    E_CONFIG_VALUE_FLOAT = 2, // decimal with one '.'
};

struct SConfigEntry {
    char key[CONFIG_KEY_LENGTH];
    char value[CONFIG_VALUE_LENGTH];
    u32 valueWord;  // the integer, or the float's bits, by `kind`
    EConfigValueKind kind;
    u32 keyHash;
};

// Empties the table.
void configClear();
// Adds one setting as a key line would: the key (cut to 31 characters) and its value text.
// A later value for the same key replaces the earlier one. False when the table is full or the
// value is empty (nothing is added then).
bool configSetValue(const char* key, const char* valueText);

// The value as an integer or a float; an integer setting read as a float gives its value
// converted, and so does a float setting read as an integer (truncated toward zero).
// Absent keys and texts that are no number give 0.
s32 configGetInt(const char* key);
f32 configGetFloat(const char* key);
// The value text; null when the key is absent.
const char* configGetString(const char* key);
bool configHasKey(const char* key);

// How a value text reads as a number (exposed for the settings file reader and tests).
EConfigValueKind configClassifyValue(const char* text, u32* outWord);
