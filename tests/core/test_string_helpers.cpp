#include "core/string_helpers.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

// A destination of `Capacity` units followed by guard units that a bounded helper must never
// touch, checked when it goes. The destination starts filled with a marker, so stale units show.
template <typename T, u32 Capacity>
struct SGuardedBuffer {
    static constexpr u32 GUARD_UNITS = 16;
    SGuardedBuffer() {
        units.fill(T(0x7E));
        for (u32 i = 0; i < Capacity; ++i) units[i] = T(0x5A);
    }
    ~SGuardedBuffer() {
        for (u32 i = Capacity; i < Capacity + GUARD_UNITS; ++i) EXPECT_EQ(units[i], T(0x7E)) << "unit " << i;
    }
    T* data() { return units.data(); }
    std::basic_string<T> text() const { return units.data(); }

    std::array<T, Capacity + GUARD_UNITS> units;
};

constexpr char16_t GRINNING_HIGH = 0xD83D;  // U+1F600 as a surrogate pair
constexpr char16_t GRINNING_LOW = 0xDE00;

TEST(StringCompare, UnsignedCFoldingAndNoLengthLimit) {
    EXPECT_EQ(strCompare("\x80", "a"), 1) << "bytes compare as unsigned";
    const char16_t high[] = {0xE000, 0};
    EXPECT_EQ(wstrCompare(high, u"a"), 1) << "units compare as unsigned";
    EXPECT_EQ(wstrCompare(u"a", u"ab"), -1);
    EXPECT_EQ(wstrCompareNoCase(u"ABC", u"abd"), s32(u'c') - s32(u'd'));
    EXPECT_EQ(wstrCompareNoCase(nullptr, u"abc"), -1);
    EXPECT_NE(wstrCompareNoCase(u"\u00C9", u"\u00E9"), 0) << "only A-Z fold";
    EXPECT_EQ(strCompareNoCase("Scripts\\PlayBalance.txt", "SCRIPTS\\playbalance.TXT"), 0);
    EXPECT_NE(strCompareNoCase("\xC9", "\xE9"), 0);
    EXPECT_EQ(wstrCompareNoCaseWithNarrow(u"\u00E9", "\xE9"), 0) << "byte 0xE9 widens to U+00E9";
    EXPECT_EQ(strCompareNoCaseWithWide(nullptr, u"a"), -1);

    // A long narrow text never equals its widened prefix.
    const std::string longText(WIDEN_TEXT_LIMIT + 10, 'x');
    const std::u16string prefix(WIDEN_TEXT_LIMIT, u'x');
    EXPECT_GT(strCompareNoCaseWithWide(longText.c_str(), prefix.c_str()), 0);
    EXPECT_LT(wstrCompareNoCaseWithNarrow(prefix.c_str(), longText.c_str()), 0);
}

TEST(StringFind, FirstOccurrenceAndLastChar) {
    const char16_t* text = u"Music\\Album\\Album\\track.ogg";
    EXPECT_EQ(wstrFind(text, u"Album"), text + 6);
    EXPECT_EQ(wstrFind(u"ab", u"abc"), nullptr);
    EXPECT_EQ(wstrFindLastChar(text, u'\\'), text + 17);
    EXPECT_EQ(wstrFindLastChar(u"", u'\\'), nullptr);
}

