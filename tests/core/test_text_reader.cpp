#include "core/text_reader.h"
#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

// The token that nextToken cuts from the text and what it leaves after it, as "token|rest".
std::string tokenOf(const char* text, u32 size = 256) {
    char out[256];
    const char* rest = nextToken(text, out, size);
    return std::string(out) + "|" + (rest ? rest : "<null>");
}

// The next line readLine gives with a buffer of the given size, or "<end>".
std::string nextLine(STextReader& reader, u32 size) {
    char line[64];
    return readLine(reader, line, size) ? std::string(line) : std::string("<end>");
}

}  // namespace

TEST(TextReader, LinesEndAfterEitherBreakAndAreRefusedWithoutSourceOrRoom) {
    const std::string text = "ab\r\ncd\nlast";
    STextReader reader = STextReader{nullptr, text.data(), u32(text.size())};
    EXPECT_EQ(nextLine(reader, 16), "ab\r");
    EXPECT_EQ(nextLine(reader, 16), "\n");
    EXPECT_EQ(nextLine(reader, 16), "cd\n");
    EXPECT_EQ(textLineNumber(reader), 2u);
    EXPECT_EQ(nextLine(reader, 16), "last");
    EXPECT_EQ(nextLine(reader, 16), "<end>");

    // A line is refused without a source or room, and after the close, which forgets the caller's
    // block.
    char line[8];
    STextReader none;
    EXPECT_EQ(readLine(none, line, sizeof line), nullptr);
    const std::string other = "a b";
    reader = STextReader{nullptr, other.data(), u32(other.size())};
    EXPECT_EQ(readLine(reader, line, 1), nullptr);
    EXPECT_EQ(readLine(reader, line, 0), nullptr);

    closeTextReader(reader);
    EXPECT_EQ(readLine(reader, line, sizeof line), nullptr);
    EXPECT_EQ(other, "a b");
}

TEST(TextReader, CommentLinesStartWithTwoSlashesBlanksAllowedBetweenAndAreSkipped) {
    for (const char* line : {"  \t/ /note", "/", "\r"}) EXPECT_FALSE(isContentLine(line)) << line;
    for (const char* line : {"KEY 1 // note", " /x"}) EXPECT_TRUE(isContentLine(line)) << line;

    const std::string text = "// head\r\n\r\n  / / also\nKEY 1\r\n";
    STextReader reader = STextReader{nullptr, text.data(), u32(text.size())};
    char line[64];
    ASSERT_NE(nextContentLine(reader, sizeof line, line), nullptr);
    EXPECT_STREQ(line, "KEY 1\r");
    EXPECT_EQ(nextContentLine(reader, sizeof line, line), nullptr);
}

TEST(TextReader, TokensSplitAtWhiteSpaceQuotesKeepBlanksAnOpenQuoteEndsWithItsLineAndLongOnesAreCut) {
    EXPECT_EQ(tokenOf("  KEY\t value\r\n"), "KEY|value\r\n");
    EXPECT_EQ(tokenOf("value\r\n"), "value|<null>");
    EXPECT_EQ(tokenOf("\"a b\tc\" next"), "a b\tc|next");
    EXPECT_EQ(tokenOf("\""), "|<null>");
    EXPECT_EQ(tokenOf("\"abc def\r\n"), "abc def|<null>");
    EXPECT_EQ(tokenOf("abcdefgh second", 4), "abc|second");
}

TEST(TextNumbers, ClassifiesHexIntAndFloatTextsAndWideIntegersKeepTheirLow32Bits) {
    const struct {
        const char* text;
        bool hex, integer, real;
    } cases[] = {{"0x1G", false, false, false}, {"-", false, false, false},   {"+5", false, false, false},
                 {"1e3", false, false, false},  {"", false, false, false},    {"-5.", false, false, true},
                 {".", false, false, false},    {"-.", false, false, false},  {"1.2.3", false, false, false},
                 {"12", false, true, false},    {"0xaF", true, false, false}, {"0x", true, false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(isHexText(c.text), c.hex) << '"' << c.text << '"';
        EXPECT_EQ(isIntText(c.text), c.integer) << '"' << c.text << '"';
        EXPECT_EQ(isFloatText(c.text), c.real) << '"' << c.text << '"';
    }
    EXPECT_EQ(hexTextValue("0x123456789"), 0x23456789u);
    EXPECT_EQ(hexTextValue("0x11223344556677889"), 0xFFFFFFFFu);
    EXPECT_EQ(u32(intTextValue("2147483648")), 0x80000000u);
    EXPECT_EQ(u32(intTextValue("4294967297")), 1u);
    EXPECT_EQ(u32(intTextValue("99999999999999999999")), 0xFFFFFFFFu);
}
