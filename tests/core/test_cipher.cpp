// AES-128-CBC over zero-padded buffers, the length block, keys from text and zero IVs.
#include "core/cipher.h"

#include "core/crit_section_pool.h"
#include "core/digest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<u8>;

Bytes fromHex(const std::string& text) {
    Bytes bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) bytes.push_back(u8(std::stoi(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

Bytes takeBlock(u8* block, u32 length) {
    Bytes bytes(block, block + length);
    std::free(block);
    return bytes;
}

// `n` counting bytes, zero-padded to `size`.
Bytes counting(size_t n, size_t size = 0) {
    Bytes bytes(std::max(n, size));
    for (size_t i = 0; i < n; ++i) bytes[i] = u8(i * 37 + 11);
    return bytes;
}

const u8 kKey[16] = {'p', 'a', 'c', 'k', 'a', 'g', 'e', ' ', 'k', 'e', 'y'};
const u8 kIv[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};

Bytes encrypt(const Bytes& plain, bool withLength, const u8* key = kKey, const u8* iv = kIv) {
    u8* block = nullptr;
    u32 length = 0xDEAD;
    (withLength ? encryptBufferWithLength : encryptBuffer)(plain.data(), u32(plain.size()), &block, &length, key, iv);
    EXPECT_NE(block, nullptr);
    return takeBlock(block, length);
}

Bytes decrypt(const Bytes& cipher, const u8* key = kKey, const u8* iv = kIv) {
    u8* block = nullptr;
    EXPECT_TRUE(decryptBuffer(cipher.data(), u32(cipher.size()), &block, key, iv));
    return takeBlock(block, u32(cipher.size()));
}

TEST(CipherKnownAnswers, CbcAes128ExampleOfSp800_38AAndTheFips197AnswerUnderTheZeroIv) {
    const Bytes key = fromHex("2b7e151628aed2a6abf7158809cf4f3c");
    const Bytes iv = fromHex("000102030405060708090a0b0c0d0e0f");
    const Bytes plain = fromHex(
        "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
        "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
    const Bytes cipher = fromHex(
        "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
        "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7");
    EXPECT_EQ(encrypt(plain, false, key.data(), iv.data()), cipher);
    EXPECT_EQ(decrypt(cipher, key.data(), iv.data()), plain);

    // The zero IV, and one with a word, written over stale ones.
    Bytes zeroIv(16, 0xAA), wordIv(16, 0xAA);
    makeZeroIvWithWord(zeroIv.data(), 0);
    makeZeroIvWithWord(wordIv.data(), 0x04030201);
    EXPECT_EQ(zeroIv, Bytes(16, 0));
    EXPECT_EQ(wordIv, fromHex("01020304000000000000000000000000"));
    EXPECT_EQ(encrypt(fromHex("00112233445566778899aabbccddeeff"), false, iv.data(), zeroIv.data()),
              fromHex("69c4e0d86a7b0430d8cdb78070b4c55a"));
}

TEST(CipherSizes, PlaintextIsZeroPaddedTheLengthBlockFollowsItAndKeysKeep15Characters) {
    EXPECT_EQ(decrypt(encrypt(counting(17), false)), counting(17, 32));
    Bytes withLength = counting(16, 32);
    withLength[16] = 16;
    EXPECT_EQ(decrypt(encrypt(counting(16), true)), withLength);
    for (size_t n : {0, 1, 33}) {
        const Bytes cipher = encrypt(counting(n), true);
        ASSERT_EQ(cipher.size(), (n + 15) / 16 * 16 + 16) << n;
        const Bytes plain = decrypt(cipher);
        EXPECT_EQ(Bytes(plain.begin(), plain.begin() + n), counting(n)) << n;
        EXPECT_EQ(plain[cipher.size() - 16], u8(n)) << "the length block of " << n;
    }

    Bytes key(16, 0xAA);
    makeKeyFromText(key.data(), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(std::string(key.begin(), key.end()), std::string("ABCDEFGHIJKLMNO\0", 16));
}

TEST(CipherDamagedInput, PartBlocksAreRejected) {
    const Bytes cipher = encrypt(counting(40), true);
    u8* block = reinterpret_cast<u8*>(&block);
    EXPECT_FALSE(decryptBuffer(cipher.data(), 20, &block, kKey, kIv));
    EXPECT_EQ(block, nullptr);
}

// True when the operation, run on another thread while this thread holds the cipher lock, ends
// within `patience` (checked every 5 ms). An operation that takes the lock can end within it only
// when the lock is not taken; one that does not take it is given as long as a busy machine needs.
bool endsWhileTheCipherLockIsHeld(const std::function<void()>& operation, std::chrono::milliseconds patience) {
    std::atomic<bool> done{false};
    std::thread thread;
    bool ended = false;
    {
        ClCipherLockScope hold;
        thread = std::thread([&] { operation(), done = true; });
        const auto limit = std::chrono::steady_clock::now() + patience;
        while (!done && std::chrono::steady_clock::now() < limit) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ended = done;
    }
    thread.join();
    return ended;
}

constexpr std::chrono::milliseconds kLockedWait{30};
constexpr std::chrono::milliseconds kFreeWait{10000};

TEST(CipherLock, IsOnePooledLockThatEveryOperationButThePlainDigestTakes) {
    critSectionPoolInit();
    const u32 usedBefore = critSectionPoolUseCount();
    cipherLockInit();
    cipherLockInit();
    EXPECT_EQ(critSectionPoolUseCount(), usedBefore + 1);

    const Bytes plain = counting(40);
    const Bytes cipher = encrypt(plain, true);
    u8* block = nullptr;
    u32 length = 0;
    u8 digest[DIGEST_SIZE];
    EXPECT_FALSE(endsWhileTheCipherLockIsHeld([&] { encrypt(plain, false); }, kLockedWait));
    EXPECT_FALSE(endsWhileTheCipherLockIsHeld([&] { decrypt(cipher); }, kLockedWait));
    EXPECT_FALSE(endsWhileTheCipherLockIsHeld(
        [&] { appendDigest(plain.data(), u32(plain.size()), 1, &block, &length), std::free(block); }, kLockedWait));
    EXPECT_FALSE(endsWhileTheCipherLockIsHeld([&] { verifyTrailingDigest(cipher.data(), u32(cipher.size()), 1); }, kLockedWait));
    EXPECT_TRUE(endsWhileTheCipherLockIsHeld([&] { computeDigestWithValue(digest, plain.data(), u32(plain.size()), 1); }, kFreeWait));

    cipherLockShutdown();
    EXPECT_EQ(critSectionPoolUseCount(), usedBefore);
}

}  // namespace
