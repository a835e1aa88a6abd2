#include "render/scene_render.h"

#include "core/config.h"
#include "core/saved_options.h"
#include "platform/gfx/gfx_device.h"
#include "platform/os/os.h"
#include "render/batcher.h"
#include "render/camera.h"
#include "render/camera_list.h"
#include "render/draw_lists.h"
#include "render/fmv_picture.h"
#include "render/lens_flares.h"
#include "render/materials.h"
#include "render/render_device.h"
#include "render/render_state.h"
#include "render/render_target.h"
#include "render/render_worker.h"
#include "render/scene_inputs.h"
#include "render/scene_targets.h"
#include "render/screen_quad.h"
#include "render/shader.h"
#include "render/shader_globals.h"
#include "render/sprite_queue.h"
#include "render/transform_stacks.h"

#include <cmath>

namespace {

struct SSceneRender {
    u32 bloomIndex = 1;
    f32 bloomHeight = -1.0f;
    SBlurTables blur;
};

SSceneRender g_Scene;

struct SLayerDef {
    u32 mask;
    bool byDepth;
};
const SLayerDef kLayers[11] = {
    {0x400, false}, {0x42, false}, {0x44, false}, {0x22, false}, {0x24, false},  {0x2000, false},
    {0x82, false},  {0x84, false}, {0x100, true}, {0x200, true}, {0x4000, true},
};

constexpr u32 kLayerBuildOrder[11] = {8, 9, 10, 0, 1, 2, 3, 4, 5, 6, 7};

constexpr u32 kOpaqueBlack = 0xFF000000u;
constexpr u32 kWhite = 0xFFFFFFFFu;

void clearTarget(u32 colour) { gfxClear(E_GFX_CLEAR_TARGET | E_GFX_CLEAR_DEPTH, colour, 1.0f, 0); }

void drawLayers(std::initializer_list<u32> layers, BatchKey key) {
    for (u32 layer : layers) drawBatchLayer(layer, key);
}

void setCameraGlobals(const ClCamera* camera, f32 skySign) {
    if (findShaderGlobal("g_v3CamPos")) setShaderGlobalVec3("g_v3CamPos", camera->position());
    if (findShaderGlobal("g_fSkySign")) setShaderGlobalFloat("g_fSkySign", skySign);
}

ClRenderTargetGroup* bloomGroup(u32 index) { return sceneTarget(E_SceneTarget(E_SCENE_TARGET_BLOOM0 + index)); }

// The full-target quad of a group's texture through a post-processing effect.
void drawScreenQuadWithTechnique(ClRenderTargetGroup* source, const char* effectName, u32 colour) {
    if (!effectsReady() || !source) return;
    const SMaterial* material = getMaterialForEffectAndTexture(effectName, source->getTexture());
    pushSpriteProjection();
    drawScreenQuad(material, 0.0f, 0.0f, getRenderTargetWidth(), getRenderTargetHeight(), colour, 0);
    popSpriteTransforms();
}

void endFrameBookkeeping() {
    clearDrawLists();
    resetSortedSpriteQueue();
    clearActivePreviewSlots();
}

// Polled with short sleeps: a spinning worker would keep a core busy while the GPU finishes.
void waitForFence(SGfxFence* fence) {
    while (!gfxFenceDone(fence, true)) osSleepEx(1, false);
}

// The fence is released with the scene targets on a device loss, and made anew here on the
// first frame the re-created device presents.
void inputLagReduction() {
    const bool on = savedOptions().inputLagReduction != 0;
    SGfxFence* fence = sceneFence();
    if (on && !fence && lastPresentResult() == E_GFX_OK) {
        makeSceneFence();
    } else if (!on && fence) {
        waitForFence(fence);
        releaseSceneFence();
    } else if (on && fence) {
        gfxIssueFence(fence);
        waitForFence(fence);
    }
}

// The bloom is added to the picture only in game and only when something glows; otherwise the
// scene goes straight to the back buffer, which gives the same pixels without the three
// full-screen passes (scene copy, glow, final add) and the blurs.
bool glowLayersHoldRuns() {
    for (u32 layer : {5u, 6u, 7u, 9u})
        if (batchRunCount(layer, BATCH_KEY_MAIN_SCENE) != 0) return true;
    return false;
}

}  // namespace

