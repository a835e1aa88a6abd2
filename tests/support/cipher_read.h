// Reading back what encryptBufferWithLength wrote, for the tests that stand in for its reader.
#pragma once

#include "core/types.h"

#include <string>

namespace test_support {

// The plaintext in front of the length block; false (and an empty text) when n is below one
// block or not whole blocks, or the stored length does not fit in front of the length block.
bool decipherWithLength(const u8* bytes, u32 n, const u8* key, const u8* iv, std::string* out);

}  // namespace test_support
