#include "library/game_data.h"

#include "library/data_file.h"
#include "tests/library/library_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using library_test::ClUserDataFolder;

class GameData : public ::testing::Test {
protected:
    void SetUp() override {
        setGameDataDefaults();
        clearLibraryDamagedFileFlags();
    }
    void TearDown() override { setGameDataDefaults(); }

    ClUserDataFolder m_user;
};

TEST_F(GameData, RoundTripAndASecondReadDoesNotDoubleTheFolders) {
    g_GameData.options = 0;
    EXPECT_EQ((std::vector<bool>{addGameDataMusicFolder(u"\\home\\ann\\Songs"), addGameDataMusicFolder(u"\\home\\ann\\Songs"),
                                 addGameDataMusicFolder(u"\\mnt\\\u00e9t\u00e9")}),
              (std::vector<bool>{true, false, true}));
    setExtensionDisabledByUser("MP3", true);
    setExtensionDisabledByUser(".wv", true);
    setExtensionDisabledByUser("wv", false);
    const std::vector<u8> written = encodeGameData();
    ASSERT_EQ(writeGameDataFile(), 1);
    setGameDataDefaults();

    ASSERT_EQ(readGameDataFile(), 1);
    ASSERT_EQ(readGameDataFile(), 1);
    EXPECT_EQ(std::make_tuple(encodeGameData(), g_GameData.musicFolders.size(), g_GameData.disabledExtensions),
              std::make_tuple(written, size_t(2), std::vector<std::string>{".mp3"}));
}

TEST_F(GameData, ADamagedFileIsSetAside) {
    ASSERT_EQ(writeGameDataFile(), 1);
    const std::string path = m_user.file("GAMEDATA/GM-DATA");
    test_support::writeFileBytes(path, {1, 2, 3});

    EXPECT_EQ((std::tuple{readGameDataFile(), test_support::readFileBytes(path + ".damaged"), std::filesystem::exists(path),
                          libraryDamagedFileFlags()}),
              std::make_tuple(0, std::vector<u8>{1, 2, 3}, false, u32(E_DAMAGED_GAME_DATA)));
}

}  // namespace
