// The FLAC decoder over libFLAC++'s file decoder.
#include "audio/decode/decoder_flac.h"

#include "audio/decode/codec_registry.h"
#include "audio/decode/sample_pull.h"
#include "core/file_layer.h"
#include "platform/os/os.h"
#include "core/processor_features.h"

#include <FLAC++/decoder.h>

#include <bit>
#include <cstring>
#include <new>

static_assert(sizeof(FLAC__int32) == sizeof(s32));

// Receives libFLAC's callbacks for one decoder object and hands them to its job.
class ClFLACFileDecoder : public FLAC::Decoder::File {
public:
    explicit ClFLACFileDecoder(ClCodecStreamInstance_FLAC* owner) : m_owner(owner) {}

protected:
    ::FLAC__StreamDecoderWriteStatus write_callback(const ::FLAC__Frame* frame,
                                                    const FLAC__int32* const buffer[]) override {
        const u32 abort = m_owner->onFrameDecoded(frame->header.blocksize, frame->header.channels,
                                                  frame->header.bits_per_sample, buffer);
        return abort ? FLAC__STREAM_DECODER_WRITE_STATUS_ABORT : FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    void metadata_callback(const ::FLAC__StreamMetadata* metadata) override { m_owner->onMetadata(metadata); }
    void error_callback(::FLAC__StreamDecoderErrorStatus status) override { m_owner->onDecodeError(s32(status)); }

private:
    ClCodecStreamInstance_FLAC* m_owner;
};

namespace {

const SCodecRingMessages kFlacRingMessages = {
    "ClCodecStreamInstance_FLAC::handleFMODReadCallback() ERROR -> Buffer [%d] should have its buffer state set to "
    "E_CODECBS_PENDING_SEND_TO_AUDIO_DEVICE -> SKIPPING!",
    "ClCodecStreamInstance_FLAC::handleFMODReadCallback() ERROR -> We have wrapped around to buffer [%d] where we "
    "started (we are out of data)!",
};


}  // namespace

u32 flacContainerBytes(u32 bitsPerSample) {
    if (bitsPerSample == 0 || bitsPerSample > 24) return 0;
    return (bitsPerSample + 7) / 8;
}

namespace {

// The general packing, one byte at a time: each sample shifted into the top of its container,
// little-endian, 8-bit containers offset to unsigned.
template <u32 Container>
void packBytes(const s32* const* channelSamples, u32 channels, u32 frames, u32 shift, u8* out) {
    for (u32 i = 0; i < frames; ++i) {
        for (u32 c = 0; c < channels; ++c) {
            const u32 value = u32(channelSamples[c][i]) << shift;
            if constexpr (Container == 1) {
                *out++ = u8(value + 128u);
            } else {
                for (u32 b = 0; b < Container; ++b) *out++ = u8(value >> (8 * b));
            }
        }
    }
}

// 16-bit containers on a little-endian machine: the same bytes, written eight or four frames at a
// time in lanes (each frame of a stereo pair one word), the last few one by one.
typedef u32 PackLanes __attribute__((vector_size(16)));
typedef u16 PackHalves __attribute__((vector_size(8)));
constexpr u32 PACK_LANES = 4;

#if defined(__x86_64__)
typedef u32 PackWideLanes __attribute__((vector_size(32)));

// packStereo16's lanes eight frames at a time where the processor has AVX2. Returns the frames
// done.
[[gnu::target("avx2")]] u32 packStereo16Wide(const s32* left, const s32* right, u32 frames, u32 shift, u8* out) {
    u32 i = 0;
    for (; i + 8u <= frames; i += 8u) {
        PackWideLanes l, r;
        std::memcpy(&l, left + i, sizeof l);
        std::memcpy(&r, right + i, sizeof r);
        const PackWideLanes words = ((l << shift) & 0xFFFFu) | ((r << shift) << 16);
        std::memcpy(out + 4 * size_t(i), &words, sizeof words);
    }
    return i;
}
#endif

void packStereo16(const s32* left, const s32* right, u32 frames, u32 shift, u8* out) {
    u32 i = 0;
#if defined(__x86_64__)
    if (processorHasAvx2()) i = packStereo16Wide(left, right, frames, shift, out);
#endif
    for (; i + PACK_LANES <= frames; i += PACK_LANES) {
        PackLanes l, r;
        std::memcpy(&l, left + i, sizeof l);
        std::memcpy(&r, right + i, sizeof r);
        const PackLanes words = ((l << shift) & 0xFFFFu) | ((r << shift) << 16);
        std::memcpy(out + 4 * size_t(i), &words, sizeof words);
    }
    for (; i < frames; ++i) {
        const u32 word = ((u32(left[i]) << shift) & 0xFFFFu) | (u32(right[i]) << shift << 16);
        std::memcpy(out + 4 * size_t(i), &word, 4);
    }
}

void packMono16(const s32* samples, u32 frames, u32 shift, u8* out) {
    u32 i = 0;
    for (; i + PACK_LANES <= frames; i += PACK_LANES) {
        PackLanes v;
        std::memcpy(&v, samples + i, sizeof v);
        const PackHalves halves = __builtin_convertvector(v << shift, PackHalves);
        std::memcpy(out + 2 * size_t(i), &halves, sizeof halves);
    }
    for (; i < frames; ++i) {
        const u16 half = u16(u32(samples[i]) << shift);
        std::memcpy(out + 2 * size_t(i), &half, 2);
    }
}

}  // namespace

s32 packFlacFrame(const s32* const* channelSamples, u32 channels, u32 frames, u32 bitsPerSample,
                  u8* destination, u32 capacity, u32* outBytes) {
    *outBytes = 0;
    const u32 container = flacContainerBytes(bitsPerSample);
    if (container == 0 || (channels != 1 && channels != 2)) return 0;
    const u64 bytes = u64(frames) * channels * container;
    if (bytes > capacity) return 0;
    const u32 shift = container * 8 - bitsPerSample;
    if (container == 2 && std::endian::native == std::endian::little) {
        if (channels == 2)
            packStereo16(channelSamples[0], channelSamples[1], frames, shift, destination);
        else
            packMono16(channelSamples[0], frames, shift, destination);
    } else if (container == 1) {
        packBytes<1>(channelSamples, channels, frames, shift, destination);
    } else if (container == 2) {
        packBytes<2>(channelSamples, channels, frames, shift, destination);
    } else {
        packBytes<3>(channelSamples, channels, frames, shift, destination);
    }
    *outBytes = u32(bytes);
    return 1;
}

ClCodecStreamInstance_FLAC::~ClCodecStreamInstance_FLAC() { releaseAll(); }

s32 ClCodecStreamInstance_FLAC::initializeMembers() {
    releaseAll();
    m_lastErrorStatus = 0;
    m_errorBeforeNextFrame = 0;
    m_hasStreamInfo = 0;
    m_totalSamples = 0;
    m_sampleRate = m_channels = m_bitsPerSample = m_bytesPerSample = 0;
    m_minBlockSize = m_maxBlockSize = m_minFrameSize = m_maxFrameSize = 0;
    m_processCallsPerBuffer = 0;
    m_fillTarget = nullptr;
    m_fillCapacity = m_fillOffset = m_fillFrames = 0;
    m_decodedSamples = 0;
    m_endedShort = 0;
    m_decodeFailed = 0;

    m_fileDecoder = new (std::nothrow) ClFLACFileDecoder(this);
    if (!m_fileDecoder) return 0;
    if (!m_fileDecoder->is_valid()) {
        delete m_fileDecoder;
        m_fileDecoder = nullptr;
        return 0;
    }
    m_fileDecoder->set_md5_checking(true);
    return 1;
}

s32 ClCodecStreamInstance_FLAC::openFile() {
    if (!m_fileDecoder) return 0;
    const std::string path = osSystemPathW(m_path);
    fileSystemLockEnter();
    const ::FLAC__StreamDecoderInitStatus status = m_fileDecoder->init(path.c_str());
    fileSystemLockLeave();
    if (status != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
        writeCodecAudioLog("ClCodecStreamInstance_FLAC::initializeFullStream() -> ERROR -> Failed opening file [%s] "
                           "(init status [%d])!",
                           path.c_str(), int(status));
        return 0;
    }
    // The stream's format is checked here, so that a file the ring cannot be built for is refused
    // at open.
    if (!readMetadataBlocks() || !hasUsableStreamInfo()) {
        writeCodecAudioLog("ClCodecStreamInstance_FLAC::initializeFullStream() -> ERROR -> No usable stream info in "
                           "file [%s]!",
                           path.c_str());
        return 0;
    }
    return 1;
}

s32 ClCodecStreamInstance_FLAC::initializeFullStream() { return openFile(); }

u64 ClCodecStreamInstance_FLAC::totalDecodedBytes() const {
    return m_totalSamples * m_channels * m_bytesPerSample;
}

s32 ClCodecStreamInstance_FLAC::hasUsableStreamInfo() const {
    if (!m_hasStreamInfo || m_sampleRate == 0) return 0;
    // The ring's buffers are whole multiples of the maximum block size.
    if (m_maxBlockSize == 0) return 0;
    const u64 total = totalDecodedBytes();
    return total != 0 && codecByteCountSupported(total);
}

s32 ClCodecStreamInstance_FLAC::startDecoding() {
    if (!readMetadataBlocks() || !hasUsableStreamInfo()) return 0;
    const u64 frameBytes = u64(m_channels) * m_bytesPerSample;
    const u64 half = u64(f64(u64(m_sampleRate) * frameBytes) * 0.5);
    m_processCallsPerBuffer = u32(half / m_maxBlockSize + 1);
    const u64 bytesPerBuffer = u64(m_processCallsPerBuffer) * m_maxBlockSize * frameBytes;
    if (!allocateCodecRing(&m_ring, FLAC_RING_BUFFER_COUNT, bytesPerBuffer, this)) return 0;
    // A stream the write callback refuses fails at the job's next step (E_CODECJOB_DECODE_FAILED),
    // not here.
    attemptToFillFLACDataBuffers();
    return 1;
}

s32 ClCodecStreamInstance_FLAC::readMetadataBlocks() {
    if (!m_fileDecoder) return 0;
    return m_fileDecoder->process_until_end_of_metadata() ? 1 : 0;
}

s32 ClCodecStreamInstance_FLAC::canDecodeMoreData() { return codecRingHasFreeBuffer(this, &m_ring); }

// The ring's flag, set only when a fill met the end of the stream: a decoder that aborted or
// failed is not finished, so its job fails at the next fill instead of passing as complete.
s32 ClCodecStreamInstance_FLAC::isDecodingFinished() { return m_ring.finished ? 1 : 0; }

s32 ClCodecStreamInstance_FLAC::continueDecoding() { return attemptToFillFLACDataBuffers(); }

void ClCodecStreamInstance_FLAC::releaseAll() {
    // Deleting the library's decoder closes its file.
    delete m_fileDecoder;
    m_fileDecoder = nullptr;
    releaseCodecRing(&m_ring);
    m_fillTarget = nullptr;
}

s32 ClCodecStreamInstance_FLAC::getCommonCodecInfo(SCommonCodecInfo* info) {
    if (!hasUsableStreamInfo()) return 0;
    info->durationMs = u32(f64(m_totalSamples) / f64(m_sampleRate) * 1000.0);
    info->totalBytes = u32(totalDecodedBytes());
    info->channels = m_channels;
    info->one = 1;
    info->bytesPerSample = m_bytesPerSample;
    info->sampleRate = f32(m_sampleRate);
    info->sampleFormat = E_CODECSAMPLEFORMAT_INTEGER;
    return 1;
}

s32 ClCodecStreamInstance_FLAC::fillCreateSoundExInfo(SCodecCreateSoundExInfo* info) {
    if (!hasUsableStreamInfo()) return 0;
    ECodecSoundFormat format = E_CODECSOUNDFORMAT_NONE;
    switch (flacContainerBytes(m_bitsPerSample)) {
        case 1:
            format = E_CODECSOUNDFORMAT_PCM8;
            break;
        case 2:
            format = E_CODECSOUNDFORMAT_PCM16;
            break;
        case 3:
            format = E_CODECSOUNDFORMAT_PCM24;
            break;
        default:
            return 0;
    }
    info->length = u32(totalDecodedBytes());
    info->decodeBufferSize = (m_ring.bytesPerBuffer / 2) / (m_bytesPerSample * m_channels);
    info->numChannels = m_channels;
    info->defaultFrequency = m_sampleRate;
    info->format = format;
    bindCodecRingToStream(this, &m_ring, info, "ClCodecStreamInstance_FLAC::fillCreateSoundExInfo");
    return 1;
}

s32 ClCodecStreamInstance_FLAC::handleFMODReadCallback(void* data, u32 bytes) {
    return readCodecRingForStream(this, &m_ring, data, bytes, kFlacRingMessages);
}

s32 ClCodecStreamInstance_FLAC::gameSpecificProcessDecodedData(SAnalysisStreamInfo* info, void* destination,
                                                               u32 bytes, u32* outBytes) {
    return pullCodecRingForAnalysis(this, &m_ring, info, destination, bytes, outBytes);
}

s32 ClCodecStreamInstance_FLAC::attemptToFillFLACDataBuffers() {
    return fillCodecRing(this, &m_ring, [this](u8* destination, u32 capacity, u32* outBytes, u32* outAtEnd) {
        return decodeIntoBuffer(destination, capacity, outBytes, outAtEnd);
    });
}

s32 ClCodecStreamInstance_FLAC::decodeIntoBuffer(u8* destination, u32 capacity, u32* outBytes, u32* outAtEnd) {
    if (!m_fileDecoder) return 0;
    // A failure is reported once; the fills after it fail silently.
    if (m_decodeFailed) return 0;
    if (m_endedShort) {
        m_decodeFailed = 1;
        return reportEndedShort();
    }
    m_fillTarget = destination;
    m_fillCapacity = capacity;
    m_fillOffset = 0;
    m_fillFrames = 0;
    s32 result = 1;
    // Calls that deliver no frame (a damaged frame skipped) do not count, so a buffer is never
    // committed empty before the end; every call consumes input, so the loop ends with the file.
    // The library answers true in its aborted state, hence the state test after each call.
    while (m_fillFrames < m_processCallsPerBuffer) {
        if (m_fileDecoder->get_state() == FLAC__STREAM_DECODER_END_OF_STREAM) break;
        if (!m_fileDecoder->process_single() || m_fileDecoder->get_state() > FLAC__STREAM_DECODER_END_OF_STREAM) {
            writeCodecAudioLog("ClCodecStreamInstance_FLAC::attemptToFillFLACDataBuffers() -> ERROR -> Decoding "
                               "failed in state [%s]!",
                               m_fileDecoder->get_state().as_cstring());
            m_decodeFailed = 1;
            result = 0;
            break;
        }
    }
    m_fillTarget = nullptr;
    if (!result) return 0;
    *outBytes = m_fillOffset;
    *outAtEnd = m_fileDecoder->get_state() == FLAC__STREAM_DECODER_END_OF_STREAM ? 1 : 0;
    // A stream that ends before its declared length lost frames: the file is truncated or
    // damaged. What was decoded is delivered; the next fill fails the job.
    if (*outAtEnd && m_decodedSamples < m_totalSamples) {
        m_endedShort = 1;
        if (m_fillOffset == 0) {
            m_decodeFailed = 1;
            return reportEndedShort();
        }
        *outAtEnd = 0;
    }
    return 1;
}

s32 ClCodecStreamInstance_FLAC::reportEndedShort() const {
    writeCodecAudioLog("ClCodecStreamInstance_FLAC::attemptToFillFLACDataBuffers() -> ERROR -> Stream ended after "
                       "[%llu] of [%llu] samples!",
                       static_cast<unsigned long long>(m_decodedSamples),
                       static_cast<unsigned long long>(m_totalSamples));
    return 0;
}

s32 ClCodecStreamInstance_FLAC::onFrameDecoded(u32 frames, u32 channels, u32 bitsPerSample,
                                               const s32* const* channelSamples) {
    if (m_errorBeforeNextFrame) noteStreamDamage();
    m_errorBeforeNextFrame = 0;
    if (!m_fillTarget) return 1;
    if (channels != m_channels || bitsPerSample != m_bitsPerSample || flacContainerBytes(bitsPerSample) == 0 ||
        channels > 2) {
        writeCodecAudioLog("ClCodecStreamInstance_FLAC::onFrameDecoded() -> ERROR -> Unsupported frame of [%u] "
                           "channels and [%u] bits per sample!",
                           channels, bitsPerSample);
        return 1;
    }
    u32 written = 0;
    if (!packFlacFrame(channelSamples, channels, frames, bitsPerSample, m_fillTarget + m_fillOffset,
                       m_fillCapacity - m_fillOffset, &written)) {
        writeCodecAudioLog("ClCodecStreamInstance_FLAC::onFrameDecoded() -> ERROR -> Frame of [%u] samples does not "
                           "fit the buffer (maximum block size [%u])!",
                           frames, m_maxBlockSize);
        return 1;
    }
    m_fillOffset += written;
    ++m_fillFrames;
    m_decodedSamples += frames;
    return 0;
}

void ClCodecStreamInstance_FLAC::onMetadata(const FLAC__StreamMetadata* metadata) {
    if (metadata->type == FLAC__METADATA_TYPE_STREAMINFO) {
        const FLAC__StreamMetadata_StreamInfo& info = metadata->data.stream_info;
        m_hasStreamInfo = 1;
        m_totalSamples = info.total_samples;
        m_sampleRate = info.sample_rate;
        m_channels = info.channels;
        m_bitsPerSample = info.bits_per_sample;
        m_bytesPerSample = (info.bits_per_sample + 7) / 8;
        m_minBlockSize = info.min_blocksize;
        m_maxBlockSize = info.max_blocksize;
        m_minFrameSize = info.min_framesize;
        m_maxFrameSize = info.max_framesize;
    }
}

// The library skips what it cannot read (lost sync, a bad header, a frame failing its check) and
// goes on. Only a frame decoded after it shows that a part of the song is missing; an error at
// the very end is a file that was cut short.
void ClCodecStreamInstance_FLAC::onDecodeError(s32 status) {
    m_lastErrorStatus = status;
    m_errorBeforeNextFrame = 1;
}

ClCodecStreamInstance* createCodecStreamInstanceFLAC() { return new (std::nothrow) ClCodecStreamInstance_FLAC(); }
