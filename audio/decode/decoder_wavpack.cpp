// The WavPack decoder over the WavPack library.
#include "audio/decode/decoder_wavpack.h"

#include "audio/decode/codec_registry.h"
#include "audio/decode/sample_pull.h"
#include "core/file_layer.h"
#include "core/processor_features.h"
#include "core/string_helpers.h"
#include "platform/os/os.h"

#include <wavpack/wavpack.h>

#include <cstring>
#include <new>

static_assert(WAVPACK_OPEN_FLAGS == (OPEN_WVC | OPEN_TAGS | OPEN_NORMALIZE));

u32 g_wavPackLibraryVersion = 0;
char g_wavPackLibraryVersionText[WAVPACK_VERSION_TEXT_CAPACITY] = {};

namespace {

const SCodecRingMessages kWavPackRingMessages = {
    "ClCodecStreamInstance_WavPack::handleFMODReadCallback() ERROR -> Buffer [%d] should have its buffer state set to "
    "E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE -> SKIPPING!",
    "ClCodecStreamInstance_WavPack::handleFMODReadCallback() ERROR -> We have wrapped around to buffer [%d] where we "
    "started (we are out of data)!",
};

// The library's error text buffer.
constexpr u32 WAVPACK_ERROR_TEXT_CAPACITY = 80;

// Lanes of s32 and f32: each lane converted and scaled as the scalar code does it.
typedef s32 WavPackIntLanes __attribute__((vector_size(16)));
typedef f32 WavPackFloatLanes __attribute__((vector_size(16)));

template <typename IntLanes, typename FloatLanes>
[[gnu::always_inline]] inline u32 convertSamplesInLanes(u8* samples, u32 count, f32 scale) {
    constexpr u32 lanes = sizeof(IntLanes) / sizeof(s32);
    const FloatLanes scales = FloatLanes{} + scale;
    u32 i = 0;
    for (; i + lanes <= count; i += lanes) {
        IntLanes values;
        std::memcpy(&values, samples + size_t(i) * 4u, sizeof values);
        const FloatLanes converted = __builtin_convertvector(values, FloatLanes) * scales;
        std::memcpy(samples + size_t(i) * 4u, &converted, sizeof converted);
    }
    return i;
}

#if defined(__x86_64__)
typedef s32 WavPackWideIntLanes __attribute__((vector_size(32)));
typedef f32 WavPackWideFloatLanes __attribute__((vector_size(32)));

// Eight samples at a time where the processor has AVX.
[[gnu::target("avx")]] u32 convertSamplesWide(u8* samples, u32 count, f32 scale) {
    return convertSamplesInLanes<WavPackWideIntLanes, WavPackWideFloatLanes>(samples, count, scale);
}
#endif

// Converts count integer samples, stored in place as s32, to f32 for a stream of bytesPerSample
// bytes (1 to 4): lanes of eight or four, then the last few one by one.
void convertWavPackSamplesToFloat(u8* samples, u32 count, u32 bytesPerSample) {
    const f32 scale = f32(1.0 / f64(1ull << (bytesPerSample * 8 - 1)));
    u32 done = 0;
#if defined(__x86_64__)
    if (processorHasAvx()) done = convertSamplesWide(samples, count, scale);
#endif
    done += convertSamplesInLanes<WavPackIntLanes, WavPackFloatLanes>(samples + size_t(done) * 4u, count - done, scale);
    for (u32 i = done; i < count; ++i) {
        u8* sample = samples + u64(i) * 4;
        s32 value = 0;
        std::memcpy(&value, sample, sizeof(value));
        const f32 converted = f32(value) * scale;
        std::memcpy(sample, &converted, sizeof(converted));
    }
}

}  // namespace

s32 codecThreadInitWavPack() {
    g_wavPackLibraryVersion = WavpackGetLibraryVersion();
    const char* text = WavpackGetLibraryVersionString();
    strCopyN(g_wavPackLibraryVersionText, text ? text : "", WAVPACK_VERSION_TEXT_CAPACITY);
    return 1;
}

ClCodecStreamInstance_WavPack::~ClCodecStreamInstance_WavPack() { releaseAll(); }

s32 ClCodecStreamInstance_WavPack::initializeMembers() {
    releaseAll();
    m_mode = m_channels = m_sampleRate = m_bitsPerSample = m_bytesPerSample = 0;
    m_totalSamples = m_unpackedSamples = 0;
    return 1;
}

s32 ClCodecStreamInstance_WavPack::openFile() {
    m_filePath = osSystemPathW(m_path);
    char error[WAVPACK_ERROR_TEXT_CAPACITY] = {};
    fileSystemLockEnter();
    m_context = WavpackOpenFileInput(m_filePath.c_str(), error, WAVPACK_OPEN_FLAGS, 0);
    fileSystemLockLeave();
    if (!m_context) {
        writeCodecAudioLog("ClCodecStreamInstance_WavPack::openFile() -> Failed opening file [%s]: %s",
                           m_filePath.c_str(), error);
        return 0;
    }
    return 1;
}

