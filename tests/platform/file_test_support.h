// Temporary folders, whole-file reads and WAV images for the tests that make their own files.
#pragma once

#include "platform/types.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace file_test {

// A fresh folder under /tmp, removed with everything in it.
class ClTempFolder {
public:
    ClTempFolder() {
        char name[] = "/tmp/velodrix_test_XXXXXX";
        if (mkdtemp(name) == nullptr) throw std::runtime_error("no temporary folder");
        m_path = name;
    }
    ~ClTempFolder() { std::filesystem::remove_all(m_path); }
    ClTempFolder(const ClTempFolder&) = delete;
    ClTempFolder& operator=(const ClTempFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    // Writes the bytes as the named file, making its folders, and returns its path.
    std::string write(const std::string& name, std::string_view bytes) const {
        const std::string path = file(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return path;
    }
    std::string write(const std::string& name, const std::vector<u8>& bytes) const {
        return write(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }

private:
    std::string m_path;
};

inline std::vector<u8> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<u8>(std::istreambuf_iterator<char>(in), {});
}

inline void putLe(std::vector<u8>& out, u32 value, u32 bytes) {
    for (u32 i = 0; i < bytes; ++i) out.push_back(static_cast<u8>(value >> (8 * i)));
}

inline void putId(std::vector<u8>& out, const char* id) {
    for (u32 i = 0; i < 4; ++i) out.push_back(static_cast<u8>(id[i]));
}

// A RIFF WAVE image around samples already encoded: format tag 1 (integer) or 3 (float).
// `oddChunk` puts a 1-byte LIST chunk and its pad byte before "data".
inline std::vector<u8> wavImage(u32 tag, u32 channels, u32 rate, u32 bits, const std::vector<u8>& data,
                                bool oddChunk = false) {
    std::vector<u8> out;
    putId(out, "RIFF");
    putLe(out, static_cast<u32>(36 + (oddChunk ? 10 : 0) + data.size()), 4);
    putId(out, "WAVE");
    putId(out, "fmt ");
    putLe(out, 16, 4);
    putLe(out, tag, 2);
    putLe(out, channels, 2);
    putLe(out, rate, 4);
    putLe(out, rate * channels * bits / 8, 4);
    putLe(out, channels * bits / 8, 2);
    putLe(out, bits, 2);
    if (oddChunk) {
        putId(out, "LIST");
        putLe(out, 1, 4);
        putLe(out, 'x', 2);
    }
    putId(out, "data");
    putLe(out, static_cast<u32>(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline std::vector<u8> pcm16Bytes(const std::vector<s16>& samples) {
    std::vector<u8> out;
    for (s16 sample : samples) putLe(out, static_cast<u16>(sample), 2);
    return out;
}

}  // namespace file_test