TEST(StringCopyN, AlwaysTerminatesWithinTheBoundAndZeroCapacityWritesNothing) {
    SGuardedBuffer<char, 8> buffer;
    EXPECT_EQ(strCopyN(buffer.data(), "abcdefghijk", 8), E_TEXTCOPY_TRUNCATED);
    EXPECT_STREQ(buffer.data(), "abcdefg");
    SGuardedBuffer<char, 8> padded;
    EXPECT_EQ(strCopyN(padded.data(), "ab", 8), E_TEXTCOPY_COMPLETE);
    for (u32 i = 2; i < 8; ++i) EXPECT_EQ(padded.units[i], 0) << "unit " << i;

    SGuardedBuffer<char, 0> narrow;
    EXPECT_EQ(strCopyN(narrow.data(), "a", 0), E_TEXTCOPY_TRUNCATED);
    SGuardedBuffer<char16_t, 0> wide;
    EXPECT_EQ(wstrCopyN(wide.data(), u"a", 0), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(strToWideN(wide.data(), "a", 0), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(wstrAppendN(wide.data(), u"a", 0), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(wstrTrimCopy(wide.data(), u"a", 0), 0u);
}

TEST(StringCopyN, WideCopyNeverSplitsASurrogatePair) {
    const char16_t text[] = {u'a', u'b', GRINNING_HIGH, GRINNING_LOW, u'c', 0};
    SGuardedBuffer<char16_t, 4> cutBeforeLow;  // the pair would end exactly at the terminator
    EXPECT_EQ(wstrCopyN(cutBeforeLow.data(), text, 4), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(cutBeforeLow.text(), u"ab");
    EXPECT_EQ(cutBeforeLow.units[3], 0) << "padded after the shortened text";

    SGuardedBuffer<char16_t, 5> whole;
    EXPECT_EQ(wstrCopyN(whole.data(), text, 5), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(whole.units[3], GRINNING_LOW);
    EXPECT_EQ(whole.units[4], 0);

    const char16_t unpaired[] = {u'a', GRINNING_HIGH, u'b', 0};
    SGuardedBuffer<char16_t, 3> lone;
    EXPECT_EQ(wstrCopyN(lone.data(), unpaired, 3), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(lone.units[1], GRINNING_HIGH) << "an unpaired surrogate is a plain unit";
}

TEST(StringAppendN, StopsAtTheCapacityEvenForAnUnterminatedDestinationAndLeavesNoHalfPair) {
    SGuardedBuffer<char, 8> buffer;
    strCopyN(buffer.data(), "abc", 8);
    EXPECT_EQ(strAppendN(buffer.data(), "fghij", 8), E_TEXTCOPY_TRUNCATED);
    EXPECT_STREQ(buffer.data(), "abcfghi");

    SGuardedBuffer<char, 6> unterminated;
    EXPECT_EQ(strAppendN(unterminated.data(), "a", 6), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(strLength(unterminated.data()), 5u);

    SGuardedBuffer<char16_t, 4> wide;
    wstrCopyN(wide.data(), u"ab", 4);
    const char16_t pair[] = {GRINNING_HIGH, GRINNING_LOW, 0};
    EXPECT_EQ(wstrAppendN(wide.data(), pair, 4), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(wide.text(), u"ab");

    SGuardedBuffer<char16_t, 6> path;
    wstrCopyN(path.data(), u"C:", 6);
    EXPECT_EQ(wstrAppendNarrowN(path.data(), "\\\xE9t\xE9", 6), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(path.text(), u"C:\\\u00E9t");
}

TEST(StringJoin, AnEmptyDestinationTakesOnlyTheWideTextAndTheNarrowPartIsOnePathBufferAtMost) {
    SGuardedBuffer<char16_t, 12> buffer;
    wstrCopyN(buffer.data(), u"Artist", 12);
    EXPECT_EQ(wstrJoinNarrowThenWideN(buffer.data(), " - ", u"Title", 12), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(buffer.text(), u"Artist - Ti");
    char16_t dest[32] = u"";
    wstrJoinNarrowThenWide(dest, " - ", u"Title");
    EXPECT_EQ(std::u16string(dest), u"Title");

    const std::string longSeparator(PATH_BUFFER_LENGTH + 50, '-');
    std::u16string joined(2 * PATH_BUFFER_LENGTH + 16, u'\0');
    joined[0] = u'A';
    wstrJoinNarrowThenWide(joined.data(), longSeparator.c_str(), u"T");
    EXPECT_EQ(wstrLength(joined.c_str()), 1 + (PATH_BUFFER_LENGTH - 1) + 1);
    EXPECT_EQ(joined[PATH_BUFFER_LENGTH], u'T');
}

TEST(StringConvert, NarrowingWritesUnderscoresWideningKeepsByteValuesLoweringOnlyAscii) {
    SGuardedBuffer<char, 16> narrow;
    EXPECT_EQ(wstrToNarrowN(narrow.data(), u"a\u00FF\u0100\u4E2Dz", 16), E_TEXTCOPY_COMPLETE);
    EXPECT_STREQ(narrow.data(), "a\xFF__z");
    const char16_t paired[] = {u'a', GRINNING_HIGH, GRINNING_LOW, u'b', 0};
    SGuardedBuffer<char, 3> cut;
    EXPECT_EQ(wstrToNarrowN(cut.data(), paired, 3), E_TEXTCOPY_TRUNCATED);
    EXPECT_STREQ(cut.data(), "a") << "a pair becomes two underscores or none";

    SGuardedBuffer<char16_t, 5> wide;
    EXPECT_EQ(strToWideN(wide.data(), "a\x80\xFFz", 5), E_TEXTCOPY_COMPLETE);
    const char16_t expected[] = {u'a', 0x80, 0xFF, u'z', 0};
    EXPECT_EQ(wide.text(), std::u16string(expected));

    SGuardedBuffer<char, 16> lowered;
    EXPECT_EQ(strToLowerCopyN(lowered.data(), ".MP3 \xC9[Z]", 16), E_TEXTCOPY_COMPLETE);
    EXPECT_STREQ(lowered.data(), ".mp3 \xC9[z]");

    const std::string text(WIDEN_TEXT_LIMIT + 100, 'w');
    std::u16string dest(WIDEN_TEXT_LIMIT + 200, u'#');
    wstrFromNarrow(dest.data(), text.c_str());
    EXPECT_EQ(wstrLength(dest.c_str()), WIDEN_TEXT_LIMIT);
}

TEST(StringTrim, WhiteSpaceOnlyGivesZeroUnitsAbove255StayAndCutsNeverSplitAPair) {
    SGuardedBuffer<char16_t, 16> buffer;
    EXPECT_EQ(wstrTrimCopy(buffer.data(), u" \t\r\n Title  \v\f", 16), 5u);
    EXPECT_EQ(buffer.text(), u"Title");
    EXPECT_EQ(wstrTrimCopy(buffer.data(), u" \t \n", 16), 0u);
    EXPECT_EQ(buffer.units[0], 0);
    // U+3000, U+00A0 and U+0085 are white space in Unicode but not in the "C" locale; the low
    // bytes of U+0109 and U+0120 are a tab and a space.
    const char16_t text[] = {0x0109, u' ', 0x3000, 0x00A0, 0x0085, 0x0120, 0};
    EXPECT_EQ(wstrTrimCopy(buffer.data(), text, 16), 6u);

    const char16_t paired[] = {u' ', u'a', u'b', GRINNING_HIGH, GRINNING_LOW, u' ', 0};
    SGuardedBuffer<char16_t, 4> cut;
    EXPECT_EQ(wstrTrimCopy(cut.data(), paired, 4), 2u);
    EXPECT_EQ(cut.text(), u"ab");
}

TEST(StringSplit, EmptyTokensAreSkippedASecondSplitStartsAfreshAndManyGrowTheArray) {
    ClStringArray tokens;
    splitString(",a,,b,", &tokens, ",");
    ASSERT_EQ(tokens.getCount(), 2u);
    EXPECT_STREQ(tokens[1].getText(), "b");
    splitString("x;y z", &tokens, "; ");
    ASSERT_EQ(tokens.getCount(), 3u);
    EXPECT_STREQ(tokens[2].getText(), "z");
    splitString(nullptr, &tokens, " ");
    EXPECT_EQ(tokens.getCount(), 0u);

    std::string text;
    for (int i = 0; i < 40; ++i) text += "t" + std::to_string(i) + ",";
    splitString(text.c_str(), &tokens, ",");
    ASSERT_EQ(tokens.getCount(), 40u);
    EXPECT_STREQ(tokens[39].getText(), "t39");
}

TEST(StringArray, EighthPushGrowsKeepingTheCursorAndOwnElementsSurviveGrowth) {
    ClStringArray array;
    array.init(8);
    for (int i = 0; i < 7; ++i) array.push(String(i));
    array.setCursor(&array[3]);
    EXPECT_EQ(array.push(String("eighth")), 8u);
    EXPECT_EQ(array.getCapacity(), 16u);
    EXPECT_STREQ(array.getCursor()->getText(), "3");

    ClStringArray small;
    small.init(0);
    small.push(String("first"));
    small.push(small[0]);  // grows: the source moves with the block
    small.push(small[1]);
    ASSERT_EQ(small.getCount(), 3u);
    EXPECT_STREQ(small[2].getText(), "first");
}

}  // namespace
