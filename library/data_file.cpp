#include "library/data_file.h"

#include "core/digest.h"
#include "core/directories.h"
#include "core/file_layer.h"
#include "platform/os/os.h"
#include "platform/os/rename.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

u32 g_uDamagedFiles = 0;
// Noted by the save writer's thread too.
std::atomic<u32> g_uWriteFailedFiles{0};
std::atomic<u32> g_uEarlierWriteFailedFiles{0};

void markUnsaved(const std::u16string& path, bool unsaved) {
    const std::u16string marker = path + DATA_FILE_UNSAVED_SUFFIX;
    if (!unsaved) {
        if (fileExistsW(marker.c_str())) osDeleteFile(osWideToUtf8(marker.c_str()).c_str());
        return;
    }
    if (SOsFile* file = osFileOpenW(marker.c_str(), E_OSFILE_WRITE_CREATE)) osFileClose(file);
}

}  // namespace

u32 libraryWriteFailedFlags() { return g_uWriteFailedFiles; }

bool noteLibraryWrite(u32 flag, bool written, u32 osError) {
    if (written) {
        g_uWriteFailedFiles.fetch_and(~flag);
        g_uEarlierWriteFailedFiles.fetch_and(~flag);
        return true;
    }
    g_uWriteFailedFiles.fetch_or(flag);
    std::fprintf(stderr, "velodrix: the %s could not be written (%s); the previous file is kept and the next save tries again\n",
                 flag == E_DAMAGED_USER_SAVE ? "save" : "game data", osErrorText(osError).c_str());
    return false;
}

u32 libraryEarlierWriteFailedFlags() { return g_uEarlierWriteFailedFiles; }

void noteEarlierWriteFailure(u32 flag, const char* relative) {
    std::u16string path;
    if (buildUserDataPath(relative, &path) && fileExistsW((path + DATA_FILE_UNSAVED_SUFFIX).c_str()))
        g_uEarlierWriteFailedFiles |= flag;
}

u32 libraryDamagedFileFlags() { return g_uDamagedFiles; }
void noteLibraryDamagedFile(u32 flag) { g_uDamagedFiles |= flag; }
void clearLibraryDamagedFileFlags() { g_uDamagedFiles = 0; }

bool buildUserDataPath(const char* relative, std::u16string* out) {
    out->clear();
    const char16_t* base = getUserDataDirW();
    if (!base) return false;
    *out = base;
    for (const char* p = relative; *p; ++p) *out += char16_t(u8(*p));
    return out->size() < FILE_PATH_LIMIT;
}

EDataFileRead readDataFile(const std::u16string& path, u32 trailerValue, std::vector<u8>* outContent) {
    outContent->clear();
    if (!fileExistsW(path.c_str())) return E_DATAFILE_READ_MISSING;
    u32 size = 0;
    SDiskFileSlot* slot = nullptr;
    if (openDiskFileW(path.c_str(), &size, &slot) != E_FILESTATUS_OK) return E_DATAFILE_READ_DAMAGED;
    std::vector<u8> image(size);
    const bool read = readDiskFileBlocking(slot, 0, size, image.data()) == E_FILESTATUS_OK;
    closeDiskFile(slot);
    if (!read || !verifyTrailingDigest(image.data(), size, trailerValue)) return E_DATAFILE_READ_DAMAGED;
    image.resize(size - DIGEST_SIZE);
    *outContent = std::move(image);
    return E_DATAFILE_READ_OK;
}

std::u16string dataFileSetAsideName(const std::u16string& path, u32 n) {
    std::u16string name = path + DATA_FILE_SET_ASIDE_SUFFIX;
    if (n == 0) return name;
    for (char c : "." + std::to_string(n)) name += char16_t(c);
    return name;
}

bool setDataFileAside(const std::u16string& path) {
    for (u32 n = 0; n < DATA_FILE_SET_ASIDE_LIMIT; ++n) {
        const std::u16string aside = dataFileSetAsideName(path, n);
        if (osRenameFileNoReplaceW(path.c_str(), aside.c_str())) return true;
        if (osLastError() != E_OSERR_ALREADY_EXISTS) return false;
    }
    return false;
}

bool writeDataFile(const std::u16string& path, const std::vector<u8>& content, u32 trailerValue) {
    u8* block = nullptr;
    u32 length = 0;
    appendDigest(content.data(), u32(content.size()), trailerValue, &block, &length);
    const bool written = writeWholeFileW(path.c_str(), block, length) == E_FILESTATUS_OK;
    std::free(block);
    const u32 error = osLastError();
    markUnsaved(path, !written);
    osSetLastError(error);
    return written;
}
