#include "core/string_helpers.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

// A destination of `Capacity` units followed by guard units that a bounded helper must never
// touch, checked when it goes. The destination itself starts filled with a marker, so stale units
// show too.
template <typename T, u32 Capacity>
struct SGuardedBuffer {
    static constexpr u32 GUARD_UNITS = 16;
    static constexpr T MARKER = T(0x5A);
    static constexpr T GUARD = T(0x7E);

    SGuardedBuffer() {
        units.fill(GUARD);
        for (u32 i = 0; i < Capacity; ++i) units[i] = MARKER;
    }
    ~SGuardedBuffer() {
        for (u32 i = Capacity; i < Capacity + GUARD_UNITS; ++i) EXPECT_EQ(units[i], GUARD) << "unit " << i;
    }
    T* data() { return units.data(); }
    std::basic_string<T> text() const { return units.data(); }

    std::array<T, Capacity + GUARD_UNITS> units;
};

constexpr char16_t GRINNING_HIGH = 0xD83D;  // U+1F600 as a surrogate pair
constexpr char16_t GRINNING_LOW = 0xDE00;

// ---------------------------------------------------------------------------------------------
// Comparison and search

TEST(StringCompare, NarrowAndWideCompareUnsignedAndGiveOnlyMinusOneZeroOrOne) {
    EXPECT_EQ(strCompare("abc", "abc"), 0);
    EXPECT_EQ(strCompare("a", "z"), -1);
    EXPECT_EQ(strCompare("\x80", "a"), 1) << "bytes compare as unsigned";
    EXPECT_EQ(strCompare("ab", "a"), 1);
    EXPECT_EQ(wstrCompare(u"abc", u"abc"), 0);
    EXPECT_EQ(wstrCompare(u"a", u"z"), -1);
    const char16_t high[] = {0xE000, 0};
    EXPECT_EQ(wstrCompare(high, u"a"), 1) << "units compare as unsigned";
    EXPECT_EQ(wstrCompare(u"a", u"ab"), -1);
}

TEST(StringCompare, WideNoCaseGivesTheFoldedDifferenceAndMinusOneForNull) {
    EXPECT_LT(wstrCompareNoCase(u"ABC", u"abd"), 0);
    EXPECT_EQ(wstrCompareNoCase(u"ABC", u"abd"), s32(u'c') - s32(u'd'));
    EXPECT_EQ(wstrCompareNoCase(u"a", u"Z"), s32(u'a') - s32(u'z'));
    EXPECT_EQ(wstrCompareNoCase(u"Speed", u"SPEED"), 0);
    EXPECT_EQ(wstrCompareNoCase(nullptr, u"abc"), -1);
    EXPECT_EQ(wstrCompareNoCase(u"abc", nullptr), -1);
    EXPECT_EQ(wstrCompareNoCase(nullptr, nullptr), -1);
    // Only A-Z fold.
    EXPECT_NE(wstrCompareNoCase(u"[", u"{"), 0);
    EXPECT_NE(wstrCompareNoCase(u"\u00C9", u"\u00E9"), 0);
}

TEST(StringCompare, NarrowNoCaseFoldsAsciiLettersAndAgainstWideWidensEachByte) {
    EXPECT_EQ(strCompareNoCaseWithWide("abc", u"ABC"), 0);
    EXPECT_EQ(wstrCompareNoCaseWithNarrow(u"..", ".."), 0);
    EXPECT_EQ(wstrCompareNoCaseWithNarrow(u"\u00E9", "\xE9"), 0) << "byte 0xE9 widens to U+00E9";
    EXPECT_EQ(strCompareNoCaseWithWide("abc", u"abd"), s32(u'c') - s32(u'd'));
    EXPECT_EQ(wstrCompareNoCaseWithNarrow(u"abd", "abc"), s32(u'd') - s32(u'c'));
    EXPECT_EQ(strCompareNoCaseWithWide(nullptr, u"a"), -1);
    EXPECT_EQ(wstrCompareNoCaseWithNarrow(nullptr, "a"), -1);

    EXPECT_EQ(strCompareNoCase("Scripts\\PlayBalance.txt", "SCRIPTS\\playbalance.TXT"), 0);
    EXPECT_LT(strCompareNoCase("apple", "BANANA"), 0);
    EXPECT_GT(strCompareNoCase("b", "A"), 0);
    EXPECT_NE(strCompareNoCase("\xC9", "\xE9"), 0);

    // A long narrow text never equals its widened prefix.
    const std::string longText(WIDEN_TEXT_LIMIT + 10, 'x');
    const std::u16string prefix(WIDEN_TEXT_LIMIT, u'x');
    EXPECT_GT(strCompareNoCaseWithWide(longText.c_str(), prefix.c_str()), 0);
    EXPECT_LT(wstrCompareNoCaseWithNarrow(prefix.c_str(), longText.c_str()), 0);
}

