#include "render/scene_inputs.h"

#include "render/render_target.h"

SPreviewSlot g_aPreviewSlots[PREVIEW_SLOT_COUNT] = {};
u32 g_uWaterClearColour = 0;
u32 g_uMusicLibraryInitialised = 0;
u32 g_uInGameFlag = 0;

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
