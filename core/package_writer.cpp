#include "core/package_writer.h"

#include "core/cipher.h"
#include "core/name_hash.h"
#include "core/package_format.h"
#include "core/path_helpers.h"
#include "core/string_helpers.h"
#include "platform/os/os.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char* const PACKAGE_WRITER_DEFAULT_PLAIN_PATTERNS[] = {
    "*.fxo", "*.wav", "*.ogg", "*.mp3", "*.flac", "*.aif", "*.aiff", "*.wv", "*.wma", "*.m4a", "*.aac",
};
const u32 PACKAGE_WRITER_DEFAULT_PLAIN_PATTERN_COUNT =
    sizeof(PACKAGE_WRITER_DEFAULT_PLAIN_PATTERNS) / sizeof(PACKAGE_WRITER_DEFAULT_PLAIN_PATTERNS[0]);

namespace {

// Symbolic links can make a tree endless; no data folder is this deep.
constexpr u32 FOLDER_DEPTH_LIMIT = 32;
constexpr u64 DATA_FILE_SIZE_LIMIT = 0xFFFFFFFFull;

char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool matchFrom(const char* pattern, const char* text) {
    const char* starPattern = nullptr;
    const char* starText = nullptr;
    while (*text) {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starText = text;
        } else if (*pattern == '?' || (*pattern && foldCase(*pattern) == foldCase(*text))) {
            ++pattern;
            ++text;
        } else if (starPattern) {
            pattern = starPattern;
            text = ++starText;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == 0;
}

bool matchesAny(const std::vector<std::string>& patterns, const char* path) {
    for (const std::string& pattern : patterns)
        if (packageWriterMatchPattern(pattern.c_str(), path)) return true;
    return false;
}

bool isPlain(const SPackageWriterOptions& options, const char* path) {
    for (u32 i = 0; i < PACKAGE_WRITER_DEFAULT_PLAIN_PATTERN_COUNT; ++i)
        if (packageWriterMatchPattern(PACKAGE_WRITER_DEFAULT_PLAIN_PATTERNS[i], path)) return true;
    return matchesAny(options.plainPatterns, path);
}

std::string systemError() { return osErrorText(osLastError()); }

bool readWholeFile(const std::string& path, std::vector<u8>* out, std::string* error) {
    SOsFile* file = osFileOpen(path.c_str(), E_OSFILE_READ_EXISTING);
    if (!file) {
        *error = "cannot open " + path + ": " + systemError();
        return false;
    }
    u64 size = 0;
    bool ok = osFileGetSize(file, &size);
    if (ok && size > DATA_FILE_SIZE_LIMIT) {
        osFileClose(file);
        *error = path + " is 4 GiB or larger";
        return false;
    }
    if (ok) {
        out->resize(size_t(size));
        u32 got = 0;
        ok = size == 0 || (osFileReadAt(file, 0, out->data(), u32(size), &got) && got == size);
    }
    osFileClose(file);
    if (!ok) *error = "cannot read " + path + ": " + systemError();
    return ok;
}

bool writeBytes(SOsFile* file, const u8* bytes, size_t size) {
    while (size > 0) {
        const u32 piece = u32(std::min<size_t>(size, 0x40000000));
        u32 written = 0;
        if (!osFileWrite(file, bytes, piece, &written) || written != piece) return false;
        bytes += piece;
        size -= piece;
    }
    return true;
}

bool isPlainAscii(const std::u16string& name) {
    for (char16_t unit : name)
        if (unit < 0x20 || unit > 0x7E) return false;
    return true;
}

bool collect(const std::string& diskFolder, const std::string& relativeFolder, u32 depth,
             std::vector<SPackageSourceFile>* out, std::string* error) {
    if (depth > FOLDER_DEPTH_LIMIT) {
        *error = "folders nested too deeply under " + diskFolder;
        return false;
    }
    std::u16string pattern;
    if (!osUtf8ToWide((diskFolder + "/*").c_str(), &pattern)) {
        *error = "folder name is not UTF-8: " + diskFolder;
        return false;
    }
    SOsFindData data;
    SOsFind* find = osFindFirst(pattern.c_str(), &data);
    if (!find) {
        if (osLastError() == E_OSERR_NO_MORE_FILES) return true;
        *error = "cannot read the folder " + diskFolder + ": " + systemError();
        return false;
    }
    bool ok = true;
    do {
        const std::u16string name = data.name;
        if (name.empty() || name[0] == u'.') continue;
        const std::string narrow = osWideToUtf8(name.c_str());
        const std::string diskPath = diskFolder + "/" + narrow;
        if (!isPlainAscii(name)) {
            *error = "file name is not plain ASCII: " + diskPath;
            ok = false;
            break;
        }
        const std::string relative = relativeFolder.empty() ? narrow : relativeFolder + "\\" + narrow;
        if (relative.size() >= PATH_BUFFER_LENGTH) {
            *error = "path too long for the game: " + diskPath;
            ok = false;
            break;
        }
        if (data.attributes & E_OSATTR_DIRECTORY) {
            if (!collect(diskPath, relative, depth + 1, out, error)) {
                ok = false;
                break;
            }
        } else if (data.size == 0) {
            *error = "empty file (the game cannot open a file of size 0): " + diskPath;
            ok = false;
            break;
        } else {
            out->push_back({relative, diskPath});
        }
    } while (osFindNext(find, &data));
    if (ok && osLastError() != E_OSERR_NO_MORE_FILES) {
        *error = "cannot read the folder " + diskFolder + ": " + systemError();
        ok = false;
    }
    osFindClose(find);
    return ok;
}

// The bytes as they go into the data file, and their descriptor (without the data offset).
bool storeEntry(const SPackageSourceFile& source, const SPackageWriterOptions& options, const u8* key,
                std::vector<u8>* bytes, SPackageEntry* entry, std::string* error) {
    const char* path = source.relativePath.c_str();
    const bool plain = isPlain(options, path);
    *entry = SPackageEntry{};
    entry->size = u32(bytes->size());

    if (!plain && matchesAny(options.compressPatterns, path)) {
        uLongf packedLength = compressBound(uLong(bytes->size()));
        std::vector<u8> packed(packedLength);
        if (compress2(packed.data(), &packedLength, bytes->data(), uLong(bytes->size()), Z_BEST_COMPRESSION) != Z_OK) {
            *error = "cannot compress " + source.diskPath;
            return false;
        }
        if (packedLength < bytes->size()) {
            packed.resize(packedLength);
            bytes->swap(packed);
            entry->compressed = 1;
            entry->compressedSize = u32(packedLength);
        }
    }

    if (!plain && matchesAny(options.encipherPatterns, path)) {
        u8 iv[CIPHER_BLOCK_SIZE];
        makeZeroIvWithWord(iv, 0);
        u8* block = nullptr;
        u32 length = 0;
        encryptBuffer(bytes->data(), u32(bytes->size()), &block, &length, key, iv);
        bytes->assign(block, block + length);
        std::free(block);
        entry->enciphered = 1;
        entry->encipheredSize = length;
    }
    return true;
}

void removeOutputs(const char* dataPath, const char* tablePath) {
    osDeleteFile(dataPath);
    osDeleteFile(tablePath);
}

}  // namespace

bool packageWriterMatchPattern(const char* pattern, const char* relativePath) {
    if (!std::strchr(pattern, '\\')) {
        const char* name = std::strrchr(relativePath, '\\');
        if (name) relativePath = name + 1;
    }
    return matchFrom(pattern, relativePath);
}

std::string packageFileName(const char* packageName, const char* extension) {
    return std::string(packageName) + "_" + getPlatformName() + extension;
}

bool packageWriterCollectFolder(const char* folder, std::vector<SPackageSourceFile>* outFiles, std::string* outError) {
    outFiles->clear();
    std::string root = folder;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (!collect(root, "", 0, outFiles, outError)) {
        outFiles->clear();
        return false;
    }
    std::sort(outFiles->begin(), outFiles->end(),
              [](const SPackageSourceFile& a, const SPackageSourceFile& b) { return a.relativePath < b.relativePath; });
    return true;
}

bool packageWriterWrite(const std::vector<SPackageSourceFile>& files, const SPackageWriterOptions& options,
                        const char* dataPath, const char* tablePath, std::string* outError) {
    if (files.empty()) {
        *outError = "nothing to pack: the game cannot open an empty data file";
        return false;
    }
    if (!options.encipherPatterns.empty() && options.keyText.empty()) {
        *outError = "enciphering needs a key text";
        return false;
    }
    u8 key[CIPHER_KEY_SIZE];
    makeKeyFromText(key, options.keyText.c_str());

    std::vector<SPackageTableInput> inputs(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        inputs[i].pathHash = crc32TextNoCase(files[i].relativePath.c_str());
        inputs[i].pathText = files[i].relativePath.c_str();
    }
    // Duplicate hashes are refused before anything is written.
    std::vector<u8> table;
    SPackageBuildResult check = packageTableBuild(inputs.data(), u32(inputs.size()), &table);
    if (check.error == E_PACKAGEBUILD_DUPLICATE_HASH) {
        char hash[16];
        std::snprintf(hash, sizeof hash, "0x%08X", inputs[check.firstIndex].pathHash);
        *outError = std::string("two paths share the hash ") + hash + ": " + files[check.firstIndex].relativePath +
                    " and " + files[check.secondIndex].relativePath;
        return false;
    }

    SOsFile* data = osFileOpen(dataPath, E_OSFILE_WRITE_CREATE);
    if (!data) {
        *outError = std::string("cannot create ") + dataPath + ": " + systemError();
        return false;
    }
    static const u8 padding[PACKAGE_WRITER_ENTRY_ALIGNMENT] = {};
    u64 offset = 0;
    std::vector<u8> bytes;
    for (size_t i = 0; i < files.size(); ++i) {
        const u64 aligned = (offset + PACKAGE_WRITER_ENTRY_ALIGNMENT - 1) & ~u64(PACKAGE_WRITER_ENTRY_ALIGNMENT - 1);
        bool ok = readWholeFile(files[i].diskPath, &bytes, outError);
        if (ok && bytes.empty()) {
            *outError = "empty file (the game cannot open a file of size 0): " + files[i].diskPath;
            ok = false;
        }
        ok = ok && storeEntry(files[i], options, key, &bytes, &inputs[i].entry, outError);
        if (ok && aligned + bytes.size() > DATA_FILE_SIZE_LIMIT) {
            *outError = std::string("the data file would reach 4 GiB at ") + files[i].diskPath;
            ok = false;
        }
        if (ok && (!writeBytes(data, padding, size_t(aligned - offset)) || !writeBytes(data, bytes.data(), bytes.size()))) {
            *outError = std::string("cannot write ") + dataPath + ": " + systemError();
            ok = false;
        }
        if (!ok) {
            osFileClose(data);
            removeOutputs(dataPath, tablePath);
            return false;
        }
        inputs[i].entry.dataOffset = u32(aligned);
        offset = aligned + bytes.size();
    }
    if (!osFileClose(data)) {
        *outError = std::string("cannot write ") + dataPath + ": " + systemError();
        removeOutputs(dataPath, tablePath);
        return false;
    }

    check = packageTableBuild(inputs.data(), u32(inputs.size()), &table);
    if (check.error != E_PACKAGEBUILD_OK) {
        *outError = "cannot build the table of contents (" + files[check.firstIndex].relativePath + ")";
        removeOutputs(dataPath, tablePath);
        return false;
    }
    SOsFile* tableFile = osFileOpen(tablePath, E_OSFILE_WRITE_CREATE);
    bool ok = tableFile && writeBytes(tableFile, table.data(), table.size());
    if (tableFile && !osFileClose(tableFile)) ok = false;
    if (!ok) {
        *outError = std::string("cannot write ") + tablePath + ": " + systemError();
        removeOutputs(dataPath, tablePath);
    }
    return ok;
}

bool packageWriterPackFolder(const char* folder, const char* outputFolder, const char* packageName,
                             const SPackageWriterOptions& options, std::string* outError) {
    std::vector<SPackageSourceFile> files;
    if (!packageWriterCollectFolder(folder, &files, outError)) return false;
    if (!osCreateDirectory(outputFolder)) {
        *outError = std::string("cannot create the folder ") + outputFolder + ": " + systemError();
        return false;
    }
    const std::string base = std::string(outputFolder) + "/";
    const std::string dataPath = base + packageFileName(packageName, ".mdf");
    const std::string tablePath = base + packageFileName(packageName, ".mtc");
    return packageWriterWrite(files, options, dataPath.c_str(), tablePath.c_str(), outError);
}

bool packageWriterList(const char* tablePath, const char* dataPath, std::vector<SPackageListing>* outLines,
                       std::string* outError) {
    outLines->clear();
    std::vector<u8> image;
    if (!readWholeFile(tablePath, &image, outError)) return false;
    u64 dataSize = PACKAGE_DATA_SIZE_UNKNOWN;
    if (dataPath) {
        if (SOsFile* data = osFileOpen(dataPath, E_OSFILE_READ_EXISTING)) {
            if (!osFileGetSize(data, &dataSize)) dataSize = PACKAGE_DATA_SIZE_UNKNOWN;
            osFileClose(data);
        }
    }
    SPackageTableView view;
    const EPackageTableError error = packageTableOpen(&view, image.data(), image.size(), dataSize);
    if (error != E_PACKAGETABLE_OK) {
        *outError = std::string(tablePath) + ": " + packageTableErrorText(error);
        return false;
    }
    for (u32 i = 0; i < packageTableCount(view); ++i) {
        const SPackageEntry entry = packageTableEntryAt(view, i);
        const char* path = packageTablePathAt(view, i);
        outLines->push_back({packageTableHashAt(view, i), path ? path : "", entry.size,
                             entry.compressed ? entry.compressedSize : 0u,
                             entry.enciphered ? entry.encipheredSize : 0u, entry.dataOffset});
    }
    return true;
}
