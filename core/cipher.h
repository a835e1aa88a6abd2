// AES-128 in CBC mode over zero-padded buffers, with or without a trailing length block, and the
// one process-wide cipher lock under which every digest and cipher operation of the game runs.
//
// Output blocks are new 16-byte aligned heap blocks owned by the caller (release with std::free).
// Keys and initialisation vectors are 16 bytes supplied by the caller; nothing here keeps them.
#pragma once

#include "core/types.h"

constexpr u32 CIPHER_BLOCK_SIZE = 16;
constexpr u32 CIPHER_KEY_SIZE = 16;

// The cipher lock is one record of the lock pool. Init takes it (running out of pooled locks is
// fatal: SHA-256 and AES are used from the main thread, the song scan and the leaderboard
// worker); shutdown gives it back. Before init and after shutdown the operations run unlocked,
// which is safe only while one thread uses them.
void cipherLockInit();
void cipherLockShutdown();

// Holds the cipher lock for its lifetime. Re-entrant: a holder may open another scope.
class ClCipherLockScope {
public:
    ClCipherLockScope();
    ~ClCipherLockScope();
    ClCipherLockScope(const ClCipherLockScope&) = delete;
    ClCipherLockScope& operator=(const ClCipherLockScope&) = delete;
};

// Zero-fills the 16-byte key, copies at most 16 characters of the text (stopping at its NUL),
// then clears byte 15: a key text has at most 15 significant characters. Null reads as "".
void makeKeyFromText(u8* outKey, const char* text);
// Zero-fills the 16-byte initialisation vector and stores the value, little-endian, in its first
// 4 bytes. A value of 0 gives the all-zero vector.
void makeZeroIvWithWord(u8* outIv, u32 value);

// The plaintext zero-padded to the next multiple of 16 (nothing added when n already is one),
// enciphered. n = 0 gives an empty result (length 0, a block that holds nothing).
// Allocation failure is fatal.
void encryptBuffer(const u8* bytes, u32 n, u8** outBlock, u32* outLength, const u8* key, const u8* iv);
// As encryptBuffer with one more block before enciphering: the length n, little-endian, in its
// first 4 bytes and zeros after. The result is 16 bytes longer.
void encryptBufferWithLength(const u8* bytes, u32 n, u8** outBlock, u32* outLength, const u8* key,
                             const u8* iv);

// Deciphers n bytes into a new block of n bytes; the padding stays in place. False, with a null
// block, when n is not a multiple of 16. Allocation failure is fatal.
bool decryptBuffer(const u8* bytes, u32 n, u8** outBlock, const u8* key, const u8* iv);
