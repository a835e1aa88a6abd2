#include "core/digest.h"

#include "core/cipher.h"
#include "core/fatal_error.h"
#include "core/sha256.h"

#include <cstdlib>
#include <cstring>

static_assert(SHA256_DIGEST_BYTES == DIGEST_SIZE);

namespace {

// Lengths are kept in u32, and the trailer must still fit after the content.
constexpr u64 DIGEST_MAX_CONTENT = 0xFFFFFFFFu - DIGEST_SIZE;
constexpr size_t DIGEST_OUTPUT_ALIGNMENT = 16;

u8* allocDigestBlock(u64 bytes) {
    size_t rounded = size_t((bytes + DIGEST_OUTPUT_ALIGNMENT - 1) & ~u64(DIGEST_OUTPUT_ALIGNMENT - 1));
    void* block = std::aligned_alloc(DIGEST_OUTPUT_ALIGNMENT, rounded ? rounded : DIGEST_OUTPUT_ALIGNMENT);
    if (!block) fatalErrorf("out of memory for a digest buffer (%llu bytes)", (unsigned long long)bytes);
    return static_cast<u8*>(block);
}

}  // namespace

void computeDigestWithValue(u8* outDigest, const void* bytes, u32 n, u32 value) {
    const u8 valueBytes[4] = {u8(value), u8(value >> 8), u8(value >> 16), u8(value >> 24)};
    SSha256 hash;
    sha256Begin(&hash);
    if (n) sha256Add(&hash, bytes, n);
    sha256Add(&hash, valueBytes, sizeof(valueBytes));
    sha256Finish(&hash, outDigest);
}

bool verifyTrailingDigest(const void* bytes, u32 n, u32 value) {
    if (n < DIGEST_SIZE) return false;
    u32 contentSize = n - DIGEST_SIZE;
    u8 digest[DIGEST_SIZE];
    {
        ClCipherLockScope lock;
        computeDigestWithValue(digest, bytes, contentSize, value);
    }
    return std::memcmp(digest, static_cast<const u8*>(bytes) + contentSize, DIGEST_SIZE) == 0;
}

void appendDigest(const void* bytes, u32 n, u32 value, u8** outBlock, u32* outLength) {
    if (u64(n) > DIGEST_MAX_CONTENT) fatalErrorf("digest buffer of %u bytes is too large", n);
    u8* block = allocDigestBlock(u64(n) + DIGEST_SIZE);
    if (n) std::memcpy(block, bytes, n);
    {
        ClCipherLockScope lock;
        computeDigestWithValue(block + n, bytes, n, value);
    }
    *outBlock = block;
    *outLength = n + DIGEST_SIZE;
}
