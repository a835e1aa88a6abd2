// Where a window goes so that all of it, borders included, lies in the desktop's usable area (the
// screen less the panels a desktop keeps for itself).
#pragma once

#include "platform/types.h"

struct SWindowArea {
    s32 x, y;
    s32 width, height;
};

struct SWindowBorders {
    s32 top, left, bottom, right;
};

struct SWindowPlacement {
    s32 x, y;         // the client area's top-left corner on the desktop
    u32 width, height;  // the client area
};

// A client area that fits keeps its size and moves only as far as it must to come inside. One
// that does not becomes the largest of the same shape that does (at least 1 x 1), centred across
// the area and at its top.
SWindowPlacement windowFitToArea(const SWindowPlacement& client, const SWindowBorders& borders,
                                 const SWindowArea& area);
