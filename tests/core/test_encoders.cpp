// Base64 with caller-chosen tail characters and URL percent-encoding.
#include "core/encoders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string base64(const std::string& bytes, char char62 = '+', char char63 = '/', char padChar = '=') {
    char* text = nullptr;
    encodeBase64(reinterpret_cast<const u8*>(bytes.data()), u32(bytes.size()), &text, char62, char63, padChar);
    std::string result = text;
    std::free(text);
    return result;
}

std::string url(const std::string& bytes) {
    char* text = nullptr;
    encodeUrl(reinterpret_cast<const u8*>(bytes.data()), u32(bytes.size()), &text);
    std::string result = text;
    std::free(text);
    return result;
}

std::string everyByteValue() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += char(i);
    return bytes;
}

TEST(Base64, WorkedValuesPadToWholeGroupsWithTheCallersCharacters62And63AndPad) {
    EXPECT_EQ(base64("a"), "YQ==");
    EXPECT_EQ(base64("\xFB\xFF", '@', '_', '='), "@_8=");
    EXPECT_EQ(base64("a", '_', '_', '_'), "YQ__");
}

TEST(UrlEncoding, WorkedValuesAndEveryByteRoundTripsWithOnlyUnreservedOnesPassing) {
    EXPECT_EQ(url(std::string("a b\0/", 5)), "a%20b%00%2F");

    const std::string text = url(everyByteValue());
    EXPECT_EQ(text.size(), 66u + 190u * 3u);
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        decoded += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        EXPECT_EQ(text.substr(i + 1, 2).find_first_of("abcdef"), std::string::npos);
        i += 2;
    }
    EXPECT_EQ(decoded, everyByteValue());
}

}  // namespace
