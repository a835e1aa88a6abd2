// The compressed-audio reader over FFmpeg: the container is read through our own file calls
// (an AVIOContext over osFileReadAt), only the best audio stream is demuxed and decoded, and
// libswresample turns every decoded frame into the wanted interleaved form at the source rate
// and channel layout.
#include "platform/media/media_audio_reader.h"

#include "platform/media/ffmpeg_io.h"

#include "platform/os/os.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "platform/media/ffmpeg_calls.h"

namespace {

// Size of the block the container layer reads through us.
constexpr int MEDIA_IO_BUFFER_BYTES = 64 * 1024;
// Damaged packets in a row, with no audio between them, before the stream counts as broken.
constexpr u32 MEDIA_MAX_CONSECUTIVE_BAD_PACKETS = 256;
// Decoded audio may run ahead of the packets' own durations by this share plus a second before
// the stream counts as damaged: a damaged block size makes the decoder cut each packet into
// many frames of noise.
constexpr u64 MEDIA_OVERRUN_SHARE_DIVISOR = 2;
// A packet longer than this (about 20 s at 48 kHz) comes only from a damaged header.
constexpr s64 MEDIA_MAX_PACKET_FRAMES = s64(1) << 20;
// The lowest bit rate a stated length is checked against: 8 kbit/s is 1,000 bytes a second.
constexpr u64 MEDIA_MIN_BYTES_PER_SECOND = 1000;

}  // namespace

struct SMediaAudioReaderState : SFfmpegFileIo {
    AVIOContext* io = nullptr;
    AVFormatContext* container = nullptr;
    AVCodecContext* decoder = nullptr;
    SwrContext* converter = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int streamIndex = -1;

    // What the converter was set up for; a frame that differs sets it up again.
    AVSampleFormat converterInFormat = AV_SAMPLE_FMT_NONE;
    int converterInRate = 0;
    AVChannelLayout converterInLayout{};
    AVChannelLayout outLayout{};
    AVSampleFormat outFormat = AV_SAMPLE_FMT_NONE;

    SMediaAudioFormat format{};
    // Frames handed out so far, and the most the stream may give (its measured length).
    u64 framesDelivered = 0;
    u64 frameLimit = ~u64(0);

    // Converted frames not yet handed out.
    std::vector<u8> pending;
    u32 pendingFrames = 0;
    u32 pendingOffsetFrames = 0;

    bool decoderFlushed = false;  // the end-of-data packet has gone to the decoder
    bool drained = false;         // nothing more will come out
    bool atEnd = false;           // the caller has been handed the end
    u32 badPacketsInRow = 0;
    u32 packetsDamaged = 0;
    // Frames the packets sent so far say they hold (while every packet states its duration),
    // and frames the decoder gave for them.
    u64 packetFrames = 0;
    bool packetDurationsKnown = true;
    u64 decodedFrames = 0;
};

