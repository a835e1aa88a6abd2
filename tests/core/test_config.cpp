#include "core/config.h"
#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/name_hash.h"
#include "core/package_format.h"
#include "core/packages.h"
#include "core/text_reader.h"
#include <gtest/gtest.h>
#include "tests/support/fatal_catch.h"
#include "tests/support/file_bytes.h"
#include "tests/support/package_test.h"

#include <string>
#include <vector>

using namespace test_support;

namespace {

class Config : public ::testing::Test {
protected:
    void SetUp() override { configClear(); }
    void TearDown() override {
        closeTextSource();
        configFree();
    }

    void parse(const std::string& text) {
        m_text = text;
        setTextSource(m_text.data(), u32(m_text.size()));
        configParse();
        closeTextSource();
    }

    std::string m_text;
};

// Lines "K0 0" to "K<count-1> <count-1>".
std::string numberedKeys(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "K" + std::to_string(i) + " " + std::to_string(i) + "\n";
    return text;
}

}  // namespace

TEST_F(Config, ValuesReadByTheirFormAndASignOrPointAloneIsText) {
    parse("HEX 0x1F\nNEG -3\nFLOAT 2.5\nPLUS +5\nEXP 1e3\nDASH -\nDOT .\nBIGHEX 0x123456789\n");
    // Every value keeps its text; hex with more than 8 digits keeps its low 32 bits.
    const struct {
        const char* key;
        s32 value;
        const char* text;
    } values[] = {{"HEX", 31, "0x1F"}, {"NEG", -3, "-3"}, {"PLUS", 0, "+5"}, {"EXP", 0, "1e3"},
                  {"DASH", 0, "-"},  {"DOT", 0, "."},   {"BIGHEX", 0x23456789, "0x123456789"}};
    for (const auto& [key, value, text] : values) {
        EXPECT_EQ(configGetInt(key), value) << key;
        EXPECT_STREQ(configGetString(key), text);
    }
    EXPECT_FLOAT_EQ(configGetFloat("FLOAT"), 2.5f);
    EXPECT_EQ(configGetFloat("DOT"), 0.0f);
}

TEST_F(Config, WrongGetterConvertsTheValueAndAbsentKeysGiveZeroAndNull) {
    parse("PRESENT 1\n");
    EXPECT_EQ(configGetString("ABSENT"), nullptr);
    EXPECT_FALSE(configHasKey(nullptr));
    EXPECT_TRUE(configHasKey("present"));
    configFree();
    EXPECT_FALSE(configHasKey("PRESENT"));

    parse("FIXED_DT 1\nNEG_FLOAT -2.75\nHEX 0xFFFFFFFF\n");
    EXPECT_EQ(configGetFloat("Fixed_DT"), 1.0f);
    EXPECT_EQ(configGetInt("NEG_FLOAT"), -2);
    EXPECT_EQ(configGetFloat("HEX"), -1.0f);
}

TEST_F(Config, QuotesKeepBlanksAndCommentsFallAway) {
    parse("GAME_MUSIC_FILE \"My Music/a song.ogg\" // the song\nRESOLUTION 720 // lines\n"
          "// FULLSCREEN 1\n  / / NOVSYNC 1\nLANG ger\n");
    EXPECT_STREQ(configGetString("GAME_MUSIC_FILE"), "My Music/a song.ogg");
    EXPECT_EQ(configGetInt("RESOLUTION"), 720);
    EXPECT_FALSE(configHasKey("NOVSYNC"));
    EXPECT_STREQ(configGetString("LANG"), "ger");
}

TEST_F(Config, LaterDuplicateWinsAndOtherKeysStayFindable) {
    // Many keys share the probe runs of a 128-slot index; removing the first mapping re-places
    // the run, so every key must still be found afterwards.
    std::string text;
    for (int i = 0; i < 60; ++i) text += "KEY_" + std::to_string(i) + " " + std::to_string(i) + "\n";
    for (int i = 0; i < 60; i += 3) text += "KEY_" + std::to_string(i) + " " + std::to_string(1000 + i) + "\n";
    parse(text);
    for (int i = 0; i < 60; ++i) {
        const std::string key = "KEY_" + std::to_string(i);
        EXPECT_EQ(configGetInt(key.c_str()), i % 3 == 0 ? 1000 + i : i) << key;
    }
}

TEST_F(Config, OverlongKeyIsCutTheSameWayWhenReadBackAndAKeyWithoutValueMakesNoEntry) {
    const std::string key31(31, 'K');
    parse(key31 + "_TAIL 5\n");
    EXPECT_EQ(configGetInt((key31 + "_OTHER").c_str()), 5);
    EXPECT_FALSE(configHasKey(std::string(30, 'K').c_str()));

    parse("LONELY\nEMPTY \"\"\nNEXT 2\n");
    EXPECT_FALSE(configHasKey("LONELY"));
    EXPECT_FALSE(configHasKey("EMPTY"));
    EXPECT_EQ(configGetInt("NEXT"), 2);
}

