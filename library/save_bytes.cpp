#include "library/save_bytes.h"

#include <algorithm>
#include <cstring>

void ClByteWriter::reserve(size_t bytes) {
    if (bytes > m_bytes.size()) m_bytes.resize(bytes);
}

u8* ClByteWriter::grow(size_t count) {
    if (count > m_bytes.size() - m_size) m_bytes.resize(std::max(m_size + count, 2 * m_bytes.size()));
    u8* at = m_bytes.data() + m_size;
    m_size += count;
    return at;
}

std::vector<u8> ClByteWriter::takeBytes() {
    m_bytes.resize(m_size);
    m_size = 0;
    return std::move(m_bytes);
}

void ClByteWriter::putU32(u32 value) {
    u8* out = grow(4);
    for (u32 i = 0; i < 4; ++i) out[i] = u8(value >> (8 * i));
}

void ClByteWriter::putU64(u64 value) {
    putU32(u32(value));
    putU32(u32(value >> 32));
}

void ClByteWriter::putF32(f32 value) {
    u32 word;
    std::memcpy(&word, &value, sizeof(word));
    putU32(word);
}

void ClByteWriter::putBytes(const void* bytes, u32 size) {
    if (size > 0) std::memcpy(grow(size), bytes, size);
}

void ClByteWriter::putWide(const std::u16string& text) {
    putU32(u32(text.size()));
    u8* out = grow(2 * text.size());
    for (char16_t unit : text) {
        *out++ = u8(unit);
        *out++ = u8(unit >> 8);
    }
}

void ClByteWriter::putText(const char* text, u32 capacity) {
    u32 length = 0;
    while (length + 1 < capacity && text[length]) ++length;
    putU32(length);
    putBytes(text, length);
}

bool ClByteReader::take(u32 size) {
    if (m_failed || size > m_size - m_offset) {
        m_failed = true;
        return false;
    }
    return true;
}

u8 ClByteReader::getU8() {
    if (!take(1)) return 0;
    return m_bytes[m_offset++];
}

u32 ClByteReader::getU32() {
    if (!take(4)) return 0;
    u32 value = 0;
    for (u32 i = 0; i < 4; ++i) value |= u32(m_bytes[m_offset + i]) << (8 * i);
    m_offset += 4;
    return value;
}

u64 ClByteReader::getU64() {
    const u64 low = getU32();
    return low | (u64(getU32()) << 32);
}

f32 ClByteReader::getF32() {
    const u32 word = getU32();
    f32 value;
    std::memcpy(&value, &word, sizeof(value));
    return value;
}

void ClByteReader::getBytes(void* out, u32 size) {
    if (!take(size)) {
        std::memset(out, 0, size);
        return;
    }
    std::memcpy(out, m_bytes + m_offset, size);
    m_offset += size;
}

std::u16string ClByteReader::getWide(u32 maxUnits) {
    const u32 count = getU32();
    if (count > maxUnits || !take(count * 2)) {
        m_failed = true;
        return {};
    }
    std::u16string text(count, u'\0');
    for (u32 i = 0; i < count; ++i) {
        text[i] = char16_t(m_bytes[m_offset] | (m_bytes[m_offset + 1] << 8));
        m_offset += 2;
    }
    return text;
}

bool ClByteReader::getText(char* out, u32 capacity) {
    out[0] = '\0';
    const u32 count = getU32();
    if (count >= capacity || !take(count)) {
        m_failed = true;
        return false;
    }
    const u8* text = m_bytes + m_offset;
    m_offset += count;
    if (std::memchr(text, 0, count)) return false;
    std::memcpy(out, text, count);
    out[count] = '\0';
    return true;
}

u32 ClByteReader::getCount(u32 minRecordBytes) {
    const u32 count = getU32();
    if (m_failed) return 0;
    if (minRecordBytes != 0 && count > (m_size - m_offset) / minRecordBytes) {
        m_failed = true;
        return 0;
    }
    return count;
}
