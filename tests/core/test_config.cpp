#include "core/config.h"
#include "core/name_hash.h"
#include "core/package_format.h"
#include "core/packages.h"
#include "core/text_reader.h"
#include <gtest/gtest.h>
#include "tests/support/file_bytes.h"
#include "tests/support/package_test.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace test_support;

namespace {

// Settings parsed from memory, or loaded from a package in a temporary data directory.
class Config : public PackageTest {
protected:
    void SetUp() override {
        PackageTest::SetUp();
        configClear();
    }
    void TearDown() override {
        configFree();
        PackageTest::TearDown();
    }
    void parse(std::string text) {
        STextReader reader = STextReader{nullptr, text.data(), u32(text.size())};
        configParse(reader);
    }
};

// Lines "K0 0" to "K<count-1> <count-1>".
std::string numberedKeys(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "K" + std::to_string(i) + " " + std::to_string(i) + "\n";
    return text;
}

// How one key reads: "int/float/text", or "-" when it is absent.
std::string entry(const std::string& key) {
    const char* text = configGetString(key.c_str());
    EXPECT_EQ(text != nullptr, configHasKey(key.c_str())) << key;
    if (!text) return "-";
    char number[40];
    std::snprintf(number, sizeof number, "%d/%g/", configGetInt(key.c_str()), configGetFloat(key.c_str()));
    return number + std::string(text);
}

}  // namespace

TEST_F(Config, ValuesReadByTheirFormEitherGetterConvertsAndAbsentKeysGiveZeroAndNull) {
    parse("HEX 0x1F\nNEG -3\nFLOAT 2.5\nDASH -\nALLHEX 0xFFFFFFFF\n");
    // Every value keeps its text; a word too large for an integer reads as a negative one.
    EXPECT_EQ(entry("HEX"), "31/31/0x1F");
    EXPECT_EQ(entry("NEG"), "-3/-3/-3");
    EXPECT_EQ(entry("Float"), "2/2.5/2.5");
    EXPECT_EQ(entry("DASH"), "0/0/-");
    EXPECT_EQ(entry("ALLHEX"), "-1/-1/0xFFFFFFFF");
    EXPECT_EQ(entry("ABSENT"), "-");
    EXPECT_FALSE(configHasKey(nullptr));
    configFree();
    EXPECT_EQ(entry("HEX"), "-");
    parse("NEG_FLOAT -2.75\n");
    EXPECT_EQ(entry("NEG_FLOAT"), "-2/-2.75/-2.75");
}

TEST_F(Config, The128thKeyLineEndsParsingAnEmptyValueUsesUpARecordAndALongLineGoesOnAsTheNext) {
    parse(numberedKeys(130));
    EXPECT_EQ(entry("K126"), "126/126/126");
    EXPECT_EQ(entry("K127"), "-");
    EXPECT_FALSE(configSetValue("LATE", "1"));

    configFree();
    parse(numberedKeys(126) + "BLANK \"\"\nLAST 1\n");
    EXPECT_EQ(entry("BLANK"), "-");
    EXPECT_EQ(entry("LAST"), "-");
    configFree();
    // The value is cut to 255 characters; the piece past 2,047 bytes is a line of its own,
    // here a key with no value.
    const std::string longValue(CONFIG_LINE_LENGTH + 100, 'v');
    parse("LONG " + longValue + "\nAFTER 7\nSPLIT " + std::string(CONFIG_LINE_LENGTH - 7, 'x') + " TAIL 9\n");
    EXPECT_EQ(entry("LONG"), "0/0/" + std::string(CONFIG_VALUE_LENGTH - 1, 'v'));
    EXPECT_EQ(entry("AFTER"), "7/7/7");
    EXPECT_EQ(entry("TAIL"), "9/9/9");
}

TEST_F(Config, MissingOrZeroByteFileFailsToLoad) {
    EXPECT_FALSE(configLoad("project.ini"));

    // The package writer refuses empty files, so this package is put together by hand.
    const SPackageTableInput input{crc32TextNoCase("project.ini"), {}, nullptr};
    std::vector<u8> table;
    ASSERT_EQ(packageTableBuild(&input, 1, &table).error, E_PACKAGEBUILD_OK);
    writeFileBytes(packageFile("AAM", ".mtc"), table);
    writeFileText(packageFile("AAM", ".mdf"), std::string(16, 'x'));
    ASSERT_EQ(archiveMount("AAM", 4, nullptr), 1u);

    ASSERT_EQ(packagedFileExists("project.ini", PACKAGE_ID_ANY), 1u);
    EXPECT_FALSE(configLoad("project.ini"));
    EXPECT_EQ(getAssetFileCount(), 0u);
}
