#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/string.h"

TEST(String, DefaultAndClearedStringsAreTheUsableSharedEmptyTextAndAssignmentsShareNoBlock) {
    EXPECT_EQ(String().getText(), g_szEmptyText);
    String s("12 abc");
    s.clear();
    EXPECT_EQ(s.getText(), g_szEmptyText);
    s = "again";
    EXPECT_STREQ(s.getText(), "again");

    String a("velodrix"), c;
    c = a;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a.getText()) % 16, 0u);
    EXPECT_NE(c.getText(), a.getText());
    const String& alias = c;
    c = alias;
    EXPECT_EQ(std::string(c.getText()), "velodrix");
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
