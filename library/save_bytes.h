// Little-endian byte images of the library's own files: a writer that appends values, and a
// reader that checks every read against the bytes left, so a damaged or hostile file can only
// make the read fail, never run past its end.
#pragma once

#include "core/types.h"

#include <string>
#include <vector>

class ClByteWriter {
public:
    // Room for this many bytes in all, so that a large image is not moved as it grows.
    void reserve(size_t bytes);
    void putU8(u8 value) { *grow(1) = value; }
    void putU32(u32 value);
    void putS32(s32 value) { putU32(u32(value)); }
    void putU64(u64 value);
    void putF32(f32 value);
    void putBytes(const void* bytes, u32 size);
    // A u32 count of UTF-16 units, then the units.
    void putWide(const std::u16string& text);
    // A terminated narrow text of a fixed capacity, stored as its count and bytes.
    void putText(const char* text, u32 capacity);

    // The image, taken out of the writer (which is empty afterwards).
    std::vector<u8> takeBytes();

private:
    // The next `count` bytes of the image, to be written.
    u8* grow(size_t count);

    std::vector<u8> m_bytes;  // the image, then room
    size_t m_size = 0;        // bytes of the image
};

class ClByteReader {
public:
    ClByteReader(const u8* bytes, u32 size) : m_bytes(bytes), m_size(size) {}

    // Each read gives 0 (or empty) once the reader has failed; a read past the end fails it.
    u8 getU8();
    u32 getU32();
    s32 getS32() { return s32(getU32()); }
    u64 getU64();
    f32 getF32();
    void getBytes(void* out, u32 size);
    // At most maxUnits units; a longer count fails the reader.
    std::u16string getWide(u32 maxUnits);
    // Into a buffer of the capacity, terminated; a count that leaves no room for the
    // terminator fails the reader. False (and out empty) when the text fails the reader or holds
    // a NUL, which no writer puts in a text: the caller decides what that text's loss means.
    bool getText(char* out, u32 capacity);
    // A count of records that each take at least minRecordBytes: failing when the bytes left
    // cannot hold that many, so a damaged count never makes the caller reserve a huge list.
    u32 getCount(u32 minRecordBytes);

    bool failed() const { return m_failed; }
    // True when every byte was read and nothing failed.
    bool finishedCleanly() const { return !m_failed && m_offset == m_size; }

private:
    bool take(u32 size);

    const u8* m_bytes;
    u32 m_size;
    u32 m_offset = 0;
    bool m_failed = false;
};
