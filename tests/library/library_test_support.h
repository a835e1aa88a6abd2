// A temporary user-data directory with its save folders for the library's tests, and the file
// layer around it.
#pragma once

#include "core/directories.h"
#include "core/file_layer.h"
#include "platform/os/os.h"
#include "tests/support/temp_dir.h"

#include <filesystem>
#include <string>

namespace library_test {

inline std::u16string wide(const std::string& utf8) {
    std::u16string out;
    osUtf8ToWide(utf8.c_str(), &out);
    for (char16_t& c : out) {
        if (c == u'/') c = u'\\';
    }
    return out;
}

class ClUserDataFolder {
public:
    ClUserDataFolder() : m_previous(getUserDataDirW()) {
        fileLayerInit();
        std::filesystem::create_directories(m_folder.path() / "SAVEDATA");
        std::filesystem::create_directories(m_folder.path() / "GAMEDATA");
        setUserDataDirW((wide(m_folder.str()) + u"\\").c_str());
    }
    ~ClUserDataFolder() {
        setUserDataDirW(m_previous.c_str());
        fileLayerShutdown();
    }
    std::string file(const std::string& relative) const { return m_folder.file(relative); }
    const test_support::ClTempDir& folder() const { return m_folder; }

private:
    test_support::ClTempDir m_folder;
    std::u16string m_previous;
};

}  // namespace library_test
