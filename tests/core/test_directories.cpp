#include "core/config.h"
#include "core/directories.h"
#include "core/string_helpers.h"
#include "platform/os/os.h"

#include <gtest/gtest.h>

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

std::u16string fileName(const char16_t* path, bool withExtension) {
    char16_t out[PATH_PART_LENGTH];
    getFileNameW(path, out, withExtension);
    return out;
}

std::u16string directory(const char16_t* path) {
    char16_t out[PATH_PART_LENGTH];
    getDirectoryW(path, out);
    return out;
}

std::u16string extension(const char16_t* path) {
    char16_t out[PATH_PART_LENGTH];
    getExtensionW(path, out);
    return out;
}

}  // namespace

TEST_F(Directories, SetDataDirResetsUserDataDir) {
    setUserDataDirW(u"/home/x\\");
    setDataDir("data/");
    EXPECT_STREQ(getDataDir(), "data/");
    EXPECT_EQ(std::u16string(getDataDirW()), u"data/");
    EXPECT_EQ(std::u16string(getUserDataDirW()), u".\\");
}

TEST_F(Directories, LanguageComesFromTheSettingWithoutRegardToCase) {
    EXPECT_EQ(chooseLanguage(), 0);
    configSetValue("LANG", "GER");
    EXPECT_EQ(chooseLanguage(), 2);
    buildLangDir();
    EXPECT_STREQ(getLangDir(), "./Lang\\ger\\");
    EXPECT_EQ(getLanguageIndex(), 2);
}

TEST_F(Directories, UnknownLanguageFallsBackToEnglish) {
    configSetValue("LANG", "xyz");
    EXPECT_EQ(chooseLanguage(), 0);
    buildLangDir();
    EXPECT_STREQ(getLangDir(), "./Lang\\eng\\");
    EXPECT_EQ(getLanguageIndex(), 0);
}

TEST_F(Directories, LanguageCodesInIndexOrder) {
    EXPECT_EQ(languageIndexOfCode("ENG"), 0);
    EXPECT_EQ(languageIndexOfCode("jap"), LANGUAGE_INDEX_JAPANESE);
    EXPECT_EQ(languageIndexOfCode("bul"), LANGUAGE_COUNT - 1);
    EXPECT_EQ(languageIndexOfCode("en"), -1);
    EXPECT_EQ(languageIndexOfCode("engl"), -1);
    EXPECT_EQ(languageIndexOfCode(nullptr), -1);
}

TEST_F(Directories, DataDirPrefixIsRemovedWithItsSlashesTurned) {
    char path[64] = ".\\Lang\\eng\\Strings\\All.lang";
    removeDataDirPrefix(path);
    EXPECT_STREQ(path, "Lang\\eng\\Strings\\All.lang");

    char other[64] = "Scripts\\playbalance.txt";
    removeDataDirPrefix(other);
    EXPECT_STREQ(other, "Scripts\\playbalance.txt");

    setDataDir("game/data/");
    char nested[64] = "x\\game\\data\\project.ini";
    removeDataDirPrefix(nested);
    EXPECT_STREQ(nested, "project.ini");
}

TEST_F(Directories, PathSplitsAtEitherSeparatorAndTheLastDot) {
    EXPECT_EQ(directory(u"music/album\\song.v2.ogg"), u"music/album\\");
    EXPECT_EQ(fileName(u"music/album\\song.v2.ogg", true), u"song.v2.ogg");
    EXPECT_EQ(fileName(u"music/album\\song.v2.ogg", false), u"song.v2");
    EXPECT_EQ(extension(u"music/album\\song.v2.ogg"), u"ogg");

    EXPECT_EQ(directory(u"name"), u"");
    EXPECT_EQ(extension(u"name"), u"");
    EXPECT_EQ(fileName(u"name", false), u"name");
    EXPECT_EQ(extension(u"dir.d/name"), u"");
    EXPECT_EQ(fileName(u"dir.d/name", true), u"name");
    EXPECT_EQ(fileName(u"folder/", true), u"");
}

TEST_F(Directories, PathWithAnOverlongPartGivesEmptyResults) {
    const std::u16string longName(PATH_PART_LENGTH, u'n');
    const std::u16string path = u"dir\\" + longName + u".ogg";
    EXPECT_EQ(directory(path.c_str()), u"");
    EXPECT_EQ(extension(path.c_str()), u"");
    char16_t out[PATH_PART_LENGTH];
    EXPECT_FALSE(getFileNameW(path.c_str(), out, false));
    EXPECT_EQ(out[0], u'\0');

    // Each part fits, but name and extension together do not.
    const std::u16string both = u"d\\" + std::u16string(200, u'a') + u"." + std::u16string(100, u'b');
    EXPECT_EQ(fileName(both.c_str(), false).size(), 200u);
    EXPECT_EQ(fileName(both.c_str(), true), u"");
    EXPECT_EQ(extension(both.c_str()).size(), 100u);
}

TEST_F(Directories, UserDataDirIsUnderTheDataHome) {
    const std::string home = testing::TempDir() + "velodrix-h12-" + std::to_string(getpid());
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    initUserDataDir();
    std::string expected = home + "/Orlenvane/Velodrix/";
    for (char& c : expected) {
        if (c == '/') c = '\\';
    }
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