s32 ClCodecStreamInstance_WavPack::initializeFullStream() {
    if (!openFile()) return 0;
    m_mode = u32(WavpackGetMode(m_context));
    m_channels = u32(WavpackGetNumChannels(m_context));
    m_sampleRate = WavpackGetSampleRate(m_context);
    m_bitsPerSample = u32(WavpackGetBitsPerSample(m_context));
    m_bytesPerSample = u32(WavpackGetBytesPerSample(m_context));
    const s64 totalSamples = WavpackGetNumSamples64(m_context);
    if (totalSamples < 0) {
        writeCodecAudioLog("ClCodecStreamInstance_WavPack::initializeFullStream() -> Failed to determine the total "
                           "number of samples; file [%s] is invalid!",
                           m_filePath.c_str());
        return 0;
    }
    m_totalSamples = u64(totalSamples);
    if (m_channels == 0 || m_sampleRate == 0 || m_bytesPerSample == 0 || m_bytesPerSample > 4 ||
        !codecByteCountSupported(m_totalSamples * m_channels * 4)) {
        writeCodecAudioLog("ClCodecStreamInstance_WavPack::initializeFullStream() -> Unsupported format in file [%s]!",
                           m_filePath.c_str());
        return 0;
    }
    const u64 bytesPerBuffer = u64(f64(u64(m_sampleRate) * m_channels * 4) * 0.5);
    return allocateCodecRing(&m_ring, WAVPACK_RING_BUFFER_COUNT, bytesPerBuffer, this);
}

s32 ClCodecStreamInstance_WavPack::startDecoding() { return attemptToFillWavPackDataBuffers(); }

s32 ClCodecStreamInstance_WavPack::canDecodeMoreData() { return codecRingHasFreeBuffer(this, &m_ring); }

s32 ClCodecStreamInstance_WavPack::isDecodingFinished() { return m_ring.finished ? 1 : 0; }

s32 ClCodecStreamInstance_WavPack::continueDecoding() { return attemptToFillWavPackDataBuffers(); }

void ClCodecStreamInstance_WavPack::releaseAll() {
    if (m_context) WavpackCloseFile(m_context);
    m_context = nullptr;
    releaseCodecRing(&m_ring);
}

s32 ClCodecStreamInstance_WavPack::getCommonCodecInfo(SCommonCodecInfo* info) {
    if (m_channels == 0 || m_sampleRate == 0) return 0;
    info->durationMs = u32(f32(f64(m_totalSamples) / f64(m_sampleRate)) * 1000.0f);
    info->totalBytes = u32(m_totalSamples * m_channels * 4);
    info->channels = m_channels;
    info->one = 1;
    info->bytesPerSample = 4;
    info->sampleRate = f32(m_sampleRate);
    info->sampleFormat = E_CODECSAMPLEFORMAT_FLOAT;
    return 1;
}

s32 ClCodecStreamInstance_WavPack::fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) {
    if (m_channels == 0 || m_sampleRate == 0) return 0;
    info->length = u32(m_totalSamples * m_channels * 4);
    info->numChannels = m_channels;
    info->defaultFrequency = m_sampleRate;
    info->format = E_CODECSOUNDFORMAT_PCMFLOAT;
    bindCodecRingToStream(this, &m_ring, info, "ClCodecStreamInstance_WavPack::fillCreateSoundExInfo");
    return 1;
}

s32 ClCodecStreamInstance_WavPack::handleFMODReadCallback(void* data, u32 bytes) {
    return readCodecRingForStream(this, &m_ring, data, bytes, kWavPackRingMessages);
}

s32 ClCodecStreamInstance_WavPack::gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination,
                                                                  u32 bytes, u32* outBytes) {
    return pullCodecRingForAnalysis(this, &m_ring, info, destination, bytes, outBytes);
}

s32 ClCodecStreamInstance_WavPack::attemptToFillWavPackDataBuffers() {
    return fillCodecRing(this, &m_ring, [this](u8* destination, u32 capacity, u32* outBytes, u32* outAtEnd) {
        return decodeIntoBuffer(destination, capacity, outBytes, outAtEnd);
    });
}

s32 ClCodecStreamInstance_WavPack::decodeIntoBuffer(u8* destination, u32 capacity, u32* outBytes, u32* outAtEnd) {
    if (!m_context || m_channels == 0) return 0;
    const u32 frames = capacity / (m_channels * 4);
    const u32 unpacked = WavpackUnpackSamples(m_context, reinterpret_cast<int32_t*>(destination), frames);
    const u32 samples = unpacked * m_channels;
    if (!(m_mode & MODE_FLOAT)) convertWavPackSamplesToFloat(destination, samples, m_bytesPerSample);
    m_unpackedSamples += unpacked;
    // Blocks that failed their check were muted or skipped.
    if (WavpackGetNumErrors(m_context) > 0) noteStreamDamage();
    *outBytes = samples * 4;
    *outAtEnd = (unpacked == 0 || m_unpackedSamples >= m_totalSamples) ? 1 : 0;
    // The library shows damage only as samples it cannot deliver: a stream that ends short of
    // its length is truncated or damaged.
    if (*outAtEnd && m_unpackedSamples < m_totalSamples) {
        writeCodecAudioLog("ClCodecStreamInstance_WavPack::attemptToFillWavPackDataBuffers() -> Stream ended after "
                           "[%llu] of [%llu] samples; file [%s] is damaged!",
                           static_cast<unsigned long long>(m_unpackedSamples),
                           static_cast<unsigned long long>(m_totalSamples), m_filePath.c_str());
        return 0;
    }
    return 1;
}

ClCodecStreamInstance* createCodecStreamInstanceWavPack() { return new (std::nothrow) ClCodecStreamInstance_WavPack(); }
