// The save a road's game left under its home, read back into the song library and the saved
// options for the test to look at, and freed again.
#pragma once

#include "core/crit_section_pool.h"
#include "core/directories.h"
#include "core/file_layer.h"
#include "core/saved_options.h"
#include "library/song_library.h"
#include "library/user_save.h"
#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>

class ClSaveUnderHome {
public:
    explicit ClSaveUnderHome(const std::filesystem::path& home) {
        critSectionPoolInit();
        fileLayerInit();
        setUserDataDirW(test_support::widePath((home / ".local/share/Orlenvane/Velodrix/").string()).c_str());
        g_SavedOptions = defaultSavedOptions();
        createSongLibrary();
        EXPECT_EQ(saveRead(1), 1);
    }
    ~ClSaveUnderHome() {
        freeSongLibrary();
        g_SavedOptions = defaultSavedOptions();
        fileLayerShutdown();
    }
    ClSaveUnderHome(const ClSaveUnderHome&) = delete;
    ClSaveUnderHome& operator=(const ClSaveUnderHome&) = delete;
};
