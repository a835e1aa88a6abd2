// FFmpeg's libraries, loaded when the first media reader opens rather than with the program: a
// program that never opens a compressed file or a film pays nothing for the hundred-odd shared
// libraries behind them. The readers call FFmpeg through the table here (ffmpeg_calls.h routes
// the plain names to it).
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

// Every FFmpeg function the readers call.
#define VELODRIX_FFMPEG_FUNCTIONS(X)                                                                        \
    X(av_channel_layout_check) X(av_channel_layout_compare) X(av_channel_layout_copy)                       \
    X(av_channel_layout_default) X(av_channel_layout_uninit) X(av_dict_get) X(av_find_best_stream)          \
    X(av_frame_alloc) X(av_frame_free) X(av_frame_unref) X(av_free) X(av_freep) X(av_log_set_level)         \
    X(av_malloc) X(av_packet_alloc) X(av_packet_free) X(av_packet_get_side_data) X(av_packet_unref)         \
    X(av_read_frame) X(av_rescale) X(av_rescale_q) X(av_seek_frame) X(avcodec_alloc_context3)               \
    X(avcodec_find_decoder) X(avcodec_flush_buffers) X(avcodec_free_context) X(avcodec_open2)               \
    X(avcodec_parameters_to_context) X(avcodec_receive_frame) X(avcodec_send_packet)                        \
    X(avformat_alloc_context) X(avformat_close_input) X(avformat_find_stream_info) X(avformat_open_input)   \
    X(avio_alloc_context) X(avio_context_free) X(swr_alloc_set_opts2) X(swr_convert) X(swr_free)            \
    X(swr_get_out_samples) X(swr_init) X(sws_freeContext) X(sws_getCachedContext) X(sws_scale)

struct SFfmpegLibrary {
#define VELODRIX_FFMPEG_ENTRY(name) decltype(&::name) name = nullptr;
    VELODRIX_FFMPEG_FUNCTIONS(VELODRIX_FFMPEG_ENTRY)
#undef VELODRIX_FFMPEG_ENTRY
};

// Filled by loadFfmpegLibrary; every entry set once it returned true.
extern SFfmpegLibrary g_FfmpegLibrary;

// Loads the libraries of the FFmpeg version the program was built against and finds every
// function, once (any thread; later calls return the first answer). False when a library or a
// function is missing: the readers then refuse every file.
bool loadFfmpegLibrary();
