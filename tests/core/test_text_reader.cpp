#include "core/fatal_error.h"
#include "core/text_reader.h"
#include <gtest/gtest.h>
#include "tests/support/fatal_catch.h"

#include <clocale>
#include <string>
#include <vector>

using namespace test_support;

namespace {

class TextReader : public FatalThrowingTest {
protected:
    void TearDown() override {
        closeTextSource();
        FatalThrowingTest::TearDown();
    }

    void setSource(const std::string& text) {
        m_text = text;
        setTextSource(m_text.data(), u32(m_text.size()));
    }

    // Every line readLine gives with a buffer of the given size, up to the end of the text.
    static std::vector<std::string> allLines(u32 size) {
        std::vector<std::string> lines;
        char line[64];
        while (readLine(line, size) != nullptr) lines.push_back(line);
        return lines;
    }

    std::string m_text;
};

// The token that nextToken cuts from the text and what it leaves after it, as "token|rest".
std::string tokenOf(const char* text, u32 size = 256) {
    char out[256];
    const char* rest = nextToken(text, out, size);
    return std::string(out) + "|" + (rest ? rest : "<null>");
}

}  // namespace

TEST_F(TextReader, LinesEndAfterEitherBreakAndALongLineContinuesAsTheNext) {
    setSource("ab\r\ncd\nlast");
    EXPECT_EQ(allLines(16), (std::vector<std::string>{"ab\r", "\n", "cd\n", "last"}));
    setSource("abcdefg\n");
    EXPECT_EQ(allLines(4), (std::vector<std::string>{"abc", "def", "g\n"}));
}

TEST_F(TextReader, ReadLineRefusesWithoutSourceOrRoomAndClosingForgetsTheCallersBlock) {
    char line[8];
    EXPECT_EQ(readLine(line, sizeof line), nullptr);
    setSource("text");
    EXPECT_EQ(readLine(line, 1), nullptr);
    EXPECT_EQ(readLine(line, 0), nullptr);

    setSource("a b");
    closeTextSource();
    EXPECT_EQ(readLine(line, sizeof line), nullptr);
    EXPECT_EQ(m_text, "a b");
}

TEST_F(TextReader, CommentLinesStartWithTwoSlashesBlanksAllowedBetweenAndAreSkipped) {
    for (const char* line : {"  \t/ /note", "/", "\r"}) EXPECT_FALSE(isContentLine(line)) << line;
    for (const char* line : {"KEY 1 // note", " /x"}) EXPECT_TRUE(isContentLine(line)) << line;

    setSource("// head\r\n\r\n  / / also\nKEY 1\r\n");
    char line[64];
    ASSERT_NE(nextContentLine(sizeof line, line), nullptr);
    EXPECT_STREQ(line, "KEY 1\r");
    EXPECT_EQ(nextContentLine(sizeof line, line), nullptr);
}

TEST_F(TextReader, TokensSplitAtWhiteSpaceQuotesKeepBlanksAnOpenQuoteEndsWithItsLineAndLongOnesAreCut) {
    EXPECT_EQ(tokenOf("  KEY\t value\r\n"), "KEY|value\r\n");
    EXPECT_EQ(tokenOf("value\r\n"), "value|<null>");
    EXPECT_EQ(tokenOf("\"a b\tc\" next"), "a b\tc|next");
    EXPECT_EQ(tokenOf("\""), "|<null>");
    EXPECT_EQ(tokenOf("\"abc def\r\n"), "abc def|<null>");
    EXPECT_EQ(tokenOf("abcdefgh second", 4), "abc|second");
}

TEST(TextNumbers, ClassifiesHexIntAndFloatTextsAndWideIntegersKeepTheirLow32Bits) {
    std::string kinds;
    for (const char* text : {"0x1G", "-", "+5", "1e3", "", "-5.", ".", "-.", "1.2.3", "12"})
        kinds += std::to_string(isHexText(text)) + std::to_string(isIntText(text)) + std::to_string(isFloatText(text)) + " ";
    EXPECT_EQ(kinds, "000 000 000 000 000 001 000 000 000 010 ");
    EXPECT_EQ(hexTextValue("0x123456789"), 0x23456789u);
    EXPECT_EQ(hexTextValue("0x11223344556677889"), 0xFFFFFFFFu);
    EXPECT_EQ(u32(intTextValue("2147483648")), 0x80000000u);
    EXPECT_EQ(u32(intTextValue("4294967297")), 1u);
    EXPECT_EQ(u32(intTextValue("99999999999999999999")), 0xFFFFFFFFu);
}

TEST(TextNumbers, FloatsReadTheSameInAnyLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_FLOAT_EQ(floatTextValue("2.5"), 2.5f);
    if (previous) std::setlocale(LC_NUMERIC, "C");
}
