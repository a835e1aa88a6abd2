#include "audio/sound/sound_package_read.h"

#include "core/file_status.h"
#include "core/packages.h"

SAssetFile* readWholePackagedFile(const char* path, u32 alignment, u32* outSize) {
    SAssetFile* file = nullptr;
    u32 size = 0;
    if (openPackagedFile(path, &size, &file, PACKAGE_ID_ANY) != E_FILESTATUS_OK || !file) return nullptr;
    if (size == 0 || !prepareAssetFileBuffers(file, 0, size, alignment, SOUND_FILE_USER_WORD) ||
        readAssetFile(file, 0, size) != E_FILESTATUS_OK) {
        releaseAssetFile(file);
        return nullptr;
    }
    closeAssetFileDisk(file);
    *outSize = size;
    return file;
}
