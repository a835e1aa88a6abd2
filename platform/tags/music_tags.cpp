#include "platform/tags/music_tags.h"

#include "platform/os/os.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tfilestream.h>

#include <cstdint>
#include <cstring>

namespace {

std::u16string tagText(const TagLib::String& value) {
    std::u16string out;
    if (value.isEmpty() || !osUtf8ToWide(value.toCString(true), &out) || out.size() >= MUSIC_TAG_LENGTH_LIMIT) {
        out.clear();
    }
    return out;
}

// Whether the file begins as a music file the game decodes: an ID3v2 tag, an MPEG audio or ADTS
// frame, or the head of a FLAC, Ogg, RIFF, AIFF, WavPack, MP4 or ASF file.
bool beginsAsMusic(TagLib::FileStream& file) {
    file.seek(0);
    const TagLib::ByteVector head = file.readBlock(12);
    if (head.size() < 12) return false;
    const char* bytes = head.data();
    const auto is = [bytes](size_t offset, const char* text) { return std::memcmp(bytes + offset, text, std::strlen(text)) == 0; };
    if (uint8_t(bytes[0]) == 0xFF && (uint8_t(bytes[1]) & 0xE0) == 0xE0) return true;
    return is(0, "ID3") || is(0, "fLaC") || is(0, "OggS") || is(0, "RIFF") || is(0, "FORM") || is(0, "wvpk") ||
           is(0, "ADIF") || is(4, "ftyp") || is(0, "\x30\x26\xB2\x75");
}

// The file as TagLib reads it, read only, handing out at most MUSIC_TAG_READ_LIMIT blocks
// (MUSIC_TAG_SEARCH_READ_LIMIT when its head is not that of music) and none once a stop is asked
// for: past either, the file reads as ended.
class ClBoundedTagStream : public TagLib::IOStream {
public:
    ClBoundedTagStream(const char* path, const std::atomic<bool>* stop) : m_file(path, true), m_stop(stop) {
        m_readsLeft = m_file.isOpen() && beginsAsMusic(m_file) ? MUSIC_TAG_READ_LIMIT : MUSIC_TAG_SEARCH_READ_LIMIT;
        m_file.seek(0);
    }

    TagLib::FileName name() const override { return m_file.name(); }
    TagLib::ByteVector readBlock(unsigned long length) override {
        if (m_readsLeft == 0 || (m_stop && m_stop->load(std::memory_order_relaxed))) return {};
        --m_readsLeft;
        return m_file.readBlock(length);
    }
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return m_file.isOpen(); }
    void seek(long offset, Position position) override { m_file.seek(offset, position); }
    void clear() override { m_file.clear(); }
    long tell() const override { return m_file.tell(); }
    long length() override { return m_file.length(); }
    void truncate(long) override {}

private:
    TagLib::FileStream m_file;
    const std::atomic<bool>* m_stop;
    uint32_t m_readsLeft = 0;
};

}  // namespace

bool readMusicTags(const char16_t* path, SMusicTags* out, const std::atomic<bool>* stop) {
    *out = SMusicTags{};
    if (!path || !path[0]) return false;
    const std::string systemPath = osSystemPathW(path);
    ClBoundedTagStream stream(systemPath.c_str(), stop);
    if (!stream.isOpen()) return false;
    // Audio properties are not read: the scan only wants the names.
    TagLib::FileRef file(&stream, false);
    if (file.isNull() || !file.tag()) return false;
    const TagLib::Tag* tag = file.tag();
    out->title = tagText(tag->title());
    out->artist = tagText(tag->artist());
    out->album = tagText(tag->album());
    return true;
}
