#include "platform/media/media_video_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

struct SMediaVideoWriterState {
    AVFormatContext* container = nullptr;
    AVCodecContext* encoder = nullptr;
    AVStream* stream = nullptr;
    SwsContext* converter = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    u32 width = 0;
    u32 height = 0;
    s64 nextPts = 0;
    bool headerWritten = false;
};

namespace {

constexpr u32 MIN_SIDE = 16;
constexpr u32 MAX_SIDE = 4096;
constexpr u32 MAX_FRAME_RATE = 120;
// Quality of the MPEG-4 encoder's fixed quantiser: 2 (best) .. 31.
constexpr int QUANTISER = 4;

// Sends one frame (null drains) and writes every packet the encoder gives back.
bool encode(SMediaVideoWriterState& s, AVFrame* frame) {
    if (avcodec_send_frame(s.encoder, frame) < 0) return false;
    for (;;) {
        const int got = avcodec_receive_packet(s.encoder, s.packet);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
        if (got < 0) return false;
        // Each picture lasts one frame; without a duration the container's edit list would cut
        // the last picture off.
        s.packet->duration = 1;
        av_packet_rescale_ts(s.packet, s.encoder->time_base, s.stream->time_base);
        s.packet->stream_index = s.stream->index;
        const int written = av_interleaved_write_frame(s.container, s.packet);
        av_packet_unref(s.packet);
        if (written < 0) return false;
    }
}

}  // namespace

ClMediaVideoWriter::~ClMediaVideoWriter() { release(); }

void ClMediaVideoWriter::release() {
    if (!m_state) return;
    SMediaVideoWriterState& s = *m_state;
    av_packet_free(&s.packet);
    av_frame_free(&s.frame);
    sws_freeContext(s.converter);
    avcodec_free_context(&s.encoder);
    if (s.container) {
        if (s.container->pb) avio_closep(&s.container->pb);
        avformat_free_context(s.container);
    }
    delete m_state;
    m_state = nullptr;
}

bool ClMediaVideoWriter::open(const char* path, u32 width, u32 height, u32 frameRate) {
    release();
    if (!path || width < MIN_SIDE || height < MIN_SIDE || width > MAX_SIDE || height > MAX_SIDE || (width & 1) ||
        (height & 1) || frameRate == 0 || frameRate > MAX_FRAME_RATE) {
        m_error = "bad film size or frame rate";
        return false;
    }
    av_log_set_level(AV_LOG_QUIET);
    m_state = new SMediaVideoWriterState();
    SMediaVideoWriterState& s = *m_state;
    s.width = width;
    s.height = height;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (!codec) {
        m_error = "no MPEG-4 video encoder";
        release();
        return false;
    }
    if (avformat_alloc_output_context2(&s.container, nullptr, "mov", path) < 0 || !s.container) {
        m_error = "no QuickTime muxer";
        release();
        return false;
    }
    s.stream = avformat_new_stream(s.container, nullptr);
    s.encoder = avcodec_alloc_context3(codec);
    s.frame = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (!s.stream || !s.encoder || !s.frame || !s.packet) {
        m_error = "out of memory";
        release();
        return false;
    }
    s.encoder->width = int(width);
    s.encoder->height = int(height);
    s.encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    s.encoder->time_base = AVRational{1, int(frameRate)};
    s.encoder->framerate = AVRational{int(frameRate), 1};
    s.encoder->gop_size = int(frameRate);
    s.encoder->flags |= AV_CODEC_FLAG_QSCALE;
    s.encoder->global_quality = FF_QP2LAMBDA * QUANTISER;
    if (s.container->oformat->flags & AVFMT_GLOBALHEADER) s.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(s.encoder, codec, nullptr) < 0 ||
        avcodec_parameters_from_context(s.stream->codecpar, s.encoder) < 0) {
        m_error = "the video encoder does not start";
        release();
        return false;
    }
    s.stream->time_base = s.encoder->time_base;
    s.frame->format = AV_PIX_FMT_YUV420P;
    s.frame->width = int(width);
    s.frame->height = int(height);
    s.converter = sws_getContext(int(width), int(height), AV_PIX_FMT_RGBA, int(width), int(height),
                                 AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (av_frame_get_buffer(s.frame, 0) < 0 || !s.converter) {
        m_error = "the picture converter does not start";
        release();
        return false;
    }
    if (avio_open(&s.container->pb, path, AVIO_FLAG_WRITE) < 0) {
        m_error = "the film file cannot be created";
        release();
        return false;
    }
    if (avformat_write_header(s.container, nullptr) < 0) {
        m_error = "the film's header cannot be written";
        release();
        return false;
    }
    s.headerWritten = true;
    m_error = "";
    return true;
}

bool ClMediaVideoWriter::addPicture(const u8* rgba) {
    if (!m_state || !rgba) {
        m_error = "no film is open";
        return false;
    }
    SMediaVideoWriterState& s = *m_state;
    if (av_frame_make_writable(s.frame) < 0) {
        m_error = "out of memory";
        return false;
    }
    const u8* planes[1] = {rgba};
    const int strides[1] = {int(s.width * 4)};
    sws_scale(s.converter, planes, strides, 0, int(s.height), s.frame->data, s.frame->linesize);
    s.frame->pts = s.nextPts++;
    if (!encode(s, s.frame)) {
        m_error = "the picture cannot be encoded or written";
        return false;
    }
    return true;
}

bool ClMediaVideoWriter::finish() {
    if (!m_state) {
        m_error = "no film is open";
        return false;
    }
    SMediaVideoWriterState& s = *m_state;
    const bool drained = encode(s, nullptr);
    const bool trailer = s.headerWritten && av_write_trailer(s.container) >= 0;
    const bool closed = avio_closep(&s.container->pb) >= 0;
    release();
    if (!(drained && trailer && closed)) {
        m_error = "the film cannot be finished";
        return false;
    }
    return true;
}