namespace {

// Whether the decoder has given far more audio than the packets sent to it hold.
bool decodesPastItsPackets(const SMediaAudioReaderState* state) {
    if (!state->packetDurationsKnown || state->packetsDamaged == 0) return false;
    const u64 allowed = state->packetFrames + state->packetFrames / MEDIA_OVERRUN_SHARE_DIVISOR + state->format.sampleRate;
    return state->decodedFrames > allowed;
}

// Adds a sent packet's duration, in frames of the output rate.
void countPacketFrames(SMediaAudioReaderState* state, const AVPacket* packet) {
    if (packet->duration <= 0) {
        state->packetDurationsKnown = false;
        return;
    }
    const AVStream* stream = state->container->streams[state->streamIndex];
    state->packetFrames += u64(av_rescale_q(packet->duration, stream->time_base, AVRational{1, s32(state->format.sampleRate)}));
}

void closeContainer(SMediaAudioReaderState* state) {
    // Custom I/O: closing the container leaves the I/O context to us.
    avformat_close_input(&state->container);
    if (state->io) {
        av_freep(&state->io->buffer);
        avio_context_free(&state->io);
    }
}

void releaseState(SMediaAudioReaderState* state) {
    if (!state) return;
    av_frame_free(&state->frame);
    av_packet_free(&state->packet);
    swr_free(&state->converter);
    avcodec_free_context(&state->decoder);
    closeContainer(state);
    av_channel_layout_uninit(&state->converterInLayout);
    av_channel_layout_uninit(&state->outLayout);
    if (state->file) osFileClose(state->file);
    delete state;
}

// Sets the converter up for a frame's sample format, rate and layout.
int setUpConverter(SMediaAudioReaderState* state, const AVFrame* frame) {
    AVChannelLayout inLayout{};
    int result = 0;
    if (frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && av_channel_layout_check(&frame->ch_layout)) {
        result = av_channel_layout_copy(&inLayout, &frame->ch_layout);
    } else {
        av_channel_layout_default(&inLayout, frame->ch_layout.nb_channels);
    }
    if (result < 0) return result;
    swr_free(&state->converter);
    result = swr_alloc_set_opts2(&state->converter, &state->outLayout, state->outFormat,
                                 int(state->format.sampleRate), &inLayout, AVSampleFormat(frame->format),
                                 frame->sample_rate, 0, nullptr);
    if (result >= 0) result = swr_init(state->converter);
    av_channel_layout_uninit(&state->converterInLayout);
    state->converterInLayout = inLayout;
    state->converterInFormat = AVSampleFormat(frame->format);
    state->converterInRate = frame->sample_rate;
    if (result < 0) swr_free(&state->converter);
    return result;
}

bool converterMatches(const SMediaAudioReaderState* state, const AVFrame* frame) {
    if (!state->converter || state->converterInFormat != frame->format ||
        state->converterInRate != frame->sample_rate) {
        return false;
    }
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        return frame->ch_layout.nb_channels == state->converterInLayout.nb_channels;
    }
    return av_channel_layout_compare(&frame->ch_layout, &state->converterInLayout) == 0;
}

