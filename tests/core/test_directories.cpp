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
    char nested[64] = "x\\game\\data\\project.ini", other[64] = "Scripts\\playbalance.txt";
    removeDataDirPrefix(nested);
    removeDataDirPrefix(other);
    EXPECT_EQ(std::string(nested), "project.ini");
    EXPECT_EQ(std::string(other), "Scripts\\playbalance.txt");

    setUserDataDirW(u"/home/x\\");
    setDataDir("data/");
    EXPECT_EQ(std::u16string(getUserDataDirW()), u".\\");
}

TEST_F(Directories, LanguageComesFromTheSettingOrItsCodeWithoutRegardToCaseElseEnglish) {
    configSetValue("LANG", "GER");
    buildLangDir();
    EXPECT_STREQ(getLangDir(), "./Lang\\ger\\");
    EXPECT_EQ(getLanguageIndex(), 2);
    configSetValue("LANG", "xyz");
    EXPECT_EQ((std::vector{chooseLanguage(), languageIndexOfCode("en"), languageIndexOfCode("engl"),
                           languageIndexOfCode(nullptr)}), (std::vector{0, -1, -1, -1}));
}

TEST_F(Directories, PathSplitsAtEitherSeparatorAndTheLastDotAndAnOverlongPartGivesEmptyResults) {
    EXPECT_EQ(partsOf(u"music/album\\song.v2.ogg"), (SPathParts{u"music/album\\", u"song.v2.ogg", u"song.v2", u"ogg"}));
    EXPECT_EQ(partsOf(u"dir.d/name"), (SPathParts{u"dir.d/", u"name", u"name", u""}));
    EXPECT_EQ(partsOf(u"folder/"), (SPathParts{u"folder/", u"", u"", u""}));
    EXPECT_EQ(partsOf(u"dir\\" + std::u16string(PATH_PART_LENGTH, u'n') + u".ogg"), SPathParts{});
    // Each part fits, but name and extension together do not.
    const std::u16string bare(200, u'a'), extension(100, u'b');
    EXPECT_EQ(partsOf(u"d\\" + bare + u"." + extension), (SPathParts{u"d\\", u"", bare, extension}));
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
