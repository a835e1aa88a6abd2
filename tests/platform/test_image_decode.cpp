// Image decoding into top-row-first RGBA8 and PNG writing.
#include "platform/gfx/image_decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// "WxH: r g b a ..." for a decoded image, or "refused: <reason>" (and the image left empty).
std::string decoded(const void* data, size_t size) {
    SDecodedImage image;
    std::string error;
    if (!decodeImage(data, size, &image, &error)) return "refused: " + error + (image.rgba.empty() ? "" : " (with pixels)");
    std::string out = std::to_string(image.width) + "x" + std::to_string(image.height) + ":";
    for (u8 b : image.rgba) out += " " + std::to_string(b);
    return out;
}
std::string decoded(const std::vector<u8>& bytes) { return decoded(bytes.data(), bytes.size()); }

TEST(ImageDecode, FormatsArriveAsRgbaTopRowFirst) {
    EXPECT_EQ(decoded(bmpRedOverBlue()), "1x2: 255 0 0 255 0 0 255 255");
    EXPECT_EQ(decoded(tgaGreenThenHalfWhite()), "2x1: 0 255 0 255 255 255 255 128");
    const u8 pixels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(decoded(encodePng(1, 3, pixels)), "1x3: 1 2 3 4 5 6 7 8 9 10 11 12");
}

TEST(ImageDecode, DamagedAndOversizedDataIsRefusedWithAReason) {
    EXPECT_EQ(decoded(nullptr, 0), "refused: no image data");
    const std::string text = "not an image at all";
    EXPECT_EQ(decoded(text.data(), text.size()).rfind("refused: unreadable image", 0), 0u) << decoded(text.data(), text.size());

    const u8 pixels[4 * 16] = {};
    std::vector<u8> png = encodePng(4, 4, pixels);
    EXPECT_EQ(decoded(png.data(), png.size() / 2).rfind("refused: ", 0), 0u);
    EXPECT_EQ(decoded(png.data(), png.size() / 2).find("(with pixels)"), std::string::npos);

    // The header claims 9000 pixels across: refused before decoding.
    png[16] = 0, png[17] = 0, png[18] = 0x23, png[19] = 0x28;
    EXPECT_EQ(decoded(png), "refused: image of 9000x4 pixels is outside 1 to 8192");

    EXPECT_TRUE(encodePng(0, 4, pixels).empty());
    EXPECT_FALSE(writePngFile("/nonexistent-folder/x.png", 4, 4, pixels));
}

}  // namespace
