#include "core/cipher.h"

#include "core/fatal_error.h"

#include <cryptopp/aes.h>
#include <cryptopp/modes.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t CIPHER_OUTPUT_ALIGNMENT = 16;
// The length block stores the plaintext length in 32 bits, and callers keep lengths in u32.
constexpr u64 CIPHER_MAX_OUTPUT = 0xFFFFFFF0u;

u8* allocCipherBlock(u64 bytes) {
    if (bytes > CIPHER_MAX_OUTPUT) fatalErrorf("cipher buffer of %llu bytes is too large", (unsigned long long)bytes);
    // An empty result is still a block the caller can free like any other; aligned_alloc wants a
    // whole number of alignment units.
    size_t rounded = bytes ? size_t(bytes) : CIPHER_OUTPUT_ALIGNMENT;
    void* block = std::aligned_alloc(CIPHER_OUTPUT_ALIGNMENT, rounded);
    if (!block) fatalErrorf("out of memory for a cipher buffer (%llu bytes)", (unsigned long long)bytes);
    return static_cast<u8*>(block);
}

u64 paddedLength(u32 n) { return (u64(n) + CIPHER_BLOCK_SIZE - 1) & ~u64(CIPHER_BLOCK_SIZE - 1); }

void storeLe32(u8* out, u32 value) {
    out[0] = u8(value);
    out[1] = u8(value >> 8);
    out[2] = u8(value >> 16);
    out[3] = u8(value >> 24);
}

// block already holds the zero-padded plaintext; it is enciphered in place.
void encipherInPlace(u8* block, u32 length, const u8* key, const u8* iv) {
    if (length == 0) return;
    ClCipherLockScope lock;
    CryptoPP::CBC_Mode<CryptoPP::AES>::Encryption cipher(key, CIPHER_KEY_SIZE, iv);
    cipher.ProcessData(block, block, length);
}

void encipherPadded(const u8* bytes, u32 n, u32 extra, u8** outBlock, u32* outLength, const u8* key,
                    const u8* iv) {
    u64 padded = paddedLength(n);
    u8* block = allocCipherBlock(padded + extra);
    if (n) std::memcpy(block, bytes, n);
    std::memset(block + n, 0, size_t(padded + extra - n));
    if (extra) storeLe32(block + padded, n);
    u32 length = u32(padded + extra);
    encipherInPlace(block, length, key, iv);
    *outBlock = block;
    *outLength = length;
}

}  // namespace

void makeKeyFromText(u8* outKey, const char* text) {
    std::memset(outKey, 0, CIPHER_KEY_SIZE);
    for (u32 i = 0; text && i < CIPHER_KEY_SIZE && text[i]; ++i) outKey[i] = u8(text[i]);
    outKey[CIPHER_KEY_SIZE - 1] = 0;
}

void makeZeroIvWithWord(u8* outIv, u32 value) {
    std::memset(outIv, 0, CIPHER_BLOCK_SIZE);
    storeLe32(outIv, value);
}

void encryptBuffer(const u8* bytes, u32 n, u8** outBlock, u32* outLength, const u8* key, const u8* iv) {
    encipherPadded(bytes, n, 0, outBlock, outLength, key, iv);
}

void encryptBufferWithLength(const u8* bytes, u32 n, u8** outBlock, u32* outLength, const u8* key,
                             const u8* iv) {
    encipherPadded(bytes, n, CIPHER_BLOCK_SIZE, outBlock, outLength, key, iv);
}

bool decryptBuffer(const u8* bytes, u32 n, u8** outBlock, const u8* key, const u8* iv) {
    *outBlock = nullptr;
    if (n % CIPHER_BLOCK_SIZE != 0) return false;
    u8* block = allocCipherBlock(n);
    if (n) {
        ClCipherLockScope lock;
        CryptoPP::CBC_Mode<CryptoPP::AES>::Decryption cipher(key, CIPHER_KEY_SIZE, iv);
        cipher.ProcessData(block, bytes, n);
    }
    *outBlock = block;
    return true;
}
