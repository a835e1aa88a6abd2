// A temporary user-data directory with its save folders for the library's tests, the file layer
// around it and the song library over it.
#pragma once

#include "core/directories.h"
#include "core/file_layer.h"
#include "library/song_library.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <string>

namespace library_test {

// The game's UTF-16 path, with back slashes.
inline std::u16string wide(const std::string& utf8) {
    std::u16string out = test_support::widePath(utf8);
    std::replace(out.begin(), out.end(), u'/', u'\\');
    return out;
}

class ClUserDataFolder {
public:
    ClUserDataFolder() : m_previous(getUserDataDirW()) {
        fileLayerInit();
        std::filesystem::create_directories(m_folder.path() / "SAVEDATA");
        std::filesystem::create_directories(m_folder.path() / "GAMEDATA");
        setUserDataDirW((wide(m_folder.str()) + u"\\").c_str());
        createSongLibrary();
    }
    // The library goes first: a save still being written goes to this folder.
    ~ClUserDataFolder() {
        freeSongLibrary();
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
