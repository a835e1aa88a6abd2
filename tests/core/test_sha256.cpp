// SHA-256 on the published vectors, through the processor's instructions and the portable rounds.
#include "core/sha256.h"

#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// The digest of the bytes given in pieces of `piece` bytes (all at once when 0).
std::string digestOf(const std::string& bytes, size_t piece = 0) {
    SSha256 hash;
    sha256Begin(&hash);
    if (piece == 0) piece = bytes.size() + 1;
    for (size_t at = 0; at < bytes.size(); at += piece)
        sha256Add(&hash, bytes.data() + at, std::min(piece, bytes.size() - at));
    u8 digest[SHA256_DIGEST_BYTES];
    sha256Finish(&hash, digest);
    return test_support::hexText(digest, sizeof digest);
}

class Sha256 : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (sha256SetInstructions(GetParam()) != GetParam()) GTEST_SKIP() << "no SHA instructions here";
    }
    void TearDown() override { sha256SetInstructions(true); }
};

TEST_P(Sha256, PublishedVectors) {
    EXPECT_EQ(digestOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(digestOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(digestOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(digestOf(std::string(1000000, 'a'), 4099),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

INSTANTIATE_TEST_SUITE_P(Rounds, Sha256, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Instructions" : "Portable"; });

}  // namespace
