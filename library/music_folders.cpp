#include "library/music_folders.h"

#include "core/directories.h"
#include "library/game_data.h"
#include "platform/os/os.h"
#include "platform/shell/shell.h"

#include <algorithm>

namespace {

std::u16string g_soundtrackFolder;

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
    return folders;
}
