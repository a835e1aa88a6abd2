#include "library/cache_size.h"

#include "core/file_layer.h"
#include "library/data_file.h"
#include "platform/os/os.h"

#include <atomic>
#include <string>

namespace {

ClThread s_thread;
std::atomic<bool> s_done{false};
std::atomic<u64> s_total{0};

u64 fileSize(const std::u16string& path) {
    fileSystemLockEnter();
    SOsFile* file = osFileOpenW(path.c_str(), E_OSFILE_READ_EXISTING);
    fileSystemLockLeave();
    if (!file) return 0;
    uint64_t size = 0;
    if (!osFileGetSize(file, &size)) size = 0;
    osFileClose(file);
    return size;
}

void countCaches(void* argument) {
    const std::u16string* folder = static_cast<std::u16string*>(argument);
    ClArray<SDirectoryEntry> entries;
    u64 total = 0;
    if (listDirectoryW(&entries, (*folder + u"VelodrixCache_*").c_str(), E_FILEATTR_FILE, true, true) ==
        E_FILESTATUS_OK) {
        for (const SDirectoryEntry& entry : entries) total += fileSize(*folder + entry.name);
    }
    entries.release();
    delete folder;
    s_total = total;
    s_done = true;
}

}  // namespace

bool startCacheSizeCount() {
    if (s_thread.isRunning()) {
        if (!s_done) return false;
        s_thread.join();
    }
    auto* folder = new std::u16string;
    if (!buildUserDataPath("SAVEDATA\\", folder)) {
        delete folder;
        return false;
    }
    s_done = false;
    if (!s_thread.start(countCaches, folder, "cache size")) {
        delete folder;
        s_done = true;
        return false;
    }
    return true;
}

bool isCacheSizeCountDone() { return s_done; }
u64 getCacheSizeTotal() { return s_total; }

void joinCacheSizeThread() {
    if (s_thread.isRunning()) s_thread.join();
}
