#include "audio/decode/decoder_aiff.h"

#include "audio/decode/aiff_reader.h"
#include "audio/decode/codec_registry.h"
#include "audio/decode/sample_pull.h"
#include "core/string_helpers.h"

#include <new>
#include <string>

namespace {

const SCodecRingMessages AIFF_RING_MESSAGES = {
    "ClCodecStreamInstance_AIFF::handleFMODReadCallback() ERROR -> Buffer [%d] should have its buffer state set to "
    "E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE -> SKIPPING!",
    "ClCodecStreamInstance_AIFF::handleFMODReadCallback() ERROR -> We have wrapped around to buffer [%d] where we "
    "started (we are out of data)!",
};

constexpr u32 AIFF_VERSION_TEXT_CAPACITY = 32;
char g_aiffReaderVersionText[AIFF_VERSION_TEXT_CAPACITY] = {};

}  // namespace

ClCodecStreamInstance* createCodecStreamInstanceAIFF() { return new (std::nothrow) ClCodecStreamInstance_AIFF(); }

s32 codecThreadInitAIFF() {
    strCopyN(g_aiffReaderVersionText, AIFF_READER_VERSION_TEXT, AIFF_VERSION_TEXT_CAPACITY);
    return 1;
}

ClCodecStreamInstance_AIFF::~ClCodecStreamInstance_AIFF() { releaseResources(); }

s32 ClCodecStreamInstance_AIFF::initializeMembers() {
    releaseResources();
    m_sampleFrames = 0;
    m_channels = 0;
    m_sampleRate = 0;
    m_decodePosition = 0;
    m_framesPerBuffer = 0;
    m_systemPath[0] = 0;
    return 1;
}

s32 ClCodecStreamInstance_AIFF::initializeFullStream() {
    // The reader takes the real UTF-8 path, so songs with any name open.
    const std::string systemPath = osSystemPathW(m_path);
    if (systemPath.empty() || strCopyN(m_systemPath, systemPath.c_str(), AIFF_SYSTEM_PATH_CAPACITY) != E_TEXTCOPY_COMPLETE) {
        writeCodecAudioLog("ClCodecStreamInstance_AIFF::initializeFullStream() -> Cannot convert the path of the AIFF "
                           "file!");
        return 0;
    }
    const s32 frames = aiffReaderSampleFrames(m_systemPath);
    const s32 channels = frames < 0 ? frames : aiffReaderChannels(m_systemPath);
    const s32 rate = channels < 0 ? channels : aiffReaderSampleRate(m_systemPath);
    if (rate < 0) {
        writeCodecAudioLog("ClCodecStreamInstance_AIFF::initializeFullStream() -> AIFF reader refused the file [%s] "
                           "[%d]!",
                           m_systemPath, rate);
        return 0;
    }
    m_sampleFrames = u32(frames);
    m_channels = u32(channels);
    m_sampleRate = u32(rate);
    if (!codecByteCountSupported(u64(m_sampleFrames) * m_channels * sizeof(f32))) return 0;

    const u64 bytesPerBuffer = u64(f64(u64(m_channels) * m_sampleRate * sizeof(f32)) * 0.5);
    m_framesPerBuffer = u32(bytesPerBuffer / (m_channels * sizeof(f32)));
    m_decodePosition = 0;
    if (m_framesPerBuffer == 0) return 0;
    if (!allocateCodecRing(&m_ring, AIFF_RING_BUFFER_COUNT, bytesPerBuffer, this)) return 0;
    m_channelPlanes = aiffAllocatePlanes(m_channels, m_framesPerBuffer);
    return m_channelPlanes ? 1 : 0;
}

s32 ClCodecStreamInstance_AIFF::startDecoding() { return attemptToFillAIFFDataBuffers(); }

s32 ClCodecStreamInstance_AIFF::continueDecoding() { return attemptToFillAIFFDataBuffers(); }

s32 ClCodecStreamInstance_AIFF::canDecodeMoreData() { return codecRingHasFreeBuffer(this, &m_ring); }

s32 ClCodecStreamInstance_AIFF::isDecodingFinished() { return m_ring.finished ? 1 : 0; }

s32 ClCodecStreamInstance_AIFF::attemptToFillAIFFDataBuffers() {
    if (!m_channelPlanes) return 0;
    return fillCodecRing(this, &m_ring, [this](u8* destination, u32, u32* outBytes, u32* outAtEnd) {
        *outAtEnd = 0;
        return decodeIntoBuffer(destination, outBytes);
    });
}

s32 ClCodecStreamInstance_AIFF::decodeIntoBuffer(u8* destination, u32* outBytes) {
    *outBytes = 0;
    const u32 framesLeft = m_sampleFrames - m_decodePosition;
    const u32 count = m_framesPerBuffer < framesLeft ? m_framesPerBuffer : framesLeft;
    const s32 framesRead = aiffReadFrames(m_systemPath, m_channelPlanes, m_decodePosition, count, m_channels);
    if (framesRead < 0) return 0;
    m_decodePosition += u32(framesRead);

    f32* samples = reinterpret_cast<f32*>(destination);
    if (m_channels == 1) {
        for (s32 i = 0; i < framesRead; ++i) samples[i] = m_channelPlanes[0][i];
    } else if (m_channels == 2) {
        for (s32 i = 0; i < framesRead; ++i) {
            samples[2 * i] = m_channelPlanes[0][i];
            samples[2 * i + 1] = m_channelPlanes[1][i];
        }
    } else {
        return 0;
    }
    *outBytes = m_channels * u32(framesRead) * sizeof(f32);
    return 1;
}

void ClCodecStreamInstance_AIFF::releaseAll() { releaseResources(); }

void ClCodecStreamInstance_AIFF::releaseResources() {
    aiffFreePlanes(m_channelPlanes, m_channels);
    m_channelPlanes = nullptr;
    releaseCodecRing(&m_ring);
}

s32 ClCodecStreamInstance_AIFF::getCommonCodecInfo(SCommonCodecInfo* info) {
    if (m_channels == 0 || m_sampleRate == 0) return 0;
    info->durationMs = u32(f32(m_sampleFrames) / f32(m_sampleRate) * 1000.0f);
    info->totalBytes = m_sampleFrames * m_channels * sizeof(f32);
    info->channels = m_channels;
    info->one = 1;
    info->bytesPerSample = sizeof(f32);
    info->sampleRate = f32(m_sampleRate);
    info->sampleFormat = E_CODECSAMPLEFORMAT_FLOAT;
    return 1;
}

s32 ClCodecStreamInstance_AIFF::fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) {
    if (m_channels == 0 || m_sampleRate == 0) return 0;
    info->length = m_sampleFrames * m_channels * sizeof(f32);
    info->numChannels = m_channels;
    info->defaultFrequency = m_sampleRate;
    info->format = E_CODECSOUNDFORMAT_PCMFLOAT;
    bindCodecRingToStream(this, &m_ring, info, "ClCodecStreamInstance_AIFF::fillCreateSoundExInfo");
    return 1;
}

s32 ClCodecStreamInstance_AIFF::handleFMODReadCallback(void* data, u32 bytes) {
    return readCodecRingForStream(this, &m_ring, data, bytes, AIFF_RING_MESSAGES);
}

s32 ClCodecStreamInstance_AIFF::gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination, u32 bytes,
                                                               u32* outBytes) {
    return pullCodecRingForAnalysis(this, &m_ring, info, destination, bytes, outBytes);
}
