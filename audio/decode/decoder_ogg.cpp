// The Ogg Vorbis decoder over vorbisfile.
#include "audio/decode/decoder_ogg.h"

#include "audio/decode/codec_registry.h"
#include "audio/decode/sample_pull.h"
#include "core/file_layer.h"
#include "platform/os/os.h"

// We pass our own callbacks; the header's unused static callback tables are left out.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cstring>
#include <new>
#include <string>

static_assert(OGGVORBIS_HOLE == OV_HOLE);

namespace {

const SCodecRingMessages kOggVorbisRingMessages = {
    "ClCodecStreamInstance_OggVorbis::handleFMODReadCallback() ERROR -> Buffer [%d] should have its buffer state set to "
    "E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE -> SKIPPING!",
    "ClCodecStreamInstance_OggVorbis::handleFMODReadCallback() ERROR -> We have wrapped around to buffer [%d] where we "
    "started (we are out of data)!",
};

size_t readOggFile(void* destination, size_t size, size_t count, void* file) {
    return std::fread(destination, size, count, static_cast<FILE*>(file));
}

int seekOggFile(void* file, ogg_int64_t offset, int whence) {
    return fseeko(static_cast<FILE*>(file), off_t(offset), whence);
}

int closeOggFile(void* file) { return std::fclose(static_cast<FILE*>(file)); }

long tellOggFile(void* file) { return long(ftello(static_cast<FILE*>(file))); }

struct SOggReadContext {
    OggVorbis_File* vorbisFile;
    u32 channels;
};

long readOggVorbis(void* context, char* buffer, int bytes) {
    SOggReadContext* read = static_cast<SOggReadContext*>(context);
    int bitstream = 0;
    const long result = ov_read(read->vorbisFile, buffer, bytes, 0, 2, 1, &bitstream);
    if (result > 0) {
        // The ring's frames have the first link's width; a link of another width cannot follow.
        const vorbis_info* info = ov_info(read->vorbisFile, -1);
        if (!info || u32(info->channels) != read->channels) return OGGVORBIS_LINK_CHANNELS_CHANGED;
    }
    return result;
}

}  // namespace

s32 fillOggVorbisBuffer(OggVorbisReadFn read, void* context, u8* destination, u32 capacity, u32 frameBytes,
                        u32* outBytes, u32* outAtEnd, long* outError, u32* outHoles) {
    *outBytes = 0;
    *outAtEnd = 0;
    *outError = 0;
    if (frameBytes == 0) return 0;
    u32 offset = 0;
    // Holes followed by more audio: a hole right before the end is a file cut short.
    u32 holesBeforeData = 0;
    // The library writes whole frames only and answers a room of less than one frame with an
    // error, so the buffer counts as full once less than a frame is left.
    while (capacity - offset >= frameBytes) {
        const u32 room = capacity - offset;
        const long result = read(context, reinterpret_cast<char*>(destination + offset), int(room));
        if (result == 0) {
            *outAtEnd = 1;
            break;
        }
        if (result == OGGVORBIS_HOLE) {
            // A page lost to damage: the stream goes on after it.
            ++holesBeforeData;
            continue;
        }
        if (result < 0 || u64(result) > room) {
            *outError = result < 0 ? result : OV_EFAULT;
            *outBytes = offset;
            return 0;
        }
        offset += u32(result);
        if (outHoles) *outHoles += holesBeforeData;
        holesBeforeData = 0;
    }
    *outBytes = offset;
    return 1;
}

ClCodecStreamInstance_OggVorbis::~ClCodecStreamInstance_OggVorbis() { releaseAll(); }

s32 ClCodecStreamInstance_OggVorbis::initializeMembers() {
    releaseAll();
    m_channels = 0;
    m_sampleRate = 0;
    m_totalFrames = -1;
    m_totalSeconds = -1.0;
    return 1;
}

s32 ClCodecStreamInstance_OggVorbis::openFile() {
    const std::string path = osSystemPathW(m_path);
    fileSystemLockEnter();
    m_file = std::fopen(path.c_str(), "rb");
    fileSystemLockLeave();
    if (!m_file) {
        writeCodecAudioLog("ClCodecStreamInstance_OggVorbis::initializeFullStream() -> ERROR -> Failed opening file "
                           "[%s]!",
                           path.c_str());
        return 0;
    }
    m_vorbisFile = new (std::nothrow) OggVorbis_File;
    if (!m_vorbisFile) return 0;
    std::memset(m_vorbisFile, 0, sizeof(*m_vorbisFile));
    const ov_callbacks callbacks = {readOggFile, seekOggFile, closeOggFile, tellOggFile};
    const int result = ov_open_callbacks(m_file, m_vorbisFile, nullptr, 0, callbacks);
    if (result != 0) {
        // A failed open leaves the file with us.
        writeCodecAudioLog("ClCodecStreamInstance_OggVorbis::initializeFullStream() -> ERROR -> ov_open_callbacks() "
                           "failed with [%d] on file [%s]!",
                           result, path.c_str());
        return 0;
    }
    m_vorbisOpen = 1;
    m_file = nullptr;
    // After opening a chained file vorbisfile stands at the start of its second link; decoding
    // must begin with the first.
    if (ov_streams(m_vorbisFile) > 1 && ov_raw_seek(m_vorbisFile, 0) != 0) {
        writeCodecAudioLog("ClCodecStreamInstance_OggVorbis::initializeFullStream() -> ERROR -> Cannot rewind the "
                           "chained file [%s]!",
                           path.c_str());
        return 0;
    }
    const vorbis_info* info = ov_info(m_vorbisFile, -1);
    if (!info || info->channels < 1 || info->rate < 1) return 0;
    m_channels = u32(info->channels);
    m_sampleRate = u32(info->rate);
    // Taken once here: getCommonCodecInfo and fillCreateSoundExInfo run on other threads while
    // the decode thread reads.
    m_totalFrames = ov_pcm_total(m_vorbisFile, -1);
    m_totalSeconds = ov_time_total(m_vorbisFile, -1);
    s64 frames = 0;
    if (totalFrames(&frames) && !codecByteCountSupported(u64(frames) * m_channels * 2)) {
        writeCodecAudioLog("ClCodecStreamInstance_OggVorbis::initializeFullStream() -> ERROR -> File [%s] is too "
                           "long!",
                           path.c_str());
        return 0;
    }
    return 1;
}