SBlurTables makeBlurTables(f32 bloomWidth) {
    SBlurTables t;
    f32 sum = 0.0f;
    for (u32 i = 0; i < BLUR_TAP_COUNT; ++i) {
        const f32 k = f32(i) - 7.0f;
        t.horizontal[i] = ClVec2(k / bloomWidth, 0.0f);
        t.vertical[i] = ClVec2(0.0f, -7.0f / 192.0f + f32(i) / 192.0f);
        t.weights[i] = std::exp(-(k * k) / 12.5f) / std::sqrt(39.2699089f);
        sum += t.weights[i];
    }
    for (f32& w : t.weights) w /= sum;
    return t;
}

void installSceneRender() {
    g_FrameHandOffSteps.clearFrameHalf = clearFrameHalf;
    g_FrameHandOffSteps.renderScene = renderScene;
}

void clearFrameHalf(u32 half) {
    clearDrawListHalf(half);
    clearSpriteQueue();
}

void skipFrameBookkeeping() {
    unlockBatchBuffers();
    endFrameBookkeeping();
}

void renderScene() {
    if (!musicLibraryInitialised() || configGetInt("NOGFX") == 1) {
        skipFrameBookkeeping();
        return;
    }
    ClCamera* camera = viewCamera();
    ClVec4 eye;
    if (camera) eye.set(camera->position().x, camera->position().y, camera->position().z, 1.0f);
    if (g_Scene.bloomHeight != BLOOM_TARGET_HEIGHT || !bloomGroup(0)) {
        g_Scene.bloomHeight = BLOOM_TARGET_HEIGHT;
        createBloomTargets();
    }
    if (camera && configHasKey("VISUAL_BEAT_ANALYSIS")) {
        if (const SCameraFrame* frame = getCameraFrame("VBA")) camera->applyFrame(*frame);
    }
    runLensFlarePass();
    sortSpriteQueue();
    setSpriteTarget(nullptr);
    for (u32 i = 0; i < PREVIEW_SLOT_COUNT; ++i) {
        const SPreviewSlot& slot = previewSlot(i);
        if (slot.active && slot.group) slot.group->eyePoint = slot.eyePoint;
    }

    const bool reflection = savedOptions().waterReflection != 0;
    const bool bloom = savedOptions().bloom != 0;
    ClVec4 mirroredEye = eye;
    mirroredEye.y = -eye.y;
    buildDrawCommands(0x20, eye, 0x40);
    buildDrawCommands(0x1000, eye, 0);
    buildDrawCommands(0x2000, eye, 0);
    buildDrawCommands(0x40, mirroredEye, 0x20);
    buildQuadCommands();
    buildSpriteQueueGeometry(0x100, 0, 1199, 0.0f);
    buildSpriteQueueGeometry(0x200, 1200, 1299, 0.0f);
    buildSpriteQueueGeometry(0x4000, 1300, 3999, 0.0f);
    // The world's objects take index room once for each layer that selects them, and a busy
    // frame fills the index buffer. The three 2D bands (screens, HUD, pointer) take theirs first,
    // so they always fit; the order of building does not change the order of drawing.
    for (u32 layer : kLayerBuildOrder) {
        if (layer <= 2 && !reflection) continue;
        if ((layer == 6 || layer == 7) && !bloom) continue;
        buildLayerDrawList(layer, kLayers[layer].mask, kLayers[layer].byDepth, true);
    }
    unlockBatchBuffers();
    const bool glowShown = bloom && camera && inGameFlag() && glowLayersHoldRuns();

    for (u32 i = 0; i < PREVIEW_SLOT_COUNT; ++i) {
        const SPreviewSlot& slot = previewSlot(i);
        if (!slot.active || !slot.group || !slot.camera) continue;
        const BatchKey key = reinterpret_cast<BatchKey>(slot.group);
        if (camera) setCameraGlobals(camera, 1.0f);
        setRenderTarget(slot.group);
        clearTarget(kOpaqueBlack);
        slot.camera->pushViewTransform();
        pushOffCentreProjection(SProjectionParams{slot.projectionUnused, slot.nearPlane, slot.farPlane}, slot.offsetX,
                                slot.offsetY);
        drawLayers({3, 4, 5}, key);
        pushSpriteProjection();
        drawLayers({8, 9, 10}, key);
        popSpriteTransforms();
        slot.camera->popViewTransform();
        slot.camera->popProjectionTransform();
    }

    if (reflection && camera) {
        setRenderTarget(sceneTarget(E_SCENE_TARGET_REFLECTION));
        clearTarget(waterClearColour());
        camera->pushProjectionTransform();
        camera->pushMirroredViewTransform(WATER_PLANE_HEIGHT);
        setCameraGlobals(camera, -1.0f);
        drawLayers({1, 2}, BATCH_KEY_MAIN_SCENE);
        camera->popViewTransform();
        camera->popProjectionTransform();
    }

    setRenderTarget(glowShown ? sceneTarget(E_SCENE_TARGET_IMAGE) : nullptr);
    clearTarget(kOpaqueBlack);
    if (camera) {
        camera->pushProjectionTransform();
        camera->pushViewTransform();
        setCameraGlobals(camera, 1.0f);
        drawLayers({0, 3, 4, 5}, BATCH_KEY_MAIN_SCENE);
        pushSpriteProjection();
        drawLayers({8, 9}, BATCH_KEY_MAIN_SCENE);
        popSpriteTransforms();
        camera->popViewTransform();
        camera->popProjectionTransform();
    }

    if (glowShown) {
        setRenderTarget(sceneTarget(E_SCENE_TARGET_GLOW));
        clearTarget(kOpaqueBlack);
        camera->pushProjectionTransform();
        camera->pushViewTransform();
        drawLayers({6, 7, 5}, BATCH_KEY_MAIN_SCENE);
        camera->popViewTransform();
        camera->popProjectionTransform();
        setRenderTarget(nullptr);
        pushSpriteProjection();
        setRenderTarget(sceneTarget(E_SCENE_TARGET_GLOW));
        drawBatchLayer(9, BATCH_KEY_MAIN_SCENE);
        popSpriteTransforms();
        renderBloom();
    }

    pushSpriteProjection();
    drawBatchLayer(10, BATCH_KEY_MAIN_SCENE);
    popSpriteTransforms();
    drawFmvPicture();

    inputLagReduction();
    presentRenderedFrame();
    endFrameBookkeeping();
}