TEST_F(Config, The128thKeyLineEndsParsingAndAnEmptyValueUsesUpARecord) {
    parse(numberedKeys(130));
    EXPECT_EQ(configGetInt("K126"), 126);
    EXPECT_FALSE(configHasKey("K127"));
    EXPECT_FALSE(configSetValue("LATE", "1"));

    configFree();
    configClear();
    parse(numberedKeys(126) + "BLANK \"\"\nLAST 1\n");
    EXPECT_FALSE(configHasKey("BLANK"));
    EXPECT_FALSE(configHasKey("LAST"));
}

TEST_F(Config, CrLfFileReadsLikeLfAndALineLongerThanItsBufferGoesOnAsTheNextLine) {
    parse("// dev\r\nLANG eng\r\nFULLSCREEN 0\r\n\r\nRESOLUTION 720\r\nFLOAT 0.5\r\n");
    EXPECT_STREQ(configGetString("LANG"), "eng");
    EXPECT_FLOAT_EQ(configGetFloat("FLOAT"), 0.5f);

    // The value is cut to 255 characters; the piece past 2,047 bytes is a line of its own,
    // here a key with no value.
    const std::string longValue(CONFIG_LINE_LENGTH + 100, 'v');
    parse("LONG " + longValue + "\nAFTER 7\nSPLIT " + std::string(CONFIG_LINE_LENGTH - 7, 'x') + " TAIL 9\n");
    ASSERT_NE(configGetString("LONG"), nullptr);
    EXPECT_EQ(std::string(configGetString("LONG")), std::string(CONFIG_VALUE_LENGTH - 1, 'v'));
    EXPECT_EQ(configGetInt("AFTER"), 7);
    EXPECT_EQ(configGetInt("TAIL"), 9);
}

// ---------------------------------------------------------------------------------------------
// Loading from mounted packages

namespace {

class ConfigLoad : public PackageTest {
protected:
    void SetUp() override {
        PackageTest::SetUp();
        configClear();
        setFatalErrorHook(throwOnFatal);
    }
    void TearDown() override {
        setFatalErrorHook(nullptr);
        closeTextSource();
        configFree();
        PackageTest::TearDown();
    }

    void mount() {
        SPackageWriterOptions options;
        options.compressPatterns.push_back("*.txt");
        packAndMount("ASPEC", options);
    }
};

}  // namespace

TEST_F(ConfigLoad, ReadsTheSettingsFileFromAMountedPackage) {
    writeSource("ASPEC", "project.ini", "// dev and CI\r\nLANG GER\r\nFIXED_DT 1\r\nRESOLUTION 720\r\n");
    mount();
    ASSERT_TRUE(configLoad("project.ini"));
    EXPECT_EQ(configGetInt("RESOLUTION"), 720);
    buildLangDir();
    EXPECT_EQ(std::string(getLangDir()), m_root.str() + "/Lang\\ger\\");
    // The file object went back to the pool with the source.
    EXPECT_EQ(getAssetFileCount(), 0u);
}

TEST_F(ConfigLoad, MissingOrZeroByteFileFailsToLoad) {
    EXPECT_FALSE(configLoad("project.ini"));
    writeSource("ASPEC", "other.ini", "KEY 1\n");
    mount();
    EXPECT_FALSE(configLoad("project.ini"));
    EXPECT_FALSE(configHasKey("KEY"));

    // The package writer refuses empty files, so this package is put together by hand.
    SPackageTableInput input;
    input.pathHash = crc32TextNoCase("project.ini");
    input.entry.size = 0;
    std::vector<u8> table;
    ASSERT_EQ(packageTableBuild(&input, 1, &table).error, E_PACKAGEBUILD_OK);
    writeFileBytes(packageFile("AAM", ".mtc"), table);
    writeFileText(packageFile("AAM", ".mdf"), std::string(16, 'x'));
    ASSERT_EQ(archiveMount("AAM", 4, nullptr), 1u);

    ASSERT_EQ(packagedFileExists("project.ini", PACKAGE_ID_ANY), 1u);
    EXPECT_FALSE(configLoad("project.ini"));
    EXPECT_EQ(getAssetFileCount(), 0u);
}

TEST_F(ConfigLoad, PackagedTextSourceReadsTokensAndNamesItselfInErrors) {
    writeSource("ASPEC", "Camera/CameraFrames.txt", "// frames\nframe UI\n0 1 2\n");
    mount();
    ASSERT_TRUE(openTextSource((m_root.str() + "/Camera/CameraFrames.txt").c_str()));
    expectToken("FRAME");
    const std::string reason = fatalReasonOf([] { expectToken("position"); });
    EXPECT_NE(reason.find("CameraFrames.txt: line 2"), std::string::npos) << reason;
    closeTextSource();
    EXPECT_EQ(getAssetFileCount(), 0u);
}
