// SHA-256 (FIPS 180-4) over bytes given in any number of pieces. The blocks are compressed with
// the processor's SHA instructions where it has them and by the portable rounds otherwise; both
// give the same digest.
#pragma once

#include "core/types.h"

constexpr u32 SHA256_DIGEST_BYTES = 32;
constexpr u32 SHA256_BLOCK_BYTES = 64;

// One hash in progress. Plain data: each call site keeps its own, so hashes on different threads
// never share anything.
struct SSha256 {
    u32 state[8];
    u8 pending[SHA256_BLOCK_BYTES];  // bytes of the block not yet complete
    u32 pendingBytes;
    u64 totalBytes;
};

void sha256Begin(SSha256* hash);
void sha256Add(SSha256* hash, const void* bytes, size_t n);
// Writes the 32-byte digest; the hash must be begun again before more use.
void sha256Finish(SSha256* hash, u8* outDigest);

// Whether the processor's SHA instructions are in use. Tests call this with false to run the
// portable rounds on a machine that has them. Returns whether they are now in use.
bool sha256SetInstructions(bool allowed);
