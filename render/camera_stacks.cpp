#include "render/camera_stacks.h"

#include "render/camera.h"
#include "render/camera_list.h"
#include "render/view_slots.h"

SStateStack<ClCamera*> g_aCameraStacks[CAMERA_STACK_COUNT];

namespace {

// The slot's stack index, or -1 for none (an out-of-range slot has none either).
int stackOfSlot(int slot) {
    if (slot < 0 || slot >= VIEW_SLOT_COUNT) return -1;
    const u32 index = g_aViewSlots[slot].cameraStack;
    return index < CAMERA_STACK_COUNT ? int(index) : -1;
}

}  // namespace

void resetCameraStacks() {
    for (SStateStack<ClCamera*>& stack : g_aCameraStacks) stack = {};
}

ClCamera* getViewSlotTopCamera(int slot) {
    const int stack = stackOfSlot(slot);
    return stack < 0 ? nullptr : g_aCameraStacks[stack].top();
}

void pushViewCamera(int slot, ClCamera* camera, f32 blendTime, bool fromRendered) {
    const int stack = stackOfSlot(slot);
    if (stack < 0) return;
    g_aCameraStacks[stack].push(camera);
    camera->active = 1;
    g_aCameraBlenders[stack].blendTo(camera, blendTime, fromRendered);
}

void popViewCamera(int slot, f32 blendTime) {
    const int stack = stackOfSlot(slot);
    if (stack < 0) return;
    g_aCameraStacks[stack].pop();
    if (ClCamera* top = g_aCameraStacks[stack].top()) {
        top->active = 1;
        g_aCameraBlenders[stack].blendTo(top, blendTime, false);
    }
}

void forgetCameraInStacks(const ClCamera* camera) {
    for (SStateStack<ClCamera*>& stack : g_aCameraStacks) {
        u32 kept = 0;
        for (u32 i = 0; i < stack.count; ++i)
            if (stack.entries[i] != camera) stack.entries[kept++] = stack.entries[i];
        stack.count = kept;
    }
}
