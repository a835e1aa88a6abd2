#include "core/digest.h"

#include "core/cipher.h"
#include "core/fatal_error.h"
#include "core/file_layer.h"
#include "core/sha256.h"
#include "platform/os/os.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static_assert(SHA256_DIGEST_BYTES == DIGEST_SIZE);

namespace {

constexpr size_t DIGEST_OUTPUT_ALIGNMENT = 16;
// Lengths are kept in u32, and the trailer must still fit after the content.
constexpr u64 DIGEST_MAX_CONTENT = 0xFFFFFFFFu - DIGEST_SIZE;

u8* allocDigestBlock(u64 bytes) {
    size_t rounded = size_t((bytes + DIGEST_OUTPUT_ALIGNMENT - 1) & ~u64(DIGEST_OUTPUT_ALIGNMENT - 1));
    void* block = std::aligned_alloc(DIGEST_OUTPUT_ALIGNMENT, rounded ? rounded : DIGEST_OUTPUT_ALIGNMENT);
    if (!block) fatalErrorf("out of memory for a digest buffer (%llu bytes)", (unsigned long long)bytes);
    return static_cast<u8*>(block);
}

// The whole content of an open stream into a new block; false on any short read or a size that
// does not fit a u32 length with its trailer.
bool readWholeStream(std::FILE* file, u8** outBlock, u32* outSize) {
    if (std::fseek(file, 0, SEEK_END) != 0) return false;
    long end = std::ftell(file);
    if (end < 0 || u64(end) > DIGEST_MAX_CONTENT) return false;
    if (std::fseek(file, 0, SEEK_SET) != 0) return false;
    u32 size = u32(end);
    u8* block = allocDigestBlock(size);
    if (size && std::fread(block, 1, size, file) != size) {
        std::free(block);
        return false;
    }
    *outBlock = block;
    *outSize = size;
    return true;
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

bool appendDigestToFile(const char16_t* path, u32 value) {
    if (!path) return false;
    std::string systemPath = osSystemPathW(path);
    // Append mode: every write lands at the end, whatever was read before it.
    fileSystemLockEnter();
    std::FILE* file = std::fopen(systemPath.c_str(), "ab+");
    fileSystemLockLeave();
    if (!file) return false;

    u8* content = nullptr;
    u32 size = 0;
    if (!readWholeStream(file, &content, &size)) {
        std::fclose(file);
        return false;
    }
    u8 digest[DIGEST_SIZE];
    {
        ClCipherLockScope lock;
        computeDigestWithValue(digest, content, size, value);
    }
    std::free(content);

    // A full disk shows up either in the write or in the flush that fclose does.
    bool written = std::fwrite(digest, 1, DIGEST_SIZE, file) == DIGEST_SIZE;
    bool closed = std::fclose(file) == 0;
    return written && closed;
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
