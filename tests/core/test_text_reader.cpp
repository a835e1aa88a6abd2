#include "core/fatal_error.h"
#include "core/text_reader.h"

#include <gtest/gtest.h>

#include <clocale>
#include <stdexcept>
#include <string>

namespace {

[[noreturn]] void throwOnFatal(const char* reason) { throw std::runtime_error(reason); }

class TextReader : public ::testing::Test {
protected:
    void SetUp() override { setFatalErrorHook(throwOnFatal); }
    void TearDown() override {
        closeTextSource();
        setFatalErrorHook(nullptr);
    }

    void setSource(const std::string& text) {
        m_text = text;
        setTextSource(m_text.data(), u32(m_text.size()));
    }

    std::string m_text;
};

std::string tokenOf(const char* text, u32 size = 256, const char** rest = nullptr) {
    char out[256];
    const char* after = nextToken(text, out, size);
    if (rest) *rest = after;
    return out;
}

}  // namespace

TEST_F(TextReader, LinesEndAfterEitherBreakSoCrLfGivesABreakOnlyLine) {
    setSource("ab\r\ncd\nlast");
    char line[16];
    ASSERT_NE(readLine(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "ab\r");
    ASSERT_NE(readLine(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "\n");
    EXPECT_FALSE(isContentLine(line));
    ASSERT_NE(readLine(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "cd\n");
    ASSERT_NE(readLine(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "last");
    EXPECT_EQ(readLine(line, sizeof line), nullptr);
}

TEST_F(TextReader, LongLineContinuesAsTheNextLine) {
    setSource("abcdefg\n");
    char line[4];
    ASSERT_NE(readLine(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "abc");
    ASSERT_NE(readLine(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "def");
    ASSERT_NE(readLine(line, sizeof line), nullptr);
    EXPECT_STREQ(line, "g\n");
    EXPECT_EQ(readLine(line, sizeof line), nullptr);
}

TEST_F(TextReader, ReadLineRefusesWithoutSourceOrRoom) {
    char line[8];
    EXPECT_EQ(readLine(line, sizeof line), nullptr);
    setSource("text");
    EXPECT_EQ(readLine(line, 1), nullptr);
    EXPECT_EQ(readLine(line, 0), nullptr);
    EXPECT_NE(readLine(line, 2), nullptr);
    EXPECT_STREQ(line, "t");
}

TEST_F(TextReader, CommentLinesStartWithTwoSlashesBlanksAllowedBetween) {
    EXPECT_FALSE(isContentLine("// note\n"));
    EXPECT_FALSE(isContentLine("  \t/ /note"));
    EXPECT_FALSE(isContentLine("/"));
    EXPECT_FALSE(isContentLine(""));
    EXPECT_FALSE(isContentLine(" "));
    EXPECT_FALSE(isContentLine("\r"));
    EXPECT_TRUE(isContentLine("KEY 1 // note"));
    EXPECT_TRUE(isContentLine(" /x"));
    EXPECT_TRUE(isContentLine("/\n"));
    EXPECT_TRUE(isContentLine("a"));
}

TEST_F(TextReader, NextContentLineSkipsCommentsAndBreaks) {
    setSource("// head\r\n\r\n  / / also\nKEY 1\r\n");
    char line[64];
    ASSERT_NE(nextContentLine(sizeof line, line), nullptr);
    EXPECT_STREQ(line, "KEY 1\r");
    EXPECT_EQ(nextContentLine(sizeof line, line), nullptr);
}

TEST_F(TextReader, TokensSplitAtWhiteSpaceAndQuotesKeepBlanks) {
    const char* rest = nullptr;
    EXPECT_EQ(tokenOf("  KEY\t value\r\n", 256, &rest), "KEY");
    ASSERT_NE(rest, nullptr);
    EXPECT_STREQ(rest, "value\r\n");
    EXPECT_EQ(tokenOf(rest, 256, &rest), "value");
    EXPECT_EQ(rest, nullptr);

    EXPECT_EQ(tokenOf("\"a b\tc\" next", 256, &rest), "a b\tc");
    EXPECT_STREQ(rest, "next");
    EXPECT_EQ(tokenOf("\"\" next", 256, &rest), "");
    EXPECT_STREQ(rest, "next");
}

TEST_F(TextReader, OpenQuoteEndsWithTheTextOrItsLine) {
    const char* rest = reinterpret_cast<const char*>(1);
    EXPECT_EQ(tokenOf("\"", 256, &rest), "");
    EXPECT_EQ(rest, nullptr);
    EXPECT_EQ(tokenOf("\"abc def", 256, &rest), "abc def");
    EXPECT_EQ(rest, nullptr);
    EXPECT_EQ(tokenOf("\"abc def\r\n", 256, &rest), "abc def");
    EXPECT_EQ(rest, nullptr);
}

TEST_F(TextReader, OverlongTokenIsCutAndItsRestSkipped) {
    const char* rest = nullptr;
    EXPECT_EQ(tokenOf("abcdefgh second", 4, &rest), "abc");
    ASSERT_NE(rest, nullptr);
    EXPECT_STREQ(rest, "second");
    EXPECT_EQ(tokenOf("\"ab cd\" x", 3, &rest), "ab");
    EXPECT_STREQ(rest, "x");
}

TEST_F(TextReader, ReadTokenCrossesLinesAndSkipsComments) {
    setSource("first second\r\n// skipped\r\n   \r\n\"third one\"\nfourth");
    EXPECT_STREQ(readToken(), "first");
    EXPECT_STREQ(readToken(), "second");
    EXPECT_STREQ(readToken(), "third one");
    EXPECT_STREQ(readToken(), "fourth");
    EXPECT_STREQ(readToken(), "");
    EXPECT_STREQ(readToken(), "");
}

TEST_F(TextReader, ExpectTokenIgnoresCaseAndStopsOnAWrongToken) {
    setSource("Frame UI\nnext\n");
    expectToken("FRAME");
    EXPECT_STREQ(readToken(), "UI");
    try {
        expectToken("other");
        FAIL() << "a wrong token must be fatal";
    } catch (const std::runtime_error& error) {
        const std::string reason = error.what();
        EXPECT_NE(reason.find("line 2"), std::string::npos) << reason;
        EXPECT_NE(reason.find("\"next\""), std::string::npos) << reason;
    }
}

TEST_F(TextReader, ExpectTokenStopsAtTheEndOfTheText) {
    setSource("only");
    expectToken("only");
    EXPECT_THROW(expectToken("more"), std::runtime_error);
}

TEST_F(TextReader, ClosingForgetsTheCallersBlock) {
    setSource("a b");
    EXPECT_STREQ(readToken(), "a");
    closeTextSource();
    EXPECT_STREQ(readToken(), "");
    char line[8];
    EXPECT_EQ(readLine(line, sizeof line), nullptr);
    EXPECT_EQ(m_text, "a b");
}

TEST(TextNumbers, ClassifiesHexIntAndFloatTexts) {
    EXPECT_TRUE(isHexText("0x1F"));
    EXPECT_TRUE(isHexText("0X"));
    EXPECT_FALSE(isHexText("0x1G"));
    EXPECT_FALSE(isHexText("1F"));

    EXPECT_TRUE(isIntText("12"));
    EXPECT_TRUE(isIntText("-3"));
    EXPECT_FALSE(isIntText("-"));
    EXPECT_FALSE(isIntText("+5"));
    EXPECT_FALSE(isIntText("1e3"));
    EXPECT_FALSE(isIntText(""));

    EXPECT_TRUE(isFloatText("2.5"));
    EXPECT_TRUE(isFloatText(".5"));
    EXPECT_TRUE(isFloatText("-5."));
    EXPECT_FALSE(isFloatText("."));
    EXPECT_FALSE(isFloatText("-."));
    EXPECT_FALSE(isFloatText("1.2.3"));
    EXPECT_FALSE(isFloatText("12"));
}

TEST(TextNumbers, WideIntegersKeepTheirLow32Bits) {
    EXPECT_EQ(hexTextValue("0x1F"), 31u);
    EXPECT_EQ(hexTextValue("0x"), 0u);
    EXPECT_EQ(hexTextValue("0xFFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(hexTextValue("0x123456789"), 0x23456789u);
    EXPECT_EQ(hexTextValue("0x11223344556677889"), 0xFFFFFFFFu);

    EXPECT_EQ(intTextValue("-3"), -3);
    EXPECT_EQ(intTextValue("2147483648"), INT32_MIN);
    EXPECT_EQ(intTextValue("4294967297"), 1);
    EXPECT_EQ(intTextValue("99999999999999999999"), -1);
}

TEST(TextNumbers, FloatsReadTheSameInAnyLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_FLOAT_EQ(floatTextValue("2.5"), 2.5f);
    if (previous) std::setlocale(LC_NUMERIC, "C");
    EXPECT_FLOAT_EQ(floatTextValue("-0.25"), -0.25f);
    EXPECT_FLOAT_EQ(floatTextValue("1e3"), 1000.0f);
    EXPECT_EQ(floatTextValue("abc"), 0.0f);
}
