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

std::string tokenOf(const char* text, u32 size = 256, const char** rest = nullptr) {
    char out[256];
    const char* after = nextToken(text, out, size);
    if (rest) *rest = after;
    return out;
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
    EXPECT_STREQ(readToken(), "a");
    closeTextSource();
    EXPECT_STREQ(readToken(), "");
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

TEST_F(TextReader, TokensSplitAtWhiteSpaceQuotesKeepBlanksAndAnOpenQuoteEndsWithItsLine) {
    const char* rest = nullptr;
    EXPECT_EQ(tokenOf("  KEY\t value\r\n", 256, &rest), "KEY");
    ASSERT_NE(rest, nullptr);
    EXPECT_STREQ(rest, "value\r\n");
    EXPECT_EQ(tokenOf(rest, 256, &rest), "value");
    EXPECT_EQ(rest, nullptr);
    EXPECT_EQ(tokenOf("\"a b\tc\" next", 256, &rest), "a b\tc");
    EXPECT_STREQ(rest, "next");
    rest = reinterpret_cast<const char*>(1);
    EXPECT_EQ(tokenOf("\"", 256, &rest), "");
    EXPECT_EQ(rest, nullptr);
    EXPECT_EQ(tokenOf("\"abc def\r\n", 256, &rest), "abc def");
    EXPECT_EQ(rest, nullptr);
}

TEST_F(TextReader, OverlongTokenIsCutAndReadTokenCrossesLinesAndSkipsComments) {
    const char* rest = nullptr;
    EXPECT_EQ(tokenOf("abcdefgh second", 4, &rest), "abc");
    ASSERT_NE(rest, nullptr);
    EXPECT_STREQ(rest, "second");

    setSource("first second\r\n// skipped\r\n   \r\n\"third one\"\nfourth");
    EXPECT_STREQ(readToken(), "first");
    EXPECT_STREQ(readToken(), "second");
    EXPECT_STREQ(readToken(), "third one");
    EXPECT_STREQ(readToken(), "fourth");
    EXPECT_STREQ(readToken(), "");
}

TEST_F(TextReader, ExpectTokenIgnoresCaseAndStopsOnAWrongToken) {
    setSource("Frame UI\nnext\n");
    expectToken("FRAME");
    EXPECT_STREQ(readToken(), "UI");
    const std::string reason = fatalReasonOf([] { expectToken("other"); });
    EXPECT_NE(reason.find("line 2"), std::string::npos) << reason;
    EXPECT_NE(reason.find("\"next\""), std::string::npos) << reason;
    // At the end of the text there is no token to match.
    setSource("only");
    expectToken("only");
    EXPECT_THROW(expectToken("more"), SFatal);
}

TEST(TextNumbers, ClassifiesHexIntAndFloatTextsAndWideIntegersKeepTheirLow32Bits) {
    EXPECT_FALSE(isHexText("0x1G"));
    for (const char* text : {"-", "+5", "1e3", ""}) EXPECT_FALSE(isIntText(text)) << text;
    EXPECT_TRUE(isFloatText("-5."));
    for (const char* text : {".", "-.", "1.2.3", "12"}) EXPECT_FALSE(isFloatText(text)) << text;

    EXPECT_EQ(hexTextValue("0x123456789"), 0x23456789u);
    EXPECT_EQ(hexTextValue("0x11223344556677889"), 0xFFFFFFFFu);

    EXPECT_EQ(intTextValue("2147483648"), INT32_MIN);
    EXPECT_EQ(intTextValue("4294967297"), 1);
    EXPECT_EQ(intTextValue("99999999999999999999"), -1);
}

TEST(TextNumbers, FloatsReadTheSameInAnyLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_FLOAT_EQ(floatTextValue("2.5"), 2.5f);
    if (previous) std::setlocale(LC_NUMERIC, "C");
}
