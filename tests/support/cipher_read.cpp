#include "tests/support/cipher_read.h"

#include "core/cipher.h"

#include <cstdlib>

namespace test_support {

bool decipherWithLength(const u8* bytes, u32 n, const u8* key, const u8* iv, std::string* out) {
    out->clear();
    u8* block = nullptr;
    if (n < CIPHER_BLOCK_SIZE || !decryptBuffer(bytes, n, &block, key, iv)) return false;
    const u8* word = block + n - CIPHER_BLOCK_SIZE;
    const u32 length = u32(word[0]) | u32(word[1]) << 8 | u32(word[2]) << 16 | u32(word[3]) << 24;
    const bool fits = length <= n - CIPHER_BLOCK_SIZE;
    if (fits) out->assign(reinterpret_cast<const char*>(block), length);
    std::free(block);
    return fits;
}

}  // namespace test_support
