// Base64 with caller-chosen tail characters and URL percent-encoding.
#include "core/encoders.h"

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

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

TEST(Base64, RoundTripsEveryLengthThroughAnIndependentDecoderAlsoFromTwoThreads) {
    const std::string all = everyByteValue();
    for (size_t length = 0; length <= all.size(); ++length) {
        const std::string bytes = all.substr(all.size() - length);
        const std::string text = base64(bytes);
        ASSERT_EQ(text.size(), (length + 2) / 3 * 4) << length;
        std::string decoded;
        CryptoPP::StringSource(text, true, new CryptoPP::Base64Decoder(new CryptoPP::StringSink(decoded)));
        EXPECT_EQ(decoded, bytes) << length;
    }

    auto run = [](char c62, char c63, bool* ok) {
        *ok = true;
        for (int i = 0; i < 200; ++i) *ok = *ok && base64(std::string(300, '\xFF'), c62, c63, '=') == std::string(400, c63);
    };
    bool okA = false, okB = false;
    {
        std::jthread a(run, '+', '/', &okA), b(run, '@', '_', &okB);
    }
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
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
