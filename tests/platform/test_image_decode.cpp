// Image decoding into top-row-first RGBA8 and PNG writing.
#include "platform/gfx/image_decode.h"

#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Little-endian fields of {value, bytes}.
std::vector<u8> fields(std::initializer_list<std::pair<u32, u32>> values) {
    std::vector<u8> out;
    for (auto [value, bytes] : values) test_support::putLe(out, value, bytes);
    return out;
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

TEST(ImageDecode, FormatsArriveAsRgbaTopRowFirstAndDamagedDataIsRefusedWithAReason) {
    // A 1x2 24-bit BMP: rows are stored bottom-up (a positive height), pixels as B G R, rows padded
    // to 4 bytes; the bottom row blue, the top row red.
    EXPECT_EQ(decoded(fields({{'B' | 'M' << 8, 2}, {14 + 40 + 8, 4}, {0, 4}, {14 + 40, 4}, {40, 4}, {1, 4}, {2, 4}, {1, 2},
                              {24, 2}, {0, 4}, {0, 4}, {0, 4}, {0, 4}, {0, 4}, {0, 4}, {0xFF, 4}, {0xFF0000, 4}})),
              "1x2: 255 0 0 255 0 0 255 255");
    // A 2x1 uncompressed 32-bit TGA, origin at the top left (descriptor bit 5); pixels B G R A.
    EXPECT_EQ(decoded(fields({{0, 2}, {2, 1}, {0, 4}, {0, 4}, {0, 1}, {2, 2}, {1, 2}, {32, 1}, {0x28, 1}, {0xFF00FF00u, 4},
                              {0x80FFFFFFu, 4}})),
              "2x1: 0 255 0 255 255 255 255 128");
    const u8 pixels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(decoded(encodePng(1, 3, pixels)), "1x3: 1 2 3 4 5 6 7 8 9 10 11 12");

    // Damaged and oversized data is refused with a reason.
    EXPECT_EQ(decoded(nullptr, 0), "refused: no image data");
    const std::string text = "not an image at all";
    EXPECT_EQ(decoded(text.data(), text.size()).rfind("refused: unreadable image", 0), 0u) << decoded(text.data(), text.size());

    const u8 blank[4 * 16] = {};
    std::vector<u8> png = encodePng(4, 4, blank);
    EXPECT_EQ(decoded(png.data(), png.size() / 2).rfind("refused: ", 0), 0u);
    EXPECT_EQ(decoded(png.data(), png.size() / 2).find("(with pixels)"), std::string::npos);

    // The header claims 9000 pixels across: refused before decoding.
    png[16] = 0, png[17] = 0, png[18] = 0x23, png[19] = 0x28;
    EXPECT_EQ(decoded(png), "refused: image of 9000x4 pixels is outside 1 to 8192");

    EXPECT_TRUE(encodePng(0, 4, blank).empty());
    EXPECT_FALSE(writePngFile("/nonexistent-folder/x.png", 4, 4, blank));
}

}  // namespace
