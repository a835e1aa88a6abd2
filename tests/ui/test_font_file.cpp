// The glyph table of a font face: written and read back whole, and damaged tables refused with
// their reason.
#include "ui/font_file_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

SFontFileImage twoGlyphs() {
    SFontFileImage image;
    image.atlasWidth = 64;
    image.atlasHeight = 32;
    image.lineHeight = 20.0f;
    image.ascent = 15.0f;
    image.fallbackCode = '?';
    image.glyphs = {{'?', 0, 0, 10, 14, 1, 2, 11.5f}, {'A', 12, 0, 13, 15, -1, 0, 12.25f}};
    return image;
}

// The reason a table is refused, or "" with the table read into `out`.
std::string readError(const std::vector<u8>& bytes, SFontFileImage* out = nullptr) {
    SFontFileImage image;
    std::string error;
    return readFontFile(bytes.data(), u32(bytes.size()), out ? out : &image, &error) ? "" : error;
}

// Codes beyond sixteen bits are kept; codes beyond Unicode are refused.
TEST(FontFile, ATableReadsBackAsWrittenWithCodesUpToUnicodesEnd) {
    SFontFileImage emoji = twoGlyphs();
    emoji.glyphs.push_back({0x1F3B5, 30, 0, 14, 14, 0, 1, 15.0f});
    SFontFileImage out;
    ASSERT_EQ(readError(writeFontFile(emoji), &out), "");
    EXPECT_EQ(out.atlasWidth, 64u);
    EXPECT_EQ(out.atlasHeight, 32u);
    EXPECT_EQ(out.lineHeight, 20.0f);
    EXPECT_EQ(out.ascent, 15.0f);
    EXPECT_EQ(out.fallbackCode, u32('?'));
    ASSERT_EQ(out.glyphs.size(), 3u);
    const SFontFileGlyph& a = out.glyphs[1];
    EXPECT_EQ(a.code, u32('A'));
    EXPECT_EQ(a.x, 12);
    EXPECT_EQ(a.width, 13);
    EXPECT_EQ(a.height, 15);
    EXPECT_EQ(a.offsetX, -1);
    EXPECT_EQ(a.advance, 12.25f);
    EXPECT_EQ(out.glyphs[2].code, 0x1F3B5u);
    emoji.glyphs[2].code = FONT_FILE_MAX_CODE + 1;
    EXPECT_EQ(readError(writeFontFile(emoji)), "glyph codes out of order or range");
}

TEST(FontFile, DamagedTablesAreRefusedWithTheirReason) {
    const std::vector<u8> bytes = writeFontFile(twoGlyphs());
    std::vector<u8> flipped = bytes, many = bytes, cut(bytes.begin(), bytes.end() - 1);
    flipped[40] ^= 1;
    const u32 huge = FONT_FILE_MAX_GLYPHS + 1;
    std::memcpy(&many[28], &huge, 4);
    SFontFileImage outside = twoGlyphs(), unordered = twoGlyphs();
    outside.glyphs[1].x = 60;
    std::swap(unordered.glyphs[0], unordered.glyphs[1]);
    EXPECT_EQ(readError(flipped), "digest does not match");
    EXPECT_EQ(readError(cut), "size does not match its glyph count");
    EXPECT_EQ(readError(many), "too many glyphs");
    EXPECT_EQ(readError(writeFontFile(outside)), "glyph outside its atlas");
    EXPECT_EQ(readError(writeFontFile(unordered)), "glyph codes out of order or range");
    EXPECT_EQ(readError({}), "shorter than its header");
}

}  // namespace
