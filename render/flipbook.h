// An image sequence: numbered frames, each a texture with its pixel size and rectangle, shown at
// the sequence's own frame rate.
#pragma once

#include "core/array.h"
#include "core/types.h"
#include "core/vec.h"

class ClTexture;

constexpr u32 FLIPBOOK_FRAME_LIST_CAPACITY = 4;

struct SFlipbookFrameSize {
    u32 width;
    u32 height;
};

// Frame i is textures[i], sizes[i] and rects[i]; the three lists always have the same count.
// The sequence owns its lists, not the textures: whoever frees the sequence destroys those first.
struct SFlipbook {
    f32 frameRate = 0.0f;  // frames per second, written by the loader
    ClArray<ClTexture*> textures;
    ClArray<SFlipbookFrameSize> sizes;
    ClArray<ClRect> rects;  // the whole texture

    // Sets up the three lists empty with room for FLIPBOOK_FRAME_LIST_CAPACITY frames each
    // (running out of memory is fatal).
    SFlipbook();
    ~SFlipbook();
    SFlipbook(const SFlipbook&) = delete;
    SFlipbook& operator=(const SFlipbook&) = delete;
};