s32 ClCodecStreamInstance_OggVorbis::initializeFullStream() {
    if (!openFile()) return 0;
    // Half a second of 16-bit audio, in whole frames: a room of less than a frame would make
    // every read fail.
    const u32 frameBytes = m_channels * 2;
    u64 bytesPerBuffer = 2 * u64(f64(m_channels) * 0.5 * f64(m_sampleRate));
    bytesPerBuffer -= bytesPerBuffer % frameBytes;
    return allocateCodecRing(&m_ring, OGGVORBIS_RING_BUFFER_COUNT, bytesPerBuffer, this);
}

s32 ClCodecStreamInstance_OggVorbis::startDecoding() { return attemptToFillOggVorbisBuffers(); }

s32 ClCodecStreamInstance_OggVorbis::canDecodeMoreData() { return codecRingHasFreeBuffer(this, &m_ring); }

s32 ClCodecStreamInstance_OggVorbis::isDecodingFinished() { return m_ring.finished ? 1 : 0; }

s32 ClCodecStreamInstance_OggVorbis::continueDecoding() { return attemptToFillOggVorbisBuffers(); }

void ClCodecStreamInstance_OggVorbis::releaseAll() {
    // Every file is closed exactly once: by ov_clear once vorbisfile took it, else here.
    if (m_vorbisOpen) ov_clear(m_vorbisFile);
    m_vorbisOpen = 0;
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
    delete m_vorbisFile;
    m_vorbisFile = nullptr;
    releaseCodecRing(&m_ring);
}

s32 ClCodecStreamInstance_OggVorbis::totalFrames(s64* outFrames) const {
    // A negative total is the library's error code (OV_EINVAL for an unseekable stream).
    if (m_totalFrames < 0 || m_totalSeconds < 0.0) return 0;
    *outFrames = m_totalFrames;
    return 1;
}

s32 ClCodecStreamInstance_OggVorbis::getCommonCodecInfo(SCommonCodecInfo* info) {
    s64 frames = 0;
    if (!totalFrames(&frames)) return 0;
    info->durationMs = u32(m_totalSeconds * 1000.0);
    info->totalBytes = u32(u64(frames) * m_channels * 2);
    info->channels = m_channels;
    info->one = 1;
    info->bytesPerSample = 2;
    info->sampleRate = f32(m_sampleRate);
    info->sampleFormat = E_CODECSAMPLEFORMAT_INTEGER;
    return 1;
}

s32 ClCodecStreamInstance_OggVorbis::fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) {
    s64 frames = 0;
    if (!totalFrames(&frames)) return 0;
    info->length = u32(u64(frames) * m_channels * 2);
    info->numChannels = m_channels;
    info->defaultFrequency = m_sampleRate;
    info->format = E_CODECSOUNDFORMAT_PCM16;
    bindCodecRingToStream(this, &m_ring, info, "ClCodecStreamInstance_OggVorbis::fillCreateSoundExInfo");
    return 1;
}

s32 ClCodecStreamInstance_OggVorbis::handleFMODReadCallback(void* data, u32 bytes) {
    return readCodecRingForStream(this, &m_ring, data, bytes, kOggVorbisRingMessages);
}

s32 ClCodecStreamInstance_OggVorbis::gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination,
                                                                    u32 bytes, u32* outBytes) {
    return pullCodecRingForAnalysis(this, &m_ring, info, destination, bytes, outBytes);
}

s32 ClCodecStreamInstance_OggVorbis::attemptToFillOggVorbisBuffers() {
    if (!m_vorbisOpen) return 0;
    SOggReadContext context = {m_vorbisFile, m_channels};
    return fillCodecRing(this, &m_ring, [&](u8* destination, u32 capacity, u32* outBytes, u32* outAtEnd) {
        long error = 0;
        u32 holes = 0;
        const s32 filled =
            fillOggVorbisBuffer(readOggVorbis, &context, destination, capacity, m_channels * 2, outBytes, outAtEnd, &error, &holes);
        if (holes != 0) noteStreamDamage();
        if (!filled) {
            writeCodecAudioLog("ClCodecStreamInstance_OggVorbis::attemptToFillOggVorbisBuffers() -> ERROR -> "
                               "ov_read() failed with [%ld]!",
                               error);
            return s32(0);
        }
        return s32(1);
    });
}

ClCodecStreamInstance* createCodecStreamInstanceOggVorbis() {
    return new (std::nothrow) ClCodecStreamInstance_OggVorbis();
}
