#include "library/data_file.h"

#include "core/digest.h"
#include "core/directories.h"
#include "core/file_layer.h"
#include "platform/os/rename.h"

#include <cstdlib>

namespace {

u32 s_uDamagedFiles = 0;

}  // namespace

u32 libraryDamagedFileFlags() { return s_uDamagedFiles; }
void noteLibraryDamagedFile(u32 flag) { s_uDamagedFiles |= flag; }
void clearLibraryDamagedFileFlags() { s_uDamagedFiles = 0; }

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

bool setDataFileAside(const std::u16string& path) {
    const std::u16string aside = path + DATA_FILE_SET_ASIDE_SUFFIX;
    return osRenameFileW(path.c_str(), aside.c_str());
}

bool writeDataFile(const std::u16string& path, const std::vector<u8>& content, u32 trailerValue) {
    u8* block = nullptr;
    u32 length = 0;
    appendDigest(content.data(), u32(content.size()), trailerValue, &block, &length);
    const bool written = writeWholeFileW(path.c_str(), block, length) == E_FILESTATUS_OK;
    std::free(block);
    return written;
}
