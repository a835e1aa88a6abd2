#include "core/directories.h"

#include "core/config.h"
#include "core/string_helpers.h"
#include "platform/os/os.h"
#include "platform/shell/shell.h"

#include <string>

const char g_aLanguageCodes[LANGUAGE_COUNT][4] = {
    "eng", "fra", "ger", "spa", "ita", "nor", "dut", "por", "jap", "kor", "cht", "chs",
    "rus", "fin", "swe", "dan", "tha", "pol", "hun", "cze", "rom", "tur", "bra", "bul",
};

namespace {

constexpr const char16_t* DEFAULT_USER_DATA_DIR = u".\\";
constexpr const char16_t* USER_DATA_SUBFOLDER = u"/Orlenvane/Velodrix/";
constexpr const char16_t* SAVE_DATA_FOLDER = u"SAVEDATA\\";
constexpr const char16_t* USER_DATA_LOCK_FILE = u"Velodrix.lock";

char g_szDataDir[PATH_BUFFER_LENGTH] = "";
char16_t g_wszDataDir[PATH_BUFFER_LENGTH] = u"";
// The data directory as it appears in package paths, '/' turned into '\'.
char g_szDataDirBackslashed[PATH_BUFFER_LENGTH] = "";
char g_szLangDir[PATH_BUFFER_LENGTH] = "";
char16_t g_wszUserDataDir[PATH_BUFFER_LENGTH] = u".\\";
s32 g_iLanguageIndex = 0;
// The open lock file while this process holds the user-data directory.
SOsFile* g_pUserDataLock = nullptr;

}  // namespace

void setDataDir(const char* path) {
    strCopyN(g_szDataDir, path ? path : "", PATH_BUFFER_LENGTH);
    strToWideN(g_wszDataDir, g_szDataDir, PATH_BUFFER_LENGTH);
    strCopyN(g_szDataDirBackslashed, g_szDataDir, PATH_BUFFER_LENGTH);
    toBackslashes(g_szDataDirBackslashed);
    wstrCopyN(g_wszUserDataDir, DEFAULT_USER_DATA_DIR, PATH_BUFFER_LENGTH);
}

const char* getDataDir() { return g_szDataDir; }
const char16_t* getDataDirW() { return g_wszDataDir; }
const char* getLangDir() { return g_szLangDir; }
const char16_t* getUserDataDirW() { return g_wszUserDataDir; }

void setUserDataDirW(const char16_t* path) { wstrCopyN(g_wszUserDataDir, path ? path : u"", PATH_BUFFER_LENGTH); }

s32 languageIndexOfCode(const char* code) {
    if (!code) return -1;
    for (s32 i = 0; i < LANGUAGE_COUNT; ++i) {
        if (strCompareNoCase(code, g_aLanguageCodes[i]) == 0) return i;
    }
    return -1;
}

s32 chooseLanguage() {
    const char* language = configGetString("LANG");
    if (!language) return 0;
    // An unknown code would index past the code table; English is the safe choice.
    const s32 index = languageIndexOfCode(language);
    return index >= 0 ? index : 0;
}

void buildLangDir() {
    g_iLanguageIndex = chooseLanguage();
    strCopyN(g_szLangDir, g_szDataDir, PATH_BUFFER_LENGTH);
    strAppendN(g_szLangDir, "Lang\\", PATH_BUFFER_LENGTH);
    strAppendN(g_szLangDir, g_aLanguageCodes[g_iLanguageIndex], PATH_BUFFER_LENGTH);
    strAppendN(g_szLangDir, "\\", PATH_BUFFER_LENGTH);
}

s32 getLanguageIndex() { return g_iLanguageIndex; }

void initUserDataDir() {
    if (configGetInt("USE_BUILT_ASSETS_FOR_SAVE_GAME") != 0) return;
    std::u16string folder;
    if (!shellGetSpecialFolder(E_SHELLFOLDER_APPLICATION_DATA, &folder)) return;
    folder += USER_DATA_SUBFOLDER;
    if (folder.size() >= PATH_BUFFER_LENGTH) return;  // a cut path would name another folder
    setUserDataDirW(folder.c_str());
    toBackslashesW(g_wszUserDataDir);
}

bool createSaveDataDir() {
    char16_t path[PATH_BUFFER_LENGTH];
    wstrCopyN(path, g_wszUserDataDir, PATH_BUFFER_LENGTH);
    if (wstrAppendN(path, SAVE_DATA_FOLDER, PATH_BUFFER_LENGTH) != E_TEXTCOPY_COMPLETE) return false;
    return osCreateDirectoryW(path);
}

EUserDataLock lockUserDataDir() {
    if (g_pUserDataLock) return E_USERDATALOCK_TAKEN;
    const std::u16string path = std::u16string(g_wszUserDataDir) + USER_DATA_LOCK_FILE;
    SOsFile* file = osFileOpenW(path.c_str(), E_OSFILE_READWRITE_KEEP);
    if (!file) return E_USERDATALOCK_UNAVAILABLE;
    if (!osFileTryLock(file)) {
        const bool held = osLastError() == E_OSERR_LOCK_VIOLATION;
        osFileClose(file);
        return held ? E_USERDATALOCK_HELD : E_USERDATALOCK_UNAVAILABLE;
    }
    g_pUserDataLock = file;
    return E_USERDATALOCK_TAKEN;
}

void releaseUserDataDir() {
    if (!g_pUserDataLock) return;
    osFileClose(g_pUserDataLock);
    g_pUserDataLock = nullptr;
}

void removeDataDirPrefix(char* path) {
    if (!path) return;
    char* found = strFind(path, g_szDataDirBackslashed);
    if (!found) return;
    const char* rest = found + strLength(g_szDataDirBackslashed);
    memMove(path, rest, strLength(rest) + 1);
}

char getPathSeparator() { return '\\'; }

void toBackslashes(char* path) {
    if (!path) return;
    for (char* p = path; *p; ++p) {
        if (*p == '/') *p = '\\';
    }
}

void toBackslashesW(char16_t* path) {
    if (!path) return;
    for (char16_t* p = path; *p; ++p) {
        if (*p == u'/') *p = u'\\';
    }
}
