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

// The parts of a path: directory, file name with and without its extension, extension.
struct SPathParts {
    std::u16string directory, name, bareName, extension;
    bool operator==(const SPathParts&) const = default;
};

SPathParts partsOf(const std::u16string& path) {
    char16_t out[4][PATH_PART_LENGTH];
    getDirectoryW(path.c_str(), out[0]);
    getFileNameW(path.c_str(), out[1], true);
    getFileNameW(path.c_str(), out[2], false);
    getExtensionW(path.c_str(), out[3]);
    return {out[0], out[1], out[2], out[3]};
}

}  // namespace

TEST_F(Directories, DataDirPrefixIsRemovedWithItsSlashesTurnedAndSetDataDirResetsUserDataDir) {
    setDataDir("game/data/");
    char nested[64] = "x\\game\\data\\project.ini";
    removeDataDirPrefix(nested);
    EXPECT_STREQ(nested, "project.ini");
    char other[64] = "Scripts\\playbalance.txt";
    removeDataDirPrefix(other);
    EXPECT_STREQ(other, "Scripts\\playbalance.txt");

    setUserDataDirW(u"/home/x\\");
    setDataDir("data/");
    EXPECT_EQ(std::u16string(getDataDirW()), u"data/");
    EXPECT_EQ(std::u16string(getUserDataDirW()), u".\\");
}

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

TEST_F(Directories, PathSplitsAtEitherSeparatorAndTheLastDot) {
    EXPECT_EQ(partsOf(u"music/album\\song.v2.ogg"), (SPathParts{u"music/album\\", u"song.v2.ogg", u"song.v2", u"ogg"}));
    EXPECT_EQ(partsOf(u"dir.d/name"), (SPathParts{u"dir.d/", u"name", u"name", u""}));
    EXPECT_EQ(partsOf(u"folder/"), (SPathParts{u"folder/", u"", u"", u""}));
}

TEST_F(Directories, PathWithAnOverlongPartGivesEmptyResults) {
    const std::u16string path = u"dir\\" + std::u16string(PATH_PART_LENGTH, u'n') + u".ogg";
    EXPECT_EQ(partsOf(path), SPathParts{});

    // Each part fits, but name and extension together do not.
    const SPathParts both = partsOf(u"d\\" + std::u16string(200, u'a') + u"." + std::u16string(100, u'b'));
    EXPECT_EQ(both.bareName.size(), 200u);
    EXPECT_EQ(both.name, u"");
    EXPECT_EQ(both.extension.size(), 100u);
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
