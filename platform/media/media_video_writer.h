// Film writer: RGBA pictures, all of one size, become a silent QuickTime film (".mov", MPEG-4
// part 2 video) at a fixed frame rate, the kind ClMediaVideoReader reads back. Used by the build's
// film tool. One thread at a time; nothing here logs.
#pragma once

#include "platform/types.h"

struct SMediaVideoWriterState;

class ClMediaVideoWriter {
public:
    ClMediaVideoWriter() = default;
    ~ClMediaVideoWriter();
    ClMediaVideoWriter(const ClMediaVideoWriter&) = delete;
    ClMediaVideoWriter& operator=(const ClMediaVideoWriter&) = delete;

    // Creates the file (UTF-8 path). Width and height even, 16 to 4096; frame rate 1 to 120.
    // False, with nothing left open, on bad sizes, a missing encoder or a file that cannot be
    // created; error() says which.
    bool open(const char* path, u32 width, u32 height, u32 frameRate);
    // One picture of width x height x 4 bytes, R G B A, the top row first.
    bool addPicture(const u8* rgba);
    // Flushes the encoder and writes the container's index; false when the file is incomplete.
    // Without it (a destroyed writer) the file is left unfinished.
    bool finish();
    const char* error() const { return m_error; }

private:
    void release();

    SMediaVideoWriterState* m_state = nullptr;
    const char* m_error = "";
};
