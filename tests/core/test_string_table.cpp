// String tables: the checked image view, loading from a mounted package (load order, refusals,
// damaged tables), and the formatting forms. Tables are built with the image builder and packed
// into a temporary package with the package writer.
#include "core/string_table.h"

#include "core/name_hash.h"
#include "core/packages.h"
#include "core/string_table_format.h"
#include <gtest/gtest.h>
#include "tests/support/package_test.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using namespace test_support;

namespace {

// One record whose text sits at the given offset of an image of the given size.
std::vector<u8> oneRecordImage(u32 textOffset, u32 imageSize, u32 idHash) {
    std::vector<u8> image(imageSize, 0xAB);
    const std::pair<u32, u32> words[] = {{0, 16}, {8, 1}, {16, 20}, {20, textOffset}, {24, 0}, {28, idHash}};
    for (const auto& [at, value] : words) storeLe32(&image[at], value);
    return image;
}

class StringTables : public StringTableTest {
protected:
    // What formatting the key's text with `value` into a buffer of `size` units returns and
    // leaves there, as "result:text"; no unit past the buffer may change.
    static std::u16string intByKey(const char* key, s32 value, u32 size = 32) {
        char16_t out[40];
        std::fill(std::begin(out), std::end(out), u'#');
        const u32 result = formatLocalisedIntByKey(out, size, key, value);
        for (u32 i = size; i < 40; ++i) EXPECT_EQ(out[i], u'#') << key << " " << i;
        return char16_t(u'0' + result) + (u":" + std::u16string(out, std::find(out, out + size, u'\0')));
    }
    std::u16string text(const char* key) {
        const char16_t* found = getLocalisedString(key);
        return found ? std::u16string(found) : u"<null>";
    }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// The image view

TEST(StringTableImage, TextsMustStartAndEndInsideTheImage) {
    SStringTableView view;
    std::vector<u8> pastEnd = oneRecordImage(39, 40, crc32TextNoCase("K")), image = oneRecordImage(32, 40, crc32TextNoCase("K"));
    EXPECT_EQ(stringTableOpen(&view, pastEnd.data(), pastEnd.size()), E_STRINGTABLE_TEXT_PAST_END);
    // Zero bytes at 33 and 35, then also at 36, form no whole unit of the text's parity; 37 does.
    const auto zeroAndOpen = [&](u32 at) { return image[at] = 0, stringTableOpen(&view, image.data(), image.size()); };
    image[33] = 0;
    ASSERT_EQ(zeroAndOpen(35), E_STRINGTABLE_TEXT_UNTERMINATED);
    ASSERT_EQ(zeroAndOpen(36), E_STRINGTABLE_TEXT_UNTERMINATED);
    ASSERT_EQ(zeroAndOpen(37), E_STRINGTABLE_OK);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(image.data() + stringTableTextOffsetAt(view, 0))).size(), 2u);
    // A text may be empty, and may end with the image's last unit.
    for (u32 zeroUnit : {32u, 38u}) {
        std::vector<u8> fresh = oneRecordImage(32, 40, crc32TextNoCase("K"));
        fresh[zeroUnit] = fresh[zeroUnit + 1] = 0;
        EXPECT_EQ(stringTableOpen(&view, fresh.data(), fresh.size()), E_STRINGTABLE_OK) << "a zero unit at " << zeroUnit;
    }
}

// ---------------------------------------------------------------------------------------------
// Loading

TEST_F(StringTables, PlatformTableWinsAndAReloadIsRefused) {
    addTable("Win32", buildStringTable({{"SHARED", u"from Win32"}}));
    addTable("All", buildStringTable({{"SHARED", u"from All"}, {"GAME_VERSION", u"1.0"}}));
    packAndMount("TEST");
    EXPECT_EQ(loadPlatformStringTable(), 1u);
    EXPECT_EQ(stringTableLoad("Win32"), 0u);
    EXPECT_EQ(stringTableLoad("All"), 1u);
    EXPECT_EQ(text("SHARED"), u"from Win32");
    EXPECT_EQ(text("game_version"), u"1.0");

    stringTablesShutdown();
    // The tables' files are given back, and no table loads once they are shut down.
    EXPECT_EQ(getAssetFileCount(), 0u);
    EXPECT_EQ(stringTableLoad("All"), 0u);
}

