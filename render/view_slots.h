// View slots: one per player, each naming the camera stack it shows and keeping a stack of
// input mappers whose top turns that player's input into actions.
#pragma once

#include "core/types.h"
#include "render/state_stacks.h"

class ClInputMapperBase;

constexpr int VIEW_SLOT_COUNT = 4;
constexpr u8 VIEW_SLOT_NO_CAMERA_STACK = 255;

struct SViewSlot {
    u8 cameraStack;  // above 254: none
    u8 slotTag;
    SStateStack<ClInputMapperBase*> mappers;
};

extern SViewSlot g_aViewSlots[VIEW_SLOT_COUNT];

// Every slot back to its start: no camera stack, tag 255, no mapper.
void resetViewSlots();
// A slot out of range is ignored.
void setViewSlotCameraStack(int slot, u8 stackIndex, u8 tag);

ClInputMapperBase* getPlayerInputMapper(int slot);
bool hasPlayerInputMapper(int slot);
// Both lock the input for two frames, even when the stack was full or empty, so that the
// button that caused the change is not seen again.
void pushPlayerInputMapper(int slot, ClInputMapperBase* mapper);
void popPlayerInputMapper(int slot);
