// Byte sources over memory and file ranges, and the two decoders the layer reads sound data
// with: RIFF/WAVE (integer PCM and float) and Ogg Vorbis (through vorbisfile's callbacks).
#include "platform/sound/sound_internal.h"

#include <vorbis/vorbisfile.h>

#include <cstring>

namespace {

constexpr u32 WAV_FORMAT_PCM = 1;
constexpr u32 WAV_FORMAT_FLOAT = 3;
constexpr u32 WAV_FORMAT_EXTENSIBLE = 0xFFFE;
constexpr u32 SOUND_MAX_RATE = 384000;

u16 readLe16(const u8* bytes) { return static_cast<u16>(bytes[0] | (bytes[1] << 8)); }
u32 readLe32(const u8* bytes) {
    return static_cast<u32>(bytes[0]) | (static_cast<u32>(bytes[1]) << 8) | (static_cast<u32>(bytes[2]) << 16) |
           (static_cast<u32>(bytes[3]) << 24);
}

class ClMemoryByteSource final : public ISoundByteSource {
public:
    ClMemoryByteSource(const void* data, u64 size) : m_data(static_cast<const u8*>(data)), m_size(size) {}
    u64 size() const override { return m_size; }
    bool readAt(u64 offset, void* destination, u32 bytes, u32* outRead) override {
        u64 available = offset < m_size ? m_size - offset : 0;
        u32 count = available < bytes ? static_cast<u32>(available) : bytes;
        if (count > 0) std::memcpy(destination, m_data + offset, count);
        *outRead = count;
        return true;
    }

private:
    const u8* m_data;
    u64 m_size;
};

class ClFileByteSource final : public ISoundByteSource {
public:
    ClFileByteSource(SOsFile* file, u64 base, u64 size) : m_file(file), m_base(base), m_size(size) {}
    ~ClFileByteSource() override { osFileClose(m_file); }
    u64 size() const override { return m_size; }
    bool readAt(u64 offset, void* destination, u32 bytes, u32* outRead) override {
        *outRead = 0;
        u64 available = offset < m_size ? m_size - offset : 0;
        u32 count = available < bytes ? static_cast<u32>(available) : bytes;
        if (count == 0) return true;
        return osFileReadAt(m_file, m_base + offset, destination, count, outRead);
    }

private:
    SOsFile* m_file;
    u64 m_base;
    u64 m_size;
};

// Integer PCM or float, read straight from the data chunk.
class ClWavSoundDecoder final : public ISoundDecoder {
public:
    explicit ClWavSoundDecoder(std::unique_ptr<ISoundByteSource> source) : m_source(std::move(source)) {}

    ESoundResult open() {
        u8 header[12];
        u32 got = 0;
        if (!m_source->readAt(0, header, 12, &got) || got != 12) return E_SOUND_ERR_FILE_BAD;
        u64 riffEnd = m_source->size();
        u64 declaredEnd = 8ull + readLe32(header + 4);
        if (declaredEnd < riffEnd) riffEnd = declaredEnd;
        bool haveFormat = false;
        u64 offset = 12;
        while (offset + 8 <= riffEnd) {
            u8 chunk[8];
            if (!m_source->readAt(offset, chunk, 8, &got) || got != 8) return E_SOUND_ERR_FILE_BAD;
            u32 chunkSize = readLe32(chunk + 4);
            u64 body = offset + 8;
            if (std::memcmp(chunk, "fmt ", 4) == 0) {
                ESoundResult result = readFormatChunk(body, chunkSize);
                if (result != E_SOUND_OK) return result;
                haveFormat = true;
            } else if (std::memcmp(chunk, "data", 4) == 0) {
                if (!haveFormat) return E_SOUND_ERR_FILE_BAD;
                u64 available = m_source->size() > body ? m_source->size() - body : 0;
                u64 dataBytes = chunkSize < available ? chunkSize : available;
                m_dataOffset = body;
                m_dataBytes = dataBytes - dataBytes % m_format.bytesPerFrame;
                m_format.frameCount = m_dataBytes / m_format.bytesPerFrame;
                return E_SOUND_OK;
            }
            offset = body + chunkSize + (chunkSize & 1u);
        }
        return E_SOUND_ERR_FILE_BAD;
    }

    ESoundResult read(void* destination, u32 bytes, u32* outBytes) override {
        *outBytes = 0;
        u64 left = m_dataBytes - m_readBytes;
        u32 want = bytes - bytes % m_format.bytesPerFrame;
        if (left < want) want = static_cast<u32>(left);
        if (want == 0) return E_SOUND_OK;
        u32 got = 0;
        if (!m_source->readAt(m_dataOffset + m_readBytes, destination, want, &got)) return E_SOUND_ERR_FILE_BAD;
        got -= got % m_format.bytesPerFrame;
        m_readBytes += got;
        *outBytes = got;
        return E_SOUND_OK;
    }

