// Writing packages: a folder becomes "<NAME>_win32.mdf" (the stored bytes) and
// "<NAME>_win32.mtc" (the table of contents), laid out by core/package_format.h exactly as the
// game's package reader expects. Used by the package writer tool and by tests that need small
// packages.
//
// Each file is stored under its path relative to the folder, with '\' separators and no ".\"
// prefix, hashed with `crc32TextNoCase`: "project.ini", "Lang\eng\Strings\Win32.lang".
//
// Patterns match without regard to case; '*' stands for any run of characters and '?' for one.
// A pattern without '\' is matched against the file name alone ("*.fxo"), one with '\' against
// the whole relative path ("Audio\Music\*").
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

// Files the game reads without unpacking them: compiled effects go through the asynchronous
// loader, and streamed samples are read straight from the data file. They are always stored
// plain, whatever the other patterns say.
extern const char* const PACKAGE_WRITER_DEFAULT_PLAIN_PATTERNS[];
extern const u32 PACKAGE_WRITER_DEFAULT_PLAIN_PATTERN_COUNT;

// Stored bytes of each entry start on this boundary in the data file.
constexpr u32 PACKAGE_WRITER_ENTRY_ALIGNMENT = 16;

struct SPackageWriterOptions {
    // Compressed (zlib) when the stream comes out smaller than the file.
    std::vector<std::string> compressPatterns;
    // Stored plain, in addition to the default plain patterns.
    std::vector<std::string> plainPatterns;
    // Enciphered with AES-128-CBC under the key text: for tests only, since the game mounts its
    // own packages without a key and stops at an enciphered entry.
    std::vector<std::string> encipherPatterns;
    std::string keyText;
};

struct SPackageSourceFile {
    std::string relativePath;  // '\' separators, as hashed
    std::string diskPath;      // as the system takes it
};

// One line of a listing.
struct SPackageListing {
    u32 pathHash;
    std::string path;  // empty when the table holds no text for it
    u32 size;
    u32 compressedSize;  // 0 when not compressed
    u32 encipheredSize;  // 0 when not enciphered
    u32 dataOffset;
};

bool packageWriterMatchPattern(const char* pattern, const char* relativePath);

// The package file name, "<NAME>_win32" and the extension (".mdf" or ".mtc").
std::string packageFileName(const char* packageName, const char* extension);

// Every file under the folder, sorted by relative path. Names beginning with '.' (and folders
// so named) are left out. False with a message when the folder cannot be read, a file is empty,
// a name is not plain ASCII, or a relative path is too long for the game.
bool packageWriterCollectFolder(const char* folder, std::vector<SPackageSourceFile>* outFiles, std::string* outError);

// Writes the data file and then the table. False with a message naming the file at fault when a
// file cannot be read, two paths share a hash, nothing is to be packed, or the data file would
// reach 4 GiB; no package is left behind then.
bool packageWriterWrite(const std::vector<SPackageSourceFile>& files, const SPackageWriterOptions& options,
                        const char* dataPath, const char* tablePath, std::string* outError);

// Collects the folder and writes "<outputFolder>/<NAME>_win32.mdf" and ".mtc".
bool packageWriterPackFolder(const char* folder, const char* outputFolder, const char* packageName,
                             const SPackageWriterOptions& options, std::string* outError);

// The entries of a table of contents in record order. The data file, when given and present,
// bounds the entries as the reader would.
bool packageWriterList(const char* tablePath, const char* dataPath, std::vector<SPackageListing>* outLines,
                       std::string* outError);
