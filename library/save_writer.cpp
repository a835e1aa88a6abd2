#include "library/save_writer.h"

#include "library/data_file.h"
#include "library/user_save.h"
#include "platform/os/os.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace {

// Shared with the thread under g_lock. The thread runs while saves wait and ends when none is
// left, so that nothing waits for it at the process's end.
struct SSaveWriter {
    std::u16string path;
    std::vector<u8> content;
    bool pending = false;  // a save waits to be written
    bool running = false;  // a thread writes the saves, or is about to
};

std::mutex g_lock;
std::condition_variable g_ended;
SSaveWriter g_writer;
ClThread g_thread;

void writeWaitingSaves(void*) {
    std::unique_lock<std::mutex> lock(g_lock);
    while (g_writer.pending) {
        const std::u16string path = std::move(g_writer.path);
        const std::vector<u8> content = std::move(g_writer.content);
        g_writer.pending = false;
        lock.unlock();
        const bool written = writeDataFile(path, content, USER_SAVE_TRAILER_VALUE);
        noteLibraryWrite(E_DAMAGED_USER_SAVE, written, written ? 0 : osLastError());
        lock.lock();
    }
    g_writer.running = false;
    g_ended.notify_all();
}

}  // namespace

void handSaveToWriter(std::u16string path, std::vector<u8> content) {
    bool start = false;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_writer.path = std::move(path);
        g_writer.content = std::move(content);
        g_writer.pending = true;
        start = !g_writer.running;
        g_writer.running = true;
    }
    if (!start) return;
    // The last thread has written everything and is ending.
    if (g_thread.isRunning()) g_thread.join();
    if (g_thread.start(writeWaitingSaves, nullptr, "save writer")) return;
    // Without a thread the save is written here: late rather than never.
    writeWaitingSaves(nullptr);
}

void finishSaveWrites() {
    {
        std::unique_lock<std::mutex> lock(g_lock);
        g_ended.wait(lock, [] { return !g_writer.running; });
    }
    if (g_thread.isRunning()) g_thread.join();
}
