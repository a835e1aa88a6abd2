#include "library/save_bytes.h"

#include <cstring>

void ClByteWriter::putU32(u32 value) {
    for (u32 i = 0; i < 4; ++i) m_bytes.push_back(u8(value >> (8 * i)));
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
    const u8* p = static_cast<const u8*>(bytes);
    m_bytes.insert(m_bytes.end(), p, p + size);
}

void ClByteWriter::putWide(const std::u16string& text) {
    putU32(u32(text.size()));
    for (char16_t unit : text) {
        m_bytes.push_back(u8(unit));
        m_bytes.push_back(u8(unit >> 8));
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
