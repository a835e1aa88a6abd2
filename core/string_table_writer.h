// Writing string tables: our readable source becomes the ".lang" image of
// core/string_table_format.h. Used by the string-table writer tool and by tests.
//
// Source: one UTF-8 file per table and language, one entry per line:
//
//   # a comment (the first non-blank character is '#'); blank lines are skipped
//   KEY<TAB>text
//
// The key is everything before the first tab: printable ASCII without blanks. The text is the
// rest of the line, possibly empty, with the escapes "\n" (line feed), "\t" (tab) and "\\"
// (backslash); any other backslash is an error. A UTF-8 byte-order mark and a CR before each
// LF are accepted. Texts become UTF-16, with surrogate pairs above U+FFFF.
//
// Errors (the table is not written): bad UTF-8, a NUL byte, a line without a tab, a bad key or
// escape, a key given twice (keys ignore letter case, as their hash does), two keys sharing a
// hash. Warnings: a '%' that is not "%d" or "%s" (the game's formatting replaces only those),
// and a key present in several tables written together.
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

struct SStringSourceEntry {
    std::string key;
    std::u16string text;
    u32 idHash;
    u32 line;
};

struct SStringSource {
    std::string name;  // for messages: the file
    std::vector<SStringSourceEntry> entries;
};

// Parses the source bytes. Errors and warnings read "name:line: message". False on the first
// error.
bool stringSourceParse(const char* name, const std::string& bytes, SStringSource* outSource,
                       std::vector<std::string>* outWarnings, std::string* outError);

// The image of a parsed source (an empty source gives a valid empty table).
bool stringSourceBuildImage(const SStringSource& source, std::vector<u8>* outImage, std::string* outError);

// One warning per key that more than one of the tables holds.
void stringSourcesWarnSharedKeys(const std::vector<SStringSource>& sources, std::vector<std::string>* outWarnings);

// Reads every source file, then writes "<outputFolder>/<name>.lang" for each, the name being
// the source file name without its extension. Nothing is written when any source has an error.
bool stringTableWriterWrite(const std::vector<std::string>& sourcePaths, const char* outputFolder,
                            std::vector<std::string>* outWarnings, std::string* outError);
