// What the scene render reads of the layers above render, each with a zero default: the preview
// slots (the world and the library's screens fill them), the water colour of the reflection
// (written each frame by the world's colour scheme), the music library's initialised word (while
// it is 0 the scene draws nothing) and the action mode's in-game flag (the glow is added only in
// play).
#pragma once

#include "core/types.h"
#include "core/vec.h"

class ClCamera;
class ClRenderTargetGroup;

constexpr u32 PREVIEW_SLOT_COUNT = 8;

struct SPreviewSlot {
    u32 active;  // drawn this frame; cleared at the end of each frame
    ClCamera* camera;
    ClVec4 eyePoint;
    f32 projectionUnused;
    f32 nearPlane;
    f32 farPlane;
    f32 offsetX;
    f32 offsetY;
    ClRenderTargetGroup* group;
};

extern SPreviewSlot g_aPreviewSlots[PREVIEW_SLOT_COUNT];
extern u32 g_uWaterClearColour;
extern u32 g_uMusicLibraryInitialised;
extern u32 g_uInGameFlag;

// The slot's group, marked active for this frame; -1 (or a slot out of range) gives null.
ClRenderTargetGroup* acquirePreviewTarget(s32 slot);
// Device loss and reset: every slot's group.
void releasePreviewTargets();
void recreatePreviewTargets();
