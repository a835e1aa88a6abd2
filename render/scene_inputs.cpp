#include "render/scene_inputs.h"

#include "render/render_target.h"

namespace {

SPreviewSlot g_aPreviewSlots[PREVIEW_SLOT_COUNT] = {};
u32 g_uWaterClearColour = 0;
u32 g_uMusicLibraryInitialised = 0;
u32 g_uInGameFlag = 0;

}  // namespace

const SPreviewSlot& previewSlot(u32 slot) { return g_aPreviewSlots[slot]; }

void setPreviewSlotGroup(u32 slot, ClRenderTargetGroup* group) {
    g_aPreviewSlots[slot].group = group;
    if (!group) g_aPreviewSlots[slot].active = 0;
}

void setPreviewSlotView(u32 slot, ClCamera* camera, const ClVec4& eyePoint, f32 nearPlane, f32 farPlane, f32 offsetX,
                        f32 offsetY) {
    SPreviewSlot& out = g_aPreviewSlots[slot];
    out.camera = camera;
    out.eyePoint = eyePoint;
    out.nearPlane = nearPlane;
    out.farPlane = farPlane;
    out.offsetX = offsetX;
    out.offsetY = offsetY;
}

void clearActivePreviewSlots() {
    for (SPreviewSlot& slot : g_aPreviewSlots) slot.active = 0;
}

u32 waterClearColour() { return g_uWaterClearColour; }
void setWaterClearColour(u32 colour) { g_uWaterClearColour = colour; }
u32 musicLibraryInitialised() { return g_uMusicLibraryInitialised; }
void setMusicLibraryInitialised(u32 initialised) { g_uMusicLibraryInitialised = initialised; }
u32 inGameFlag() { return g_uInGameFlag; }
void setInGameFlag(u32 inGame) { g_uInGameFlag = inGame; }

void resetSceneInputs() {
    for (SPreviewSlot& slot : g_aPreviewSlots) slot = SPreviewSlot{};
    g_uWaterClearColour = 0;
    g_uMusicLibraryInitialised = 0;
    g_uInGameFlag = 0;
}

ClRenderTargetGroup* acquirePreviewTarget(s32 slot) {
    if (slot < 0 || slot >= s32(PREVIEW_SLOT_COUNT)) return nullptr;
    g_aPreviewSlots[slot].active = 1;
    return g_aPreviewSlots[slot].group;
}

void releasePreviewTargets() {
    for (SPreviewSlot& slot : g_aPreviewSlots)
        if (slot.group) slot.group->releaseResources();
}

void recreatePreviewTargets() {
    for (SPreviewSlot& slot : g_aPreviewSlots)
        if (slot.group) slot.group->createResources();
}
