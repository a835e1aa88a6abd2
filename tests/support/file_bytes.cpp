#include "tests/support/file_bytes.h"

#include "platform/os/os.h"

#include <fstream>
#include <iterator>

namespace test_support {

std::vector<u8> readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<u8>(std::istreambuf_iterator<char>(in), {});
}

std::string readFileText(const std::filesystem::path& path) {
    const std::vector<u8> bytes = readFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void writeFileBytes(const std::filesystem::path& path, const std::vector<u8>& bytes) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void writeFileText(const std::filesystem::path& path, const std::string& text) {
    writeFileBytes(path, std::vector<u8>(text.begin(), text.end()));
}

std::vector<u8> patternBytes(u32 size) {
    std::vector<u8> bytes(size);
    for (u32 i = 0; i < size; ++i) bytes[i] = u8((i * 131u) ^ (i >> 13));
    return bytes;
}

std::string repeatedText(size_t length, const char* word) {
    std::string text;
    while (text.size() < length) text += word;
    text.resize(length);
    return text;
}

std::string hexText(const u8* bytes, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < n; ++i) text += {digits[bytes[i] >> 4], digits[bytes[i] & 15]};
    return text;
}

void putLe(std::vector<u8>& out, u32 value, u32 bytes) {
    for (u32 i = 0; i < bytes; ++i) out.push_back(static_cast<u8>(value >> (8 * i)));
}

void putId(std::vector<u8>& out, const char* id) {
    for (u32 i = 0; i < 4; ++i) out.push_back(static_cast<u8>(id[i]));
}

std::vector<u8> wavImage(u32 tag, u32 channels, u32 rate, u32 bits, const std::vector<u8>& data, bool oddChunk) {
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

void writeSilentWav(const std::filesystem::path& path, u32 rate, u32 seconds) {
    const u32 dataBytes = rate * 2u * seconds;
    std::vector<u8> head = wavImage(1, 1, rate, 16, {});
    // The RIFF size and the data size, as if the samples followed.
    for (u32 i = 0; i < 4; ++i) {
        head[4 + i] = u8((36 + dataBytes) >> (8 * i));
        head[40 + i] = u8(dataBytes >> (8 * i));
    }
    writeFileBytes(path, head);
    std::filesystem::resize_file(path, head.size() + dataBytes);
}

void writeZeroFile(const std::filesystem::path& path, u64 bytes) {
    writeFileBytes(path, {});
    std::filesystem::resize_file(path, bytes);
}

std::vector<u8> pcm16Bytes(const std::vector<s16>& samples) {
    std::vector<u8> out;
    for (s16 sample : samples) putLe(out, static_cast<u16>(sample), 2);
    return out;
}

std::u16string widePath(const std::string& utf8Path) {
    std::u16string wide;
    osUtf8ToWide(utf8Path.c_str(), &wide);
    return wide;
}

}  // namespace test_support
