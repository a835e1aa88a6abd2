// SHA-256 with a 4-byte value, and digest trailers on buffers.
#include "core/digest.h"

#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

bool verify(const std::string& bytes, u32 value) { return verifyTrailingDigest(bytes.data(), u32(bytes.size()), value); }

TEST(Digest, ValueFollowsTheBytesAndTheTrailerVerifiesOnlyWithItUnchangedAndWhole) {
    // The published two-block vector, its last four characters "nopq" given as the value.
    const std::string vector = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnop";
    u8 digest[DIGEST_SIZE];
    computeDigestWithValue(digest, vector.data(), u32(vector.size()), 0x71706F6E);
    EXPECT_EQ(test_support::hexText(digest, sizeof digest), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");

    const std::string content = "spectral frames";
    u8* block = nullptr;
    u32 length = 0;
    appendDigest(content.data(), u32(content.size()), 407162, &block, &length);
    const std::string sealed(reinterpret_cast<char*>(block), length);
    std::free(block);
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
