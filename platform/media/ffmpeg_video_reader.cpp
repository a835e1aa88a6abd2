// The video reader over FFmpeg: the container comes through our own file calls, the best video
// stream and the sound that belongs to it are decoded, libswscale turns pictures into RGBA and
// libswresample turns sound into 16-bit stereo at the film's stated rate.
#include "platform/media/media_video_reader.h"

#include "platform/media/ffmpeg_io.h"
#include "platform/os/os.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <new>
#include <vector>

#include "platform/media/ffmpeg_calls.h"

namespace {

constexpr int VIDEO_IO_BUFFER_BYTES = 64 * 1024;
// Damaged packets in a row before the film counts as broken.
constexpr u32 VIDEO_MAX_BAD_PACKETS_IN_ROW = 256;

struct SDecoder {
    AVCodecContext* context = nullptr;
    int streamIndex = -1;
    bool drained = false;
};

}  // namespace

struct SMediaVideoReaderState : SFfmpegFileIo {
    AVIOContext* io = nullptr;
    AVFormatContext* container = nullptr;
    SDecoder video;
    SDecoder audio;
    SDecoder* receiving = nullptr;  // the decoder that may hold more frames
    bool flushing = false;
    bool finished = false;
    u32 badPacketsInRow = 0;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* scaler = nullptr;
    SwrContext* resampler = nullptr;
    AVSampleFormat resamplerFormat = AV_SAMPLE_FMT_NONE;
    int resamplerRate = 0;
    int resamplerChannels = 0;
    SMediaVideoFormat format{};
    std::vector<u8> pixels;
    f64 pictureTime = 0.0;
    std::vector<s16> sound;
    u32 soundFrames = 0;
};

namespace {

void releaseState(SMediaVideoReaderState* s) {
    sws_freeContext(s->scaler);
    swr_free(&s->resampler);
    avcodec_free_context(&s->video.context);
    avcodec_free_context(&s->audio.context);
    av_packet_free(&s->packet);
    av_frame_free(&s->frame);
    avformat_close_input(&s->container);
    if (s->io) {
        av_freep(&s->io->buffer);
        avio_context_free(&s->io);
    }
    if (s->file) osFileClose(s->file);
    delete s;
}

EMediaReaderError openContainer(SMediaVideoReaderState* s) {
    u8* buffer = static_cast<u8*>(av_malloc(VIDEO_IO_BUFFER_BYTES));
    if (!buffer) return E_MEDIAERR_OUT_OF_MEMORY;
    s->io = avio_alloc_context(buffer, VIDEO_IO_BUFFER_BYTES, 0, static_cast<SFfmpegFileIo*>(s), ffmpegReadFromFile,
                               nullptr, ffmpegSeekInFile);
    if (!s->io) {
        av_free(buffer);
        return E_MEDIAERR_OUT_OF_MEMORY;
    }
    s->container = avformat_alloc_context();
    if (!s->container) return E_MEDIAERR_OUT_OF_MEMORY;
    s->container->pb = s->io;
    s->container->io_open = ffmpegRefuseNestedOpen;
    if (avformat_open_input(&s->container, "", nullptr, nullptr) < 0) {
        s->container = nullptr;  // a failed open frees it
        return s->ioFailed ? E_MEDIAERR_READ : E_MEDIAERR_NOT_A_MEDIA_FILE;
    }
    if (avformat_find_stream_info(s->container, nullptr) < 0) return s->ioFailed ? E_MEDIAERR_READ : E_MEDIAERR_STREAM_INFO;
    return E_MEDIAERR_NONE;
}

// False when the stream's decoder is missing or does not start.
bool openDecoder(SMediaVideoReaderState* s, SDecoder* decoder, int streamIndex) {
    const AVStream* stream = s->container->streams[streamIndex];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) return false;
    decoder->context = avcodec_alloc_context3(codec);
    if (!decoder->context || avcodec_parameters_to_context(decoder->context, stream->codecpar) < 0) return false;
    decoder->context->pkt_timebase = stream->time_base;
    if (avcodec_open2(decoder->context, codec, nullptr) < 0) return false;
    decoder->streamIndex = streamIndex;
    return true;
}

bool convertPicture(SMediaVideoReaderState* s, const AVFrame* frame) {
    const SMediaVideoFormat& f = s->format;
    s->scaler = sws_getCachedContext(s->scaler, frame->width, frame->height, AVPixelFormat(frame->format), int(f.width),
                                     int(f.height), AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!s->scaler) return false;
    u8* planes[4] = {s->pixels.data(), nullptr, nullptr, nullptr};
    int strides[4] = {int(f.width * 4), 0, 0, 0};
    if (sws_scale(s->scaler, frame->data, frame->linesize, 0, frame->height, planes, strides) <= 0) return false;
    const AVStream* stream = s->container->streams[s->video.streamIndex];
    const s64 stamp = frame->best_effort_timestamp == AV_NOPTS_VALUE ? 0 : frame->best_effort_timestamp;
    const s64 start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    s->pictureTime = f64(stamp - start) * av_q2d(stream->time_base);
    return true;
}

