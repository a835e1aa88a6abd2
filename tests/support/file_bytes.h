// Whole files read and written by the tests, bytes that show misplaced data, and the RIFF WAVE
// images of the tests that make their own sounds.
#pragma once

#include "platform/types.h"

#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

// Writing creates the missing parent folders.
std::vector<u8> readFileBytes(const std::filesystem::path& path);
std::string readFileText(const std::filesystem::path& path);
void writeFileBytes(const std::filesystem::path& path, const std::vector<u8>& bytes);
void writeFileText(const std::filesystem::path& path, const std::string& text);

// Bytes that differ from piece to piece, so data landing at a wrong offset is seen.
std::vector<u8> patternBytes(u32 size);
// A text of the given length repeating a word: it compresses well.
std::string repeatedText(size_t length, const char* word);
// Bytes as lower-case hex digits, two a byte, as digests are published.
std::string hexText(const u8* bytes, size_t n);

void putLe(std::vector<u8>& out, u32 value, u32 bytes);
void putId(std::vector<u8>& out, const char* id);

struct SWavFixture {
    u16 channels = 2;
    u32 rate = 44100;
    u16 bits = 16;                   // significant bits; the container is (bits + 7) / 8 bytes
    u16 tag = 1;                     // 1 integer, 3 float; with `extensible`, the subformat
    bool extensible = false;         // tag 0xFFFE, the container width and the significant bits
    bool dataBeforeFmt = false;
    bool oddListBeforeData = false;  // a 13-byte LIST chunk
    bool omitPad = false;            // the LIST chunk's pad byte left out
    u32 dataSizeOverride = 0;        // 0: the real size
};

// A RIFF WAVE image around samples already encoded; odd data gets its pad byte.
std::vector<u8> wavImage(const SWavFixture& fixture, const std::vector<u8>& data);
std::vector<u8> pcm16Bytes(const std::vector<s16>& samples);
// Files whose bytes (past a head) are a hole, so that even gigabytes take no room: a mono 16-bit
// WAV of `seconds` of silence, and `bytes` of zeros.
void writeSilentWav(const std::filesystem::path& path, u32 rate, u32 seconds);
void writeZeroFile(const std::filesystem::path& path, u64 bytes);

// A UTF-8 path as the game's UTF-16 paths are handed to the layers.
std::u16string widePath(const std::string& utf8Path);

}  // namespace test_support
