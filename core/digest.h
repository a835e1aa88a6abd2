// SHA-256 digests of a buffer followed by a 4-byte value, and the digest trailers that close the
// game's own data files: the content, then SHA-256(content || value as little-endian u32). The
// value is chosen per file type by the code that owns the file and is never stored in it.
#pragma once

#include "core/types.h"

constexpr u32 DIGEST_SIZE = 32;

// SHA-256 of bytes[0 .. n) followed by the 4 bytes of value, little-endian. Takes no lock: each
// call has its own hash state, so it may run on any thread at any time.
void computeDigestWithValue(u8* outDigest, const void* bytes, u32 n, u32 value);

// True when the last 32 of the n bytes are the trailer of the bytes before them under this value.
// Buffers shorter than a trailer give false. The buffer is never changed.
bool verifyTrailingDigest(const void* bytes, u32 n, u32 value);

// A new 16-byte aligned block (release with std::free) holding the n bytes and their trailer;
// out length n + 32. Allocation failure is fatal.
void appendDigest(const void* bytes, u32 n, u32 value, u8** outBlock, u32* outLength);
