// What the FFmpeg readers share: a container read through our own file calls, and the library's
// console kept quiet (failures come back as codes for the callers' own logs).
#pragma once

#include "platform/types.h"

#include <cstdint>

struct SOsFile;
struct AVFormatContext;
struct AVIOContext;
struct AVDictionary;

// The file under an AVIOContext; the context's opaque pointer is this record.
struct SFfmpegFileIo {
    SOsFile* file = nullptr;
    u64 fileSize = 0;
    u64 position = 0;
    bool ioFailed = false;
    u32 ioError = 0;  // the system code of the failed read
};

// Loads FFmpeg's libraries (the first time) and keeps the library's console quiet. False when
// the libraries cannot be loaded: the reader then refuses the file as one it has no decoder for.
bool startFfmpeg();
int ffmpegReadFromFile(void* opaque, u8* buffer, int size);
int64_t ffmpegSeekInFile(void* opaque, int64_t offset, int whence);
// The container may ask to open further resources (playlists, references); a medium is one file.
int ffmpegRefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**);
