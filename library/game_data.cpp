#include "library/game_data.h"

#include "audio/decode/codec_registry.h"
#include "core/file_layer.h"
#include "library/data_file.h"
#include "library/save_bytes.h"
#include "platform/os/os.h"
#include "world/play/song_names.h"

#include <algorithm>

SGameData g_GameData{GAME_DATA_OPTION_SCAN_USER_MUSIC, {}, {}};

const SGameData& gameData() { return g_GameData; }

namespace {

constexpr u32 EXTENSION_TEXT_CAPACITY = 16;

// The folder list is kept in ascending order of its paths.
void sortMusicFolders(std::vector<std::u16string>* folders) {
    setFolderSortAscending(true);
    std::sort(folders->begin(), folders->end(), [](const std::u16string& a, const std::u16string& b) {
        return compareFolderPaths(a.c_str(), b.c_str()) < 0;
    });
}

void applyDisabledExtensions() {
    for (const std::string& extension : g_GameData.disabledExtensions) setCodecDisabledForExtension(extension.c_str(), 1);
}

}  // namespace

void setGameDataDefaults() {
    g_GameData.options = GAME_DATA_OPTION_SCAN_USER_MUSIC;
    g_GameData.musicFolders.clear();
    g_GameData.disabledExtensions.clear();
}

std::vector<u8> encodeGameData() {
    ClByteWriter out;
    out.putU32(GAME_DATA_MAGIC);
    out.putU32(GAME_DATA_VERSION);
    out.putU32(g_GameData.options);
    out.putU32(u32(g_GameData.musicFolders.size()));
    for (const std::u16string& folder : g_GameData.musicFolders) out.putWide(folder);
    out.putU32(u32(g_GameData.disabledExtensions.size()));
    for (const std::string& extension : g_GameData.disabledExtensions) {
        out.putText(extension.c_str(), EXTENSION_TEXT_CAPACITY);
    }
    return out.takeBytes();
}

bool decodeGameData(const std::vector<u8>& content) {
    ClByteReader in(content.data(), u32(content.size()));
    if (in.getU32() != GAME_DATA_MAGIC || in.getU32() != GAME_DATA_VERSION) return false;
    SGameData data;
    data.options = in.getU32();
    data.musicFolders.resize(in.getCount(4));
    for (std::u16string& folder : data.musicFolders) {
        folder = in.getWide(FILE_PATH_LIMIT - 1);
        if (folder.empty()) return false;
    }
    const u32 extensionCount = in.getCount(4);
    if (extensionCount > GAME_DATA_EXTENSION_CAPACITY) return false;
    for (u32 i = 0; i < extensionCount; ++i) {
        char text[EXTENSION_TEXT_CAPACITY];
        in.getText(text, EXTENSION_TEXT_CAPACITY);
        if (text[0] != '.') return false;
        data.disabledExtensions.push_back(text);
    }
    if (!in.finishedCleanly()) return false;
    sortMusicFolders(&data.musicFolders);
    g_GameData = std::move(data);
    return true;
}

s32 readGameDataFile() {
    g_GameData.musicFolders.clear();
    std::u16string path;
    if (!buildUserDataPath(GAME_DATA_RELATIVE_PATH, &path)) return 0;
    std::vector<u8> content;
    const EDataFileRead read = readDataFile(path, GAME_DATA_TRAILER_VALUE, &content);
    if (read == E_DATAFILE_READ_MISSING) return 0;
    if (read != E_DATAFILE_READ_OK || !decodeGameData(content)) {
        setDataFileAside(path);
        noteLibraryDamagedFile(E_DAMAGED_GAME_DATA);
        return 0;
    }
    applyDisabledExtensions();
    return 1;
}

s32 writeGameDataFile() {
    std::u16string path;
    if (!buildUserDataPath(GAME_DATA_RELATIVE_PATH, &path)) return 0;
    const bool written = writeDataFile(path, encodeGameData(), GAME_DATA_TRAILER_VALUE);
    return noteLibraryWrite(E_DAMAGED_GAME_DATA, written, written ? 0 : osLastError()) ? 1 : 0;
}

bool addGameDataMusicFolder(const std::u16string& folder) {
    std::vector<std::u16string>& folders = g_GameData.musicFolders;
    if (folder.empty() || folder.size() >= FILE_PATH_LIMIT) return false;
    if (std::find(folders.begin(), folders.end(), folder) != folders.end()) return false;
    folders.push_back(folder);
    sortMusicFolders(&folders);
    return true;
}

bool removeGameDataMusicFolder(const std::u16string& folder) {
    std::vector<std::u16string>& folders = g_GameData.musicFolders;
    const auto found = std::find(folders.begin(), folders.end(), folder);
    if (found == folders.end()) return false;
    folders.erase(found);
    return true;
}

