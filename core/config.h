// The settings table: development, tuning and display switches, read by key.
// Keys are found by their name hash, so letter case does not matter. Keys are cut to 31
// characters both when stored and when looked up, so an over-long key still finds its value.
//
// The settings file holds one "KEY VALUE" per line, separated by white space; a value in
// double quotes keeps its blanks; tokens after the value (a trailing "// note") are ignored;
// comment lines start with two slashes. A key given twice takes its later value.
#pragma once

#include "core/types.h"

struct STextReader;

constexpr int CONFIG_MAX_ENTRIES = 128;  // at most 127 are filled
constexpr int CONFIG_KEY_LENGTH = 32;
constexpr int CONFIG_VALUE_LENGTH = 256;
constexpr int CONFIG_INDEX_CAPACITY = 128;
// Lines of the settings file are read in pieces of this many bytes; a longer line goes on as
// the next line.
constexpr int CONFIG_LINE_LENGTH = 2048;

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

// Empties the table (every record zeroed) and sets up the index. Called before loading.
void configClear();
// Frees the index; every key reads as absent afterwards.
void configFree();

// Reads the settings file at data directory + fileName from the mounted packages (no loose
// files) and parses it. False when no package holds it, it is empty, or it cannot be read.
bool configLoad(const char* fileName);
// Adds one setting as a key line does: the key (cut to 31 characters) and its value text (cut
// to 255). A later value for the same key replaces the earlier one. False when 127 records
// are filled (nothing is added) or the value is empty (the record is used up but the key stays
// absent, as for an empty quoted value in the file).
bool configSetValue(const char* key, const char* valueText);
// Parses the rest of the reader's text as a settings file. Lines with a key and no value are
// skipped; parsing stops silently once 127 records are filled.
void configParse(STextReader& reader);

// The value as an integer or a float; an integer setting read as a float gives its value
// converted, and so does a float setting read as an integer (truncated toward zero).
// Absent keys and texts that are no number give 0.
s32 configGetInt(const char* key);
f32 configGetFloat(const char* key);
// The value text; null when the key is absent.
const char* configGetString(const char* key);
bool configHasKey(const char* key);
// Settings held; 0 after configClear or a file with none.
s32 configEntryCount();

// How a value text reads as a number (exposed for the settings file reader and tests).
EConfigValueKind configClassifyValue(const char* text, u32* outWord);
