#include "core/config.h"
#include "core/directories.h"
#include "core/string_helpers.h"
#include "platform/os/os.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

class Directories : public ::testing::Test {
protected:
    void SetUp() override {
        configClear();
        setDataDir("./");
    }
    void TearDown() override { configFree(); }
};

}  // namespace

TEST_F(Directories, LanguageComesFromTheSettingOrItsCodeWithoutRegardToCaseElseEnglish) {
    configSetValue("LANG", "GER");
    buildLangDir();
    EXPECT_STREQ(getLangDir(), "./Lang\\ger\\");
    EXPECT_EQ(getLanguageIndex(), 2);
    configSetValue("LANG", "xyz");
    EXPECT_EQ(chooseLanguage(), 0);
    EXPECT_EQ(languageIndexOfCode("en"), -1);
    EXPECT_EQ(languageIndexOfCode("engl"), -1);
    EXPECT_EQ(languageIndexOfCode(nullptr), -1);
}

TEST_F(Directories, UserDataDirIsUnderTheDataHome) {
    const std::string home = testing::TempDir() + "velodrix-h12-" + std::to_string(getpid());
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    initUserDataDir();
    std::string expected = home + "/Orlenvane/Velodrix/";
    std::replace(expected.begin(), expected.end(), '/', '\\');
    EXPECT_EQ(osWideToUtf8(getUserDataDirW()), expected);

    EXPECT_TRUE(createSaveDataDir());
    EXPECT_TRUE(std::filesystem::is_directory(home + "/Orlenvane/Velodrix/SAVEDATA"));
    std::filesystem::remove_all(home);
}

TEST_F(Directories, BuiltAssetsKeepTheSavesUnderTheCurrentDirectory) {
    setenv("XDG_DATA_HOME", "/nonexistent-velodrix", 1);
    configSetValue("USE_BUILT_ASSETS_FOR_SAVE_GAME", "1");
    initUserDataDir();
    EXPECT_EQ(std::u16string(getUserDataDirW()), u".\\");
}
