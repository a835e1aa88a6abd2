// The string-table writer: source parsing, refusals, warnings, and the round trip through the
// image the game reads.
#include "core/string_table_writer.h"

#include "core/name_hash.h"
#include "core/string_table_format.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// Parses and builds; the error text when either fails.
std::string parseError(const std::string& source) {
    SStringSource parsed;
    std::vector<std::string> warnings;
    std::string error;
    EXPECT_FALSE(stringSourceParse("All.txt", source, &parsed, &warnings, &error));
    return error;
}

std::vector<std::string> parseWarnings(const std::string& source) {
    SStringSource parsed;
    std::vector<std::string> warnings;
    std::string error;
    EXPECT_TRUE(stringSourceParse("All.txt", source, &parsed, &warnings, &error)) << error;
    return warnings;
}

}  // namespace

TEST(StringTableWriter, RoundTripKeepsEscapesAndUnicode) {
    const std::string source =
        "\xEF\xBB\xBF# version and title\r\n"
        "GAME_VERSION\t1.0.3\r\n"
        "\n"
        "  # indented comment\n"
        "WINDOW_TITLE\tVelodrix \xE2\x80\x94 caf\xC3\xA9 \xF0\x9F\x98\x80\n"
        "MULTI\tone\\ntwo\\tthree\\\\\n"
        "EMPTY\t\n"
        "TABS\ta\tb";
    SStringSource parsed;
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(stringSourceParse("All.txt", source, &parsed, &warnings, &error)) << error;
    EXPECT_TRUE(warnings.empty());
    std::vector<u8> image;
    ASSERT_TRUE(stringSourceBuildImage(parsed, &image, &error)) << error;

    SStringTableView view;
    ASSERT_EQ(stringTableOpen(&view, image.data(), image.size()), E_STRINGTABLE_OK);
    ASSERT_EQ(stringTableCount(view), 5u);
    auto text = [&](const char* key) {
        const s32 index = stringTableFind(view, crc32TextNoCase(key));
        return index < 0 ? std::u16string(u"<absent>") : stringTableTextAt(view, u32(index));
    };
    EXPECT_EQ((std::vector{text("GAME_VERSION"), text("WINDOW_TITLE"), text("MULTI"), text("EMPTY"), text("TABS")}),
              (std::vector<std::u16string>{u"1.0.3", u"Velodrix \u2014 caf\u00E9 \xD83D\xDE00", u"one\ntwo\tthree\\", u"", u"a\tb"}));
}

TEST(StringTableWriter, BadSourcesAreRefusedNamingTheLine) {
    EXPECT_EQ(parseError("A\tx\nB x\n"), "All.txt:2: no tab between key and text");
    EXPECT_NE(parseError("A\tx\\q\n").find("All.txt:1: unknown escape \\q"), std::string::npos);
    EXPECT_NE(parseError("A\tok\nB\t\xC3\x28\n").find("All.txt:2: text is not valid UTF-8"), std::string::npos);
    EXPECT_NE(parseError("A\tok\n\nB\tx\0y\n"s).find("All.txt:3: NUL byte"), std::string::npos);
    EXPECT_NE(parseError("\tx\n").find("All.txt:1: bad key"), std::string::npos);
}

TEST(StringTableWriter, DuplicateKeysAndHashCollisionsAreRefused) {
    EXPECT_EQ(parseError("TITLE\ta\nother\tb\nTitle\tc\n"), "All.txt:3: key Title already given on line 1");
    // The hash masks bit 5 of every byte, so '@' and '`' hash alike without being the same key.
    ASSERT_EQ(crc32TextNoCase("KEY@"), crc32TextNoCase("KEY`"));
    EXPECT_NE(parseError("KEY@\ta\nKEY`\tb\n").find("All.txt:2: key KEY` has the hash"), std::string::npos);
}

TEST(StringTableWriter, PlaceholdersOtherThanIntAndTextAreWarnedAbout) {
    EXPECT_TRUE(parseWarnings("A\t%d of %s\n").empty());
    const std::vector<std::string> warnings = parseWarnings("A\t%x\nB\t50%\n");
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].rfind("All.txt:1: placeholder \"%x\"", 0), 0u);
    EXPECT_EQ(warnings[1].rfind("All.txt:2: placeholder \"%\"", 0), 0u);
}

TEST(StringTableWriter, WritesEveryTableOrNoneAndWarnsOnSharedKeys) {
    const test_support::ClTempDir folder;
    const std::string win32 = folder.write("Win32.txt", "# an empty table is valid\n");
    const std::string shared = folder.write("Shared.txt", "SHARED\twin\n");
    const std::string all = folder.write("All.txt", "SHARED\tall\nONLY\tx\n");
    const std::string out = folder.file("out");

    std::vector<std::string> warnings;
    std::string error;
    EXPECT_FALSE(stringTableWriterWrite({win32, folder.write("Bad.txt", "NO TAB HERE\n")}, out.c_str(), &warnings,
                                        &error));
    EXPECT_FALSE(std::filesystem::exists(out + "/Win32.lang"));

    warnings.clear();
    ASSERT_TRUE(stringTableWriterWrite({win32, shared, all}, out.c_str(), &warnings, &error)) << error;
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("All.txt:1: key SHARED is also in"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(out + "/All.lang"));
    const std::vector<u8> empty = test_support::readFileBytes(out + "/Win32.lang");
    SStringTableView view;
    ASSERT_EQ(stringTableOpen(&view, empty.data(), empty.size()), E_STRINGTABLE_OK);
    EXPECT_EQ(stringTableCount(view), 0u);
}
