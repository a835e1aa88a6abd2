// The song tools' user-data folder: the analysis caches they write go to a folder of their own
// that is removed afterwards, so the player's real caches stay untouched.
#pragma once

#include "core/directories.h"
#include "platform/os/os.h"

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

class ClScratchUserDir {
public:
    // `prefix` names the folder under the temporary directory.
    bool create(const char* prefix) {
        std::error_code error;
        std::string pattern = (std::filesystem::temp_directory_path(error) / (std::string(prefix) + "-XXXXXX")).string();
        if (error || mkdtemp(pattern.data()) == nullptr) return false;
        m_folder = pattern;
        std::u16string wide;
        if (!osUtf8ToWide((pattern + "/").c_str(), &wide)) return false;
        setUserDataDirW(wide.c_str());
        return true;
    }
    ~ClScratchUserDir() {
        if (m_folder.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }

private:
    std::string m_folder;
};