    ESoundResult rewind() override {
        m_readBytes = 0;
        return E_SOUND_OK;
    }

private:
    ESoundResult readFormatChunk(u64 body, u32 chunkSize) {
        if (chunkSize < 16) return E_SOUND_ERR_FILE_BAD;
        u8 fmt[40] = {};
        u32 want = chunkSize < sizeof(fmt) ? chunkSize : static_cast<u32>(sizeof(fmt));
        u32 got = 0;
        if (!m_source->readAt(body, fmt, want, &got) || got != want) return E_SOUND_ERR_FILE_BAD;
        u32 tag = readLe16(fmt);
        u32 channels = readLe16(fmt + 2);
        u32 rate = readLe32(fmt + 4);
        u32 blockAlign = readLe16(fmt + 12);
        u32 bits = readLe16(fmt + 14);
        if (tag == WAV_FORMAT_EXTENSIBLE) {
            if (want < 40) return E_SOUND_ERR_FILE_BAD;
            // The sub-format GUID begins with the plain format tag.
            tag = readLe16(fmt + 24);
        }
        if (channels < 1 || channels > static_cast<u32>(SOUND_MAX_INPUT_CHANNELS)) return E_SOUND_ERR_FORMAT;
        if (rate == 0 || rate > SOUND_MAX_RATE) return E_SOUND_ERR_FORMAT;
        ESoundFormat format = E_SOUNDFORMAT_NONE;
        if (tag == WAV_FORMAT_PCM) {
            if (bits == 8) format = E_SOUNDFORMAT_PCM8;
            else if (bits == 16) format = E_SOUNDFORMAT_PCM16;
            else if (bits == 24) format = E_SOUNDFORMAT_PCM24;
            else if (bits == 32) format = E_SOUNDFORMAT_PCM32;
        } else if (tag == WAV_FORMAT_FLOAT && bits == 32) {
            format = E_SOUNDFORMAT_PCMFLOAT;
        }
        if (format == E_SOUNDFORMAT_NONE) return E_SOUND_ERR_FORMAT;
        if (blockAlign != channels * (bits / 8)) return E_SOUND_ERR_FILE_BAD;
        m_format.format = format;
        m_format.channels = static_cast<s32>(channels);
        m_format.rate = rate;
        m_format.bytesPerFrame = blockAlign;
        return E_SOUND_OK;
    }

    std::unique_ptr<ISoundByteSource> m_source;
    u64 m_dataOffset = 0;
    u64 m_dataBytes = 0;
    u64 m_readBytes = 0;
};

// Signed 16-bit little-endian PCM from vorbisfile.
class ClOggSoundDecoder final : public ISoundDecoder {
public:
    explicit ClOggSoundDecoder(std::unique_ptr<ISoundByteSource> source) : m_source(std::move(source)) {}
    ~ClOggSoundDecoder() override {
        if (m_open) ov_clear(&m_file);
    }

    ESoundResult open() {
        ov_callbacks callbacks = {};
        callbacks.read_func = &readCallback;
        callbacks.seek_func = &seekCallback;
        callbacks.tell_func = &tellCallback;
        callbacks.close_func = nullptr;
        if (ov_open_callbacks(this, &m_file, nullptr, 0, callbacks) != 0) return E_SOUND_ERR_FILE_BAD;
        m_open = true;
        vorbis_info* info = ov_info(&m_file, -1);
        if (info == nullptr) return E_SOUND_ERR_FILE_BAD;
        if (info->channels < 1 || info->channels > SOUND_MAX_INPUT_CHANNELS) return E_SOUND_ERR_FORMAT;
        if (info->rate <= 0 || info->rate > static_cast<long>(SOUND_MAX_RATE)) return E_SOUND_ERR_FORMAT;
        m_format.format = E_SOUNDFORMAT_PCM16;
        m_format.channels = info->channels;
        m_format.rate = static_cast<u32>(info->rate);
        m_format.bytesPerFrame = static_cast<u32>(info->channels) * 2u;
        ogg_int64_t total = ov_pcm_total(&m_file, -1);
        m_format.frameCount = total > 0 ? static_cast<u64>(total) : 0;
        return E_SOUND_OK;
    }

    ESoundResult read(void* destination, u32 bytes, u32* outBytes) override {
        *outBytes = 0;
        u32 want = bytes - bytes % m_format.bytesPerFrame;
        u8* out = static_cast<u8*>(destination);
        u32 done = 0;
        while (done < want && !m_ended) {
            int section = 0;
            long got = ov_read(&m_file, reinterpret_cast<char*>(out + done), static_cast<int>(want - done), 0, 2, 1,
                               &section);
            if (got == OV_HOLE) continue;
            if (got < 0) return E_SOUND_ERR_FILE_BAD;
            if (got == 0) {
                m_ended = true;
                break;
            }
            vorbis_info* info = ov_info(&m_file, section);
            // A chained stream that changes its layout cannot continue in this format.
            if (info == nullptr || info->channels != m_format.channels) {
                m_ended = true;
                break;
            }
            done += static_cast<u32>(got);
        }
        *outBytes = done - done % m_format.bytesPerFrame;
        return E_SOUND_OK;
    }

