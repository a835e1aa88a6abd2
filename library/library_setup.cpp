#include "library/library_setup.h"

#include "core/file_layer.h"
#include "library/data_file.h"
#include "library/game_data.h"
#include "library/music_folders.h"
#include "library/save_writer.h"
#include "library/song_items.h"
#include "library/song_library.h"
#include "library/song_scan.h"
#include "library/user_save.h"

void librarySetUpAndReadGameData() {
    createSongLibrary();
    // Before this run writes either file.
    noteEarlierWriteFailure(E_DAMAGED_USER_SAVE, USER_SAVE_RELATIVE_PATH);
    noteEarlierWriteFailure(E_DAMAGED_GAME_DATA, GAME_DATA_RELATIVE_PATH);
    if (readGameDataFile()) return;
    std::u16string folder;
    if (buildUserDataPath("GAMEDATA\\", &folder)) createDirectoryW(folder.c_str());
    setGameDataDefaults();
    writeGameDataFile();
}

s32 libraryReadUserSave() {
    computeSoundtrackFolder();
    if (saveRead(1)) return 1;
    finishLibrarySetup();
    saveWrite(1);
    return 0;
}

void librarySetUpAfterAudio() {
    readGameDataFile();
    startSongScan();
}

void libraryAskScanToStop() { askSongScanToStop(); }

void libraryStopScanAndSave() {
    stopSongScan();
    saveWrite(1);
    finishSaveWrites();
}

void libraryShutdown() {
    freeSongLibrary();
}
