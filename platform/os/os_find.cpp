// Directory search over a name pattern.
#include "platform/os/os.h"
#include "platform/os/os_internal.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

struct SOsFind {
    DIR* directory;
    std::string directoryPath;  // with a trailing '/'
    std::string namePattern;
};

namespace {

uint64_t nanosecondsOf(const timespec& time) {
    return time.tv_sec < 0 ? 0 : uint64_t(time.tv_sec) * 1000000000u + uint64_t(time.tv_nsec);
}

// Links are followed, so a linked music folder lists as a folder; a broken link as a file.
// Only stat and lstat are asked: nothing is opened, so a pipe or a device never blocks here.
uint32_t attributesOf(const std::string& path, const char* name, SOsFindData* out) {
    struct stat info;
    out->size = 0;
    out->device = 0;
    out->inode = 0;
    out->changeTime = 0;
    if (stat(path.c_str(), &info) != 0 && lstat(path.c_str(), &info) != 0) return E_OSATTR_FILE;
    out->device = uint64_t(info.st_dev);
    out->inode = uint64_t(info.st_ino);
    out->changeTime = nanosecondsOf(info.st_ctim);
    uint32_t attributes = S_ISDIR(info.st_mode)   ? uint32_t(E_OSATTR_DIRECTORY)
                          : S_ISREG(info.st_mode) || S_ISLNK(info.st_mode) ? uint32_t(E_OSATTR_FILE)
                                                  : uint32_t(E_OSATTR_SPECIAL);
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= E_OSATTR_READONLY;
    const bool dots = std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
    if (name[0] == '.' && !dots) attributes |= E_OSATTR_HIDDEN;
    out->size = S_ISREG(info.st_mode) ? uint64_t(info.st_size) : 0;
    return attributes;
}

// The next entry that matches the pattern.
bool nextMatch(SOsFind* find, SOsFindData* out) {
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(find->directory);
        if (!entry) {
            osSetLastError(errno == 0 ? uint32_t(E_OSERR_NO_MORE_FILES) : osErrorFromErrno(errno));
            return false;
        }
        if (fnmatch(find->namePattern.c_str(), entry->d_name, FNM_CASEFOLD) != 0) continue;
        const std::u16string wide = osNameToWide(entry->d_name);
        out->attributes = attributesOf(find->directoryPath + entry->d_name, entry->d_name, out);
        const size_t length = wide.size() < size_t(OS_FIND_NAME_LENGTH - 1) ? wide.size() : size_t(OS_FIND_NAME_LENGTH - 1);
        for (size_t i = 0; i < length; ++i) out->name[i] = wide[i];
        out->name[length] = 0;
        return true;
    }
}

}  // namespace

SOsFind* osFindFirst(const char16_t* pattern, SOsFindData* out) {
    const std::string path = osSystemPathW(pattern);
    if (path.empty()) {
        osSetLastError(E_OSERR_INVALID_PARAMETER);
        return nullptr;
    }
    const size_t slash = path.find_last_of('/');
    std::string directory = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    std::string namePattern = slash == std::string::npos ? path : path.substr(slash + 1);
    if (namePattern.empty()) namePattern.push_back('*');

    DIR* handle = opendir(directory.c_str());
    if (!handle) {
        osSetLastError(osErrorFromErrno(errno));
        return nullptr;
    }
    auto* find = new SOsFind{handle, directory, namePattern};
    if (!nextMatch(find, out)) {
        const uint32_t error = osLastError();
        osFindClose(find);
        osSetLastError(error);
        return nullptr;
    }
    return find;
}

bool osFindNext(SOsFind* find, SOsFindData* out) {
    if (!find) {
        osSetLastError(E_OSERR_INVALID_HANDLE);
        return false;
    }
    return nextMatch(find, out);
}

void osFindClose(SOsFind* find) {
    if (!find) return;
    closedir(find->directory);
    delete find;
}

namespace {

// What the path names (links followed); false, with the error set, when it cannot be read.
bool statPath(const char16_t* path, struct stat* info) {
    const std::string systemPath = osSystemPathW(path);
    if (systemPath.empty() || stat(systemPath.c_str(), info) != 0) {
        osSetLastError(systemPath.empty() ? uint32_t(E_OSERR_INVALID_PARAMETER) : osErrorFromErrno(errno));
        return false;
    }
    return true;
}

}  // namespace

bool osPathIdentityW(const char16_t* path, uint64_t* outDevice, uint64_t* outInode) {
    struct stat info;
    if (!statPath(path, &info)) return false;
    *outDevice = uint64_t(info.st_dev);
    *outInode = uint64_t(info.st_ino);
    return true;
}

bool osPathWriteTimeW(const char16_t* path, uint64_t* outTime) {
    struct stat info;
    if (!statPath(path, &info)) return false;
    *outTime = nanosecondsOf(info.st_mtim);
    return true;
}