TEST(StringFind, FindGivesTheFirstOccurrenceAndLastCharTheFinalOne) {
    const char16_t* text = u"Music\\Album\\Album\\track.ogg";
    EXPECT_EQ(wstrFind(text, u"Album"), text + 6);
    EXPECT_EQ(wstrFind(text, u""), text);
    EXPECT_EQ(wstrFind(text, u"album"), nullptr);
    EXPECT_EQ(wstrFind(u"ab", u"abc"), nullptr);
    EXPECT_STREQ(strFind("key value", "val"), "value");
    const char16_t* path = u"C:\\Music\\song.mp3";
    EXPECT_EQ(wstrFindLastChar(path, u'\\'), path + 8);
    EXPECT_EQ(wstrFindLastChar(u"song.mp3", u'\\'), nullptr);
    EXPECT_EQ(wstrFindLastChar(u"", u'\\'), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Bounded copies

TEST(StringCopyN, AlwaysTerminatesAndPadsWithinTheBoundAndZeroCapacityWritesNothing) {
    SGuardedBuffer<char, 8> buffer;
    EXPECT_EQ(strCopyN(buffer.data(), "abcdefghijk", 8), E_TEXTCOPY_TRUNCATED);
    EXPECT_STREQ(buffer.data(), "abcdefg");

    SGuardedBuffer<char, 8> exact;
    EXPECT_EQ(strCopyN(exact.data(), "abcdefg", 8), E_TEXTCOPY_COMPLETE);
    EXPECT_STREQ(exact.data(), "abcdefg");

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

TEST(StringCopyN, WideCopyTerminatesAndNeverSplitsASurrogatePair) {
    const char16_t text[] = {u'a', u'b', GRINNING_HIGH, GRINNING_LOW, u'c', 0};

    SGuardedBuffer<char16_t, 3> cut;  // room for "ab" and the high half only
    EXPECT_EQ(wstrCopyN(cut.data(), text, 3), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(cut.text(), u"ab");
    EXPECT_EQ(cut.units[2], 0);

    SGuardedBuffer<char16_t, 4> cutBeforeLow;  // the pair would end exactly at the terminator
    EXPECT_EQ(wstrCopyN(cutBeforeLow.data(), text, 4), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(cutBeforeLow.text(), u"ab");
    EXPECT_EQ(cutBeforeLow.units[3], 0) << "padded after the shortened text";

    SGuardedBuffer<char16_t, 5> whole;
    EXPECT_EQ(wstrCopyN(whole.data(), text, 5), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(whole.units[2], GRINNING_HIGH);
    EXPECT_EQ(whole.units[3], GRINNING_LOW);
    EXPECT_EQ(whole.units[4], 0);

    // An unpaired surrogate is copied as a plain unit.
    const char16_t unpaired[] = {u'a', GRINNING_HIGH, u'b', 0};
    SGuardedBuffer<char16_t, 3> lone;
    EXPECT_EQ(wstrCopyN(lone.data(), unpaired, 3), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(lone.units[1], GRINNING_HIGH);
    EXPECT_EQ(lone.units[2], 0);
}

// ---------------------------------------------------------------------------------------------
// Bounded appends

TEST(StringAppendN, StopsAtTheCapacityAndCutsAnUnterminatedDestinationInsideIt) {
    SGuardedBuffer<char, 8> buffer;
    strCopyN(buffer.data(), "abc", 8);
    EXPECT_EQ(strAppendN(buffer.data(), "de", 8), E_TEXTCOPY_COMPLETE);
    EXPECT_STREQ(buffer.data(), "abcde");
    EXPECT_EQ(strAppendN(buffer.data(), "fghij", 8), E_TEXTCOPY_TRUNCATED);
    EXPECT_STREQ(buffer.data(), "abcdefg");
    EXPECT_EQ(strAppendN(buffer.data(), "x", 8), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(strAppendN(buffer.data(), "", 8), E_TEXTCOPY_COMPLETE);
    EXPECT_STREQ(buffer.data(), "abcdefg");

    SGuardedBuffer<char, 6> unterminated;  // all marker units, no terminator
    EXPECT_EQ(strAppendN(unterminated.data(), "a", 6), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(unterminated.units[5], 0);
    EXPECT_EQ(strLength(unterminated.data()), 5u);

    SGuardedBuffer<char16_t, 6> wide;
    EXPECT_EQ(wstrAppendN(wide.data(), u"a", 6), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(wstrLength(wide.data()), 5u);
}

TEST(StringAppendN, WideAppendLeavesNoHalfPairAndWidensNarrowTextWithinTheBound) {
    SGuardedBuffer<char16_t, 4> buffer;
    wstrCopyN(buffer.data(), u"ab", 4);
    const char16_t pair[] = {GRINNING_HIGH, GRINNING_LOW, 0};
    EXPECT_EQ(wstrAppendN(buffer.data(), pair, 4), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(buffer.text(), u"ab");

    SGuardedBuffer<char16_t, 5> roomy;
    wstrCopyN(roomy.data(), u"ab", 5);
    EXPECT_EQ(wstrAppendN(roomy.data(), pair, 5), E_TEXTCOPY_COMPLETE);
    EXPECT_EQ(wstrLength(roomy.data()), 4u);

    SGuardedBuffer<char16_t, 6> path;
    wstrCopyN(path.data(), u"C:", 6);
    EXPECT_EQ(wstrAppendNarrowN(path.data(), "\\\xE9t\xE9", 6), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(path.text(), u"C:\\\u00E9t");
}

TEST(StringAppend, UnboundedFormsJoinWholeTexts) {
    char narrow[32] = "Lang\\";
    strAppend(narrow, "eng\\");
    EXPECT_STREQ(narrow, "Lang\\eng\\");
    char16_t wide[32] = u"Music";
    wstrAppend(wide, u"\\");
    wstrAppendNarrow(wide, "a\xE9.ogg");
    EXPECT_EQ(std::u16string(wide), u"Music\\a\u00E9.ogg");
}

// ---------------------------------------------------------------------------------------------
// Joining an optional first part

TEST(StringJoin, AnEmptyDestinationTakesOnlyTheWideTextAndBoundedJoinsKeepTheCapacity) {
    SGuardedBuffer<char16_t, 12> buffer;
    wstrCopyN(buffer.data(), u"Artist", 12);
    EXPECT_EQ(wstrJoinNarrowThenWideN(buffer.data(), " - ", u"Title", 12), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(buffer.text(), u"Artist - Ti");

    SGuardedBuffer<char16_t, 12> empty;
    wstrCopyN(empty.data(), u"", 12);
    EXPECT_EQ(wstrJoinNarrowThenWideN(empty.data(), " - ", u"Title", 12), E_TEXTCOPY_COMPLETE);
    EXPECT_EQ(empty.text(), u"Title");

    SGuardedBuffer<char16_t, 8> fullAfterSeparator;
    wstrCopyN(fullAfterSeparator.data(), u"Artist", 8);
    EXPECT_EQ(wstrJoinNarrowThenWideN(fullAfterSeparator.data(), " - ", u"T", 8), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(fullAfterSeparator.text(), u"Artist ");
    char16_t dest[32] = u"";
    wstrJoinNarrowThenWide(dest, " - ", u"Title");
    EXPECT_EQ(std::u16string(dest), u"Title");

    char16_t withArtist[32] = u"Artist";
    wstrJoinNarrowThenWide(withArtist, " - ", u"Title");
    EXPECT_EQ(std::u16string(withArtist), u"Artist - Title");
}

TEST(StringJoin, NarrowPartIsLimitedToOnePathBuffer) {
    const std::string longSeparator(PATH_BUFFER_LENGTH + 50, '-');
    std::u16string dest(2 * PATH_BUFFER_LENGTH + 16, u'\0');
    dest[0] = u'A';
    wstrJoinNarrowThenWide(dest.data(), longSeparator.c_str(), u"T");
    EXPECT_EQ(wstrLength(dest.c_str()), 1 + (PATH_BUFFER_LENGTH - 1) + 1);
    EXPECT_EQ(dest[PATH_BUFFER_LENGTH], u'T');

    std::u16string bounded(2 * PATH_BUFFER_LENGTH + 16, u'\0');
    bounded[0] = u'A';
    EXPECT_EQ(wstrJoinNarrowThenWideN(bounded.data(), longSeparator.c_str(), u"T", u32(bounded.size())),
              E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(std::u16string(bounded.c_str()), std::u16string(dest.c_str()));
}

// ---------------------------------------------------------------------------------------------
// Conversion

// A unit above 255 becomes '_', a pair two of them or none when both do not fit.
TEST(StringConvert, NarrowingWritesUnderscoresAndKeepsTheLastByteATerminator) {
    SGuardedBuffer<char, 16> buffer;
    EXPECT_EQ(wstrToNarrowN(buffer.data(), u"a\u00FF\u0100\u4E2Dz", 16), E_TEXTCOPY_COMPLETE);
    EXPECT_STREQ(buffer.data(), "a\xFF__z");

    const char16_t text[] = {u'a', GRINNING_HIGH, GRINNING_LOW, u'b', 0};
    EXPECT_EQ(wstrToNarrowN(buffer.data(), text, 16), E_TEXTCOPY_COMPLETE);
    EXPECT_STREQ(buffer.data(), "a__b");
    SGuardedBuffer<char, 3> cut;
    EXPECT_EQ(wstrToNarrowN(cut.data(), text, 3), E_TEXTCOPY_TRUNCATED);
    EXPECT_STREQ(cut.data(), "a");

    SGuardedBuffer<char, 64> full;
    EXPECT_EQ(wstrToNarrowN(full.data(), std::u16string(200, u'n').c_str(), 64), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(strLength(full.data()), 63u);
}

TEST(StringConvert, WideningMapsEachByteToTheSameValueAndLowerCopyLowersOnlyAsciiLetters) {
    SGuardedBuffer<char16_t, 5> buffer;
    EXPECT_EQ(strToWideN(buffer.data(), "a\x80\xFFz", 5), E_TEXTCOPY_COMPLETE);
    const char16_t expected[] = {u'a', 0x80, 0xFF, u'z', 0};
    EXPECT_EQ(buffer.text(), std::u16string(expected));

    SGuardedBuffer<char16_t, 3> cut;
    EXPECT_EQ(strToWideN(cut.data(), "abcdef", 3), E_TEXTCOPY_TRUNCATED);
    EXPECT_EQ(cut.text(), u"ab");

    SGuardedBuffer<char, 16> lowered;
    EXPECT_EQ(strToLowerCopyN(lowered.data(), ".MP3 \xC9[Z]", 16), E_TEXTCOPY_COMPLETE);
    EXPECT_STREQ(lowered.data(), ".mp3 \xC9[z]");
    EXPECT_EQ(strToLowerCopyN(lowered.data(), "ABCDEFGHIJKLMNOPQRS", 16), E_TEXTCOPY_TRUNCATED);
    EXPECT_STREQ(lowered.data(), "abcdefghijklmno");
    char plain[8];
    strToLowerCopy(plain, "WAV");
    EXPECT_STREQ(plain, "wav");
}

TEST(StringConvert, UnboundedConversionsRoundTripLatin1AndWidenAtMostTheLimit) {
    char16_t wide[16];
    strToWide(wide, "caf\xE9");
    EXPECT_EQ(std::u16string(wide), u"caf\u00E9");
    char narrow[16];
    wstrToNarrow(narrow, wide);
    EXPECT_STREQ(narrow, "caf\xE9");

    const std::string text(WIDEN_TEXT_LIMIT + 100, 'w');
    std::u16string dest(WIDEN_TEXT_LIMIT + 200, u'#');
    wstrFromNarrow(dest.data(), text.c_str());
    EXPECT_EQ(wstrLength(dest.c_str()), WIDEN_TEXT_LIMIT);
}

// ---------------------------------------------------------------------------------------------
// Trimming

TEST(StringTrim, RemovesLeadingAndTrailingWhiteSpaceAndMayLeaveNothing) {
    SGuardedBuffer<char16_t, 16> buffer;
    EXPECT_EQ(wstrTrimCopy(buffer.data(), u" \t\r\n Title  \v\f", 16), 5u);
    EXPECT_EQ(buffer.text(), u"Title");
    EXPECT_EQ(wstrTrimCopy(buffer.data(), u"a b", 16), 3u);
    EXPECT_EQ(buffer.text(), u"a b");
    // Only white space gives an empty text of length 0.
    EXPECT_EQ(wstrTrimCopy(buffer.data(), u" \t \n", 16), 0u);
    EXPECT_EQ(buffer.units[0], 0);
    EXPECT_EQ(wstrTrimCopy(buffer.data(), u"", 16), 0u);
    EXPECT_EQ(buffer.units[0], 0);
}

TEST(StringTrim, UnitsOutsideTheCWhiteSpaceSetStayAndCutsNeverSplitAPair) {
    SGuardedBuffer<char16_t, 16> buffer;
    // U+3000, U+00A0 and U+0085 are white space in Unicode but not in the "C" locale.
    const char16_t text[] = {0x0100, u' ', 0x3000, 0x00A0, 0x0085, 0};
    EXPECT_EQ(wstrTrimCopy(buffer.data(), text, 16), 5u);
    EXPECT_EQ(buffer.units[0], 0x0100);
    EXPECT_EQ(buffer.units[4], 0x0085);
    // Their low bytes are a tab and a space.
    const char16_t edgeOfRange[] = {0x0109, u'x', 0x0120, 0};
    EXPECT_EQ(wstrTrimCopy(buffer.data(), edgeOfRange, 16), 3u);

    const char16_t paired[] = {u' ', u'a', u'b', GRINNING_HIGH, GRINNING_LOW, u' ', 0};
    SGuardedBuffer<char16_t, 4> cut;
    EXPECT_EQ(wstrTrimCopy(cut.data(), paired, 4), 2u);
    EXPECT_EQ(cut.text(), u"ab");
    SGuardedBuffer<char16_t, 5> whole;
    EXPECT_EQ(wstrTrimCopy(whole.data(), paired, 5), 4u);
    EXPECT_EQ(whole.units[3], GRINNING_LOW);
}

// ---------------------------------------------------------------------------------------------
// String array and splitting

TEST(StringSplit, EmptyTokensAreSkippedAndASecondSplitStartsAfresh) {
    ClStringArray tokens;
    splitString(",a,,b,", &tokens, ",");
    ASSERT_EQ(tokens.getCount(), 2u);
    EXPECT_STREQ(tokens[0].getText(), "a");
    EXPECT_STREQ(tokens[1].getText(), "b");
    EXPECT_EQ(tokens.getCapacity(), STRING_ARRAY_INITIAL_CAPACITY);
    // A second split resets the array, and any of the delimiters cuts.
    splitString("x;y z", &tokens, "; ");
    ASSERT_EQ(tokens.getCount(), 3u);
    EXPECT_STREQ(tokens[0].getText(), "x");
    EXPECT_STREQ(tokens[2].getText(), "z");
    splitString(nullptr, &tokens, " ");
    EXPECT_EQ(tokens.getCount(), 0u);
    splitString(",,,", &tokens, ",");
    EXPECT_EQ(tokens.getCount(), 0u);
}

TEST(StringSplit, ManyTokensGrowTheArray) {
    std::string text;
    for (int i = 0; i < 40; ++i) text += "t" + std::to_string(i) + ",";
    ClStringArray tokens;
    splitString(text.c_str(), &tokens, ",");
    ASSERT_EQ(tokens.getCount(), 40u);
    EXPECT_STREQ(tokens[39].getText(), "t39");
    EXPECT_EQ(tokens.getCapacity(), 64u);
}

TEST(StringArray, EighthPushGrowsTheCursorKeepsItsIndexAndOwnElementsSurviveGrowth) {
    ClStringArray array;
    array.init(8);
    for (int i = 0; i < 7; ++i) array.push(String(i));
    EXPECT_EQ(array.getCapacity(), 8u);
    array.setCursor(&array[3]);
    EXPECT_EQ(array.push(String("eighth")), 8u);
    EXPECT_EQ(array.getCapacity(), 16u);
    EXPECT_EQ(array.getCursor(), &array[3]);
    EXPECT_STREQ(array.getCursor()->getText(), "3");
    EXPECT_EQ(array.getLast(), &array[7]);
    EXPECT_STREQ(array[7].getText(), "eighth");

    ClStringArray small;
    small.init(2);
    small.push(String("first"));
    small.push(small[0]);  // grows: the source moves with the block
    small.push(small[1]);
    ASSERT_EQ(small.getCount(), 3u);
    EXPECT_STREQ(small[2].getText(), "first");
}

TEST(StringArray, ZeroCapacityAndPushWithoutInitStillWork) {
    ClStringArray zero;
    zero.init(0);
    zero.push(String("a"));
    EXPECT_STREQ(zero[0].getText(), "a");
    ClStringArray fresh;
    fresh.push(String("b"));
    EXPECT_EQ(fresh.getCapacity(), STRING_ARRAY_INITIAL_CAPACITY);
    EXPECT_EQ(fresh.getCursor(), &fresh[0]);
    fresh.release();
    EXPECT_FALSE(fresh.isInUse());
    EXPECT_EQ(fresh.getCount(), 0u);
}

}  // namespace
