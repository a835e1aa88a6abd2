#include "tests/support/file_bytes.h"

#include "platform/os/os.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace test_support {

namespace {

// The format GUID's tail shared by PCM and float subformats.
const u8 kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

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

std::vector<u8> wavImage(const SWavFixture& fixture, const std::vector<u8>& data) {
    const u32 container = (fixture.bits + 7u) / 8u;
    const u32 tag = fixture.extensible ? 0xFFFE : fixture.tag;
    std::vector<u8> fmt;
    for (const auto& [value, bytes] : {std::pair{tag, 2u}, {fixture.channels, 2u}, {fixture.rate, 4u},
                                       {fixture.rate * fixture.channels * container, 4u}, {fixture.channels * container, 2u},
                                       {fixture.extensible ? container * 8 : fixture.bits, 2u}}) {
        putLe(fmt, value, bytes);
    }
    if (fixture.extensible) {
        for (const auto& [value, bytes] : {std::pair{22u, 2u}, {fixture.bits, 2u}, {0u, 4u}, {u32(fixture.tag), 2u}}) {
            putLe(fmt, value, bytes);
        }
        fmt.insert(fmt.end(), kSubFormatTail, kSubFormatTail + sizeof(kSubFormatTail));
    }
    std::vector<u8> out;
    putId(out, "RIFF");
    putLe(out, 0, 4);
    putId(out, "WAVE");
    auto putChunk = [&out](const char* id, u32 size, const u8* bytes, size_t count, bool pad) {
        putId(out, id);
        putLe(out, size, 4);
        out.insert(out.end(), bytes, bytes + count);
        if (pad && count % 2) out.push_back(0);
    };
    const u32 dataSize = fixture.dataSizeOverride ? fixture.dataSizeOverride : u32(data.size());
    if (!fixture.dataBeforeFmt) putChunk("fmt ", u32(fmt.size()), fmt.data(), fmt.size(), true);
    if (fixture.oddListBeforeData) putChunk("LIST", 13, reinterpret_cast<const u8*>("LIST-INFO-odd"), 13, !fixture.omitPad);
    putChunk("data", dataSize, data.data(), data.size(), true);
    if (fixture.dataBeforeFmt) putChunk("fmt ", u32(fmt.size()), fmt.data(), fmt.size(), true);
    const u32 riffSize = u32(out.size() - 8);
    std::memcpy(&out[4], &riffSize, 4);
    return out;
}

void writeSilentWav(const std::filesystem::path& path, u32 rate, u32 seconds) {
    const u32 dataBytes = rate * 2u * seconds;
    std::vector<u8> head = wavImage({.channels = 1, .rate = rate, .dataSizeOverride = dataBytes}, {});
    // The RIFF size, as if the samples followed.
    const u32 riffSize = u32(head.size()) - 8 + dataBytes;
    std::memcpy(&head[4], &riffSize, 4);
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
