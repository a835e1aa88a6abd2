#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/string.h"

namespace {

bool isAligned16(const void* p) { return reinterpret_cast<uintptr_t>(p) % 16 == 0; }

}  // namespace

TEST(String, DefaultAndClearedStringsAreTheUsableSharedEmptyTextAndAssignmentsShareNoBlock) {
    EXPECT_EQ(String().getText(), g_szEmptyText);
    String s("12 abc");
    s.clear();
    EXPECT_EQ(s.getText(), g_szEmptyText);
    s = "again";
    EXPECT_STREQ(s.getText(), "again");

    String a("velodrix"), c;
    c = a;
    EXPECT_TRUE(isAligned16(a.getText()));
    EXPECT_NE(c.getText(), a.getText());
    const String& alias = c;
    c = alias;
    EXPECT_EQ(std::string(c.getText()), "velodrix");
}

TEST(String, AssigningFromItsOwnBlockReadsBeforeFreeingAndBytesKeepTheirCountedLength) {
    String s("Scripts\\sos.txt");
    s.assignText(s.getText() + 8);
    EXPECT_STREQ(s.getText(), "sos.txt");
    s.assignBytes(s.getText(), 3);
    EXPECT_EQ(std::string(s.getText()), "sos");
    s.assignBytes("ab\0cd", 5);
    String copy;
    copy = s;
    EXPECT_EQ(std::string(s.getText(), 6), std::string("ab\0cd\0", 6));
    EXPECT_EQ(s.getLength(), 5);
    EXPECT_EQ(copy.getText()[3], 'c');
}

TEST(String, EqualityIsCaseSensitiveAndParseHexSkipsThePrefix) {
    EXPECT_FALSE(String("Speed").equalsText("SPEED"));

    // The prefix is skipped unread, whatever it holds; upper digits fall off.
    String s("0x1f"), stops("0x1g2"), long_("zz123456789");
    EXPECT_EQ(s.parseHexAfterPrefix(), 0x1Fu);
    EXPECT_EQ(std::string(s.getText()), "0X1F");
    EXPECT_EQ(stops.parseHexAfterPrefix(), 1u);
    EXPECT_EQ(long_.parseHexAfterPrefix(), 0x23456789u);
}

TEST(String, NumbersReadByCRules) {
    EXPECT_EQ(String("  -42xyz").toInt(), -42);
    // Out of range: the low 32 bits of the saturated value, never undefined behaviour.
    EXPECT_EQ(String("4294967297").toInt(), 1);
    EXPECT_EQ(String(" -0.25e1m").toFloat(), -2.5f);
}
