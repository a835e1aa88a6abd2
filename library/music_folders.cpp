#include "library/music_folders.h"

#include "core/directories.h"
#include "library/game_data.h"
#include "library/song_library.h"
#include "library/song_scan.h"
#include "library/user_save.h"
#include "platform/os/os.h"
#include "platform/shell/shell.h"

#include <algorithm>

namespace {

std::u16string g_soundtrackFolder;
// The folders of the last walk issued, less those removed since.
std::vector<std::u16string> g_searchedFolders;

}  // namespace

bool musicFolderQuery(u32 request, std::u16string* out) {
    out->clear();
    switch (request) {
        case E_MUSICFOLDER_USER_MUSIC: return shellGetSpecialFolder(E_SHELLFOLDER_MY_MUSIC, out);
        case E_MUSICFOLDER_APPLICATION_DATA: return shellGetSpecialFolder(E_SHELLFOLDER_APPLICATION_DATA, out);
        default: return false;
    }
}

void computeSoundtrackFolder() {
    std::u16string relative = getDataDirW();
    if (!relative.empty() && relative.back() != u'\\' && relative.back() != u'/') relative += u'\\';
    relative += u"Soundtrack\\";
    if (!osAbsolutePathW(relative.c_str(), &g_soundtrackFolder)) g_soundtrackFolder.clear();
}

const std::u16string& getSoundtrackFolder() { return g_soundtrackFolder; }

std::vector<std::u16string> collectScanFolders() {
    std::vector<std::u16string> folders;
    const auto add = [&folders](std::u16string folder) {
        while (folder.size() > 1 && folder.back() == u'\\') folder.pop_back();
        if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(std::move(folder));
        }
    };
    add(g_soundtrackFolder);
    std::u16string music;
    if ((g_GameData.options & GAME_DATA_OPTION_SCAN_USER_MUSIC) && musicFolderQuery(E_MUSICFOLDER_USER_MUSIC, &music)) {
        add(music);
    }
    for (const std::u16string& folder : g_GameData.musicFolders) add(folder);
    g_searchedFolders = folders;
    return folders;
}

std::u16string folderPathJoin(const std::u16string& folder, const std::u16string& name) {
    return !folder.empty() && folder.back() == u'\\' ? folder + name : folder + u'\\' + name;
}

std::u16string folderPathParent(const std::u16string& folder) {
    const size_t separator = folder.find_last_of(u'\\');
    if (separator == std::u16string::npos || folder.size() == 1) return folder;
    return separator == 0 ? u"\\" : folder.substr(0, separator);
}

bool listSubfolders(const std::u16string& folder, std::vector<std::u16string>* names) {
    names->clear();
    SOsFindData data;
    SOsFind* find = osFindFirst(folderPathJoin(folder, u"*").c_str(), &data);
    if (!find) return osLastError() == E_OSERR_NO_MORE_FILES;
    do {
        const std::u16string name(data.name);
        const bool hidden = (data.attributes & E_OSATTR_HIDDEN) != 0 || name[0] == u'.';
        if ((data.attributes & E_OSATTR_DIRECTORY) && !hidden) names->push_back(name);
    } while (osFindNext(find, &data));
    osFindClose(find);
    const auto folded = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c; };
    std::sort(names->begin(), names->end(), [&folded](const std::u16string& a, const std::u16string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [&folded](char16_t x, char16_t y) { return folded(x) < folded(y); });
    });
    return true;
}

bool isPathInFolder(const std::u16string& path, const std::u16string& folder) {
    if (folder.empty() || path.size() <= folder.size() || path.compare(0, folder.size(), folder) != 0) return false;
    return folder.back() == u'\\' || path[folder.size()] == u'\\';
}

bool isInSearchedFolder(const std::u16string& path) {
    return std::any_of(g_searchedFolders.begin(), g_searchedFolders.end(),
                       [&path](const std::u16string& folder) { return isPathInFolder(path, folder); });
}

bool isSearchedFolder(const std::u16string& folder) {
    return std::any_of(g_searchedFolders.begin(), g_searchedFolders.end(), [&folder](const std::u16string& searched) {
        return folder == searched || isPathInFolder(folder, searched);
    });
}

u32 countSongsInFolder(const std::u16string& folder) {
    return u32(std::count_if(g_SongLibrary.songs.begin(), g_SongLibrary.songs.end(), [&folder](const SSongRecord& song) {
        return !song.missing && isPathInFolder(song.path, folder);
    }));
}

EMusicFolderAdd addMusicFolder(const std::u16string& folder) {
    for (const std::u16string& searched : collectScanFolders()) {
        if (folder == searched || isPathInFolder(folder, searched)) return E_MUSICFOLDER_ALREADY_SEARCHED;
    }
    if (!addGameDataMusicFolder(folder)) return E_MUSICFOLDER_NOT_ADDED;
    writeGameDataFile();
    requestSongRescan();
    resumeSongScanRequests();
    return E_MUSICFOLDER_ADDED;
}

bool removeMusicFolder(const std::u16string& folder) {
    if (!removeGameDataMusicFolder(folder)) return false;
    writeGameDataFile();
    collectScanFolders();
    removeSongRecords([&folder](const SSongRecord& song) {
        return isPathInFolder(song.path, folder) && !isInSearchedFolder(song.path);
    });
    std::vector<std::u16string>& unreadable = g_SongLibrary.unreadableFolders;
    unreadable.erase(std::remove_if(unreadable.begin(), unreadable.end(),
                                    [](const std::u16string& gone) { return !isSearchedFolder(gone); }),
                     unreadable.end());
    saveWrite(1);
    return true;
}
