#include "core/string_helpers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <type_traits>

namespace {

// A destination of `Capacity` units followed by guard units that a bounded helper must never
// touch, checked when it goes. The destination starts filled with 'Z', so stale units show.
template <typename T, u32 Capacity>
struct SGuardedBuffer {
    static constexpr u32 GUARD_UNITS = 16;
    SGuardedBuffer() {
        units.fill(T(0x7E));
        for (u32 i = 0; i < Capacity; ++i) units[i] = T('Z');
    }
    ~SGuardedBuffer() {
        for (u32 i = Capacity; i < Capacity + GUARD_UNITS; ++i) EXPECT_EQ(units[i], T(0x7E)) << "unit " << i;
    }
    T* data() { return units.data(); }

    std::array<T, Capacity + GUARD_UNITS> units;
};

// What `fill(destination, source, Capacity)` returns and every unit of a guarded destination that
// first holds `before` (else only 'Z' units, no terminator), as one text "result:units": a
// terminator shows as '|', a unit outside printable ASCII as <hex>.
template <typename T, u32 Capacity, typename Source, typename Result>
std::string filled(Result (*fill)(T*, Source, u32), std::type_identity_t<Source> source, const char* before = "") {
    SGuardedBuffer<T, Capacity> buffer;
    for (u32 i = 0; *before && (i == 0 || before[i - 1]); ++i) buffer.units[i] = T(before[i]);
    std::string out = std::to_string(u32(fill(buffer.data(), source, Capacity))) + ":";
    for (u32 i = 0; i < Capacity; ++i) {
        const u32 unit = std::make_unsigned_t<T>(buffer.units[i]);
        char hex[12];
        std::snprintf(hex, sizeof hex, "<%X>", unit);
        out += unit == 0 ? "|" : unit >= 0x20 && unit < 0x7F ? std::string(1, char(unit)) : std::string(hex);
    }
    return out;
}

TEST(StringCompare, UnsignedCFoldingAndNoLengthLimit) {
    const char16_t high[] = {0xE000, 0};
    // A long narrow text never equals its widened prefix.
    const std::string longText(WIDEN_TEXT_LIMIT + 10, 'x');
    const std::u16string prefix(WIDEN_TEXT_LIMIT, u'x');
    // Bytes and units compare as unsigned; only A-Z fold; byte 0xE9 widens to U+00E9.
    EXPECT_EQ(strCompare("\x80", "a"), 1);
    EXPECT_EQ(wstrCompare(high, u"a"), 1);
    EXPECT_EQ(wstrCompare(u"a", u"ab"), -1);
    EXPECT_EQ(wstrCompareNoCase(u"ABC", u"abd"), s32(u'c') - s32(u'd'));
    EXPECT_EQ(wstrCompareNoCase(nullptr, u"abc"), -1);
    EXPECT_NE(wstrCompareNoCase(u"\u00C9", u"\u00E9"), 0);
    EXPECT_EQ(strCompareNoCase("Scripts\\PlayBalance.txt", "SCRIPTS\\playbalance.TXT"), 0);
    EXPECT_NE(strCompareNoCase("\xC9", "\xE9"), 0);
    EXPECT_EQ(wstrCompareNoCaseWithNarrow(u"\u00E9", "\xE9"), 0);
    EXPECT_EQ(strCompareNoCaseWithWide(nullptr, u"a"), -1);
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

TEST(StringCopyN, CopiesAndAppendsTerminateWithinTheBoundNeverSplitAPairAndZeroCapacityWritesNothing) {
    EXPECT_EQ((filled<char, 8>(strCopyN, "abcdefghijk")), "1:abcdefg|");
    EXPECT_EQ((filled<char, 8>(strCopyN, "ab")), "0:ab||||||");
    EXPECT_EQ((filled<char, 0>(strCopyN, "a")), "1:");
    EXPECT_EQ((filled<char16_t, 0>(wstrCopyN, u"a") + filled<char16_t, 0>(strToWideN, "a") +
               filled<char16_t, 0>(wstrAppendN, u"a") + filled<char16_t, 0>(wstrTrimCopy, u"a")),
              "1:1:1:0:");

    // At 4 units the pair would end exactly at the terminator.
    EXPECT_EQ((filled<char16_t, 4>(wstrCopyN, u"ab\U0001F600c")), "1:ab||");
    EXPECT_EQ((filled<char16_t, 5>(wstrCopyN, u"ab\U0001F600c")), "1:ab<D83D><DE00>|");
    const char16_t unpaired[] = {u'a', 0xD83D, u'b', 0};
    EXPECT_EQ((filled<char16_t, 3>(wstrCopyN, unpaired)), "1:a<D83D>|");
    // Appends stop at the capacity even for an unterminated destination.
    EXPECT_EQ((filled<char, 8>(strAppendN, "fghij", "abc")), "1:abcfghi|");
    EXPECT_EQ((filled<char, 6>(strAppendN, "a")), "1:ZZZZZ|");
    EXPECT_EQ((filled<char16_t, 4>(wstrAppendN, u"\U0001F600", "ab")), "1:ab|Z");
    EXPECT_EQ((filled<char16_t, 6>(wstrAppendNarrowN, "\\\xE9t\xE9", "C:")), "1:C:\\<E9>t|");
}

TEST(StringJoin, AnEmptyDestinationTakesOnlyTheWideTextAndTheNarrowPartIsOnePathBufferAtMost) {
    // An empty destination takes the wide text alone, with no separator before it.
    char16_t dest[32] = u"";
    wstrJoinNarrowThenWide(dest, " - ", u"Title");
    EXPECT_EQ(std::u16string(dest), u"Title");

    const std::string longSeparator(PATH_BUFFER_LENGTH + 50, '-');
    std::u16string joined(2 * PATH_BUFFER_LENGTH + 16, u'\0');
    joined[0] = u'A';
    wstrJoinNarrowThenWide(joined.data(), longSeparator.c_str(), u"T");
    EXPECT_EQ(joined.c_str(), u"A" + std::u16string(PATH_BUFFER_LENGTH - 1, u'-') + u"T");
}

TEST(StringConvert, NarrowingWritesUnderscoresWideningKeepsByteValuesLoweringOnlyAsciiAndTrimmingOnlyCLocaleSpace) {
    EXPECT_EQ((filled<char, 8>(wstrToNarrowN, u"a\u00FF\u0100\u4E2Dz")), "0:a<FF>__z|ZZ");
    // A pair becomes two underscores or none.
    EXPECT_EQ((filled<char, 3>(wstrToNarrowN, u"a\U0001F600b")), "1:a|Z");
    EXPECT_EQ((filled<char16_t, 5>(strToWideN, "a\x80\xFFz")), "0:a<80><FF>z|");
    const std::string text(WIDEN_TEXT_LIMIT + 100, 'w');
    std::u16string dest(WIDEN_TEXT_LIMIT + 200, u'#');
    wstrFromNarrow(dest.data(), text.c_str());
    EXPECT_EQ(wstrLength(dest.c_str()), WIDEN_TEXT_LIMIT);
    // Trimming: white space only gives zero units, units above 255 stay, a cut never splits a pair.
    EXPECT_EQ((filled<char16_t, 8>(wstrTrimCopy, u" \t\r\n Title  \v\f")), "5:Title|ZZ");
    EXPECT_EQ((filled<char16_t, 8>(wstrTrimCopy, u" \t \n")), "0:|ZZZZZZZ");
    // U+3000, U+00A0 and U+0085 are white space in Unicode but not in the "C" locale; the low
    // bytes of U+0109 and U+0120 are a tab and a space.
    EXPECT_EQ((filled<char16_t, 8>(wstrTrimCopy, u"\u0109 \u3000\u00A0\u0085\u0120")), "6:<109> <3000><A0><85><120>|Z");
    EXPECT_EQ((filled<char16_t, 4>(wstrTrimCopy, u" ab\U0001F600 ")), "2:ab|Z");
}

// The elements of the array joined by '|'.
std::string joined(const ClStringArray& tokens) {
    std::string out;
    for (u32 i = 0; i < tokens.getCount(); ++i) out += (i ? "|" : "") + std::string(tokens[i].getText());
    return out;
}

std::string split(ClStringArray& tokens, const char* text, const char* delimiters) {
    splitString(text, &tokens, delimiters);
    return joined(tokens);
}

TEST(StringSplit, EmptyTokensAreSkippedAndASecondSplitStartsAfresh) {
    ClStringArray tokens;
    EXPECT_EQ(split(tokens, ",a,,b,", ","), "a|b");
    EXPECT_EQ(split(tokens, "x;y z", "; "), "x|y|z");
    EXPECT_EQ(split(tokens, nullptr, " "), "");
}

TEST(StringArray, EighthPushGrowsKeepingTheCursorAndOwnElementsSurviveGrowth) {
    ClStringArray array;
    array.init(8);
    for (int i = 0; i < 7; ++i) array.push(String(i));
    array.setCursor(&array[3]);
    EXPECT_EQ(array.push(String("eighth")), 8u);
    EXPECT_EQ(array.getCapacity(), 16u);
    EXPECT_EQ(std::string(array.getCursor()->getText()), "3");

    ClStringArray small;
    small.init(0);
    small.push(String("first"));
    small.push(small[0]);  // grows: the source moves with the block
    small.push(small[1]);
    EXPECT_EQ(joined(small), "first|first|first");
}

}  // namespace
