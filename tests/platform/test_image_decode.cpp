// Image decoding into top-row-first RGBA8 and PNG writing.
#include "platform/gfx/image_decode.h"

#include <gtest/gtest.h>

namespace {

void put16(std::vector<u8>& b, u32 v) {
    b.push_back(u8(v));
    b.push_back(u8(v >> 8));
}
void put32(std::vector<u8>& b, u32 v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A 1x2 24-bit BMP: rows are stored bottom-up, pixels as B G R, rows padded to 4 bytes.
std::vector<u8> bmpRedOverBlue() {
    std::vector<u8> b = {'B', 'M'};
    put32(b, 14 + 40 + 8);
    put32(b, 0);
    put32(b, 14 + 40);
    put32(b, 40);
    put32(b, 1);  // width
    put32(b, 2);  // height, positive: bottom-up
    put16(b, 1);
    put16(b, 24);
    for (int i = 0; i < 6; ++i) put32(b, 0);
    b.insert(b.end(), {0xFF, 0, 0, 0});  // bottom row: blue
    b.insert(b.end(), {0, 0, 0xFF, 0});  // top row: red
    return b;
}

// A 2x1 uncompressed 32-bit TGA, origin at the top left (descriptor bit 5).
std::vector<u8> tgaGreenThenHalfWhite() {
    std::vector<u8> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put16(b, 2);
    put16(b, 1);
    b.push_back(32);
    b.push_back(0x28);
    b.insert(b.end(), {0, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x80});  // B G R A
    return b;
}

TEST(ImageDecode, FormatsArriveAsRgbaTopRowFirst) {
    SDecodedImage image;
    std::string error;
    const std::vector<u8> bmp = bmpRedOverBlue();
    ASSERT_TRUE(decodeImage(bmp.data(), bmp.size(), &image, &error)) << error;
    EXPECT_EQ(image.width, 1u);
    EXPECT_EQ(image.height, 2u);
    EXPECT_EQ(image.rgba, (std::vector<u8>{0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0xFF}));

    const std::vector<u8> tga = tgaGreenThenHalfWhite();
    ASSERT_TRUE(decodeImage(tga.data(), tga.size(), &image, &error)) << error;
    EXPECT_EQ(image.rgba, (std::vector<u8>{0, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x80}));

    const u8 pixels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const std::vector<u8> png = encodePng(1, 3, pixels);
    ASSERT_FALSE(png.empty());
    ASSERT_TRUE(decodeImage(png.data(), png.size(), &image, &error)) << error;
    EXPECT_EQ(image.width, 1u);
    EXPECT_EQ(image.height, 3u);
    EXPECT_EQ(image.rgba, std::vector<u8>(pixels, pixels + 12));
}

TEST(ImageDecode, DamagedAndOversizedDataIsRefusedWithAReason) {
    SDecodedImage image;
    std::string error;
    EXPECT_FALSE(decodeImage(nullptr, 0, &image, &error));
    EXPECT_EQ(error, "no image data");

    const std::string text = "not an image at all";
    EXPECT_FALSE(decodeImage(text.data(), text.size(), &image, &error));
    EXPECT_NE(error.find("unreadable image"), std::string::npos) << error;

    const u8 pixels[4 * 16] = {};
    std::vector<u8> png = encodePng(4, 4, pixels);
    std::vector<u8> cut(png.begin(), png.begin() + long(png.size() / 2));
    EXPECT_FALSE(decodeImage(cut.data(), cut.size(), &image, &error));
    EXPECT_TRUE(image.rgba.empty());

    // The header claims 9000 pixels across: refused before decoding.
    std::vector<u8> wide = png;
    wide[16] = 0, wide[17] = 0, wide[18] = 0x23, wide[19] = 0x28;
    EXPECT_FALSE(decodeImage(wide.data(), wide.size(), &image, &error));
    EXPECT_EQ(error, "image of 9000x4 pixels is outside 1 to 8192");

    EXPECT_TRUE(encodePng(0, 4, pixels).empty());
    EXPECT_FALSE(writePngFile("/nonexistent-folder/x.png", 4, 4, pixels));
}

}  // namespace
