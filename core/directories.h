// The program's directories (data, language, user data) and the choice of language.
//
// Paths keep the game's own form, '\' as the separator (the data directory may keep the '/'
// it was given, as in "./Lang\eng\"); they become system paths only inside the platform layer.
#pragma once

#include "core/types.h"

constexpr s32 LANGUAGE_COUNT = 24;
constexpr s32 LANGUAGE_INDEX_JAPANESE = 8;  // selects the "-JAP" font variants
// Three-letter codes in a 4-byte slot each, in index order: "eng" is 0.
extern const char g_aLanguageCodes[LANGUAGE_COUNT][4];

// Copies the path (at most 767 characters) into the data directory and its wide copy, and
// resets the user-data directory to ".\".
void setDataDir(const char* path);
const char* getDataDir();
const char16_t* getDataDirW();
const char* getLangDir();
const char16_t* getUserDataDirW();
// Copies at most 767 units.
void setUserDataDirW(const char16_t* path);

// The index of the `LANG` setting among the language codes (without regard to case); 0
// ("eng") when the setting is absent or names no known language.
s32 chooseLanguage();
// Language directory = data directory + "Lang\" + code + "\", for the language that
// `chooseLanguage` gives; the index is kept for `getLanguageIndex`.
void buildLangDir();
s32 getLanguageIndex();
// The index of a code (without regard to case), or -1.
s32 languageIndexOfCode(const char* code);

// The user-data directory: unless `USE_BUILT_ASSETS_FOR_SAVE_GAME` is non-zero, the user's
// application-data folder + "\Orlenvane\Velodrix\"; otherwise (or when that folder is unknown)
// it stays as it is. Called after the settings are loaded.
void initUserDataDir();
// Creates "SAVEDATA\" under the user-data directory, with every missing parent. True when it
// exists afterwards.
bool createSaveDataDir();

enum EUserDataLock : u32 {
    E_USERDATALOCK_TAKEN,        // this process holds it
    E_USERDATALOCK_HELD,         // another process holds it: a game already runs on this profile
    E_USERDATALOCK_UNAVAILABLE,  // no lock file can be made there (a read-only profile)
};
// Takes the user-data directory for this process: an exclusive lock on its file "Velodrix.lock",
// held until releaseUserDataDir or the process's end, so that a second game started on the same
// profile can tell that the first one runs.
EUserDataLock lockUserDataDir();
void releaseUserDataDir();

// When the path contains the data directory (its '/' taken as '\'), replaces the path in
// place by what follows the first occurrence.
void removeDataDirPrefix(char* path);

char getPathSeparator();
// Replace every '/' by '\' in place.
void toBackslashes(char* path);
void toBackslashesW(char16_t* path);

