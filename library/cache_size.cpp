#include "library/cache_size.h"

#include "core/file_layer.h"
#include "library/data_file.h"
#include "platform/os/os.h"

#include <atomic>
#include <string>

namespace {

ClThread g_thread;
std::atomic<bool> g_done{false};
std::atomic<u64> g_total{0};

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
    g_total = total;
    g_done = true;
}

}  // namespace

bool startCacheSizeCount() {
    if (g_thread.isRunning()) {
        if (!g_done) return false;
        g_thread.join();
    }
    auto* folder = new std::u16string;
    if (!buildUserDataPath("SAVEDATA\\", folder)) {
        delete folder;
        return false;
    }
    g_done = false;
    if (!g_thread.start(countCaches, folder, "cache size")) {
        delete folder;
        g_done = true;
        return false;
    }
    return true;
}

bool isCacheSizeCountDone() { return g_done; }
u64 getCacheSizeTotal() { return g_total; }

void joinCacheSizeThread() {
    if (g_thread.isRunning()) g_thread.join();
}