void renderBloom() {
    u32& current = g_Scene.bloomIndex;
    setRenderTarget(bloomGroup(current));
    clearTarget(kOpaqueBlack);
    drawScreenQuadWithTechnique(sceneTarget(E_SCENE_TARGET_GLOW), "PostFx_Shrink4x4", kWhite);

    u32 previous = current;
    current = (current + 1) % 3;
    g_Scene.blur = makeBlurTables(bloomGroup(0) ? bloomGroup(0)->target()->textureWidth() : 1.0f);
    setRenderTarget(bloomGroup(current));
    clearTarget(kOpaqueBlack);
    setShaderGlobalVec2Array("g_av2BlurOffsets", g_Scene.blur.horizontal, BLUR_TAP_COUNT);
    setShaderGlobalFloatArray("g_afBlurWeights", g_Scene.blur.weights, BLUR_TAP_COUNT);
    drawScreenQuadWithTechnique(bloomGroup(previous), "PostFx_BlurH", kWhite);

    previous = current;
    current = (current + 1) % 3;
    setRenderTarget(bloomGroup(current));
    clearTarget(kOpaqueBlack);
    setShaderGlobalVec2Array("g_av2BlurOffsets", g_Scene.blur.vertical, BLUR_TAP_COUNT);
    drawScreenQuadWithTechnique(bloomGroup(previous), "PostFx_BlurH", kWhite);

    previous = current;
    current = (current + 1) % 3;
    setRenderTarget(nullptr);
    clearTarget(kOpaqueBlack);
    drawScreenQuadWithTechnique(sceneTarget(E_SCENE_TARGET_IMAGE), "PostFx_FinalAdd", kWhite);
    if (inGameFlag()) drawScreenQuadWithTechnique(bloomGroup(previous), "PostFx_FinalAdd", kWhite);
}
