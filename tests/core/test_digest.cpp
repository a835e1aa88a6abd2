// SHA-256 with a 4-byte value, and digest trailers on buffers.
#include "core/digest.h"

#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string digestHex(const std::string& bytes, u32 value) {
    u8 digest[DIGEST_SIZE];
    computeDigestWithValue(digest, bytes.data(), u32(bytes.size()), value);
    return test_support::hexText(digest, sizeof digest);
}

std::string withTrailer(const std::string& bytes, u32 value) {
    u8* block = nullptr;
    u32 length = 0;
    appendDigest(bytes.data(), u32(bytes.size()), value, &block, &length);
    std::string result(reinterpret_cast<char*>(block), length);
    std::free(block);
    return result;
}

bool verify(const std::string& bytes, u32 value) { return verifyTrailingDigest(bytes.data(), u32(bytes.size()), value); }

TEST(Digest, ValueFollowsTheBytesAndTheTrailerVerifiesOnlyWithItUnchangedAndWhole) {
    // The published two-block vector, its last four characters "nopq" given as the value.
    EXPECT_EQ(digestHex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnop", 0x71706F6E),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");

    const std::string content = "spectral frames";
    const std::string sealed = withTrailer(content, 407162);
    ASSERT_EQ(sealed.substr(0, content.size()), content);
    EXPECT_TRUE(verify(sealed, 407162));
    EXPECT_FALSE(verify(sealed, 407163));
    for (size_t i = 0; i < sealed.size(); ++i) {
        std::string damaged = sealed;
        damaged[i] = char(damaged[i] ^ 0x01);
        EXPECT_FALSE(verify(damaged, 407162)) << "byte " << i;
    }
    EXPECT_FALSE(verify(sealed + "x", 407162));
    EXPECT_FALSE(verify(std::string(31, '\0'), 0));
}

}  // namespace
