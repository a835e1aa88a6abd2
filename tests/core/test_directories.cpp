#include "core/config.h"
#include "core/directories.h"

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

TEST_F(Directories, BuiltAssetsKeepTheSavesUnderTheCurrentDirectory) {
    setenv("XDG_DATA_HOME", "/nonexistent-velodrix", 1);
    configSetValue("USE_BUILT_ASSETS_FOR_SAVE_GAME", "1");
    initUserDataDir();
    EXPECT_EQ(std::u16string(getUserDataDirW()), u".\\");
}
