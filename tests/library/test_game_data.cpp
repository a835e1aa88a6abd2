#include "library/game_data.h"

#include "library/data_file.h"
#include "tests/library/library_test_support.h"
#include "tests/support/file_bytes.h"

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
    EXPECT_TRUE(addGameDataMusicFolder(u"\\home\\ann\\Songs"));
    EXPECT_FALSE(addGameDataMusicFolder(u"\\home\\ann\\Songs"));
    EXPECT_TRUE(addGameDataMusicFolder(u"\\mnt\\\u00e9t\u00e9"));
    setExtensionDisabledByUser("MP3", true);
    setExtensionDisabledByUser(".wv", true);
    setExtensionDisabledByUser("wv", false);
    const std::vector<u8> written = encodeGameData();
    ASSERT_EQ(writeGameDataFile(), 1);
    setGameDataDefaults();

    ASSERT_EQ(readGameDataFile(), 1);
    ASSERT_EQ(readGameDataFile(), 1);
    EXPECT_EQ(encodeGameData(), written);
    EXPECT_EQ(g_GameData.musicFolders.size(), 2u);
    EXPECT_EQ(g_GameData.disabledExtensions, std::vector<std::string>{".mp3"});
}

TEST_F(GameData, ADamagedFileIsSetAside) {
    ASSERT_EQ(writeGameDataFile(), 1);
    const std::string path = m_user.file("GAMEDATA/GM-DATA");
    test_support::writeFileBytes(path, {1, 2, 3});

    EXPECT_EQ(readGameDataFile(), 0);
    EXPECT_EQ(test_support::readFileBytes(path + ".damaged"), (std::vector<u8>{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(libraryDamagedFileFlags(), u32(E_DAMAGED_GAME_DATA));
}

}  // namespace
