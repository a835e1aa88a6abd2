#include "render/flipbook.h"

SFlipbook::SFlipbook() {
    textures.init(FLIPBOOK_FRAME_LIST_CAPACITY);
    sizes.init(FLIPBOOK_FRAME_LIST_CAPACITY);
    rects.init(FLIPBOOK_FRAME_LIST_CAPACITY);
}

SFlipbook::~SFlipbook() {
    textures.release();
    sizes.release();
    rects.release();
}
