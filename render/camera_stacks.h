// The camera stacks the view slots show: a game mode pushes a camera (a menu camera, the in-game
// camera) and later pops back to the one before, and the stack's blender blends between them.
// A slot whose stack index is not one of the CAMERA_STACK_COUNT stacks shows no camera; pushes
// and pops on it do nothing.
#pragma once

#include "core/types.h"
#include "render/state_stacks.h"

class ClCamera;

constexpr u32 CAMERA_STACK_COUNT = 4;

extern SStateStack<ClCamera*> g_aCameraStacks[CAMERA_STACK_COUNT];

// Every camera stack empty.
void resetCameraStacks();
// Null without a stack or with an empty one.
ClCamera* getViewSlotTopCamera(int slot);
// Pushes (an 11th entry is dropped), activates the camera and blends to it in any case.
void pushViewCamera(int slot, ClCamera* camera, f32 blendTime, bool fromRendered);
// Drops the top; a camera then on top is activated and blended to. The popped one stays active.
void popViewCamera(int slot, f32 blendTime);
// Removes every entry naming the camera (it is being destroyed).
void forgetCameraInStacks(const ClCamera* camera);