// Makes room for frames more pending frames (pending is empty when this is called). Grows only
// when a larger frame than any before arrives, so steady decoding allocates nothing.
bool reservePending(SMediaAudioReaderState* state, int frames) {
    const size_t bytes = size_t(frames) * state->format.bytesPerFrame;
    if (state->pending.size() >= bytes) return true;
    try {
        state->pending.resize(bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void clampFloats(SMediaAudioReaderState* state, u32 frames) {
    if (state->format.sampleFormat != E_MEDIASAMPLE_F32) return;
    f32* samples = reinterpret_cast<f32*>(state->pending.data());
    const u32 count = frames * state->format.channels;
    for (u32 i = 0; i < count; ++i) {
        const f32 value = samples[i];
        // NaN from a broken stream becomes silence rather than poisoning the mix.
        samples[i] = value > 1.0f ? 1.0f : (value < -1.0f ? -1.0f : (value == value ? value : 0.0f));
    }
}

// Converts a decoded frame (or, with no frame, what the converter still holds) into pending.
int convertIntoPending(SMediaAudioReaderState* state, const AVFrame* frame) {
    const int inFrames = frame ? frame->nb_samples : 0;
    if (!state->converter) return 0;
    const int capacity = swr_get_out_samples(state->converter, inFrames);
    if (capacity < 0) return capacity;
    if (capacity == 0) return 0;
    if (!reservePending(state, capacity)) return AVERROR(ENOMEM);
    u8* out = state->pending.data();
    const int converted = swr_convert(state->converter, &out, capacity,
                                      frame ? const_cast<const u8**>(frame->extended_data) : nullptr, inFrames);
    if (converted < 0) return converted;
    state->pendingFrames = u32(converted);
    state->pendingOffsetFrames = 0;
    clampFloats(state, u32(converted));
    return converted;
}

struct SOpenFailure {
    EMediaReaderError error;
    s32 code;
};

// Reads the container's header and stream facts from the start of the file.
SOpenFailure openContainer(SMediaAudioReaderState* state) {
    state->position = 0;
    state->ioFailed = false;
    u8* ioBuffer = static_cast<u8*>(av_malloc(MEDIA_IO_BUFFER_BYTES));
    if (!ioBuffer) return {E_MEDIAERR_OUT_OF_MEMORY, 0};
    state->io = avio_alloc_context(ioBuffer, MEDIA_IO_BUFFER_BYTES, 0, static_cast<SFfmpegFileIo*>(state), ffmpegReadFromFile,
                                   nullptr, ffmpegSeekInFile);
    if (!state->io) {
        av_free(ioBuffer);
        return {E_MEDIAERR_OUT_OF_MEMORY, 0};
    }
    state->container = avformat_alloc_context();
    if (!state->container) return {E_MEDIAERR_OUT_OF_MEMORY, 0};
    state->container->pb = state->io;
    state->container->io_open = ffmpegRefuseNestedOpen;

    // No file name goes to the library: the container is recognised by its contents alone, so a
    // misnamed file is judged by what it holds.
    int result = avformat_open_input(&state->container, "", nullptr, nullptr);
    if (result < 0) {
        // A failed open frees the container itself.
        state->container = nullptr;
        if (state->ioFailed) return {E_MEDIAERR_READ, s32(state->ioError)};
        return {result == AVERROR(ENOMEM) ? E_MEDIAERR_OUT_OF_MEMORY : E_MEDIAERR_NOT_A_MEDIA_FILE, result};
    }
    result = avformat_find_stream_info(state->container, nullptr);
    if (result < 0) {
        if (state->ioFailed) return {E_MEDIAERR_READ, s32(state->ioError)};
        return {E_MEDIAERR_STREAM_INFO, result};
    }
    return {E_MEDIAERR_NONE, 0};
}

// Picks the best audio stream and has the demuxer skip every other one, so a video's pictures
// are never even read out.
SOpenFailure selectAudioStream(SMediaAudioReaderState* state, const AVCodec** outCodec) {
    const int result = av_find_best_stream(state->container, AVMEDIA_TYPE_AUDIO, -1, -1, outCodec, 0);
    if (result == AVERROR_STREAM_NOT_FOUND) return {E_MEDIAERR_NO_AUDIO_STREAM, result};
    if (result < 0 || !*outCodec) return {E_MEDIAERR_NO_DECODER, result};
    state->streamIndex = result;
    for (unsigned i = 0; i < state->container->nb_streams; ++i) {
        if (int(i) != state->streamIndex) state->container->streams[i]->discard = AVDISCARD_ALL;
    }
    const AVCodecParameters* parameters = state->container->streams[result]->codecpar;
    const int channels = parameters->ch_layout.nb_channels;
    if (parameters->sample_rate <= 0 || channels <= 0 || u32(channels) > MEDIA_AUDIO_MAX_CHANNELS) {
        return {E_MEDIAERR_UNSUPPORTED_FORMAT, 0};
    }
    return {E_MEDIAERR_NONE, 0};
}

struct SStreamLength {
    u64 frames;
    bool measured;
};

// The length the container states for the stream, in frames (its own duration, else the
// container's); 0 when it states none. Sets exact unless the library only estimated it from
// the bit rate.
u64 statedFrames(const AVFormatContext* container, const AVStream* stream, bool* outExact) {
    const int rate = stream->codecpar->sample_rate;
    s64 frames = 0;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        frames = av_rescale_q(stream->duration, stream->time_base, AVRational{1, rate});
    } else if (container->duration != AV_NOPTS_VALUE && container->duration > 0) {
        frames = av_rescale(container->duration, rate, AV_TIME_BASE);
    }
    *outExact = container->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
    return frames > 0 ? u64(frames) : 0;
}

// Reads every packet of the stream once, without decoding, and adds up their lengths less the
// encoder delay and padding that the container marks on them for removal (a LAME header's
// start and end, an edit list's priming). A packet lasts until the next one starts, where the
// timestamps say so sanely (stated packet lengths may be rounded, as ASF's milliseconds are),
// else for its own stated length. A container's stated length is believed only below the
// measured one: headers may claim hours that a few kilobytes cannot hold, estimate from the
// bit rate, or describe a file that has since been cut short. Where a packet has no length at
// all, the stated one stands if the file's size could hold it.
SOpenFailure measureStream(SMediaAudioReaderState* state, SStreamLength* out) {
    const AVStream* stream = state->container->streams[state->streamIndex];
    const AVRational frameBase{1, stream->codecpar->sample_rate};
    const s64 maxPacketTicks = av_rescale_q(MEDIA_MAX_PACKET_FRAMES, frameBase, stream->time_base);
    s64 ticks = 0;
    s64 removed = 0;
    bool allTimed = true;
    s64 previousPts = AV_NOPTS_VALUE;
    s64 previousDuration = 0;
    auto addPrevious = [&](s64 nextPts) {
        const s64 gap = nextPts != AV_NOPTS_VALUE && previousPts != AV_NOPTS_VALUE && nextPts > previousPts
                            ? nextPts - previousPts
                            : 0;
        const s64 length = gap > 0 && gap <= maxPacketTicks ? gap : previousDuration;
        if (length <= 0 || length > maxPacketTicks || ticks > INT64_MAX - length) allTimed = false;
        else ticks += length;
    };
    bool any = false;
    for (;;) {
        const int result = av_read_frame(state->container, state->packet);
        if (result < 0) {
            if (state->ioFailed) return {E_MEDIAERR_READ, s32(state->ioError)};
            if (result == AVERROR(ENOMEM)) return {E_MEDIAERR_OUT_OF_MEMORY, result};
            // The end of the file, or a container too damaged to go on: the length is what came.
            break;
        }
        const AVPacket* packet = state->packet;
        if (packet->stream_index == state->streamIndex) {
            if (any) addPrevious(packet->pts);
            any = true;
            previousPts = packet->pts;
            previousDuration = packet->duration;
            size_t size = 0;
            const u8* skip = av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
            // Bounded, so that no count of hostile packets can overflow it.
            if (skip && size >= 8 && removed < INT64_MAX / 4) removed += s64(AV_RL32(skip)) + s64(AV_RL32(skip + 4));
        }
        av_packet_unref(state->packet);
    }
    if (any) addPrevious(AV_NOPTS_VALUE);
    const s64 frames = av_rescale_q(ticks, stream->time_base, frameBase);

    bool exact = false;
    const u64 stated = statedFrames(state->container, stream, &exact);
    const u64 holdable = state->fileSize / MEDIA_MIN_BYTES_PER_SECOND * u64(frameBase.den);
    const bool plausible = stated <= holdable;
    if (allTimed) {
        const u64 measured = frames > removed ? u64(frames - removed) : 0;
        const bool statedShorter = exact && plausible && stated > 0 && stated < measured;
        *out = {statedShorter ? stated : measured, true};
    } else {
        *out = {plausible ? stated : 0, false};
    }
    return {E_MEDIAERR_NONE, 0};
}

}  // namespace

const char* mediaReaderErrorText(EMediaReaderError error) {
    switch (error) {
        case E_MEDIAERR_NONE: return "no error";
        case E_MEDIAERR_INVALID_PARAMETER: return "invalid parameters";
        case E_MEDIAERR_NOT_OPEN: return "reader not open";
        case E_MEDIAERR_FILE_NOT_FOUND: return "file not found";
        case E_MEDIAERR_FILE_OPEN: return "file cannot be opened";
        case E_MEDIAERR_EMPTY_FILE: return "file is empty";
        case E_MEDIAERR_NOT_A_MEDIA_FILE: return "not a valid media file";
        case E_MEDIAERR_STREAM_INFO: return "media streams cannot be read";
        case E_MEDIAERR_NO_AUDIO_STREAM: return "no audio stream found";
        case E_MEDIAERR_NO_DECODER: return "audio codec not supported";
        case E_MEDIAERR_UNSUPPORTED_FORMAT: return "unsupported sample rate or channel count";
        case E_MEDIAERR_DECODER_OPEN: return "audio decoder cannot start";
        case E_MEDIAERR_CONVERTER: return "sample converter cannot start";
        case E_MEDIAERR_OUT_OF_MEMORY: return "out of memory";
        case E_MEDIAERR_READ: return "file read failed";
        case E_MEDIAERR_DECODE: return "decoding failed";
        case E_MEDIAERR_MOSTLY_DAMAGED: return "the stream is damaged: it decodes to far more audio than its packets hold";
    }
    return "unknown error";
}

ClMediaAudioReader::~ClMediaAudioReader() { close(); }

EMediaReaderError ClMediaAudioReader::fail(EMediaReaderError error, s32 systemCode) {
    m_lastError = error;
    m_lastSystemCode = systemCode;
    return error;
}

void ClMediaAudioReader::close() {
    releaseState(m_state);
    m_state = nullptr;
}

EMediaReaderError ClMediaAudioReader::open(const char16_t* path, EMediaSampleFormat wanted) {
    if (!path || !path[0] || m_state || (wanted != E_MEDIASAMPLE_S16 && wanted != E_MEDIASAMPLE_F32)) {
        return fail(E_MEDIAERR_INVALID_PARAMETER, 0);
    }
    if (!startFfmpeg()) return fail(E_MEDIAERR_NO_DECODER, 0);
    m_lastError = E_MEDIAERR_NONE;
    m_lastSystemCode = 0;

    SMediaAudioReaderState* state = new (std::nothrow) SMediaAudioReaderState;
    if (!state) return fail(E_MEDIAERR_OUT_OF_MEMORY, 0);
    // Every failure below releases what was built so far.
    auto failOpen = [&](SOpenFailure failure) {
        releaseState(state);
        return fail(failure.error, failure.code);
    };

    state->file = osFileOpenW(path, E_OSFILE_READ_EXISTING);
    if (!state->file) {
        const u32 error = osLastError();
        return failOpen({error == E_OSERR_NOT_FOUND ? E_MEDIAERR_FILE_NOT_FOUND : E_MEDIAERR_FILE_OPEN, s32(error)});
    }
    if (!osFileGetSize(state->file, &state->fileSize)) return failOpen({E_MEDIAERR_FILE_OPEN, s32(osLastError())});
    if (state->fileSize == 0) return failOpen({E_MEDIAERR_EMPTY_FILE, 0});
    state->packet = av_packet_alloc();
    state->frame = av_frame_alloc();
    if (!state->packet || !state->frame) return failOpen({E_MEDIAERR_OUT_OF_MEMORY, 0});

    // The first reading measures the stream; the second, from the start again, decodes it.
    const AVCodec* codec = nullptr;
    SOpenFailure failure = openContainer(state);
    if (failure.error == E_MEDIAERR_NONE) failure = selectAudioStream(state, &codec);
    if (failure.error != E_MEDIAERR_NONE) return failOpen(failure);
    const int firstStreamIndex = state->streamIndex;
    SStreamLength length = {};
    failure = measureStream(state, &length);
    if (failure.error != E_MEDIAERR_NONE) return failOpen(failure);
    closeContainer(state);
    failure = openContainer(state);
    if (failure.error == E_MEDIAERR_NONE) failure = selectAudioStream(state, &codec);
    if (failure.error != E_MEDIAERR_NONE) return failOpen(failure);
    // The same bytes read the same way give the same streams.
    if (state->streamIndex != firstStreamIndex) return failOpen({E_MEDIAERR_STREAM_INFO, 0});

    const AVStream* stream = state->container->streams[state->streamIndex];
    const AVCodecParameters* parameters = stream->codecpar;
    const int channels = parameters->ch_layout.nb_channels;
    state->decoder = avcodec_alloc_context3(codec);
    if (!state->decoder) return failOpen({E_MEDIAERR_OUT_OF_MEMORY, 0});
    int result = avcodec_parameters_to_context(state->decoder, parameters);
    if (result < 0) return failOpen({E_MEDIAERR_DECODER_OPEN, result});
    state->decoder->pkt_timebase = stream->time_base;
    result = avcodec_open2(state->decoder, codec, nullptr);
    if (result < 0) return failOpen({E_MEDIAERR_DECODER_OPEN, result});

    // Output keeps the source's channel order; only a layout without one gets the default order.
    if (parameters->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && av_channel_layout_check(&parameters->ch_layout)) {
        result = av_channel_layout_copy(&state->outLayout, &parameters->ch_layout);
        if (result < 0) return failOpen({E_MEDIAERR_OUT_OF_MEMORY, result});
    } else {
        av_channel_layout_default(&state->outLayout, channels);
    }
    state->outFormat = wanted == E_MEDIASAMPLE_S16 ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_FLT;

    SMediaAudioFormat& format = state->format;
    format.sampleFormat = wanted;
    format.sampleRate = u32(parameters->sample_rate);
    format.channels = u32(channels);
    format.bitsPerSample = wanted == E_MEDIASAMPLE_S16 ? 16 : 32;
    format.bytesPerFrame = format.channels * format.bitsPerSample / 8;
    format.bytesPerBuffer = MEDIA_AUDIO_BUFFER_FRAMES * format.bytesPerFrame;
    format.totalFrames = length.frames;
    format.lengthMeasured = length.measured;
    state->frameLimit = length.measured ? length.frames : ~u64(0);

    m_state = state;
    return E_MEDIAERR_NONE;
}

EMediaReaderError ClMediaAudioReader::getFormat(SMediaAudioFormat* out) const {
    if (!out) return E_MEDIAERR_INVALID_PARAMETER;
    if (!m_state) {
        *out = SMediaAudioFormat{};
        return E_MEDIAERR_NOT_OPEN;
    }
    *out = m_state->format;
    return E_MEDIAERR_NONE;
}

bool ClMediaAudioReader::atEnd() const { return !m_state || m_state->atEnd; }

u32 ClMediaAudioReader::damagedPackets() const { return m_state ? m_state->packetsDamaged : 0; }

EMediaReaderError ClMediaAudioReader::read(void* out, u32 maxFrames, u32* framesOut) {
    if (framesOut) *framesOut = 0;
    if (!framesOut || (!out && maxFrames > 0)) return fail(E_MEDIAERR_INVALID_PARAMETER, 0);
    if (!m_state) return fail(E_MEDIAERR_NOT_OPEN, 0);
    SMediaAudioReaderState* state = m_state;
    if (state->atEnd) return E_MEDIAERR_NONE;

    u8* destination = static_cast<u8*>(out);
    const u32 bytesPerFrame = state->format.bytesPerFrame;
    const u32 requested = maxFrames;
    // Frames past the measured length are the padding of the last packet.
    const u64 allowed = state->frameLimit - state->framesDelivered;
    if (u64(maxFrames) > allowed) maxFrames = u32(allowed);
    u32 delivered = 0;
    // Ends a read with a failure: the frames so far stand and the stream is over.
    auto failRead = [&](EMediaReaderError error, s32 code) {
        *framesOut = delivered;
        state->framesDelivered += delivered;
        state->atEnd = true;
        return fail(error, code);
    };

    while (delivered < maxFrames) {
        if (state->pendingOffsetFrames < state->pendingFrames) {
            u32 frames = state->pendingFrames - state->pendingOffsetFrames;
            if (frames > maxFrames - delivered) frames = maxFrames - delivered;
            std::memcpy(destination + size_t(delivered) * bytesPerFrame,
                        state->pending.data() + size_t(state->pendingOffsetFrames) * bytesPerFrame,
                        size_t(frames) * bytesPerFrame);
            delivered += frames;
            state->pendingOffsetFrames += frames;
            continue;
        }
        if (state->drained) break;

        // Pending is empty: pull the next decoded frame. Every pass either takes a frame out of
        // the decoder or reads a packet from the file, and the file is finite, so this ends.
        int result = avcodec_receive_frame(state->decoder, state->frame);
        if (result == 0) {
            if (!converterMatches(state, state->frame)) {
                const int setUp = setUpConverter(state, state->frame);
                if (setUp < 0) {
                    av_frame_unref(state->frame);
                    return failRead(E_MEDIAERR_CONVERTER, setUp);
                }
            }
            const int converted = convertIntoPending(state, state->frame);
            av_frame_unref(state->frame);
            if (converted < 0) {
                return failRead(converted == AVERROR(ENOMEM) ? E_MEDIAERR_OUT_OF_MEMORY : E_MEDIAERR_DECODE, converted);
            }
            state->badPacketsInRow = 0;
            state->decodedFrames += state->pendingFrames;
            if (decodesPastItsPackets(state)) return failRead(E_MEDIAERR_MOSTLY_DAMAGED, 0);
            continue;
        }
        if (result == AVERROR_EOF) {
            // A resampling converter (after a mid-stream rate change) still holds a tail.
            const int converted = convertIntoPending(state, nullptr);
            if (converted < 0) return failRead(E_MEDIAERR_DECODE, converted);
            state->drained = true;
            continue;
        }
        if (result != AVERROR(EAGAIN)) {
            // A damaged frame: skip it and carry on, unless nothing but damage follows.
            if (result == AVERROR(ENOMEM)) return failRead(E_MEDIAERR_OUT_OF_MEMORY, result);
            ++state->packetsDamaged;
            if (++state->badPacketsInRow > MEDIA_MAX_CONSECUTIVE_BAD_PACKETS) return failRead(E_MEDIAERR_DECODE, result);
            continue;
        }
        if (state->decoderFlushed) {
            // The decoder wants input after the end of data: nothing more will come.
            state->drained = true;
            continue;
        }

        result = av_read_frame(state->container, state->packet);
        if (result < 0) {
            if (state->ioFailed) return failRead(E_MEDIAERR_READ, s32(state->ioError));
            if (result == AVERROR(ENOMEM)) return failRead(E_MEDIAERR_OUT_OF_MEMORY, result);
            // The end of the file, or a container too damaged to go on: decode what is in hand.
            avcodec_send_packet(state->decoder, nullptr);
            state->decoderFlushed = true;
            continue;
        }
        if (state->packet->stream_index != state->streamIndex) {
            av_packet_unref(state->packet);
            continue;
        }
        countPacketFrames(state, state->packet);
        result = avcodec_send_packet(state->decoder, state->packet);
        av_packet_unref(state->packet);
        if (result < 0 && result != AVERROR(EAGAIN)) {
            if (result == AVERROR(ENOMEM)) return failRead(E_MEDIAERR_OUT_OF_MEMORY, result);
            ++state->packetsDamaged;
            if (++state->badPacketsInRow > MEDIA_MAX_CONSECUTIVE_BAD_PACKETS) return failRead(E_MEDIAERR_DECODE, result);
        }
    }

    *framesOut = delivered;
    state->framesDelivered += delivered;
    if (delivered < requested) state->atEnd = true;
    return E_MEDIAERR_NONE;
}
