#include "render/data_file_read.h"

#include "core/directories.h"
#include "core/file_layer.h"
#include "core/file_status.h"
#include "core/packages.h"

#include <string>

namespace {

std::string diskPath(const char* path) { return std::string(getDataDir()) + path; }

bool readPackaged(const char* path, std::vector<u8>* out) {
    SAssetFile* file = nullptr;
    u32 size = 0;
    if (openPackagedFile(path, &size, &file, PACKAGE_ID_ANY) != E_FILESTATUS_OK || !file) return false;
    const bool read = size > 0 && prepareAssetFileBuffers(file, 0, size, 16, 0) &&
                      readAssetFile(file, 0, size) == E_FILESTATUS_OK;
    if (read) out->assign(file->data, file->data + size);
    releaseAssetFile(file);
    return read;
}

bool readDisk(const char* path, std::vector<u8>* out) {
    SDiskFileSlot* slot = nullptr;
    u32 size = 0;
    if (openDiskFileA(diskPath(path).c_str(), &size, &slot) != E_FILESTATUS_OK) return false;
    out->resize(size);
    const bool read = readDiskFileBlocking(slot, 0, size, out->data()) == E_FILESTATUS_OK;
    closeDiskFile(slot);
    return read;
}

}  // namespace

bool dataFileExists(const char* path) {
    return packagedFileExists(path, PACKAGE_ID_ANY) != 0 || fileExistsA(diskPath(path).c_str()) != 0;
}

bool readDataFile(const char* path, std::vector<u8>* out) {
    out->clear();
    if (readPackaged(path, out) || readDisk(path, out)) return true;
    out->clear();
    return false;
}
