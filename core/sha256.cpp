#include "core/sha256.h"

#include <atomic>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {

alignas(16) constexpr u32 SHA256_ROUND_CONSTANTS[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr u32 SHA256_INITIAL_STATE[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

inline u32 rotateRight(u32 x, u32 n) { return (x >> n) | (x << (32u - n)); }

inline u32 loadBigEndian32(const u8* p) {
    return u32(p[0]) << 24 | u32(p[1]) << 16 | u32(p[2]) << 8 | u32(p[3]);
}

void compressPortable(u32* state, const u8* blocks, size_t count) {
    for (; count != 0; --count, blocks += SHA256_BLOCK_BYTES) {
        u32 w[64];
        for (u32 t = 0; t < 16u; ++t) w[t] = loadBigEndian32(blocks + 4u * t);
        for (u32 t = 16; t < 64u; ++t) {
            const u32 s0 = rotateRight(w[t - 15], 7) ^ rotateRight(w[t - 15], 18) ^ (w[t - 15] >> 3);
            const u32 s1 = rotateRight(w[t - 2], 17) ^ rotateRight(w[t - 2], 19) ^ (w[t - 2] >> 10);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        u32 a = state[0], b = state[1], c = state[2], d = state[3];
        u32 e = state[4], f = state[5], g = state[6], h = state[7];
        for (u32 t = 0; t < 64u; ++t) {
            const u32 s1 = rotateRight(e, 6) ^ rotateRight(e, 11) ^ rotateRight(e, 25);
            const u32 choice = (e & f) ^ (~e & g);
            const u32 t1 = h + s1 + choice + SHA256_ROUND_CONSTANTS[t] + w[t];
            const u32 s0 = rotateRight(a, 2) ^ rotateRight(a, 13) ^ rotateRight(a, 22);
            const u32 majority = (a & b) ^ (a & c) ^ (b & c);
            const u32 t2 = s0 + majority;
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#if defined(__x86_64__)
bool shaInstructionsAvailable() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool ssse3 = (ecx & (1u << 9)) != 0;
    const bool sse41 = (ecx & (1u << 19)) != 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    const bool sha = (ebx & (1u << 29)) != 0;
    return ssse3 && sse41 && sha;
}

// The instructions keep the eight words as two registers, (A, B, E, F) and (C, D, G, H), and run
// two rounds per instruction; the message schedule of each group of four words comes from the
// four groups before it.
[[gnu::target("sha,sse4.1,ssse3")]] void compressInstructions(u32* state, const u8* blocks, size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    // Lanes named from the highest down.
    const __m128i cdab = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    const __m128i* constants = reinterpret_cast<const __m128i*>(SHA256_ROUND_CONSTANTS);
    for (; count != 0; --count, blocks += SHA256_BLOCK_BYTES) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i message[4];
        for (u32 q = 0; q < 4u; ++q)
            message[q] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16u * q)), byteSwap);
#pragma GCC unroll 16
        for (u32 group = 0; group < 16u; ++group) {
            const __m128i current = message[group % 4u];
            const __m128i words = _mm_add_epi32(current, _mm_load_si128(constants + group));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, words);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(words, 0x0E));
            // The group after this one, from its first half (made two groups ago) and the last two.
            if (group >= 3u && group <= 14u) {
                __m128i& next = message[(group + 1u) % 4u];
                next = _mm_add_epi32(next, _mm_alignr_epi8(current, message[(group + 3u) % 4u], 4));
                next = _mm_sha256msg2_epu32(next, current);
            }
            // The first half of the group three on, in the slot of the group before this one.
            if (group >= 1u && group <= 12u) {
                __m128i& before = message[(group + 3u) % 4u];
                before = _mm_sha256msg1_epu32(before, current);
            }
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}
#endif

// Set on first use to whether the processor has the instructions, unless a test asked otherwise.
std::atomic<int> g_shaInstructions{-1};

bool useInstructions() {
    int use = g_shaInstructions.load(std::memory_order_relaxed);
    if (use < 0) {
#if defined(__x86_64__)
        use = shaInstructionsAvailable() ? 1 : 0;
#else
        use = 0;
#endif
        g_shaInstructions.store(use, std::memory_order_relaxed);
    }
    return use != 0;
}

void compress(u32* state, const u8* blocks, size_t count) {
#if defined(__x86_64__)
    if (useInstructions()) {
        compressInstructions(state, blocks, count);
        return;
    }
#endif
    compressPortable(state, blocks, count);
}

}  // namespace

bool sha256SetInstructions(bool allowed) {
#if defined(__x86_64__)
    const bool use = allowed && shaInstructionsAvailable();
#else
    const bool use = false;
    (void)allowed;
#endif
    g_shaInstructions.store(use ? 1 : 0, std::memory_order_relaxed);
    return use;
}

void sha256Begin(SSha256* hash) {
    std::memcpy(hash->state, SHA256_INITIAL_STATE, sizeof hash->state);
    hash->pendingBytes = 0;
    hash->totalBytes = 0;
}

void sha256Add(SSha256* hash, const void* bytes, size_t n) {
    const u8* in = static_cast<const u8*>(bytes);
    hash->totalBytes += n;
    if (hash->pendingBytes != 0) {
        const size_t room = SHA256_BLOCK_BYTES - hash->pendingBytes;
        const size_t take = n < room ? n : room;
        std::memcpy(hash->pending + hash->pendingBytes, in, take);
        hash->pendingBytes += u32(take);
        in += take;
        n -= take;
        if (hash->pendingBytes < SHA256_BLOCK_BYTES) return;
        compress(hash->state, hash->pending, 1);
        hash->pendingBytes = 0;
    }
    const size_t whole = n / SHA256_BLOCK_BYTES;
    if (whole != 0) compress(hash->state, in, whole);
    in += whole * SHA256_BLOCK_BYTES;
    n -= whole * SHA256_BLOCK_BYTES;
    if (n != 0) std::memcpy(hash->pending, in, n);
    hash->pendingBytes = u32(n);
}

void sha256Finish(SSha256* hash, u8* outDigest) {
    const u64 bits = hash->totalBytes * 8u;
    u8 tail[2 * SHA256_BLOCK_BYTES] = {};
    std::memcpy(tail, hash->pending, hash->pendingBytes);
    tail[hash->pendingBytes] = 0x80;
    // The bit count closes the last block: one block when it still fits after the 0x80, else two.
    const u32 tailBytes = hash->pendingBytes + 1u + 8u <= SHA256_BLOCK_BYTES ? SHA256_BLOCK_BYTES : 2u * SHA256_BLOCK_BYTES;
    for (u32 i = 0; i < 8u; ++i) tail[tailBytes - 1u - i] = u8(bits >> (8u * i));
    compress(hash->state, tail, tailBytes / SHA256_BLOCK_BYTES);
    for (u32 i = 0; i < 8u; ++i) {
        outDigest[4u * i] = u8(hash->state[i] >> 24);
        outDigest[4u * i + 1u] = u8(hash->state[i] >> 16);
        outDigest[4u * i + 2u] = u8(hash->state[i] >> 8);
        outDigest[4u * i + 3u] = u8(hash->state[i]);
    }
}
