// Files: open, read, write, size, existence, directory creation and overlapped reads.
#include "platform/os/os.h"
#include "platform/os/os_internal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <mutex>

struct SOsFile {
    int fd;
};

namespace {

bool failWithErrno() {
    osSetLastError(osErrorFromErrno(errno));
    return false;
}

// A file-size limit (ulimit -f) makes a write past it fail with EFBIG instead of ending the
// process, so a writer sees a refusal it can report.
void ignoreFileSizeSignal() {
    static std::once_flag g_once;
    std::call_once(g_once, [] { std::signal(SIGXFSZ, SIG_IGN); });
}

// Opened without blocking, so that a named pipe or a device never holds the caller in open();
// only a regular file is kept.
SOsFile* openSystemPath(const std::string& path, EOsFileOpen mode) {
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (mode) {
        case E_OSFILE_READ_EXISTING: flags |= O_RDONLY; break;
        case E_OSFILE_WRITE_CREATE: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
        case E_OSFILE_READWRITE_EXISTING: flags |= O_RDWR; break;
        case E_OSFILE_READWRITE_KEEP: flags |= O_RDWR | O_CREAT; break;
    }
    if (path.empty()) {
        osSetLastError(E_OSERR_INVALID_PARAMETER);
        return nullptr;
    }
    if (mode != E_OSFILE_READ_EXISTING) ignoreFileSizeSignal();
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        failWithErrno();
        return nullptr;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool folder = S_ISDIR(info.st_mode);
        ::close(fd);
        osSetLastError(folder ? uint32_t(E_OSERR_ACCESS_DENIED) : uint32_t(E_OSERR_NOT_A_FILE));
        return nullptr;
    }
    // Regular files never block; the flag is dropped so that reads behave as they always do.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return new SOsFile{fd};
}

// A read done; its routine waits in the issuing thread's queue.
struct SPendingRead {
    OsReadCompletion routine;
    SOsOverlapped* overlapped;
    uint32_t error;
    uint32_t bytes;
};

void deliverRead(void* context) {
    SPendingRead* pending = static_cast<SPendingRead*>(context);
    const SPendingRead copy = *pending;
    delete pending;
    copy.routine(copy.error, copy.bytes, copy.overlapped);
}

bool createDirectories(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (path.empty()) return false;
    struct stat info;
    if (stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        osSetLastError(E_OSERR_ACCESS_DENIED);
        return false;
    }
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !createDirectories(path.substr(0, slash))) return false;
    if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) return true;
    return failWithErrno();
}

}  // namespace

SOsFile* osFileOpen(const char* path, EOsFileOpen mode) { return openSystemPath(osSystemPath(path), mode); }

SOsFile* osFileOpenW(const char16_t* path, EOsFileOpen mode) { return openSystemPath(osSystemPathW(path), mode); }

bool osFileClose(SOsFile* file) {
    if (!file) {
        osSetLastError(E_OSERR_INVALID_HANDLE);
        return false;
    }
    const int result = ::close(file->fd);
    delete file;
    return result == 0 || failWithErrno();
}

bool osFileGetSize(SOsFile* file, uint64_t* outSize) {
    struct stat info;
    if (!file || fstat(file->fd, &info) != 0) return failWithErrno();
    *outSize = uint64_t(info.st_size);
    return true;
}

bool osFileReadAt(SOsFile* file, uint64_t offset, void* buffer, uint32_t size, uint32_t* outRead) {
    *outRead = 0;
    if (!file) return failWithErrno();
    auto* target = static_cast<char*>(buffer);
    while (*outRead < size) {
        const ssize_t got = ::pread(file->fd, target + *outRead, size - *outRead, off_t(offset + *outRead));
        if (got < 0) {
            if (errno == EINTR) continue;
            return failWithErrno();
        }
        if (got == 0) break;
        *outRead += uint32_t(got);
    }
    return true;
}

bool osFileWrite(SOsFile* file, const void* buffer, uint32_t size, uint32_t* outWritten) {
    *outWritten = 0;
    if (!file) return failWithErrno();
    const auto* source = static_cast<const char*>(buffer);
    while (*outWritten < size) {
        const ssize_t put = ::write(file->fd, source + *outWritten, size - *outWritten);
        if (put < 0) {
            if (errno == EINTR) continue;
            return failWithErrno();
        }
        *outWritten += uint32_t(put);
    }
    return true;
}

bool osFileFlush(SOsFile* file) {
    if (!file) {
        osSetLastError(E_OSERR_INVALID_HANDLE);
        return false;
    }
    return ::fsync(file->fd) == 0 || failWithErrno();
}

bool osFileTryLock(SOsFile* file) {
    if (!file) {
        osSetLastError(E_OSERR_INVALID_HANDLE);
        return false;
    }
    // flock belongs to this open of the file, so a second open in the same process is refused too.
    if (::flock(file->fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EWOULDBLOCK) {
        osSetLastError(E_OSERR_LOCK_VIOLATION);
        return false;
    }
    return failWithErrno();
}

bool osFileReadOverlapped(SOsFile* file, void* buffer, uint32_t size, SOsOverlapped* overlapped,
                          OsReadCompletion routine) {
    if (!file || !overlapped || !routine || (!buffer && size > 0)) {
        osSetLastError(E_OSERR_INVALID_PARAMETER);
        return false;
    }
    // The read itself is done now; only its completion is deferred to the issuing thread's
    // next alertable wait, which is all the callers can observe.
    uint32_t got = 0;
    uint32_t error = E_OSERR_NONE;
    if (!osFileReadAt(file, overlapped->offset, buffer, size, &got)) {
        error = osLastError();
    } else if (got == 0 && size > 0) {
        error = E_OSERR_HANDLE_EOF;
    }
    osQueueCompletion(osCurrentThreadQueue(), deliverRead, new SPendingRead{routine, overlapped, error, got});
    return true;
}

bool osDeleteFile(const char* path) {
    return ::unlink(osSystemPath(path).c_str()) == 0 || failWithErrno();
}

bool osCreateDirectory(const char* path) { return createDirectories(osSystemPath(path)); }

bool osCreateDirectoryW(const char16_t* path) { return createDirectories(osSystemPathW(path)); }