TEST_F(StringTables, MissingTableIsSkippedAnEmptyOneLoadsAndANinthIsRefusedWithoutHoldingItsFile) {
    for (int i = 0; i < 9; ++i) addTable("T" + std::to_string(i), i == 0 ? buildStringTable({}) : buildStringTable({{"K", u"t"}}));
    packAndMount("TEST");
    EXPECT_EQ(stringTableLoad("All_NO_TRANS"), 0u);
    for (int i = 0; i < 9; ++i) {
        const std::string name = "T" + std::to_string(i);
        EXPECT_EQ(stringTableLoad(name.c_str()), i < 8 ? 1u : 0u) << name;
    }
    EXPECT_EQ(getAssetFileCount(), 8u);
}

TEST_F(StringTables, DamagedTableIsRefusedItsFileReleasedAndOddOffsetsAreHandedOutAligned) {
    std::vector<u8> unsorted = buildStringTable({{"A", u"a"}, {"B", u"b"}});
    std::swap_ranges(unsorted.begin() + 16, unsorted.begin() + 20, unsorted.begin() + 20);
    addTable("Unsorted", unsorted);
    std::vector<u8> odd = oneRecordImage(33, 40, crc32TextNoCase("ODD"));
    const u8 ok[] = {'o', 0, 'k', 0, 0, 0};
    std::copy(std::begin(ok), std::end(ok), odd.begin() + 33);
    addTable("Odd", odd);
    packAndMount("TEST");
    EXPECT_EQ(stringTableLoad("Unsorted"), 0u);
    EXPECT_EQ(getAssetFileCount(), 0u);

    // A text at an odd offset is handed out aligned.
    ASSERT_EQ(stringTableLoad("Odd"), 1u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(getLocalisedString("ODD")) % alignof(char16_t), uintptr_t(0));
    EXPECT_EQ(text("ODD"), std::u16string(u"ok"));
}

// ---------------------------------------------------------------------------------------------
// Formatting

TEST_F(StringTables, FormattingWorkedValuesAMissingKeyClearsTheBufferAndOverlongTextIsCutInside) {
    mountAndLoadAll({{"TWO", u"%d then %d then %d"}, {"ONE", u"%d"}, {"PERCENT", u"100% %x %"},
                     {"NAME", u"Hi %s, %s!"}, {"LONG", u"abcdefgh"}, {"PAIR", u"ab\U0001F600"}});
    char16_t out[64], name[64];
    EXPECT_EQ(formatLocalisedTwoInts(out, 64, crc32TextNoCase("TWO"), 3, 7), 1u);
    EXPECT_EQ(std::u16string(out), std::u16string(u"3 then 7 then 7"));
    EXPECT_EQ(formatLocalisedNarrowStringByKey(name, 64, "NAME", "B\xE9"), 1u);
    EXPECT_EQ(std::u16string(name), std::u16string(u"Hi B\u00E9, B\u00E9!"));
    EXPECT_EQ(intByKey("ONE", INT32_MIN), u"1:-2147483648");
    EXPECT_EQ(intByKey("PERCENT", 5), u"1:100% %x %");
    EXPECT_EQ(intByKey("MISSING", 1, 8), u"0:");  // no stale text is shown
    EXPECT_EQ(intByKey("LONG", 0, 5), u"1:abcd");
    // Only the high half of the pair would fit: neither half is written.
    EXPECT_EQ(intByKey("PAIR", 0, 4), u"1:ab");
    EXPECT_EQ(intByKey("LONG", 0, 0), u"1:");
}
