// What the scene render reads of the layers above render, each with a zero default and set
// through the setters here: the preview slots (the front end's preview targets and ship previews
// fill them), the water colour of the reflection (set each frame by the world's colour scheme),
// the music library's initialised word (while it is 0 the scene draws nothing) and the action
// mode's in-game flag (the glow is added only in play).
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

// Slot `slot` (below PREVIEW_SLOT_COUNT).
const SPreviewSlot& previewSlot(u32 slot);
// The slot's render target group; null also marks the slot inactive.
void setPreviewSlotGroup(u32 slot, ClRenderTargetGroup* group);
// Where the slot's scene is seen from.
void setPreviewSlotView(u32 slot, ClCamera* camera, const ClVec4& eyePoint, f32 nearPlane, f32 farPlane, f32 offsetX,
                        f32 offsetY);
// End of frame: no slot is active.
void clearActivePreviewSlots();

u32 waterClearColour();
void setWaterClearColour(u32 colour);
u32 musicLibraryInitialised();
void setMusicLibraryInitialised(u32 initialised);
u32 inGameFlag();
void setInGameFlag(u32 inGame);
// Every input back to its default, so that the next scene starts from nothing the last one set.
// The renderer's shutdown calls it.
void resetSceneInputs();

// The slot's group, marked active for this frame; -1 (or a slot out of range) gives null.
ClRenderTargetGroup* acquirePreviewTarget(s32 slot);
// Device loss and reset: every slot's group.
void releasePreviewTargets();
void recreatePreviewTargets();