    ESoundResult rewind() override {
        if (ov_pcm_seek(&m_file, 0) != 0) return E_SOUND_ERR_FILE_BAD;
        m_ended = false;
        return E_SOUND_OK;
    }

private:
    static size_t readCallback(void* destination, size_t size, size_t count, void* self) {
        auto* decoder = static_cast<ClOggSoundDecoder*>(self);
        u64 want64 = static_cast<u64>(size) * count;
        u32 want = want64 > 0x7FFFFFFFull ? 0x7FFFFFFFu : static_cast<u32>(want64);
        u32 got = 0;
        if (!decoder->m_source->readAt(decoder->m_position, destination, want, &got)) return 0;
        decoder->m_position += got;
        return size == 0 ? 0 : got / size;
    }
    static int seekCallback(void* self, ogg_int64_t offset, int whence) {
        auto* decoder = static_cast<ClOggSoundDecoder*>(self);
        s64 base = 0;
        if (whence == SEEK_CUR) base = static_cast<s64>(decoder->m_position);
        else if (whence == SEEK_END) base = static_cast<s64>(decoder->m_source->size());
        s64 target = base + offset;
        if (target < 0 || static_cast<u64>(target) > decoder->m_source->size()) return -1;
        decoder->m_position = static_cast<u64>(target);
        return 0;
    }
    static long tellCallback(void* self) { return static_cast<long>(static_cast<ClOggSoundDecoder*>(self)->m_position); }

    std::unique_ptr<ISoundByteSource> m_source;
    OggVorbis_File m_file = {};
    bool m_open = false;
    bool m_ended = false;
    u64 m_position = 0;
};

}  // namespace

u32 soundFormatBytes(ESoundFormat format) {
    switch (format) {
    case E_SOUNDFORMAT_PCM8: return 1;
    case E_SOUNDFORMAT_PCM16: return 2;
    case E_SOUNDFORMAT_PCM24: return 3;
    case E_SOUNDFORMAT_PCM32: return 4;
    case E_SOUNDFORMAT_PCMFLOAT: return 4;
    default: return 0;
    }
}

std::unique_ptr<ISoundByteSource> makeMemoryByteSource(const void* data, u64 size) {
    return std::make_unique<ClMemoryByteSource>(data, size);
}

std::unique_ptr<ISoundByteSource> makeFileByteSource(const void* path, bool wide, u64 offset, u64 length,
                                                     ESoundResult* outResult) {
    SOsFile* file = wide ? osFileOpenW(static_cast<const char16_t*>(path), E_OSFILE_READ_EXISTING)
                         : osFileOpen(static_cast<const char*>(path), E_OSFILE_READ_EXISTING);
    if (file == nullptr) {
        *outResult = E_SOUND_ERR_FILE_NOTFOUND;
        return nullptr;
    }
    u64 fileSize = 0;
    if (!osFileGetSize(file, &fileSize) || offset > fileSize) {
        osFileClose(file);
        *outResult = E_SOUND_ERR_FILE_BAD;
        return nullptr;
    }
    u64 available = fileSize - offset;
    if (length == 0) length = available;
    if (length > available) {
        osFileClose(file);
        *outResult = E_SOUND_ERR_FILE_BAD;
        return nullptr;
    }
    *outResult = E_SOUND_OK;
    return std::make_unique<ClFileByteSource>(file, offset, length);
}

ESoundResult openSoundDecoder(std::unique_ptr<ISoundByteSource> source, std::unique_ptr<ISoundDecoder>* outDecoder) {
    outDecoder->reset();
    u8 magic[12] = {};
    u32 got = 0;
    if (!source->readAt(0, magic, 12, &got)) return E_SOUND_ERR_FILE_BAD;
    if (got >= 12 && std::memcmp(magic, "RIFF", 4) == 0 && std::memcmp(magic + 8, "WAVE", 4) == 0) {
        auto decoder = std::make_unique<ClWavSoundDecoder>(std::move(source));
        ESoundResult result = decoder->open();
        if (result != E_SOUND_OK) return result;
        *outDecoder = std::move(decoder);
        return E_SOUND_OK;
    }
    if (got >= 4 && std::memcmp(magic, "OggS", 4) == 0) {
        auto decoder = std::make_unique<ClOggSoundDecoder>(std::move(source));
        ESoundResult result = decoder->open();
        if (result != E_SOUND_OK) return result;
        *outDecoder = std::move(decoder);
        return E_SOUND_OK;
    }
    return E_SOUND_ERR_FORMAT;
}
