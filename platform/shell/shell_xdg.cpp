// Special folders from the XDG base and user directories; documents opened with xdg-open.
#include "platform/shell/shell.h"

#include "platform/os/os.h"

#include <pwd.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && home[0]) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "";
}

std::string environmentOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : fallback;
}

// The value of one XDG_<NAME>_DIR line of the user-dirs file, with $HOME expanded; empty
// when the file or the line is missing.
std::string userDirectory(const char* key, const std::string& home) {
    const std::string configHome = environmentOr("XDG_CONFIG_HOME", home + "/.config");
    FILE* file = std::fopen((configHome + "/user-dirs.dirs").c_str(), "r");
    if (!file) return "";
    std::string result;
    char line[1024];
    const size_t keyLength = std::strlen(key);
    while (std::fgets(line, sizeof line, file)) {
        if (std::strncmp(line, key, keyLength) != 0 || line[keyLength] != '=') continue;
        std::string value = line + keyLength + 1;
        while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        if (!value.empty() && value[0] == '/') result = value;
    }
    std::fclose(file);
    return result;
}

}  // namespace

bool shellGetSpecialFolder(EShellFolder folder, std::u16string* out) {
    out->clear();
    const std::string home = homeDirectory();
    if (home.empty()) return false;

    std::string path;
    switch (folder) {
        case E_SHELLFOLDER_DESKTOP:
            path = userDirectory("XDG_DESKTOP_DIR", home);
            if (path.empty()) path = home + "/Desktop";
            break;
        case E_SHELLFOLDER_MY_MUSIC:
            path = userDirectory("XDG_MUSIC_DIR", home);
            if (path.empty()) path = home + "/Music";
            break;
        case E_SHELLFOLDER_APPLICATION_DATA:
            path = environmentOr("XDG_DATA_HOME", home + "/.local/share");
            break;
        case E_SHELLFOLDER_HOME:
            path = home;
            break;
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (!osUtf8ToWide(path.c_str(), out)) return false;
    for (char16_t& c : *out) {
        if (c == u'/') c = u'\\';
    }
    return true;
}

bool shellOpenDocument(const char* pathOrAddress) {
    if (!pathOrAddress || !pathOrAddress[0]) return false;
    // Local paths are given as the game writes them; web addresses pass unchanged.
    const bool isAddress = std::strstr(pathOrAddress, "://") != nullptr;
    const std::string target = isAddress ? std::string(pathOrAddress) : osSystemPath(pathOrAddress);
    char program[] = "xdg-open";
    char* arguments[] = {program, const_cast<char*>(target.c_str()), nullptr};
    pid_t child;
    return posix_spawnp(&child, program, nullptr, nullptr, arguments, environ) == 0;
}