bool soundRateInRange(int rate) {
    return rate >= int(MEDIA_VIDEO_MIN_SAMPLE_RATE) && rate <= int(MEDIA_VIDEO_MAX_SAMPLE_RATE);
}

// Sound goes out at the film's stated rate, whatever rate a damaged frame claims.
bool convertSound(SMediaVideoReaderState* s, const AVFrame* frame) {
    const int channels = frame->ch_layout.nb_channels;
    if (channels <= 0 || u32(channels) > MEDIA_VIDEO_MAX_SOURCE_CHANNELS || !soundRateInRange(frame->sample_rate)) {
        return false;
    }
    if (!s->resampler || s->resamplerFormat != frame->format || s->resamplerRate != frame->sample_rate ||
        s->resamplerChannels != channels) {
        swr_free(&s->resampler);
        AVChannelLayout in{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_default(&in, channels);
        } else if (av_channel_layout_copy(&in, &frame->ch_layout) < 0) {
            return false;
        }
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        const int made = swr_alloc_set_opts2(&s->resampler, &stereo, AV_SAMPLE_FMT_S16, int(s->format.sampleRate), &in,
                                             AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
        av_channel_layout_uninit(&in);
        if (made < 0 || swr_init(s->resampler) < 0) return false;
        s->resamplerFormat = AVSampleFormat(frame->format);
        s->resamplerRate = frame->sample_rate;
        s->resamplerChannels = channels;
    }
    const int room = swr_get_out_samples(s->resampler, frame->nb_samples);
    if (room < 0) return false;
    s->sound.resize(size_t(room) * MEDIA_VIDEO_AUDIO_CHANNELS);
    u8* out[1] = {reinterpret_cast<u8*>(s->sound.data())};
    const int got = swr_convert(s->resampler, out, room, const_cast<const u8**>(frame->extended_data), frame->nb_samples);
    if (got < 0) return false;
    s->soundFrames = u32(got);
    return true;
}

}  // namespace

ClMediaVideoReader::~ClMediaVideoReader() { close(); }

void ClMediaVideoReader::close() {
    if (m_state) releaseState(m_state);
    m_state = nullptr;
}

