#include "audio/decode/decoder_media.h"

#include "audio/decode/codec_registry.h"
#include "audio/decode/sample_pull.h"
#include "core/file_layer.h"
#include "platform/os/os.h"

#include <new>
#include <string>

const SMediaDecoderProfile g_windowsMediaProfile = {"Windows Media", E_MEDIASAMPLE_S16, 64,
                                                    MEDIA_AUDIO_BUFFER_FRAMES / 2};
const SMediaDecoderProfile g_quickTimeProfile = {"QuickTime", E_MEDIASAMPLE_F32, 32,
                                                 32 * MEDIA_AUDIO_BUFFER_FRAMES / 2};

namespace {

const SCodecRingMessages kMediaRingMessages = {
    "Media decoder: stream read found buffer [%d] not ready -> the rest of the read is silent",
    "Media decoder: stream read came back round to buffer [%d] where it started (out of data)",
};

}  // namespace

ClCodecStreamInstance_Media::~ClCodecStreamInstance_Media() { releaseAll(); }

s32 ClCodecStreamInstance_Media::initializeMembers() {
    releaseAll();
    return 1;
}

s32 ClCodecStreamInstance_Media::openReader() {
    fileSystemLockEnter();
    const EMediaReaderError error = m_reader.open(m_path, m_profile.sampleFormat);
    fileSystemLockLeave();
    if (error == E_MEDIAERR_NONE) {
        m_reader.getFormat(&m_format);
        return 1;
    }
    writeCodecAudioLog("%s decoder: cannot open [%s]: %s (code %d)", m_profile.name,
                       osSystemPathW(m_path).c_str(), mediaReaderErrorText(error),
                       m_reader.lastSystemCode());
    return 0;
}

s32 ClCodecStreamInstance_Media::initializeFullStream() {
    if (!openReader()) return 0;
    const std::string path = osSystemPathW(m_path);
    if (m_format.totalFrames == 0) {
        writeCodecAudioLog("%s decoder: [%s] holds no audio of a known length", m_profile.name, path.c_str());
        return 0;
    }
    // Sizes are handed on in 32-bit words: a longer song is refused rather than wrapped.
    if (m_format.totalFrames > CODEC_MAX_DECODED_BYTES ||
        !codecByteCountSupported(m_format.totalFrames * m_format.bytesPerFrame)) {
        writeCodecAudioLog("%s decoder: [%s] is too long to decode ([%llu] frames)", m_profile.name, path.c_str(),
                           static_cast<unsigned long long>(m_format.totalFrames));
        return 0;
    }
    return allocateCodecRing(&m_ring, m_profile.bufferCount, m_format.bytesPerBuffer, this);
}

s32 ClCodecStreamInstance_Media::fillBuffers() {
    const s32 filled =
        fillCodecRing(this, &m_ring, [this](u8* destination, u32 capacity, u32* outBytes, u32* outAtEnd) {
            u32 frames = 0;
            const EMediaReaderError error =
                m_reader.read(destination, capacity / m_format.bytesPerFrame, &frames);
            *outBytes = frames * m_format.bytesPerFrame;
            *outAtEnd = m_reader.atEnd() ? 1 : 0;
            if (m_reader.damagedPackets() != 0) noteStreamDamage();
            if (error != E_MEDIAERR_NONE) {
                // What came before the failure is still the song's; the job then fails.
                writeCodecAudioLog("%s decoder: decoding [%s] failed: %s (code %d)", m_profile.name,
                                   osSystemPathW(m_path).c_str(), mediaReaderErrorText(error),
                                   m_reader.lastSystemCode());
                m_decodeFailed = 1;
            }
            return 1;
        });
    return m_decodeFailed ? 0 : filled;
}

void ClCodecStreamInstance_Media::releaseAll() {
    if (m_reader.isOpen()) {
        fileSystemLockEnter();
        m_reader.close();
        fileSystemLockLeave();
    }
    releaseCodecRing(&m_ring);
    m_format = SMediaAudioFormat{};
    m_decodeFailed = 0;
}

s32 ClCodecStreamInstance_Media::getCommonCodecInfo(SCommonCodecInfo* info) {
    if (!m_reader.isOpen() || m_format.sampleRate == 0) return 0;
    info->durationMs = u32(m_format.totalFrames * 1000 / m_format.sampleRate);
    info->totalBytes = u32(m_format.totalFrames * m_format.bytesPerFrame);
    info->channels = m_format.channels;
    info->one = 1;
    info->bytesPerSample = m_format.bitsPerSample / 8;
    info->sampleRate = f32(m_format.sampleRate);
    info->sampleFormat =
        m_format.sampleFormat == E_MEDIASAMPLE_S16 ? E_CODECSAMPLEFORMAT_INTEGER : E_CODECSAMPLEFORMAT_FLOAT;
    return 1;
}

s32 ClCodecStreamInstance_Media::fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) {
    if (!m_reader.isOpen() || m_ring.bufferCount == 0) return 0;
    info->length = u32(m_format.totalFrames * m_format.bytesPerFrame);
    info->numChannels = m_format.channels;
    info->defaultFrequency = m_format.sampleRate;
    info->format = m_format.sampleFormat == E_MEDIASAMPLE_S16 ? E_CODECSOUNDFORMAT_PCM16 : E_CODECSOUNDFORMAT_PCMFLOAT;
    info->decodeBufferSize = m_profile.decodeBufferFrames;
    bindCodecRingToStream(this, &m_ring, info, "ClCodecStreamInstance_Media::fillCreateSoundExInfo");
    return 1;
}

s32 ClCodecStreamInstance_Media::handleFMODReadCallback(void* data, u32 bytes) {
    return readCodecRingForStream(this, &m_ring, data, bytes, kMediaRingMessages);
}

s32 ClCodecStreamInstance_Media::gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination,
                                                                u32 bytes, u32* outBytes) {
    return pullCodecRingForAnalysis(this, &m_ring, info, destination, bytes, outBytes);
}

// ---------------------------------------------------------------------------------------------
// The two registrations' factories

ClCodecStreamInstance* createCodecStreamInstanceWindowsMedia() {
    return new (std::nothrow) ClCodecStreamInstance_Media(g_windowsMediaProfile);
}

ClCodecStreamInstance* createCodecStreamInstanceQuickTime() {
    return new (std::nothrow) ClCodecStreamInstance_Media(g_quickTimeProfile);
}
