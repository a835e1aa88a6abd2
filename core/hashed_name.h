// A name kept with its name hash: the name field of script nodes, registries and other records
// that are looked up by hash and shown or logged by text.
#pragma once

#include "core/types.h"

class ClHashedName {
public:
    ClHashedName();
    ClHashedName(const ClHashedName& other) = delete;
    ~ClHashedName();
    ClHashedName& operator=(const ClHashedName& other) = delete;

    // Copies the text (a null text reads as empty) and hashes it; any text owned before is freed
    // after the copy, so the source may be this holder's own text.
    void assignText(const char* source);
    // Frees an owned text; the holder is left with the shared empty text and hash 0.
    void release();

    const char* text;  // NUL-terminated; the shared empty text or a 16-byte aligned block
    u32 hash;          // crc32TextNoCase of text
    u32 owned;         // 1 when text is a block of this holder's own
};
