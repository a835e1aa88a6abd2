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

TEST(StringCopyN, CopiesAndAppendsTerminateWithinTheBoundNeverSplitAPairAndZeroCapacityWritesNothing) {
    EXPECT_EQ((filled<char, 8>(strCopyN, "abcdefghijk")), "1:abcdefg|");
    EXPECT_EQ((filled<char, 8>(strCopyN, "ab")), "0:ab||||||");
    EXPECT_EQ((filled<char, 0>(strCopyN, "a")), "1:");
    EXPECT_EQ((filled<char16_t, 0>(wstrCopyN, u"a")), "1:");
    EXPECT_EQ((filled<char16_t, 0>(strToWideN, "a")), "1:");
    EXPECT_EQ((filled<char16_t, 0>(wstrAppendN, u"a")), "1:");

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

TEST(StringConvert, NarrowingWritesUnderscoresAndWideningKeepsByteValues) {
    EXPECT_EQ((filled<char, 8>(wstrToNarrowN, u"a\u00FF\u0100\u4E2Dz")), "0:a<FF>__z|ZZ");
    // A pair becomes two underscores or none.
    EXPECT_EQ((filled<char, 3>(wstrToNarrowN, u"a\U0001F600b")), "1:a|Z");
    EXPECT_EQ((filled<char16_t, 5>(strToWideN, "a\x80\xFFz")), "0:a<80><FF>z|");
    const std::string text(WIDEN_TEXT_LIMIT + 100, 'w');
    std::u16string dest(WIDEN_TEXT_LIMIT + 200, u'#');
    wstrFromNarrow(dest.data(), text.c_str());
    EXPECT_EQ(wstrLength(dest.c_str()), WIDEN_TEXT_LIMIT);
}

}  // namespace