EMediaReaderError ClMediaVideoReader::open(const char16_t* path) {
    if (!path || !path[0] || m_state) return E_MEDIAERR_INVALID_PARAMETER;
    if (!startFfmpeg()) return E_MEDIAERR_NO_DECODER;
    auto* s = new (std::nothrow) SMediaVideoReaderState;
    if (!s) return E_MEDIAERR_OUT_OF_MEMORY;
    auto fail = [&](EMediaReaderError error) {
        releaseState(s);
        return error;
    };
    s->file = osFileOpenW(path, E_OSFILE_READ_EXISTING);
    if (!s->file) return fail(osLastError() == E_OSERR_NOT_FOUND ? E_MEDIAERR_FILE_NOT_FOUND : E_MEDIAERR_FILE_OPEN);
    if (!osFileGetSize(s->file, &s->fileSize)) return fail(E_MEDIAERR_FILE_OPEN);
    if (s->fileSize == 0) return fail(E_MEDIAERR_EMPTY_FILE);
    s->packet = av_packet_alloc();
    s->frame = av_frame_alloc();
    if (!s->packet || !s->frame) return fail(E_MEDIAERR_OUT_OF_MEMORY);
    const EMediaReaderError opened = openContainer(s);
    if (opened != E_MEDIAERR_NONE) return fail(opened);

    const int videoIndex = av_find_best_stream(s->container, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audioIndex = av_find_best_stream(s->container, AVMEDIA_TYPE_AUDIO, -1, videoIndex, nullptr, 0);
    if (videoIndex < 0 && audioIndex < 0) return fail(E_MEDIAERR_STREAM_INFO);
    SMediaVideoFormat& f = s->format;
    if (videoIndex >= 0) {
        if (!openDecoder(s, &s->video, videoIndex)) return fail(E_MEDIAERR_NO_DECODER);
        const AVCodecParameters* p = s->container->streams[videoIndex]->codecpar;
        if (p->width <= 0 || p->height <= 0 || u32(p->width) > MEDIA_VIDEO_MAX_SIDE || u32(p->height) > MEDIA_VIDEO_MAX_SIDE) {
            return fail(E_MEDIAERR_UNSUPPORTED_FORMAT);
        }
        f.hasVideo = true;
        f.width = u32(p->width);
        f.height = u32(p->height);
        const AVRational rate = s->container->streams[videoIndex]->avg_frame_rate;
        f.frameRate = rate.den > 0 ? av_q2d(rate) : 0.0;
        if (!(f.frameRate > 0.0 && f.frameRate <= MEDIA_VIDEO_MAX_FRAME_RATE)) f.frameRate = 0.0;
        s->pixels.resize(size_t(f.width) * f.height * 4);
    }
    if (audioIndex >= 0) {
        if (!openDecoder(s, &s->audio, audioIndex)) return fail(E_MEDIAERR_NO_DECODER);
        const AVCodecParameters* p = s->container->streams[audioIndex]->codecpar;
        const int rate = p->sample_rate;
        const int channels = p->ch_layout.nb_channels;
        if (!soundRateInRange(rate) || channels <= 0 || u32(channels) > MEDIA_VIDEO_MAX_SOURCE_CHANNELS) {
            return fail(E_MEDIAERR_UNSUPPORTED_FORMAT);
        }
        f.hasAudio = true;
        f.sampleRate = u32(rate);
    }
    m_state = s;
    return E_MEDIAERR_NONE;
}

SMediaVideoFormat ClMediaVideoReader::format() const { return m_state ? m_state->format : SMediaVideoFormat{}; }
const u8* ClMediaVideoReader::pixels() const { return m_state ? m_state->pixels.data() : nullptr; }
f64 ClMediaVideoReader::pictureTime() const { return m_state ? m_state->pictureTime : 0.0; }
const s16* ClMediaVideoReader::sound() const { return m_state ? m_state->sound.data() : nullptr; }
u32 ClMediaVideoReader::soundFrames() const { return m_state ? m_state->soundFrames : 0; }

EMediaVideoEvent ClMediaVideoReader::next() {
    SMediaVideoReaderState* s = m_state;
    if (!s || s->finished) return E_MEDIAVIDEO_END;
    // A film that cannot be converted, decoded or read ends there.
    auto failed = [&] {
        s->finished = true;
        return E_MEDIAVIDEO_FAILED;
    };
    for (;;) {
        if (s->receiving) {
            SDecoder* decoder = s->receiving;
            const int result = avcodec_receive_frame(decoder->context, s->frame);
            if (result == 0) {
                const bool isVideo = decoder == &s->video;
                const bool converted = isVideo ? convertPicture(s, s->frame) : convertSound(s, s->frame);
                av_frame_unref(s->frame);
                if (!converted) return failed();
                s->badPacketsInRow = 0;
                if (isVideo) return E_MEDIAVIDEO_PICTURE;
                if (s->soundFrames > 0) return E_MEDIAVIDEO_SOUND;
                continue;
            }
            s->receiving = nullptr;
            if (result == AVERROR_EOF) {
                decoder->drained = true;
            } else if (result != AVERROR(EAGAIN)) {
                return failed();
            }
        }
        if (s->flushing) {
            if (s->video.context && !s->video.drained) {
                s->receiving = &s->video;
            } else if (s->audio.context && !s->audio.drained) {
                s->receiving = &s->audio;
            } else {
                s->finished = true;
                return E_MEDIAVIDEO_END;
            }
            continue;
        }
        const int read = av_read_frame(s->container, s->packet);
        if (read < 0) {
            if (s->ioFailed) return failed();
            s->flushing = true;
            for (SDecoder* decoder : {&s->video, &s->audio}) {
                if (decoder->context) avcodec_send_packet(decoder->context, nullptr);
            }
            continue;
        }
        SDecoder* target = s->packet->stream_index == s->video.streamIndex   ? &s->video
                           : s->packet->stream_index == s->audio.streamIndex ? &s->audio
                                                                             : nullptr;
        if (target && target->context) {
            if (avcodec_send_packet(target->context, s->packet) < 0) {
                // A damaged packet is skipped; a run of them means the film is broken.
                if (++s->badPacketsInRow > VIDEO_MAX_BAD_PACKETS_IN_ROW) {
                    av_packet_unref(s->packet);
                    return failed();
                }
            } else {
                s->receiving = target;
            }
        }
        av_packet_unref(s->packet);
    }
}

bool ClMediaVideoReader::rewind() {
    SMediaVideoReaderState* s = m_state;
    if (!s) return false;
    if (av_seek_frame(s->container, -1, 0, AVSEEK_FLAG_BACKWARD) < 0) {
        s->finished = true;
        return false;
    }
    for (SDecoder* decoder : {&s->video, &s->audio}) {
        if (decoder->context) avcodec_flush_buffers(decoder->context);
        decoder->drained = false;
    }
    if (s->resampler) swr_init(s->resampler);
    s->receiving = nullptr;
    s->flushing = false;
    s->finished = false;
    s->badPacketsInRow = 0;
    return true;
}
