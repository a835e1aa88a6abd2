#include <gtest/gtest.h>

#include <cstdint>

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
    EXPECT_TRUE(s.equals(String()));
    EXPECT_TRUE(s.equalsText(""));
    EXPECT_EQ(s.hash(), 0u);
    EXPECT_EQ(s.toInt(), 0);
    EXPECT_EQ(s.toFloat(), 0.0f);
    EXPECT_EQ(s.indexOf('a'), -1);
    EXPECT_EQ(s.parseHexAfterPrefix(), 0u);
    s += "again";
    EXPECT_STREQ(s.getText(), "again");

    String a("velodrix");
    String b(a);
    String c;
    c = a;
    EXPECT_NE(a.getText(), b.getText());
    EXPECT_NE(a.getText(), c.getText());
    EXPECT_TRUE(isAligned16(a.getText()));
    *a.charAt(0) = 'V';
    EXPECT_STREQ(b.getText(), "velodrix");
    EXPECT_STREQ(c.getText(), "velodrix");
    const String& alias = c;
    c = alias;
    EXPECT_STREQ(c.getText(), "velodrix");
}

TEST(String, AssigningFromItsOwnBlockReadsBeforeFreeingAndBytesKeepTheirCountedLength) {
    String s("Scripts\\sos.txt");
    s.assignText(s.getText() + 8);
    EXPECT_STREQ(s.getText(), "sos.txt");
    EXPECT_EQ(s.getLength(), 7);
    s.assignText(s.getText());
    EXPECT_STREQ(s.getText(), "sos.txt");
    s.assignBytes(s.getText(), 3);
    EXPECT_STREQ(s.getText(), "sos");
    EXPECT_EQ(s.getLength(), 3);

    s.assignBytes("ab\0cd", 5);
    EXPECT_EQ(s.getLength(), 5);
    EXPECT_STREQ(s.getText(), "ab");
    EXPECT_EQ(s.getText()[5], '\0');
    String copy(s);
    EXPECT_EQ(copy.getLength(), 5);
    EXPECT_EQ(copy.getText()[3], 'c');
    s.assignBytes(nullptr, 0);
    EXPECT_STREQ(s.getText(), "");
}

TEST(String, AppendingEmptyChangesNothingAndSelfAppendDoubles) {
    String s("ab");
    const char* before = s.getText();
    s += String();
    s += "";
    s.appendText(nullptr);
    EXPECT_EQ(s.getText(), before);
    EXPECT_EQ(s.getLength(), 2);
    s += s;
    EXPECT_STREQ(s.getText(), "abab");
    EXPECT_EQ(s.getLength(), 4);
    s.appendText(s.getText() + 2);
    EXPECT_STREQ(s.getText(), "ababab");
    EXPECT_STREQ(("<" + s + ">" + String("!")).getText(), "<ababab>!");
}

TEST(String, EqualityIsCaseSensitiveButHashIsNotAndParseHexSkipsThePrefix) {
    const String lower("Speed");
    const String upper("SPEED");
    EXPECT_FALSE(lower.equals(upper));
    EXPECT_TRUE(lower.notEquals(upper));
    EXPECT_TRUE(lower.equalsText("Speed"));
    EXPECT_EQ(lower.hash(), upper.hash());
    EXPECT_EQ(lower.hash(), 0xC1AFCBA4u);
    const IHashable& hashable = lower;
    EXPECT_EQ(hashable.hash(), 0xC1AFCBA4u);

    String s("0x1f");
    EXPECT_EQ(s.parseHexAfterPrefix(), 0x1Fu);
    EXPECT_STREQ(s.getText(), "0X1F");
    String stops("0x1g2");
    EXPECT_EQ(stops.parseHexAfterPrefix(), 1u);
    EXPECT_STREQ(stops.getText(), "0X1G2");
    String shortText("0x");
    EXPECT_EQ(shortText.parseHexAfterPrefix(), 0u);
    // The prefix is skipped unread, whatever it holds; upper digits fall off.
    String long_("zz123456789");
    EXPECT_EQ(long_.parseHexAfterPrefix(), 0x23456789u);
}

TEST(String, NumbersReadAndWrittenByCRules) {
    EXPECT_EQ(String("  -42xyz").toInt(), -42);
    EXPECT_EQ(String("+7").toInt(), 7);
    EXPECT_EQ(String("abc").toInt(), 0);
    // Out of range: the low 32 bits of the saturated value, never undefined behaviour.
    EXPECT_EQ(String("4294967297").toInt(), 1);
    EXPECT_EQ(String("1.3").toFloat(), 1.3f);
    EXPECT_EQ(String(" -0.25e1m").toFloat(), -2.5f);
    EXPECT_EQ(String("x").toFloat(), 0.0f);
    EXPECT_STREQ(String(-12).getText(), "-12");
    EXPECT_STREQ(String(0).getText(), "0");
    EXPECT_STREQ(String(INT32_MIN).getText(), "-2147483648");
    EXPECT_EQ(String(INT32_MIN).getLength(), 11);
}
