#include "core/name_hash.h"

namespace {

struct SCrc32Table {
    u32 entries[256];
    constexpr SCrc32Table() : entries() {
        for (u32 i = 0; i < 256; ++i) {
            u32 value = i;
            for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
            entries[i] = value;
        }
    }
};

constexpr SCrc32Table kCrc32Table;

inline u32 stepNoCase(u32 value, u8 byte) {
    const u32 index = (u32(byte) & 0xDFu) ^ (value & 0xFFu);
    // Arithmetic shift: the sign bit is copied into the top byte.
    const u32 shifted = u32(s32(value) >> 8);
    return shifted ^ kCrc32Table.entries[index];
}

}  // namespace

u32 crc32TextNoCase(const char* text) {
    u32 value = 0;
    if (!text) return value;
    for (const u8* p = reinterpret_cast<const u8*>(text); *p; ++p) value = stepNoCase(value, *p);
    return value;
}

u32 crc32Text(const char* text) {
    u32 value = 0;
    if (!text) return value;
    for (const u8* p = reinterpret_cast<const u8*>(text); *p; ++p) {
        value = (value >> 8) ^ kCrc32Table.entries[(*p ^ value) & 0xFFu];
    }
    return value;
}
