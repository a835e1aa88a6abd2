#include "render/frame_lists.h"

#include "render/draw_lists.h"
#include "render/transform_node.h"

// Attached nodes are updated for both object kinds (flag bits 1 and 2).
constexpr u32 ATTACHED_NODE_UPDATE_MASK = 3;

void closeFrameHalfLists(u32) { updateAttachedNodeLists(ATTACHED_NODE_UPDATE_MASK); }

void clearFrameHalfLists(u32 half) {
    clearDrawListHalf(half);
    clearAttachedNodeListHalf(half);
}
