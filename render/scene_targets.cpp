#include "render/scene_targets.h"

#include "platform/gfx/gfx_device.h"
#include "render/render_device.h"
#include "render/render_target.h"

namespace {

ClRenderTargetGroup* g_apSceneTargets[E_SCENE_TARGET_COUNT];
SGfxFence* g_pSceneFence = nullptr;

// Whether the new group has its resources.
bool replaceTarget(E_SceneTarget which, f32 width, f32 height) {
    delete g_apSceneTargets[which];
    g_apSceneTargets[which] = new ClRenderTargetGroup(width, height, 0);
    return g_apSceneTargets[which]->getTexture() || !gfxDeviceExists();
}

}  // namespace

bool createSceneRenderTargets() {
    if (gfxDeviceExists()) {
        gfxSetRenderTarget(nullptr, nullptr);
        gfxClear(E_GFX_CLEAR_TARGET | E_GFX_CLEAR_DEPTH, 0xFF000000u, 1.0f, 0);
        gfxPresent();
    }
    const f32 width = screenWidth();
    const f32 height = screenHeight();
    bool made = replaceTarget(E_SCENE_TARGET_IMAGE, width, height);
    made = replaceTarget(E_SCENE_TARGET_REFLECTION, width, height) && made;
    return replaceTarget(E_SCENE_TARGET_GLOW, width * 0.5f, height * 0.5f) && made;
}

bool createBloomTargets() {
    const f32 width = static_cast<f32>(static_cast<s32>(screenWidth() / screenHeight() * BLOOM_TARGET_HEIGHT));
    bool made = true;
    for (u32 bloom = E_SCENE_TARGET_BLOOM0; bloom <= E_SCENE_TARGET_BLOOM2; ++bloom)
        made = replaceTarget(static_cast<E_SceneTarget>(bloom), width, BLOOM_TARGET_HEIGHT) && made;
    return made;
}

void releaseSceneTargets() {
    releaseSceneFence();
    for (ClRenderTargetGroup* group : g_apSceneTargets)
        if (group) group->releaseResources();
}

bool recreateSceneTargets() {
    bool made = true;
    for (ClRenderTargetGroup* group : g_apSceneTargets)
        if (group) made = group->createResources() && made;
    return made;
}

void destroySceneTargets() {
    releaseSceneFence();
    for (ClRenderTargetGroup*& group : g_apSceneTargets) {
        delete group;
        group = nullptr;
    }
}

ClRenderTargetGroup* sceneTarget(E_SceneTarget which) { return which < E_SCENE_TARGET_COUNT ? g_apSceneTargets[which] : nullptr; }

SGfxFence* sceneFence() { return g_pSceneFence; }

SGfxFence* makeSceneFence() {
    if (!g_pSceneFence) g_pSceneFence = gfxCreateFence();
    return g_pSceneFence;
}

void releaseSceneFence() {
    gfxReleaseFence(g_pSceneFence);
    g_pSceneFence = nullptr;
}
