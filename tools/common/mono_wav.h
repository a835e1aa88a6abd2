#pragma once

// Writes synthesised mono sound as a canonical 16-bit PCM WAV file: a 44-byte header (RIFF, a
// 16-byte "fmt " chunk, then "data") and the samples, each clamped to [-1, 1] and scaled by gain.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace tool_wav {

inline void put16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}

inline void put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    put16(bytes, at, uint16_t(value));
    put16(bytes, at + 2, uint16_t(value >> 16));
}

inline bool writeMonoWav16(const std::string& path, const std::vector<double>& samples, uint32_t rate,
                           double gain = 1.0) {
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    std::vector<uint8_t> bytes(44 + size_t(dataBytes), 0);
    std::memcpy(&bytes[0], "RIFF", 4);
    put32(bytes, 4, 36 + dataBytes);
    std::memcpy(&bytes[8], "WAVEfmt ", 8);
    put32(bytes, 16, 16);
    put16(bytes, 20, 1);  // PCM
    put16(bytes, 22, 1);  // mono
    put32(bytes, 24, rate);
    put32(bytes, 28, rate * 2);
    put16(bytes, 32, 2);
    put16(bytes, 34, 16);
    std::memcpy(&bytes[36], "data", 4);
    put32(bytes, 40, dataBytes);
    for (size_t i = 0; i < samples.size(); ++i) {
        const double clamped = std::fmax(-1.0, std::fmin(1.0, samples[i] * gain));
        put16(bytes, 44 + 2 * i, uint16_t(int16_t(std::lround(clamped * 32767.0))));
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(file);
}

}  // namespace tool_wav
