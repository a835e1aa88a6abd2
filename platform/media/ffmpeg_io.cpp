#include "platform/media/ffmpeg_io.h"

#include "platform/os/os.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "platform/media/ffmpeg_calls.h"

bool startFfmpeg() {
    if (!loadFfmpegLibrary()) return false;
    static std::once_flag g_once;
    std::call_once(g_once, [] { av_log_set_level(AV_LOG_QUIET); });
    return true;
}

int ffmpegReadFromFile(void* opaque, u8* buffer, int size) {
    SFfmpegFileIo* io = static_cast<SFfmpegFileIo*>(opaque);
    if (size <= 0) return 0;
    if (io->position >= io->fileSize) return AVERROR_EOF;
    const u64 left = io->fileSize - io->position;
    const u32 want = u32(u64(size) < left ? u64(size) : left);
    u32 got = 0;
    if (!osFileReadAt(io->file, io->position, buffer, want, &got)) {
        io->ioFailed = true;
        io->ioError = osLastError();
        return AVERROR(EIO);
    }
    if (got == 0) return AVERROR_EOF;
    io->position += got;
    return int(got);
}

int64_t ffmpegSeekInFile(void* opaque, int64_t offset, int whence) {
    SFfmpegFileIo* io = static_cast<SFfmpegFileIo*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return int64_t(io->fileSize);
    int64_t base = 0;
    switch (whence) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = int64_t(io->position); break;
        case SEEK_END: base = int64_t(io->fileSize); break;
        default: return AVERROR(EINVAL);
    }
    // Offsets come from the file's own headers: refuse any that leave the 64-bit range.
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) return AVERROR(EINVAL);
    io->position = u64(base + offset);
    return int64_t(io->position);
}

int ffmpegRefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }
