// Settings files read into the settings table, apart from the table itself, so that a program
// that only sets and reads settings does not take the package and text readers in with it.
#include "core/config.h"

#include "core/directories.h"
#include "core/packages.h"
#include "core/string_helpers.h"
#include "core/text_reader.h"

bool configLoad(const char* fileName) {
    if (!fileName) return false;
    char path[PATH_BUFFER_LENGTH];
    strCopyN(path, getDataDir(), sizeof path);
    if (strAppendN(path, fileName, sizeof path) != E_TEXTCOPY_COMPLETE) return false;
    toBackslashes(path);
    STextReader reader;
    if (!packagedFileExists(path, PACKAGE_ID_ANY) || !openTextReader(reader, path)) return false;
    configParse(reader);
    closeTextReader(reader);
    return true;
}

void configParse(STextReader& reader) {
    char line[CONFIG_LINE_LENGTH];
    char key[TEXT_TOKEN_LENGTH];
    char value[TEXT_TOKEN_LENGTH];
    while (nextContentLine(reader, sizeof line, line)) {
        const char* rest = nextToken(line, key, sizeof key);
        if (!rest) continue;
        if (configEntryCount() >= CONFIG_MAX_ENTRIES - 1) return;
        nextToken(rest, value, sizeof value);
        configSetValue(key, value);
    }
}
