#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/string.h"

namespace {

bool isAligned16(const void* p) { return reinterpret_cast<uintptr_t>(p) % 16 == 0; }

}  // namespace

TEST(String, DefaultAndClearedStringsAreTheUsableSharedEmptyTextAndCopiesShareNoBlock) {
    EXPECT_EQ(String().getText(), g_szEmptyText);
    String s("12 abc");
    EXPECT_EQ(s.indexOf('a'), 3);
    s.clear();
    EXPECT_EQ(s.getLength(), 0);
    EXPECT_EQ(s.getText(), g_szEmptyText);
    EXPECT_EQ(s.indexOf('a'), -1);
    s += "again";
    EXPECT_STREQ(s.getText(), "again");

    String a("velodrix"), b(a), c;
    c = a;
    EXPECT_TRUE(isAligned16(a.getText()));
    *a.charAt(0) = 'V';
    const String& alias = c;
    c = alias;
    EXPECT_EQ(std::string(b.getText()), "velodrix");
    EXPECT_EQ(std::string(c.getText()), "velodrix");
}

TEST(String, AssigningFromItsOwnBlockReadsBeforeFreeingAndBytesKeepTheirCountedLength) {
    String s("Scripts\\sos.txt");
    s.assignText(s.getText() + 8);
    EXPECT_STREQ(s.getText(), "sos.txt");
    s.assignBytes(s.getText(), 3);
    EXPECT_EQ(std::string(s.getText()), "sos");
    EXPECT_EQ(s.getLength(), 3);
    s.assignBytes("ab\0cd", 5);
    const String copy(s);
    EXPECT_EQ(std::string(s.getText(), 6), std::string("ab\0cd\0", 6));
    EXPECT_EQ(s.getLength(), 5);
    EXPECT_EQ(copy.getText()[3], 'c');
}

TEST(String, AppendingEmptyChangesNothingAndSelfAppendDoubles) {
    String s("ab");
    const char* before = s.getText();
    s += String();
    s += "";
    s.appendText(nullptr);
    EXPECT_EQ(s.getText(), before);
    s += s;
    EXPECT_EQ(s.getLength(), 4);
    s.appendText(s.getText() + 2);
    EXPECT_STREQ(s.getText(), "ababab");
    EXPECT_STREQ(("<" + s + ">" + String("!")).getText(), "<ababab>!");
}

TEST(String, EqualityIsCaseSensitiveAndParseHexSkipsThePrefix) {
    EXPECT_EQ(String("Speed").equals(String("SPEED")), false);

    // The prefix is skipped unread, whatever it holds; upper digits fall off.
    String s("0x1f"), stops("0x1g2"), long_("zz123456789");
    EXPECT_EQ(s.parseHexAfterPrefix(), 0x1Fu);
    EXPECT_EQ(std::string(s.getText()), "0X1F");
    EXPECT_EQ(stops.parseHexAfterPrefix(), 1u);
    EXPECT_EQ(long_.parseHexAfterPrefix(), 0x23456789u);
}

TEST(String, NumbersReadAndWrittenByCRules) {
    EXPECT_EQ(String("  -42xyz").toInt(), -42);
    // Out of range: the low 32 bits of the saturated value, never undefined behaviour.
    EXPECT_EQ(String("4294967297").toInt(), 1);
    EXPECT_EQ(String(" -0.25e1m").toFloat(), -2.5f);
    EXPECT_EQ(std::string(String(INT32_MIN).getText()), "-2147483648");
    EXPECT_EQ(String(INT32_MIN).getLength(), 11);
}
