#include "audio/decode/decoder_windows_media.h"

#include "audio/decode/codec_registry.h"
#include "audio/decode/sample_pull.h"
#include "core/crit_section_pool.h"
#include "core/fatal_error.h"
#include "core/file_layer.h"
#include "core/string_helpers.h"

#include <cstring>
#include <new>

namespace {

constexpr std::align_val_t WM_BLOCK_ALIGNMENT{16};
constexpr u64 HUNDRED_NS_PER_SECOND = 10000000;

// The audio log ends every line itself.
const SCodecRingMessages g_windowsMediaRingMessages = {
    "_WMAFMODPCMReadCallback() ERROR -> Buffer [%d] should have it's buffer state set to "
    "E_WMADBS_PENDING_SEND_TO_AUDIO_DEVICE -> SKIPPING!",
    "_WMAFMODPCMReadCallback() ERROR -> We have wrapped around to buffer [%d] where we started (we are "
    "out of data)!",
};

// Decoded bytes of the whole file as the container's duration gives them:
// (bytes per sample x channels x rate) x duration / 10,000,000, without overflowing on a
// damaged duration.
u64 estimatedDecodedBytes(const SMediaAudioFormat& format) {
    const unsigned __int128 product =
        (unsigned __int128)(u64(format.bytesPerFrame) * format.sampleRate) * format.duration100ns;
    const unsigned __int128 bytes = product / HUNDRED_NS_PER_SECOND;
    return bytes > ~u64(0) ? ~u64(0) : u64(bytes);
}

// The stream's length: rate x duration in seconds x bytes per sample x channels.
f64 streamLengthBytes(const SMediaAudioFormat& format) {
    return f64(format.sampleRate) * format.durationSeconds * f64(format.bytesPerFrame);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// ClWindowsMediaSyncDecoder

void ClWindowsMediaSyncDecoder::reset() {
    close();
    m_startMs = 0;
    m_endMs = 0;
    m_compressed = 0;
    m_audio = 1;
    m_video = 0;
    m_rangeInFrames = 0;
}

u32 ClWindowsMediaSyncDecoder::SetParams(u32 startMs, u32 endMs, u32 compressed, u32 audio, u32 video,
                                         u32 rangeInFrames) {
    if (endMs != 0 && endMs <= startMs) return WM_RESULT_INVALID_ARGUMENT;
    m_startMs = startMs;
    m_endMs = endMs;
    m_compressed = compressed;
    m_audio = audio;
    m_video = video;
    m_rangeInFrames = rangeInFrames;
    return WM_RESULT_OK;
}

u32 ClWindowsMediaSyncDecoder::failOpen(EMediaReaderError error) {
    u32 code = mediaReaderResultCode(error, m_reader.lastSystemCode());
    if (!wmResultFailed(code)) code = WM_RESULT_FAIL;
    switch (error) {
        case E_MEDIAERR_OUT_OF_MEMORY:
            writeCodecAudioLog("ClWindowsMediaSyncDecoder::Open() -> WMCreateSyncReader() failed with code [0x%08X].",
                               code);
            break;
        case E_MEDIAERR_FILE_NOT_FOUND:
        case E_MEDIAERR_FILE_OPEN:
            writeCodecAudioLog("ClWindowsMediaSyncDecoder::Open() -> m_pStream->Open() failed with code [0x%08X]!",
                               code);
            break;
        case E_MEDIAERR_NO_AUDIO_STREAM:
            writeCodecAudioLog(
                "ClWindowsMediaSyncDecoder::Open() -> WMCreateSyncReader() -> No audio stream found; returning an "
                "error!");
            break;
        // The reader cannot turn this audio into PCM.
        case E_MEDIAERR_NO_DECODER:
        case E_MEDIAERR_UNSUPPORTED_FORMAT:
            writeCodecAudioLog(
                "ClWindowsMediaSyncDecoder::Open() -> WMCreateSyncReader() -> mp_pWfx->wFormatTag != "
                "WAVE_FORMAT_PCM; returning an error!");
            break;
        case E_MEDIAERR_NONE:
        case E_MEDIAERR_INVALID_PARAMETER:
        case E_MEDIAERR_NOT_OPEN:
            writeCodecAudioLog("ClWindowsMediaSyncDecoder::Open() -> Invalid parameters passed-in (INTERNAL ERROR).");
            break;
        default:
            writeCodecAudioLog(
                "ClWindowsMediaSyncDecoder::Open() -> m_pReader->OpenStream() failed with code [0x%08X]!", code);
            break;
    }
    close();
    return code;
}

u32 ClWindowsMediaSyncDecoder::Open(const char16_t* path) {
    if (!path || !path[0] || !m_job) {
        writeCodecAudioLog("ClWindowsMediaSyncDecoder::Open() -> Invalid parameters passed-in (INTERNAL ERROR).");
        return WM_RESULT_INVALID_ARGUMENT;
    }
    close();

    fileSystemLockEnter();
    const EMediaReaderError error = m_reader.open(path, E_MEDIASAMPLE_S16);
    fileSystemLockLeave();
    if (error != E_MEDIAERR_NONE) return failOpen(error);

    m_reader.getFormat(&m_format);
    if (m_format.sampleFormat != E_MEDIASAMPLE_S16 || m_format.bitsPerSample != 16) {
        writeCodecAudioLog(
            "ClWindowsMediaSyncDecoder::Open() -> WMCreateSyncReader() -> mp_pWfx->wFormatTag != "
            "WAVE_FORMAT_PCM; returning an error!");
        close();
        return WM_RESULT_FAIL;
    }
    // Buffers of 0 bytes would never fill, so the job would never end: refused here.
    if (m_format.bytesPerBuffer == 0 || m_format.bytesPerBuffer % m_format.bytesPerFrame != 0) {
        writeCodecAudioLog(
            "WARNING: ClWindowsMediaSyncDecoder::Open() -> WMCreateSyncReader() -> "
            "GetMaxOutputSampleSize() failed with code [0x%08X]!",
            WM_RESULT_FAIL);
        close();
        return WM_RESULT_FAIL;
    }
    // Sizes are handed on in 32-bit words; a longer file is refused rather than wrapped.
    const u64 totalBytes = estimatedDecodedBytes(m_format);
    if (!codecByteCountSupported(totalBytes) || streamLengthBytes(m_format) > f64(CODEC_MAX_DECODED_BYTES)) {
        writeCodecAudioLog(
            "ClWindowsMediaSyncDecoder::Open() -> Decoded size of [%llu] bytes is not supported; "
            "returning an error!",
            static_cast<unsigned long long>(totalBytes));
        close();
        return WM_RESULT_FAIL;
    }

    m_leftover = static_cast<u8*>(::operator new(m_format.bytesPerBuffer, WM_BLOCK_ALIGNMENT, std::nothrow));
    if (!m_leftover || !allocateCodecRing(&m_ring, WINDOWS_MEDIA_BUFFER_COUNT, m_format.bytesPerBuffer, m_job)) {
        close();
        return WM_RESULT_OUT_OF_MEMORY;
    }
    m_leftoverBytes = 0;
    m_endOfStream = 0;
    m_lastResult = WM_RESULT_OK;
    return WM_RESULT_OK;
}

u32 ClWindowsMediaSyncDecoder::setUpSampleReading() {
    // The reader has already selected its audio stream (never video) and reads from the start
    // to the end, which is the only range the job asks for.
    if (!m_reader.isOpen()) {
        writeCodecAudioLog("WARNING: ClWindowsMediaSyncDecoder::setUpSampleReading() -> m_wAudioStreamNum == 0!");
        return WM_RESULT_FAIL;
    }
    m_ready = 1;
    return WM_RESULT_OK;
}

u32 ClWindowsMediaSyncDecoder::attemptToFillBuffers() {
    const u32 bytesPerFrame = m_format.bytesPerFrame;
    u32 index = 0;
    // beginCodecRingFill hands out a free buffer; no reader touches it until the commit, so it
    // is filled without the lock.
    while (m_reader.isOpen() && beginCodecRingFill(m_job, &m_ring, &index)) {
        u8* buffer = m_ring.buffers[index];
        const u32 size = m_ring.bytesPerBuffer;
        u32 filled = 0;
        if (m_leftoverBytes != 0) {
            filled = m_leftoverBytes < size ? m_leftoverBytes : size;
            std::memcpy(buffer, m_leftover, filled);
            m_leftoverBytes -= filled;
            std::memmove(m_leftover, m_leftover + filled, m_leftoverBytes);
        }
        // The leftover store is empty whenever room remains, so the next sample is read into it.
        while (filled < size && !m_endOfStream) {
            if (m_reader.atEnd()) {
                // No more samples: the end of the file, not a failure.
                m_endOfStream = 1;
                break;
            }
            u32 frames = 0;
            const EMediaReaderError error = m_reader.read(m_leftover, MEDIA_AUDIO_BUFFER_FRAMES, &frames);
            const u32 sampleBytes = frames * bytesPerFrame;
            const u32 take = sampleBytes < size - filled ? sampleBytes : size - filled;
            std::memcpy(buffer + filled, m_leftover, take);
            filled += take;
            m_leftoverBytes = sampleBytes - take;
            std::memmove(m_leftover, m_leftover + take, m_leftoverBytes);
            if (error != E_MEDIAERR_NONE) {
                m_lastResult = mediaReaderResultCode(error, m_reader.lastSystemCode());
                if (!wmResultFailed(m_lastResult)) m_lastResult = WM_RESULT_FAIL;
                writeCodecAudioLog(
                    "ClWindowsMediaSyncDecoder::attemptToFillBuffers() -> Decoding failed with code [0x%08X]!",
                    m_lastResult);
                m_endOfStream = 1;
            }
        }
        if (filled < size) std::memset(buffer + filled, 0, size - filled);
        commitCodecRingFill(m_job, &m_ring, index, size, m_endOfStream);
        if (m_endOfStream) break;
    }
    return m_lastResult;
}

s32 ClWindowsMediaSyncDecoder::isWriteBufferFree() {
    if (!critSectionTryEnter(m_job->m_bufferLock)) return 0;
    const s32 isFree = m_ring.bufferCount != 0 && m_ring.states[m_ring.writeIndex] == E_CODECBS_FREE;
    critSectionLeave(m_job->m_bufferLock);
    return isFree;
}

bool ClWindowsMediaSyncDecoder::GetAttributeByName(EMediaTag tag, std::u16string* out) const {
    return m_reader.isOpen() && m_reader.getTag(tag, out);
}

void ClWindowsMediaSyncDecoder::close() {
    if (m_reader.isOpen()) {
        fileSystemLockEnter();
        m_reader.close();
        fileSystemLockLeave();
    }
    releaseCodecRing(&m_ring);
    if (m_leftover) ::operator delete(m_leftover, WM_BLOCK_ALIGNMENT);
    m_leftover = nullptr;
    m_leftoverBytes = 0;
    m_format = SMediaAudioFormat{};
    m_endOfStream = 0;
    m_lastResult = WM_RESULT_OK;
    m_ready = 0;
}

// ---------------------------------------------------------------------------------------------
// ClCodecStreamInstance_WindowsMedia

s32 ClCodecStreamInstance_WindowsMedia::initializeMembers() {
    mp_syncDecoder.reset();
    return 1;
}

s32 ClCodecStreamInstance_WindowsMedia::openSyncDecoder(const char* slotName) {
    if (wmResultFailed(mp_syncDecoder.SetParams(0, 0, 0, 1, 0, 0))) {
        writeCodecAudioLog("ClCodecStreamInstance_WindowsMedia::%s() -> mp_syncDecoder.SetParams() -> "
                           "Incorrect values of input parameters -st or -end!",
                           slotName);
        return 0;
    }
    const u32 result = mp_syncDecoder.Open(m_path);
    if (wmResultFailed(result)) {
        writeCodecAudioLog("ClCodecStreamInstance_WindowsMedia::%s() -> mp_syncDecoder.Open() -> "
                           "Cannot open reader: hr = [0x%08X]!",
                           slotName, result);
        return 0;
    }
    return 1;
}

s32 ClCodecStreamInstance_WindowsMedia::initializeFullStream() {
    if (!openSyncDecoder("initializeFullStream")) return 0;
    const u32 result = mp_syncDecoder.setUpSampleReading();
    if (wmResultFailed(result)) {
        writeCodecAudioLog(
            "ClCodecStreamInstance_WindowsMedia::initializeFullStream() -> "
            "mp_syncDecoder.setUpSampleReading() -> Failed with code [0x%08X]!",
            result);
        return 0;
    }
    return 1;
}

s32 ClCodecStreamInstance_WindowsMedia::initializeMetaDataOnlyStream() {
    return openSyncDecoder("initializeMetaDataOnlyStream");
}

s32 ClCodecStreamInstance_WindowsMedia::startDecoding() {
    return wmResultFailed(mp_syncDecoder.attemptToFillBuffers()) ? 0 : 1;
}

s32 ClCodecStreamInstance_WindowsMedia::continueDecoding() {
    return wmResultFailed(mp_syncDecoder.attemptToFillBuffers()) ? 0 : 1;
}

s32 ClCodecStreamInstance_WindowsMedia::canDecodeMoreData() { return mp_syncDecoder.isWriteBufferFree(); }

s32 ClCodecStreamInstance_WindowsMedia::isDecodingFinished() { return mp_syncDecoder.isEndOfStream() ? 1 : 0; }

s32 ClCodecStreamInstance_WindowsMedia::getMetaData(SCodecMetaDataRequest* request) {
    // The header attributes "Title", "Author" and "WM/AlbumTitle".
    EMediaTag tag = E_MEDIATAG_TITLE;
    switch (request->kind) {
        case E_CODECMETA_TITLE: tag = E_MEDIATAG_TITLE; break;
        case E_CODECMETA_ARTIST: tag = E_MEDIATAG_ARTIST; break;
        case E_CODECMETA_ALBUM: tag = E_MEDIATAG_ALBUM; break;
        default: fatalErrorf("ClCodecStreamInstance_WindowsMedia::getMetaData() -> unknown kind %d", request->kind);
    }
    const u32 units = request->bufferBytes / 2;
    std::u16string value;
    if (!request->buffer || units == 0 || !mp_syncDecoder.GetAttributeByName(tag, &value)) return 0;
    wstrCopyN(request->buffer, value.c_str(), units);
    return 1;
}

void ClCodecStreamInstance_WindowsMedia::releaseAll() { mp_syncDecoder.close(); }

s32 ClCodecStreamInstance_WindowsMedia::getCommonCodecInfo(SCommonCodecInfo* info) {
    if (!mp_syncDecoder.isOpen()) return 0;
    const SMediaAudioFormat& format = mp_syncDecoder.format();
    info->durationMs = u32(format.durationSeconds * 1000.0);
    info->totalBytes = u32(estimatedDecodedBytes(format));
    info->channels = format.channels;
    info->one = 1;
    info->bytesPerSample = format.bitsPerSample / 8;
    info->sampleRate = f32(format.sampleRate);
    // Open refuses everything but integer PCM.
    info->sampleFormat = E_CODECSAMPLEFORMAT_INTEGER;
    return 1;
}

s32 ClCodecStreamInstance_WindowsMedia::fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) {
    if (!mp_syncDecoder.isOpen()) return 0;
    const SMediaAudioFormat& format = mp_syncDecoder.format();
    const u32 bytesPerSample = format.bitsPerSample / 8;
    switch (bytesPerSample) {
        case 1: info->format = E_CODECSOUNDFORMAT_PCM8; break;
        case 2: info->format = E_CODECSOUNDFORMAT_PCM16; break;
        case 3: info->format = E_CODECSOUNDFORMAT_PCM24; break;
        default: return 0;
    }
    info->decodeBufferSize = (mp_syncDecoder.bytesPerBuffer() / 2) / (bytesPerSample * format.channels);
    info->length = u32(streamLengthBytes(format));
    info->numChannels = format.channels;
    info->defaultFrequency = format.sampleRate;
    SCodecRing* ring = mp_syncDecoder.ring();
    bindCodecRingToStream(this, ring, info, "ClCodecStreamInstance_WindowsMedia::fillCreateSoundExInfo");
    return 1;
}

s32 ClCodecStreamInstance_WindowsMedia::handleFMODReadCallback(void* data, u32 bytes) {
    return readCodecRingForStream(this, mp_syncDecoder.ring(), data, bytes, g_windowsMediaRingMessages);
}

s32 ClCodecStreamInstance_WindowsMedia::gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination,
                                                                       u32 bytes, u32* outBytes) {
    return pullCodecRingForAnalysis(this, mp_syncDecoder.ring(), info, destination, bytes, outBytes);
}

// ---------------------------------------------------------------------------------------------
// The family's entry points

ClCodecStreamInstance* createCodecStreamInstanceWindowsMedia() {
    return new (std::nothrow) ClCodecStreamInstance_WindowsMedia();
}

// The media library needs no per-thread start-up.
s32 codecThreadInitWindowsMedia() { return 1; }

void codecThreadExitWindowsMedia() {}
