#include "platform/os/rename.h"

#include "platform/os/os.h"
#include "platform/os/os_internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

bool osRenameFileW(const char16_t* from, const char16_t* to) {
    if (!from || !to) {
        osSetLastError(E_OSERR_INVALID_PARAMETER);
        return false;
    }
    if (std::rename(osSystemPathW(from).c_str(), osSystemPathW(to).c_str()) == 0) return true;
    osSetLastError(osErrorFromErrno(errno));
    return false;
}

bool osRenameFileNoReplaceW(const char16_t* from, const char16_t* to) {
    if (!from || !to) {
        osSetLastError(E_OSERR_INVALID_PARAMETER);
        return false;
    }
    const std::string source = osSystemPathW(from);
    const std::string target = osSystemPathW(to);
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EINVAL || errno == ENOSYS) {
        // A file system without the exclusive rename: look first, then rename.
        struct stat info;
        if (lstat(target.c_str(), &info) == 0) {
            errno = EEXIST;
        } else if (std::rename(source.c_str(), target.c_str()) == 0) {
            return true;
        }
    }
    osSetLastError(errno == EEXIST ? uint32_t(E_OSERR_ALREADY_EXISTS) : osErrorFromErrno(errno));
    return false;
}
