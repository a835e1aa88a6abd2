#include "render/view_slots.h"

#include "input/input_channels.h"

SViewSlot g_aViewSlots[VIEW_SLOT_COUNT] = {
    {VIEW_SLOT_NO_CAMERA_STACK, 255, {}},
    {VIEW_SLOT_NO_CAMERA_STACK, 255, {}},
    {VIEW_SLOT_NO_CAMERA_STACK, 255, {}},
    {VIEW_SLOT_NO_CAMERA_STACK, 255, {}},
};

void resetViewSlots() {
    for (SViewSlot& slot : g_aViewSlots) slot = {VIEW_SLOT_NO_CAMERA_STACK, 255, {}};
}

void setViewSlotCameraStack(int slot, u8 stackIndex, u8 tag) {
    if (slot < 0 || slot >= VIEW_SLOT_COUNT) return;
    g_aViewSlots[slot].cameraStack = stackIndex;
    g_aViewSlots[slot].slotTag = tag;
}

ClInputMapperBase* getPlayerInputMapper(int slot) { return g_aViewSlots[slot].mappers.top(); }

bool hasPlayerInputMapper(int slot) { return g_aViewSlots[slot].mappers.count != 0; }

void pushPlayerInputMapper(int slot, ClInputMapperBase* mapper) {
    g_aViewSlots[slot].mappers.push(mapper);
    lockInputTwoFrames();
}

void popPlayerInputMapper(int slot) {
    g_aViewSlots[slot].mappers.pop();
    lockInputTwoFrames();
}
