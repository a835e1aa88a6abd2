// The render-target groups of the screens that show ship and mini-map previews. Each group is a
// batcher key from creation to destruction, so that the commands drawn for it land in its own
// runs; the key is removed, and the preview slot emptied, before the group is destroyed.
#pragma once

#include "core/types.h"

#include <cstddef>

class ClRenderTargetGroup;

constexpr u32 PREVIEW_TARGET_NAME_LENGTH = 32;
constexpr const char* SHIP_EDIT_PREVIEW_TARGET_NAME = "RTT_SE_SHIP";

// "RTT_MM<index>", the name of a mini-map's group.
void formatMiniMapTargetName(char* out, size_t size, u32 index);
// "RTT_IS<index>", the name of an item preview's group.
void formatItemTargetName(char* out, size_t size, u32 index);

class ClPreviewTarget {
public:
    ClPreviewTarget() = default;
    ~ClPreviewTarget() { destroy(); }
    ClPreviewTarget(const ClPreviewTarget&) = delete;
    ClPreviewTarget& operator=(const ClPreviewTarget&) = delete;

    // A group of width x height pixels in the preview slot, registered with registerBatchTarget.
    // False, with nothing made, when this target already holds a group, the slot is out of range
    // or holds another group, the name does not fit, or every batcher key is taken.
    bool create(const char* name, u32 slot, f32 width, f32 height);
    // unregisterBatchTarget, the slot emptied, then the group destroyed; nothing without a group.
    void destroy();

    const char* name() const { return m_name; }
    u32 slot() const { return m_slot; }

private:
    ClRenderTargetGroup* m_group = nullptr;
    u32 m_slot = 0;
    char m_name[PREVIEW_TARGET_NAME_LENGTH] = {};
};
