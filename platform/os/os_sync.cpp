// Sleeps, per-thread completion queues, events, threads and error codes.
#include "platform/os/os.h"
#include "platform/os/os_internal.h"

#include <pthread.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <utility>

struct SOsThreadQueue {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<std::pair<OsCompletionRoutine, void*>> items;
};

namespace {

thread_local OsThreadQueueRef t_threadQueue;
thread_local uint32_t t_lastError = E_OSERR_NONE;

// Runs the completions that were queued when the call began; completions that those queue
// in turn wait for the next alertable wait. Returns how many ran.
int runQueuedCompletions(SOsThreadQueue& queue) {
    size_t pending;
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        pending = queue.items.size();
    }
    int ran = 0;
    while (pending-- > 0) {
        std::pair<OsCompletionRoutine, void*> item;
        {
            std::lock_guard<std::mutex> lock(queue.mutex);
            if (queue.items.empty()) break;
            item = queue.items.front();
            queue.items.pop_front();
        }
        item.first(item.second);
        ++ran;
    }
    return ran;
}

bool hasQueuedCompletions(SOsThreadQueue& queue) {
    std::lock_guard<std::mutex> lock(queue.mutex);
    return !queue.items.empty();
}

}  // namespace

OsThreadQueueRef osCurrentThreadQueue() {
    if (!t_threadQueue) t_threadQueue = std::make_shared<SOsThreadQueue>();
    return t_threadQueue;
}

void osQueueCompletion(const OsThreadQueueRef& queue, OsCompletionRoutine routine, void* context) {
    {
        std::lock_guard<std::mutex> lock(queue->mutex);
        queue->items.emplace_back(routine, context);
    }
    queue->arrived.notify_all();
}

void osSleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

EOsWaitResult osSleepEx(uint32_t milliseconds, bool alertable) {
    if (!alertable) {
        osSleep(milliseconds);
        return E_OSWAIT_TIMEOUT;
    }
    SOsThreadQueue& queue = *osCurrentThreadQueue();
    if (runQueuedCompletions(queue) > 0) return E_OSWAIT_IO_COMPLETION;
    if (milliseconds == 0) return E_OSWAIT_TIMEOUT;
    {
        std::unique_lock<std::mutex> lock(queue.mutex);
        auto hasItems = [&queue] { return !queue.items.empty(); };
        if (milliseconds == OS_INFINITE) {
            queue.arrived.wait(lock, hasItems);
        } else if (!queue.arrived.wait_for(lock, std::chrono::milliseconds(milliseconds), hasItems)) {
            return E_OSWAIT_TIMEOUT;
        }
    }
    runQueuedCompletions(queue);
    return E_OSWAIT_IO_COMPLETION;
}

// ---------------------------------------------------------------------------------------------

ClEvent::ClEvent(bool manualReset, bool initiallySet) : m_manualReset(manualReset), m_set(initiallySet) {}

void ClEvent::set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_set = true;
    }
    if (m_manualReset) {
        m_condition.notify_all();
    } else {
        m_condition.notify_one();
    }
}

void ClEvent::reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = false;
}

EOsWaitResult ClEvent::wait(uint32_t milliseconds, bool alertable) {
    using Clock = std::chrono::steady_clock;
    const bool forever = milliseconds == OS_INFINITE;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
    SOsThreadQueue* queue = alertable ? osCurrentThreadQueue().get() : nullptr;

    for (;;) {
        if (queue && runQueuedCompletions(*queue) > 0) return E_OSWAIT_IO_COMPLETION;
        std::unique_lock<std::mutex> lock(m_mutex);
        // An alertable wait looks at its thread's queue at least every millisecond.
        Clock::time_point until = forever ? Clock::time_point::max() : deadline;
        if (queue) until = std::min(until, Clock::now() + std::chrono::milliseconds(1));
        const bool signalled = until == Clock::time_point::max()
                                   ? (m_condition.wait(lock, [this] { return m_set; }), true)
                                   : m_condition.wait_until(lock, until, [this] { return m_set; });
        if (signalled) {
            if (!m_manualReset) m_set = false;
            return E_OSWAIT_SIGNALLED;
        }
        if (!forever && Clock::now() >= deadline) {
            lock.unlock();
            if (queue && hasQueuedCompletions(*queue)) {
                runQueuedCompletions(*queue);
                return E_OSWAIT_IO_COMPLETION;
            }
            return E_OSWAIT_TIMEOUT;
        }
    }
}

// ---------------------------------------------------------------------------------------------

ClThread::~ClThread() { join(); }

bool ClThread::start(OsThreadRoutine routine, void* argument, const char* name) {
    if (m_thread.joinable()) return false;
    try {
        m_thread = std::thread(routine, argument);
    } catch (const std::system_error&) {
        osSetLastError(E_OSERR_OTHER);
        return false;
    }
    char shortName[16] = {};
    std::strncpy(shortName, name ? name : "", sizeof shortName - 1);
    if (shortName[0]) pthread_setname_np(m_thread.native_handle(), shortName);
    return true;
}

void ClThread::join() {
    if (m_thread.joinable()) m_thread.join();
}

void ClThread::detach() {
    if (m_thread.joinable()) m_thread.detach();
}

// ---------------------------------------------------------------------------------------------

uint32_t osLastError() { return t_lastError; }

void osSetLastError(uint32_t error) { t_lastError = error; }

// Errors the system reports are kept as E_OSERR_OTHER + errno when no code of ours fits.
uint32_t osErrorFromErrno(int error) {
    switch (error) {
        case 0: return E_OSERR_NONE;
        case ENOENT:
        case ENOTDIR: return E_OSERR_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS: return E_OSERR_ACCESS_DENIED;
        case EBADF: return E_OSERR_INVALID_HANDLE;
        case EINVAL:
        case ENAMETOOLONG: return E_OSERR_INVALID_PARAMETER;
        case EIO: return E_OSERR_READ_FAULT;
        case EEXIST: return E_OSERR_ALREADY_EXISTS;
        default: return E_OSERR_OTHER + uint32_t(error);
    }
}

std::string osErrorText(uint32_t error) {
    switch (error) {
        case E_OSERR_NONE: return "The operation completed successfully.";
        case E_OSERR_NOT_FOUND: return "The system cannot find the file specified.";
        case E_OSERR_ACCESS_DENIED: return "Access is denied.";
        case E_OSERR_INVALID_HANDLE: return "The handle is invalid.";
        case E_OSERR_NO_MORE_FILES: return "There are no more files.";
        case E_OSERR_READ_FAULT: return "The system cannot read from the specified device.";
        case E_OSERR_LOCK_VIOLATION: return "Another process has locked a portion of the file.";
        case E_OSERR_HANDLE_EOF: return "Reached the end of the file.";
        case E_OSERR_INVALID_PARAMETER: return "The parameter is incorrect.";
        case E_OSERR_ALREADY_EXISTS: return "Cannot create a file when that file already exists.";
        case E_OSERR_NOT_A_FILE: return "The name is not a regular file (a pipe, a device or a socket).";
        default: break;
    }
    if (error > E_OSERR_OTHER) return std::strerror(int(error - E_OSERR_OTHER));
    return "Unknown error.";
}
