// The string-table writer: source parsing, refusals, warnings, and the round trip through the
// image the game reads.
#include "core/string_table_writer.h"

#include "core/name_hash.h"
#include "core/string_table_format.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace std::string_literals;
using namespace ::testing;

namespace {

// The warnings of a parse, or "refused: " and its error.
std::vector<std::string> parse(const std::string& source) {
    SStringSource parsed;
    std::vector<std::string> warnings;
    std::string error;
    return stringSourceParse("All.txt", source, &parsed, &warnings, &error) ? warnings : std::vector{"refused: " + error};
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
    ASSERT_EQ(view.table.count, 5u);
    // Read in place, as the game reads them.
    auto text = [&](const char* key) {
        const s32 index = stringTableFind(view, crc32TextNoCase(key));
        if (index < 0) return std::u16string(u"<absent>");
        return std::u16string(reinterpret_cast<const char16_t*>(image.data() + stringTableTextOffsetAt(view, u32(index))));
    };
    EXPECT_EQ(text("GAME_VERSION"), u"1.0.3");
    EXPECT_EQ(text("WINDOW_TITLE"), u"Velodrix \u2014 caf\u00E9 \xD83D\xDE00");
    EXPECT_EQ(text("MULTI"), u"one\ntwo\tthree\\");
    EXPECT_EQ(text("EMPTY"), u"");
    EXPECT_EQ(text("TABS"), u"a\tb");
}

TEST(StringTableWriter, BadSourcesAreRefusedNamingTheLine) {
    EXPECT_THAT(parse("A\tx\nB x\n"), ElementsAre("refused: All.txt:2: no tab between key and text"));
    EXPECT_THAT(parse("A\tx\\q\n"), ElementsAre(StartsWith("refused: All.txt:1: unknown escape \\q")));
    EXPECT_THAT(parse("A\tok\nB\t\xC3\x28\n"), ElementsAre(StartsWith("refused: All.txt:2: text is not valid UTF-8")));
    EXPECT_THAT(parse("A\tok\n\nB\tx\0y\n"s), ElementsAre(StartsWith("refused: All.txt:3: NUL byte")));
    EXPECT_THAT(parse("\tx\n"), ElementsAre(StartsWith("refused: All.txt:1: bad key")));
}

TEST(StringTableWriter, DuplicateKeysAndHashCollisionsAreRefused) {
    EXPECT_THAT(parse("TITLE\ta\nother\tb\nTitle\tc\n"), ElementsAre("refused: All.txt:3: key Title already given on line 1"));
    // The hash masks bit 5 of every byte, so '@' and '`' hash alike without being the same key.
    ASSERT_EQ(crc32TextNoCase("KEY@"), crc32TextNoCase("KEY`"));
    EXPECT_THAT(parse("KEY@\ta\nKEY`\tb\n"), ElementsAre(StartsWith("refused: All.txt:2: key KEY` has the hash")));
}

TEST(StringTableWriter, PlaceholdersOtherThanIntAndTextAreWarnedAbout) {
    EXPECT_THAT(parse("A\t%d of %s\n"), IsEmpty());
    EXPECT_THAT(parse("A\t%x\nB\t50%\n"),
                ElementsAre(StartsWith("All.txt:1: placeholder \"%x\""), StartsWith("All.txt:2: placeholder \"%\"")));
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
    EXPECT_THAT(warnings, ElementsAre(HasSubstr("All.txt:1: key SHARED is also in")));
    EXPECT_TRUE(std::filesystem::exists(out + "/All.lang"));
    const std::vector<u8> empty = test_support::readFileBytes(out + "/Win32.lang");
    SStringTableView view;
    ASSERT_EQ(stringTableOpen(&view, empty.data(), empty.size()), E_STRINGTABLE_OK);
    EXPECT_EQ(view.table.count, 0u);
}
